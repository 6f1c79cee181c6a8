// The screens of the main window's detail area other than the comparison: the welcome screen,
// the scanning panel, the "nothing found" screen, the completion summary and the notice shown in
// place of an empty list. Each reads the model it is given and redraws on refresh().
#pragma once

#include "views/ReviewTexts.h"

#include <QWidget>

class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace quillmere {

class ElidedLabel;
class ReviewSession;
class ScanCoordinator;

/// What the app does, and the ways to start.
class WelcomeScreen : public QWidget {
    Q_OBJECT

  public:
    explicit WelcomeScreen(QWidget* parent = nullptr);

  signals:
    /// "Scan Folders…" was pressed.
    void scanRequested();
    /// "Find Similar Photos…" was pressed.
    void similarRequested();
    /// "Open an Earlier Scan's Manifest…" was pressed.
    void openRequested();
};

/// The progress of the running scan, with the scan's own texts.
class ScanningPanel : public QWidget {
    Q_OBJECT

  public:
    ScanningPanel(const ScanCoordinator& scanner, QWidget* parent = nullptr);

    void refresh();
    QPushButton& stopButton() { return *stop_; }

  signals:
    /// "Stop" was pressed, or Esc while the panel is shown.
    void stopRequested();

  private:
    const ScanCoordinator& scanner_;
    QLabel* headline_;
    ElidedLabel* detail_;
    QProgressBar* progress_;
    QLabel* caption_;
    QPushButton* stop_;
};

/// A loaded review without pairs.
class NothingFoundScreen : public QWidget {
    Q_OBJECT

  public:
    NothingFoundScreen(const ReviewSession& session, QWidget* parent = nullptr);

    void refresh();

  signals:
    /// "Scan Another Folder…" was pressed.
    void scanRequested();

  private:
    const ReviewSession& session_;
    QLabel* title_;
    QLabel* checked_;
    QLabel* took_;
    QLabel* nothingHere_;
};

/// Every pair has a result: what happened to them.
class CompletionSummary : public QWidget {
    Q_OBJECT

  public:
    CompletionSummary(ReviewSession& session, QWidget* parent = nullptr);

    void refresh();

  signals:
    /// "Scan Another Folder…" was pressed.
    void scanRequested();

  private:
    /// Lists the failed pairs and selects the first of them.
    void showFailed();

    ReviewSession& session_;
    QLabel* dealtWith_;
    QGridLayout* grid_;
    QLabel* trashed_;
    QLabel* gone_;
    QLabel* restored_;
    QPushButton* failed_;
    QLabel* freed_;
};

/// A symbol, a title and a description in place of content that is not there.
class NoticeScreen : public QWidget {
    Q_OBJECT

  public:
    explicit NoticeScreen(QWidget* parent = nullptr);

    void setNotice(const ReviewTexts::Notice& notice);
    const ReviewTexts::Notice& notice() const { return notice_; }

  private:
    ReviewTexts::Notice notice_;
    QLabel* symbol_;
    QLabel* title_;
    QLabel* message_;
};

} // namespace quillmere
