// Runs the views' tests headless under a QApplication with a home, data folder and cache of their
// own (the review session saves marks there and thumbnails are cached there), in US English and
// UTC, so dates and numbers read the same on every machine. GIO reads HOME and XDG_DATA_HOME once
// per process, so both are set before anything can ask.
#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QByteArray path = home.path().toLocal8Bit();
    qputenv("HOME", path);
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TZ", "UTC");
    tzset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Background work a test left running ends before the folders it may use are removed.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
