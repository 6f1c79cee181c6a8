// Runs a test executable's tests in a Qt application object, headless, with a home, data folder,
// caches and settings of its own: the user's Trash, marks and thumbnails are never touched. GIO
// reads HOME and XDG_DATA_HOME once per process, so both are set before anything can ask. And the
// tests' wait on the event loop.
#pragma once

#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <functional>
#include <gtest/gtest.h>

namespace quillmere::testing {

/// Runs the event loop until `condition` holds; the minute only guards against a hang.
inline bool waitUntil(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 60000);
}

/// Makes `home` the home, data folder, caches and settings of this process, headless.
inline void useHome(const QTemporaryDir& home) {
    const QByteArray path = home.path().toLocal8Bit();
    qputenv("HOME", path);
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

/// `setup` runs once the folders are set, before the application object exists.
template <typename Application, typename Setup> int runQtTests(int argc, char** argv, Setup setup) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    useHome(home);
    setup();
    Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Background work a test left running ends before the folders it may use are removed.
    QThreadPool::globalInstance()->waitForDone();
    return result;
}

} // namespace quillmere::testing
