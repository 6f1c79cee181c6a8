// Runs the review model's tests under a QCoreApplication with a home, data folder and cache of
// their own. GIO reads HOME and XDG_DATA_HOME once per process, so both are set before anything
// can ask; the data folder is left missing, as on a fresh account.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QByteArray path = home.path().toLocal8Bit();
    qputenv("HOME", path);
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Background work a test left running ends before the folders it may use are removed.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
