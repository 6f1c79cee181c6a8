// A video player bound to a media player it does not own: the picture, and beneath it the
// player's own controls (play or pause, a position slider, the time), so one side can be played
// alone. Until the clip first plays, its thumbnail frame stands in for the video, which a
// player shows only once it runs.
#pragma once

#include <QMediaPlayer>
#include <QPointer>
#include <QWidget>

class QLabel;
class QSlider;
class QStackedLayout;
class QToolButton;
class QVideoWidget;

namespace quillmere {

class PreviewImage;

class PlayerView : public QWidget {
    Q_OBJECT

  public:
    explicit PlayerView(QMediaPlayer* player, QWidget* parent = nullptr);

    QMediaPlayer* player() const { return player_; }
    /// The play-or-pause button of this side.
    QToolButton* playButton() const { return play_; }
    /// The clip's frame shown until it plays; null once the video has taken its place.
    PreviewImage* poster() const;

    /// "1:05 / 2:10": position and running time in minutes and seconds.
    static QString timeText(qint64 positionMs, qint64 durationMs);

  private:
    void showState();
    void showPosition();
    void showVideo();

    QPointer<QMediaPlayer> player_;
    QStackedLayout* screen_;
    PreviewImage* poster_;
    QVideoWidget* video_;
    QToolButton* play_;
    QSlider* slider_;
    QLabel* time_;
};

} // namespace quillmere
