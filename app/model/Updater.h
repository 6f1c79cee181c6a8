// The app's update check. Linux has no update framework for the app to start, so this updater
// never can check and "Check for Updates…" stays disabled; a platform with one would mirror its
// flag into canCheckForUpdates and forward the check.
#pragma once

#include <QObject>

namespace quillmere {

class Updater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

  public:
    explicit Updater(QObject* parent = nullptr);

    /// Whether a user-initiated check is possible now; false until a framework says otherwise.
    bool canCheckForUpdates() const { return canCheckForUpdates_; }

    /// Starts a user-initiated check; does nothing while no check is possible.
    void checkForUpdates();

  signals:
    void canCheckForUpdatesChanged(bool canCheck);

  private:
    bool canCheckForUpdates_ = false;
};

} // namespace quillmere
