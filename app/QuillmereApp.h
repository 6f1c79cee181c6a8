// The desktop application: the one review session and the updater, its three windows (each open
// at most once), the menus with their shortcuts, and the installation of the command-line tool.
// Linux has no global menu bar, so the menus live in the review window, the application-menu
// commands in a first menu titled "Quillmere".
#pragma once

#include "model/CommandLineTool.h"
#include "model/ScanCoordinator.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QAction;
class QMainWindow;
class QWidget;

namespace quillmere {

class ContentView;
class Notifications;
class ReviewSession;
class Updater;

class QuillmereApp : public QObject {
    Q_OBJECT

  public:
    /// The windows by their identifiers "review", "about" and "help".
    enum class Window { review, about, help };

    /// Creates the session and the updater and opens the review window, whose scans run with
    /// `scanEngine` (the duplicate scanner when empty).
    explicit QuillmereApp(ScanCoordinator::Engine scanEngine = {}, QObject* parent = nullptr);
    ~QuillmereApp() override;

    ReviewSession& session() { return *session_; }
    Updater& updater() { return *updater_; }
    Notifications& notifications() { return *notifications_; }

    /// Opens the window, or brings the one that is open forward.
    void openWindow(Window window);
    /// The window when it is open, else null.
    QWidget* window(Window window) const;
    ContentView* reviewWindow() const;

    /// Links the bundled command-line tool into the link folder and reports the outcome in a
    /// modal alert; "Copy Command" puts the fallback command on the clipboard.
    void installCommandLineTool(
        const CommandLineTool::Locations& locations = CommandLineTool::Locations::standard());

    /// The menu command with this title (ellipsis included), for every menu of the review window.
    QAction* command(const QString& title) const;

  private:
    void createCommands();
    void installMenus(QMainWindow& window) const;
    QAction* addCommand(const QString& title, const QKeySequence& shortcut,
                        std::function<void()> action);

    std::unique_ptr<ReviewSession> session_;
    std::unique_ptr<Updater> updater_;
    std::unique_ptr<Notifications> notifications_;
    ScanCoordinator::Engine scanEngine_;
    QPointer<ContentView> review_;
    QPointer<QWidget> about_;
    QPointer<QWidget> help_;
    QList<QAction*> commands_;
};

} // namespace quillmere
