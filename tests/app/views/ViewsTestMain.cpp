// Runs the views' tests under a QApplication with a home of their own, in US English and UTC, so
// dates and numbers read the same on every machine.
#include "QtTestEnvironment.h"

#include <QApplication>
#include <QLocale>
#include <stdlib.h>
#include <time.h>

int main(int argc, char** argv) {
    return quillmere::testing::runQtTests<QApplication>(argc, argv, [] {
        qputenv("TZ", "UTC");
        tzset();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    });
}
