// The side-by-side comparison of the selected pair: the kept copy on the left, the duplicate on the
// right, a playback bar that starts two videos together, and the decision bar whose buttons (and
// the keys K and D) mark the pair and move on to the next one.
#pragma once

#include "model/ReviewItem.h"

#include <QMediaPlayer>
#include <QPointer>
#include <QWidget>
#include <optional>

class QLabel;
class QTimer;
class QPushButton;

namespace quillmere {

class ElidedLabel;
class FilePane;
class ReviewSession;
class SelectableText;
class SymbolLabel;

class ComparisonView : public QWidget {
    Q_OBJECT

  public:
    /// Waits for a player to become ready at most this many times, 100 ms apart.
    static constexpr int readyChecks = 50;
    static constexpr int readyCheckIntervalMs = 100;
    /// How long a video pair stays shown before its players are made. Making a player blocks the
    /// GUI thread (the media framework starts with the first one), so pairs passed over with a
    /// held key get none, and the panes show the clips' frames meanwhile.
    static constexpr int playerDelayMs = 250;

    explicit ComparisonView(ReviewSession& session, QWidget* parent = nullptr);
    /// Stops the players.
    ~ComparisonView() override;

    /// Shows a pair. A pair with another id gets new panes and new players; the same pair with a
    /// new mark or state only updates the header and decision bar.
    void showItem(const ReviewItem& item);
    const std::optional<ReviewItem>& item() const { return item_; }

    /// Stops the current players and rebuilds the panes; for a video pair, makes a player for
    /// each side once the pair has been shown for playerDelayMs.
    void preparePlayers();
    /// Pauses whichever players exist and lets them go; the panes are rebuilt when the pair is
    /// shown again.
    void stopPlayers();
    /// Starts both players from their first frame at the same moment, once each is ready (or
    /// has kept the other waiting for 5 seconds).
    void playBoth();

    QMediaPlayer* leftPlayer() const { return leftPlayer_; }
    QMediaPlayer* rightPlayer() const { return rightPlayer_; }
    FilePane* leftPane() const { return leftPane_; }
    FilePane* rightPane() const { return rightPane_; }
    /// The kind of a pair comes from the duplicate's extension; anything not a video is a photo.
    static bool isVideoPair(const ReviewItem& item);

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    class PlayBoth;

    QWidget* header();
    QWidget* playbackBar();
    QWidget* decisionBar();
    void showHeader();
    void showDecision();
    void rebuildPanes();
    void mark(ReviewItem::Decision decision);
    QMediaPlayer* makePlayer(const std::string& path);
    /// Makes the video pair's players now and hands them to the panes.
    void makePlayers();

    ReviewSession& session_;
    std::optional<ReviewItem> item_;
    QPointer<QMediaPlayer> leftPlayer_;
    QPointer<QMediaPlayer> rightPlayer_;
    /// The panes were not built for the current pair and players yet.
    bool panesStale_ = true;
    QTimer* playerTimer_ = nullptr;

    QLabel* kindSymbol_ = nullptr;
    ElidedLabel* name_ = nullptr;
    QLabel* size_ = nullptr;
    SymbolLabel* verified_ = nullptr;
    QWidget* panes_ = nullptr;
    FilePane* leftPane_ = nullptr;
    FilePane* rightPane_ = nullptr;
    QWidget* playback_ = nullptr;
    SymbolLabel* decisionLabel_ = nullptr;
    QWidget* failure_ = nullptr;
    SymbolLabel* failureLabel_ = nullptr;
    SelectableText* failurePath_ = nullptr;
};

} // namespace quillmere
