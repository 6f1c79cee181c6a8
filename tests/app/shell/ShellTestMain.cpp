// Runs the window tests headless, with a home of their own, in US English and in UTC.
#include "QtTestEnvironment.h"

#include <QApplication>
#include <time.h>

int main(int argc, char** argv) {
    return quillmere::testing::runQtTests<QApplication>(argc, argv, [] {
        qputenv("TZ", "UTC");
        tzset();
        qunsetenv("QUILLMERE_MANIFEST");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    });
}
