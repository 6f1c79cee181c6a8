// The main window, "Quillmere Review": a toolbar, a sidebar with the filters and the list of
// pairs, a detail area that shows one screen at a time (the scan's progress, the welcome screen,
// the comparison of the selected pair, the summaries), and a status bar with the apply button.
// It keeps no review data of its own: everything it shows is drawn from the session and from its
// scan coordinator whenever either announces a change.
#pragma once

#include "model/ReviewItem.h"
#include "model/ScanCoordinator.h"

#include <QMainWindow>
#include <QPointer>
#include <optional>

class QAction;
class QDialog;
class QLabel;
class QMessageBox;
class QStackedWidget;

namespace quillmere {

class ComparisonView;
class CompletionSummary;
class NoticeScreen;
class NothingFoundScreen;
class Notifications;
class ReviewSession;
class ScanningPanel;
class Sidebar;
class StatusBar;
class WelcomeScreen;

class ContentView : public QMainWindow {
    Q_OBJECT

  public:
    /// The screens of the detail area, in the order in which their conditions are tested.
    enum class Screen {
        scanning,
        welcome,
        nothingFound,
        comparison,
        completion,
        emptyFilter,
        prompt
    };

    static constexpr int minimumWindowWidth = 1080;
    static constexpr int minimumWindowHeight = 680;
    static constexpr int sidebarMinimumWidth = 280;
    static constexpr int sidebarIdealWidth = 330;
    static constexpr int sidebarMaximumWidth = 460;

    /// Shows the application's session; menu commands arrive through `notifications`. Scans run
    /// with `scanEngine`, or with the duplicate scanner when it is empty.
    ContentView(ReviewSession& session, Notifications& notifications, QWidget* parent = nullptr,
                ScanCoordinator::Engine scanEngine = {});
    ~ContentView() override;

    /// Shows the folder chooser; confirmed folders are scanned and their result loaded.
    void chooseFolderToScan();
    /// The same for a scan for similar photos.
    void chooseFoldersForSimilar();
    /// Shows the chooser for a drive, review folder or manifest, and opens what is chosen.
    void chooseFolder();
    /// Scans the folders, in this order, and loads the result into the session.
    void scan(const QStringList& folders);
    /// Scans the folders for similar photos and loads the result into the session.
    void scanSimilar(const QStringList& folders);
    /// Opens a manifest or journal file (extension "json" or "jsonl" in any case), or the newest
    /// manifest or journal of a folder.
    void open(const QString& location);
    /// What the apply button does: asks for confirmation, then applies.
    void requestApply();

    /// A review with at least one pair is loaded.
    bool hasReview() const;
    /// The screen the detail area shows.
    Screen screen() const { return screen_; }
    /// The apply confirmation is up, and whether it is the removal variant.
    bool showApplyConfirmation() const { return showApplyConfirmation_; }
    bool alertOffersRemoval() const { return alertOffersRemoval_; }

    ScanCoordinator& scanner() { return *scanner_; }
    Sidebar& sidebar() { return *sidebar_; }
    StatusBar& reviewStatusBar() { return *statusBar_; }
    ComparisonView& comparison() { return *comparison_; }
    NoticeScreen& emptyFilterNotice() { return *emptyFilter_; }
    QAction& scanAction() { return *scanAction_; }
    QAction& markAllAction() { return *markAllAction_; }
    QAction& clearMarksAction() { return *clearMarksAction_; }
    QAction& retryAction() { return *retryAction_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildToolbar();
    /// Another scan of the kind of the review on show.
    void scanAgain();
    void openChooser(QDialog* chooser);
    /// Redraws on the next turn of the event loop, once for every change made in this turn.
    void scheduleRefresh();
    void refresh();
    Screen currentScreen() const;
    void showScreen(Screen screen);
    void showErrorAlert();

    ReviewSession& session_;
    ScanCoordinator* scanner_;
    bool showApplyConfirmation_ = false;
    bool alertOffersRemoval_ = false;

    Sidebar* sidebar_;
    QStackedWidget* detail_;
    ScanningPanel* scanning_;
    WelcomeScreen* welcome_;
    NothingFoundScreen* nothingFound_;
    ComparisonView* comparison_;
    CompletionSummary* completion_;
    NoticeScreen* emptyFilter_;
    QLabel* prompt_;
    StatusBar* statusBar_;

    QAction* scanAction_ = nullptr;
    QAction* markAllAction_ = nullptr;
    QAction* clearMarksAction_ = nullptr;
    QAction* retryAction_ = nullptr;

    Screen screen_ = Screen::welcome;
    /// The pair as the comparison was last given it, so that it is redrawn only on a change.
    std::optional<ReviewItem> compared_;
    QPointer<QMessageBox> errorAlert_;
    bool refreshQueued_ = false;
    bool shownOnce_ = false;
};

} // namespace quillmere
