// Runs the app's window tests under a QApplication with a home and locale of their own, and
// without a start-up manifest from the caller's environment.
#include "QtTestEnvironment.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv) {
    return quillmere::testing::runQtTests<QApplication>(argc, argv, [] {
        qunsetenv("QUILLMERE_MANIFEST");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    });
}
