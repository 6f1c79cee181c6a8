// The comparison of one pair: header, two panes, the playback bar for videos and the decision bar.
#include "views/ComparisonView.h"

#include "fs/FileSystem.h"
#include "model/ApplyFailure.h"
#include "model/MediaKindHelper.h"
#include "model/ReviewSession.h"
#include "report/ReportWriter.h"
#include "views/Controls.h"
#include "views/FilePane.h"
#include "views/Labels.h"
#include "views/Palette.h"
#include "views/Symbols.h"
#include "views/TextStyle.h"

#include <QAudioOutput>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QPainter>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <vector>

namespace quillmere {

/// One press of "Play both": waits for each player in turn to be ready, then seeks both to the
/// start and starts them one right after the other. Players that go away meanwhile are skipped.
class ComparisonView::PlayBoth : public QObject {
  public:
    PlayBoth(std::vector<QPointer<QMediaPlayer>> players, QObject* parent)
        : QObject(parent), players_(std::move(players)) {
        timer_.setSingleShot(true);
        timer_.setInterval(readyCheckIntervalMs);
        connect(&timer_, &QTimer::timeout, this, &PlayBoth::step);
        step();
    }

  private:
    static bool isReady(const QMediaPlayer& player) {
        switch (player.mediaStatus()) {
        case QMediaPlayer::LoadedMedia:
        case QMediaPlayer::BufferingMedia:
        case QMediaPlayer::BufferedMedia:
        case QMediaPlayer::EndOfMedia:
            return true;
        default:
            return false;
        }
    }

    void step() {
        while (next_ < players_.size()) {
            const QMediaPlayer* player = players_[next_];
            if (player && !isReady(*player) && sleeps_ < readyChecks) {
                ++sleeps_;
                timer_.start();
                return;
            }
            // Ready, gone, or waited long enough: on to the next player with a fresh count.
            ++next_;
            sleeps_ = 0;
        }
        for (const auto& player : players_)
            if (player)
                player->setPosition(0);
        for (const auto& player : players_)
            if (player)
                player->play();
        deleteLater();
    }

    std::vector<QPointer<QMediaPlayer>> players_;
    std::size_t next_ = 0;
    int sleeps_ = 0;
    QTimer timer_;
};

namespace {

/// Holds the two panes over the separator colour, which shows as the line between them. Painted
/// rather than set in the palette, so that the panes keep the window's own background.
class PaneDivider : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), Palette::separator(palette()));
    }
};

QWidget* bar(QWidget* parent) {
    auto* widget = new QWidget(parent);
    Palette::setBackground(*widget, Palette::bar(widget->palette()));
    return widget;
}

/// A large decision button as wide as the bar allows.
QPushButton* decisionButton(const QString& title, const QString& symbol, const QString& help,
                            QWidget* parent) {
    QPushButton* button = Buttons::large(title, parent);
    button->setIcon(
        Symbols::icon(symbol, Palette::color(Palette::Role::primary, button->palette())));
    button->setToolTip(help);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

const QString sealHelp = QStringLiteral("Every byte of these two files was compared and matched.");

bool isDecisionKey(const QKeyEvent& event) {
    const auto modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return modifiers == Qt::NoModifier && (event.key() == Qt::Key_K || event.key() == Qt::Key_D);
}

} // namespace

ComparisonView::ComparisonView(ReviewSession& session, QWidget* parent)
    : QWidget(parent), session_(session), playerTimer_(new QTimer(this)) {
    setFocusPolicy(Qt::StrongFocus);
    playerTimer_->setSingleShot(true);
    playerTimer_->setInterval(playerDelayMs);
    connect(playerTimer_, &QTimer::timeout, this, &ComparisonView::makePlayers);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header());

    panes_ = new PaneDivider(this);
    panes_->setObjectName(QStringLiteral("panes"));
    auto* panes = new QHBoxLayout(panes_);
    panes->setContentsMargins(0, 0, 0, 0);
    panes->setSpacing(1);
    layout->addWidget(panes_, 1);

    layout->addWidget(playbackBar());
    layout->addWidget(decisionBar());

    // The view follows the session: a new selection shows that pair, and a change to the pair
    // shown updates its mark.
    connect(&session_, &ReviewSession::selectionChanged, this, [this] {
        if (const auto selected = session_.item(session_.selection()))
            showItem(*selected);
    });
    connect(&session_, &ReviewSession::itemChanged, this, [this](const QString& id) {
        if (item_ && item_->id == id.toStdString())
            if (const auto changed = session_.item(item_->id))
                showItem(*changed);
    });
    connect(&session_, &ReviewSession::itemsChanged, this, [this] {
        if (item_)
            if (const auto changed = session_.item(item_->id))
                showItem(*changed);
    });
}

