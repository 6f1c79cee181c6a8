// Without an update framework the app can never check for updates.
#include "model/Updater.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace quillmere;

TEST(UpdaterTest, CannotCheckAndACheckChangesNothing) {
    Updater updater;
    QSignalSpy changes(&updater, &Updater::canCheckForUpdatesChanged);
    EXPECT_FALSE(updater.canCheckForUpdates());
    EXPECT_FALSE(updater.property("canCheckForUpdates").toBool());
    updater.checkForUpdates();
    EXPECT_FALSE(updater.canCheckForUpdates());
    EXPECT_EQ(changes.count(), 0);
}
