// A video with its own small control bar.
#include "views/PlayerView.h"

#include "views/Palette.h"
#include "views/PreviewImage.h"
#include "views/Symbols.h"
#include "views/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QSlider>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace quillmere {

namespace {

/// The poster is the frame a comparison pane's picture would be, so it is made once per clip.
constexpr double posterSize = 900;

QString minutesAndSeconds(qint64 ms) {
    const qint64 seconds = std::max<qint64>(0, (ms + 500) / 1000);
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

PlayerView::PlayerView(QMediaPlayer* player, QWidget* parent)
    : QWidget(parent), player_(player), screen_(new QStackedLayout),
      poster_(new PreviewImage(player ? player->source().toLocalFile() : QString(), posterSize,
                               PreviewImage::ContentMode::fit, this)),
      video_(new QVideoWidget(this)), play_(new QToolButton(this)),
      slider_(new QSlider(Qt::Horizontal, this)), time_(new QLabel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    poster_->setObjectName(QStringLiteral("poster"));
    Palette::setBackground(*poster_, Qt::black);
    screen_->addWidget(poster_);
    screen_->addWidget(video_);
    layout->addLayout(screen_, 1);

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(8, 4, 8, 4);
    controls->setSpacing(8);
    play_->setAutoRaise(true);
    play_->setIconSize(QSize(14, 14));
    time_->setFont(TextStyles::font(TextStyle::caption, std::nullopt, FontDesign::monospaced));
    Palette::setForeground(*time_, Palette::Role::secondary);
    controls->addWidget(play_);
    controls->addWidget(slider_, 1);
    controls->addWidget(time_);
    layout->addLayout(controls);

    if (player_) {
        player_->setVideoOutput(video_);
        connect(play_, &QToolButton::clicked, player_, [this] {
            if (player_->playbackState() == QMediaPlayer::PlayingState)
                player_->pause();
            else
                player_->play();
        });
        connect(slider_, &QSlider::sliderMoved, player_, [this](int position) {
            showVideo();
            player_->setPosition(position);
        });
        connect(player_, &QMediaPlayer::playbackStateChanged, this, &PlayerView::showState);
        connect(player_, &QMediaPlayer::positionChanged, this, &PlayerView::showPosition);
        connect(player_, &QMediaPlayer::durationChanged, this, &PlayerView::showPosition);
    }
    setEnabled(player_ != nullptr);
    showState();
    showPosition();
}

QString PlayerView::timeText(qint64 positionMs, qint64 durationMs) {
    return minutesAndSeconds(positionMs) + QStringLiteral(" / ") + minutesAndSeconds(durationMs);
}

PreviewImage* PlayerView::poster() const {
    return screen_->currentWidget() == video_ ? nullptr : poster_;
}

void PlayerView::showVideo() {
    screen_->setCurrentWidget(video_);
}

void PlayerView::showState() {
    const bool playing = player_ && player_->playbackState() == QMediaPlayer::PlayingState;
    if (playing)
        showVideo();
    const QColor ink = Palette::color(Palette::Role::primary, palette());
    play_->setIcon(
        Symbols::icon(playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"), ink));
    play_->setToolTip(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
}

void PlayerView::showPosition() {
    const qint64 duration = player_ ? player_->duration() : 0;
    const qint64 position = player_ ? player_->position() : 0;
    slider_->setRange(0, static_cast<int>(std::min<qint64>(duration, INT_MAX)));
    if (!slider_->isSliderDown())
        slider_->setValue(static_cast<int>(std::min<qint64>(position, INT_MAX)));
    time_->setText(timeText(position, duration));
}

} // namespace quillmere