ComparisonView::~ComparisonView() {
    stopPlayers();
}

bool ComparisonView::isVideoPair(const ReviewItem& item) {
    return MediaKindHelper::isVideo(QString::fromStdString(item.candidateURL));
}

QWidget* ComparisonView::header() {
    QWidget* row = bar(this);
    row->setObjectName(QStringLiteral("header"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(10);
    kindSymbol_ = new QLabel(row);
    kindSymbol_->setObjectName(QStringLiteral("kindSymbol"));
    layout->addWidget(kindSymbol_);
    name_ = new ElidedLabel(Qt::ElideMiddle, row);
    name_->setObjectName(QStringLiteral("name"));
    name_->setFont(TextStyles::font(TextStyle::headline));
    layout->addWidget(name_);
    size_ = new QLabel(row);
    size_->setObjectName(QStringLiteral("size"));
    size_->setFont(TextStyles::font(TextStyle::subheadline));
    Palette::setForeground(*size_, Palette::Role::secondary);
    layout->addWidget(size_);
    layout->addStretch(1);
    verified_ =
        new SymbolLabel(QStringLiteral("checkmark.seal.fill"), QStringLiteral("Verified identical"),
                        TextStyles::font(TextStyle::caption), Palette::Role::green, row);
    verified_->setObjectName(QStringLiteral("verified"));
    verified_->setToolTip(sealHelp);
    layout->addWidget(verified_);
    return row;
}

QWidget* ComparisonView::playbackBar() {
    playback_ = bar(this);
    playback_->setObjectName(QStringLiteral("playbackBar"));
    auto* layout = new QHBoxLayout(playback_);
    layout->setContentsMargins(16, 8, 16, 8);
    layout->setSpacing(12);
    const QColor ink = Palette::color(Palette::Role::primary, palette());
    auto* play = new QPushButton(Symbols::icon(QStringLiteral("play.fill"), ink),
                                 QStringLiteral("Play both"), playback_);
    play->setObjectName(QStringLiteral("playBoth"));
    connect(play, &QPushButton::clicked, this, &ComparisonView::playBoth);
    auto* pause = new QPushButton(Symbols::icon(QStringLiteral("pause.fill"), ink),
                                  QStringLiteral("Pause"), playback_);
    pause->setObjectName(QStringLiteral("pause"));
    connect(pause, &QPushButton::clicked, this, [this] {
        for (QMediaPlayer* player : {leftPlayer_.data(), rightPlayer_.data()})
            if (player)
                player->pause();
    });
    auto* caption = new QLabel(QStringLiteral("Both clips start together so you can compare them "
                                              "frame for frame. Each player also has its own "
                                              "controls."),
                               playback_);
    caption->setFont(TextStyles::font(TextStyle::caption));
    caption->setWordWrap(true);
    Palette::setForeground(*caption, Palette::Role::secondary);
    layout->addWidget(play);
    layout->addWidget(pause);
    layout->addWidget(caption, 1);
    playback_->hide();
    return playback_;
}

QWidget* ComparisonView::decisionBar() {
    QWidget* widget = bar(this);
    widget->setObjectName(QStringLiteral("decisionBar"));
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);

    decisionLabel_ = new SymbolLabel(QString(), QString(), TextStyles::font(TextStyle::callout),
                                     Palette::Role::secondary, widget);
    decisionLabel_->setObjectName(QStringLiteral("decisionLabel"));
    layout->addWidget(decisionLabel_, 0, Qt::AlignHCenter);

    failure_ = new QWidget(widget);
    failure_->setObjectName(QStringLiteral("failure"));
    auto* failure = new QVBoxLayout(failure_);
    failure->setContentsMargins(0, 0, 0, 0);
    failure->setSpacing(4);
    failureLabel_ = new SymbolLabel(QStringLiteral("exclamationmark.triangle.fill"), QString(),
                                    TextStyles::font(TextStyle::callout, QFont::Medium),
                                    Palette::Role::orange, failure_);
    failureLabel_->setObjectName(QStringLiteral("failureLabel"));
    failure->addWidget(failureLabel_, 0, Qt::AlignHCenter);
    failurePath_ = new SelectableText(
        QString(), TextStyles::font(TextStyle::caption, std::nullopt, FontDesign::monospaced),
        Palette::color(Palette::Role::secondary, palette()), failure_);
    failurePath_->setObjectName(QStringLiteral("failurePath"));
    QTextOption centred = failurePath_->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    failurePath_->document()->setDefaultTextOption(centred);
    failure->addWidget(failurePath_);
    failure_->hide();
    layout->addWidget(failure_);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    auto* keep = decisionButton(QStringLiteral("Keep both  (K)"), QStringLiteral("checkmark"),
                                QStringLiteral("Leave this file exactly where it is"), widget);
    keep->setObjectName(QStringLiteral("keepButton"));
    connect(keep, &QPushButton::clicked, this, [this] { mark(ReviewItem::Decision::keep); });
    auto* discard =
        decisionButton(QStringLiteral("Mark for removal  (D)"), QStringLiteral("trash"),
                       QStringLiteral("Mark this copy to go to the Trash when you apply"), widget);
    discard->setObjectName(QStringLiteral("discardButton"));
    connect(discard, &QPushButton::clicked, this, [this] { mark(ReviewItem::Decision::discard); });
    buttons->addWidget(keep);
    buttons->addWidget(discard);
    layout->addLayout(buttons);

    auto* note =
        new QLabel(QStringLiteral("Marking changes nothing on disk. Files move to the Trash "
                                  "only when you press Remove at the bottom right."),
                   widget);
    note->setFont(TextStyles::font(TextStyle::caption));
    note->setAlignment(Qt::AlignHCenter);
    note->setWordWrap(true);
    Palette::setForeground(*note, Palette::Role::secondary);
    layout->addWidget(note);
    return widget;
}

void ComparisonView::showItem(const ReviewItem& item) {
    // A new review may hold a pair of the same path that is of another kind (a similar photo
    // where there was a duplicate), whose panes differ.
    const bool samePair =
        item_ && item_->id == item.id && item_->origin.index() == item.origin.index();
    item_ = item;
    showHeader();
    showDecision();
    playback_->setVisible(isVideoPair(item));
    if (samePair && !panesStale_)
        return;
    if (isVisible())
        preparePlayers();
    else
        stopPlayers();
}

void ComparisonView::showHeader() {
    const bool video = isVideoPair(*item_);
    const int symbolSize = 16;
    kindSymbol_->setPixmap(
        Symbols::pixmap(video ? QStringLiteral("film") : QStringLiteral("photo"), symbolSize,
                        Palette::color(Palette::Role::secondary, palette()), devicePixelRatioF()));
    // A similar photo is named itself: its size, beside the name, is its own, not the kept one's.
    const std::string& named = item_->similarOrigin() ? item_->candidateURL : item_->keepURL;
    name_->setFullText(QString::fromStdString(std::string(FileSystem::lastComponent(named))));
    size_->setText(QString::fromStdString(ReportWriter::humanSize(item_->sizeBytes)));
    if (item_->similarOrigin()) {
        // Two files that only look alike: never the green seal of a proven match.
        verified_->set(QStringLiteral("square.on.square"), QStringLiteral("Similar, not identical"),
                       Palette::Role::orange);
        verified_->setToolTip(QStringLiteral("These two files show the same picture but are not "
                                             "the same bytes: compare them before choosing."));
        verified_->show();
        return;
    }
    verified_->set(QStringLiteral("checkmark.seal.fill"), QStringLiteral("Verified identical"),
                   Palette::Role::green);
    verified_->setToolTip(sealHelp);
    // The seal speaks for the scan's comparison; a later check that found the files apart, or one
    // of them gone, overrules it.
    verified_->setVisible(!(item_->state == ReviewItem::State::failed &&
                            ApplyFailure::contradictsMatch(item_->failureReason)));
}

void ComparisonView::showDecision() {
    if (item_->state == ReviewItem::State::failed) {
        failureLabel_->set(QStringLiteral("exclamationmark.triangle.fill"),
                           QStringLiteral("Left alone — ") +
                               QString::fromStdString(item_->failureReason),
                           Palette::Role::orange);
        failurePath_->setText(QString::fromStdString(item_->candidateURL));
        decisionLabel_->hide();
        failure_->show();
        return;
    }
    failure_->hide();
    const QFont plain = TextStyles::font(TextStyle::callout);
    const QFont medium = TextStyles::font(TextStyle::callout, QFont::Medium);
    switch (item_->decision) {
    case ReviewItem::Decision::undecided:
        decisionLabel_->textLabel().setFont(plain);
        decisionLabel_->set(QString(), QStringLiteral("Not yet marked"), Palette::Role::secondary);
        break;
    case ReviewItem::Decision::discard:
        decisionLabel_->textLabel().setFont(medium);
        decisionLabel_->set(QStringLiteral("trash.circle.fill"),
                            QStringLiteral("Marked for removal — press K to change your mind"),
                            Palette::Role::red);
        break;
    case ReviewItem::Decision::keep:
        decisionLabel_->textLabel().setFont(medium);
        decisionLabel_->set(QStringLiteral("checkmark.circle.fill"),
                            item_->parkedRecord()
                                ? QStringLiteral("Marked keep — this copy goes back to the library")
                                : QStringLiteral("Marked keep — this file stays where it is"),
                            Palette::Role::green);
        break;
    }
    decisionLabel_->show();
}

void ComparisonView::preparePlayers() {
    stopPlayers();
    rebuildPanes();
    if (item_ && isVideoPair(*item_))
        playerTimer_->start();
}

void ComparisonView::makePlayers() {
    playerTimer_->stop();
    if (!item_ || !isVideoPair(*item_) || leftPlayer_ || !leftPane_)
        return;
    leftPlayer_ = makePlayer(item_->keepURL);
    rightPlayer_ = makePlayer(item_->candidateURL);
    leftPane_->setPlayer(leftPlayer_);
    rightPane_->setPlayer(rightPlayer_);
}

QMediaPlayer* ComparisonView::makePlayer(const std::string& path) {
    auto* player = new QMediaPlayer(this);
    player->setAudioOutput(new QAudioOutput(player));
    player->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    return player;
}

void ComparisonView::stopPlayers() {
    // Panes bound to the players let go must be built again before the pair is shown again.
    panesStale_ = true;
    playerTimer_->stop();
    for (QPointer<QMediaPlayer>* player : {&leftPlayer_, &rightPlayer_}) {
        if (*player) {
            (*player)->pause();
            (*player)->deleteLater();
        }
        *player = nullptr;
    }
}

void ComparisonView::playBoth() {
    makePlayers();
    std::vector<QPointer<QMediaPlayer>> players;
    for (const auto& player : {leftPlayer_, rightPlayer_})
        if (player)
            players.push_back(player);
    if (players.empty())
        return;
    new PlayBoth(std::move(players), this);
}

void ComparisonView::rebuildPanes() {
    delete leftPane_;
    delete rightPane_;
    leftPane_ = rightPane_ = nullptr;
    panesStale_ = false;
    if (!item_)
        return;
    std::optional<QString> originalPath;
    if (const MoveRecord* record = item_->parkedRecord())
        originalPath = QString::fromStdString(record->from);
    const bool similar = item_->similarOrigin() != nullptr;
    const auto facts = similar ? FilePane::Facts::forComparingPictures : FilePane::Facts::standard;
    leftPane_ = new FilePane(QString::fromStdString(item_->keepURL), FilePane::Kept{}, leftPlayer_,
                             panes_, facts);
    rightPane_ = new FilePane(QString::fromStdString(item_->candidateURL),
                              similar ? FilePane::Role(FilePane::Similar{})
                                      : FilePane::Duplicate{originalPath},
                              rightPlayer_, panes_, facts);
    for (FilePane* pane : {leftPane_, rightPane_}) {
        // Each pane takes half of the width, whatever its content would like.
        pane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
        panes_->layout()->addWidget(pane);
        pane->show();
    }
    leftPane_->setObjectName(QStringLiteral("leftPane"));
    rightPane_->setObjectName(QStringLiteral("rightPane"));
}

void ComparisonView::mark(ReviewItem::Decision decision) {
    if (!item_)
        return;
    // The buttons judge the pair on screen; should the selection ever point elsewhere, it is
    // brought back to this pair rather than marking one the user cannot see.
    if (session_.selection() != item_->id)
        session_.setSelection(item_->id);
    session_.markSelectionAndAdvance(decision);
}

bool ComparisonView::event(QEvent* event) {
    // K and D belong to the decision buttons while the comparison has the focus, even where the
    // window's menus carry the same keys.
    if (event->type() == QEvent::ShortcutOverride &&
        isDecisionKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void ComparisonView::keyPressEvent(QKeyEvent* event) {
    if (!isDecisionKey(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    mark(event->key() == Qt::Key_K ? ReviewItem::Decision::keep : ReviewItem::Decision::discard);
}

void ComparisonView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (panesStale_ && item_)
        preparePlayers();
}

void ComparisonView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A minimised window only pauses; leaving the comparison lets the players go.
    if (event->spontaneous()) {
        for (QMediaPlayer* player : {leftPlayer_.data(), rightPlayer_.data()})
            if (player)
                player->pause();
        return;
    }
    stopPlayers();
}

} // namespace quillmere
