// Detail screens of the main window. Screens are centred vertical stacks with 40 points of
// padding; the sizes, texts and colours are the product's own.
#include "views/DetailScreens.h"

#include "model/ReviewSession.h"
#include "model/ScanCoordinator.h"
#include "report/ReportWriter.h"
#include "views/Controls.h"
#include "views/Info.h"
#include "views/Labels.h"
#include "views/Palette.h"
#include "views/Symbols.h"
#include "views/TextStyle.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>
#include <QVBoxLayout>

namespace quillmere {

namespace {

using Role = Palette::Role;

/// The layout of a screen: centred, padded 40 points, with the given spacing.
QVBoxLayout* centredStack(QWidget* screen, int spacing) {
    auto* layout = new QVBoxLayout(screen);
    layout->setContentsMargins(40, 40, 40, 40);
    layout->setSpacing(spacing);
    layout->addStretch(1);
    return layout;
}

void finish(QVBoxLayout* layout) {
    layout->addStretch(1);
}

// Centred between stretches rather than by alignment, so that a wrapping paragraph gets the
// height its width needs.
void addCentred(QVBoxLayout* layout, QWidget* widget) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(widget);
    row->addStretch(1);
    layout->addLayout(row);
}

void addCentred(QVBoxLayout* layout, QLayout* inner) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addLayout(inner);
    row->addStretch(1);
    layout->addLayout(row);
}

QLabel* text(const QString& content, TextStyle style, Role role, QWidget* parent,
             std::optional<QFont::Weight> weight = std::nullopt) {
    auto* label = new QLabel(content, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(TextStyles::font(style, weight));
    Palette::setForeground(*label, role);
    return label;
}

/// A wrapping, centred paragraph of a fixed width.
QLabel* paragraph(const QString& content, TextStyle style, Role role, int width, QWidget* parent) {
    auto* label = text(content, style, role, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    label->setFixedWidth(width);
    return label;
}

QLabel* symbol(const QString& name, int size, Role role, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(Symbols::pixmap(name, size, Palette::color(role, parent->palette()),
                                     parent->devicePixelRatioF()));
    label->setFixedSize(size, size);
    return label;
}

QLabel* title(const QString& content, QWidget* parent) {
    return text(content, TextStyle::title2, Role::primary, parent, QFont::DemiBold);
}

} // namespace

// ---- Welcome

WelcomeScreen::WelcomeScreen(QWidget* parent) : QWidget(parent) {
    auto* layout = centredStack(this, 20);

    auto* icon = new QLabel(this);
    const QSize iconSize(84, 84);
    icon->setPixmap(Info::applicationIcon().pixmap(iconSize, devicePixelRatioF()));
    icon->setFixedSize(iconSize);
    icon->setScaledContents(true);
    addCentred(layout, icon);

    auto* intro = new QVBoxLayout;
    intro->setSpacing(10);
    auto* heading = title(QStringLiteral("Find duplicate photos and videos"), this);
    intro->addWidget(heading, 0, Qt::AlignHCenter);
    intro->addWidget(paragraph(
        QStringLiteral("Pick one or more folders or drives. Quillmere compares every candidate "
                       "byte for byte across all of them, then shows you each pair side by side. "
                       "Nothing is moved or deleted until you say so."),
        TextStyle::body, Role::secondary, 430, this));
    addCentred(layout, intro);

    addCentred(layout, paragraph(QStringLiteral(
                                     "To pick more than one: navigate to a folder that "
                                     "contains them (e.g. your home folder), then Ctrl-click each "
                                     "one before choosing Scan."),
                                 TextStyle::caption, Role::tertiary, 430, this));

    auto* actions = new QVBoxLayout;
    actions->setSpacing(10);
    actions->setContentsMargins(0, 4, 0, 0);
    auto* scans = new QHBoxLayout;
    scans->setSpacing(12);
    auto* scan = Buttons::prominent(QStringLiteral("Scan Folders…"), this);
    auto* similar = Buttons::large(QStringLiteral("Find Similar Photos…"), this);
    similar->setObjectName(QStringLiteral("findSimilar"));
    similar->setToolTip(QStringLiteral("Find the same picture at another size, quality or format"));
    scans->addWidget(scan);
    scans->addWidget(similar);
    auto* open = new LinkButton(QStringLiteral("Open an Earlier Scan's Manifest…"),
                                TextStyles::font(TextStyle::body), this);
    actions->addLayout(scans);
    actions->addWidget(open, 0, Qt::AlignHCenter);
    addCentred(layout, actions);
    finish(layout);

    connect(scan, &QPushButton::clicked, this, &WelcomeScreen::scanRequested);
    connect(similar, &QPushButton::clicked, this, &WelcomeScreen::similarRequested);
    connect(open, &QPushButton::clicked, this, &WelcomeScreen::openRequested);
}

// ---- Scanning

ScanningPanel::ScanningPanel(const ScanCoordinator& scanner, QWidget* parent)
    : QWidget(parent), scanner_(scanner),
      headline_(text({}, TextStyle::headline, Role::primary, this)),
      detail_(new ElidedLabel(Qt::ElideMiddle, this)), progress_(new QProgressBar(this)),
      caption_(text({}, TextStyle::caption, Role::secondary, this)),
      stop_(Buttons::large(QStringLiteral("Stop"), this)) {
    Palette::setBackground(*this, Palette::bar(palette()));
    auto* layout = centredStack(this, 16);
    addCentred(layout, new Spinner(32, this));
    addCentred(layout, headline_);

    detail_->setFont(TextStyles::font(TextStyle::callout, std::nullopt, FontDesign::monospaced));
    Palette::setForeground(*detail_, Role::secondary);
    detail_->setMaximumWidth(720);
    addCentred(layout, detail_);

    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setFixedWidth(320);
    addCentred(layout, progress_);
    addCentred(layout, caption_);
    layout->addSpacing(4);
    addCentred(layout, stop_);
    finish(layout);

    stop_->setObjectName(QStringLiteral("stopScan"));
    connect(stop_, &QPushButton::clicked, this, &ScanningPanel::stopRequested);
    // Esc stops the scan wherever the focus is in the window, as long as the panel is shown.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &ScanningPanel::stopRequested);

    for (const auto signal : {&ScanCoordinator::headlineChanged, &ScanCoordinator::detailChanged,
                              &ScanCoordinator::fractionChanged, &ScanCoordinator::elapsedChanged})
        connect(&scanner_, signal, this, &ScanningPanel::refresh);
    refresh();
}

void ScanningPanel::refresh() {
    headline_->setText(scanner_.headline());
    detail_->setFullText(scanner_.detail());
    detail_->setVisible(!scanner_.detail().isEmpty());
    progress_->setVisible(scanner_.hasFraction());
    progress_->setValue(int(scanner_.fractionValue() * 1000));
    caption_->setText(ReviewTexts::scanningCaption(scanner_.elapsed()));
}

// ---- Nothing found

NothingFoundScreen::NothingFoundScreen(const ReviewSession& session, QWidget* parent)
    : QWidget(parent), session_(session), title_(title({}, this)),
      checked_(text({}, TextStyle::body, Role::secondary, this)),
      took_(text({}, TextStyle::caption, Role::secondary, this)),
      nothingHere_(text(QStringLiteral("There is nothing to review here."), TextStyle::body,
                        Role::secondary, this)) {
    auto* layout = centredStack(this, 14);
    addCentred(layout, symbol(QStringLiteral("checkmark.circle"), 52, Role::green, this));
    addCentred(layout, title_);
    addCentred(layout, checked_);
    addCentred(layout, took_);
    addCentred(layout, nothingHere_);

    auto* again = Buttons::large(QStringLiteral("Scan Another Folder…"), this);
    layout->addSpacing(4);
    addCentred(layout, again);
    finish(layout);
    connect(again, &QPushButton::clicked, this, &NothingFoundScreen::scanRequested);
}

void NothingFoundScreen::refresh() {
    title_->setText(ReviewTexts::nothingFound(session_.kind()));
    const auto& summary = session_.scanSummary();
    checked_->setVisible(summary.has_value());
    took_->setVisible(summary.has_value());
    nothingHere_->setVisible(!summary);
    if (summary) {
        checked_->setText(ReviewTexts::checkedSummary(summary->filesScanned, summary->folderName(),
                                                      session_.kind()));
        took_->setText(ReviewTexts::tookSummary(summary->duration));
    }
}

// ---- Completion

CompletionSummary::CompletionSummary(ReviewSession& session, QWidget* parent)
    : QWidget(parent), session_(session),
      dealtWith_(text({}, TextStyle::body, Role::secondary, this)), grid_(new QGridLayout),
      trashed_(text({}, TextStyle::callout, Role::primary, this)),
      gone_(text({}, TextStyle::callout, Role::primary, this)),
      restored_(text({}, TextStyle::callout, Role::primary, this)),
      failed_(new LinkButton({}, TextStyles::font(TextStyle::callout), this)),
      freed_(text({}, TextStyle::callout, Role::primary, this, QFont::DemiBold)) {
    auto* layout = centredStack(this, 16);
    addCentred(layout, symbol(QStringLiteral("checkmark.circle.fill"), 52, Role::green, this));
    addCentred(layout, title(QStringLiteral("All done"), this));
    addCentred(layout, dealtWith_);

    grid_->setHorizontalSpacing(14);
    grid_->setVerticalSpacing(6);
    grid_->setContentsMargins(0, 4, 0, 4);
    const auto addRow = [this](const QString& label, Role role, QWidget* value) {
        const int row = grid_->rowCount();
        grid_->addWidget(text(label, TextStyle::callout, role, this), row, 0, Qt::AlignLeft);
        grid_->addWidget(value, row, 1, Qt::AlignLeft);
    };
    addRow(QStringLiteral("Moved to Trash"), Role::secondary, trashed_);
    addRow(QStringLiteral("Removed outside the app"), Role::secondary, gone_);
    addRow(QStringLiteral("Put back"), Role::secondary, restored_);
    addRow(QStringLiteral("Left alone"), Role::orange, failed_);
    addRow(QStringLiteral("Space freed"), Role::secondary, freed_);
    addCentred(layout, grid_);

    addCentred(layout, text(QStringLiteral("This window covers only the folder(s) you scanned."),
                            TextStyle::caption, Role::secondary, this));
    auto* again = Buttons::large(QStringLiteral("Scan Another Folder…"), this);
    layout->addSpacing(4);
    addCentred(layout, again);
    finish(layout);

    connect(failed_, &QPushButton::clicked, this, &CompletionSummary::showFailed);
    connect(again, &QPushButton::clicked, this, &CompletionSummary::scanRequested);
}

void CompletionSummary::refresh() {
    dealtWith_->setText(
        ReviewTexts::allDealtWith(std::int64_t(session_.items().size()), session_.kind()));
    const auto showRow = [this](QWidget* value, std::int64_t count) {
        const int index = grid_->indexOf(value);
        int row = 0, column = 0, rows = 0, columns = 0;
        grid_->getItemPosition(index, &row, &column, &rows, &columns);
        grid_->itemAtPosition(row, 0)->widget()->setVisible(count > 0);
        value->setVisible(count > 0);
    };
    trashed_->setText(QString::number(session_.trashedCount()));
    showRow(trashed_, session_.trashedCount());
    gone_->setText(QString::number(session_.goneCount()));
    showRow(gone_, session_.goneCount());
    restored_->setText(QString::number(session_.restoredCount()));
    showRow(restored_, session_.restoredCount());
    failed_->setText(QString::number(session_.failedCount()) + QStringLiteral(" — see why"));
    showRow(failed_, session_.failedCount());
    freed_->setText(QString::fromStdString(ReportWriter::humanSize(session_.bytesCleared())));
}

void CompletionSummary::showFailed() {
    session_.setFilter(ReviewSession::Filter::failed);
    const auto listed = session_.filtered();
    session_.setSelection(listed.empty() ? std::nullopt : std::optional(listed.front().id));
}

// ---- Notice

NoticeScreen::NoticeScreen(QWidget* parent)
    : QWidget(parent), symbol_(new QLabel(this)),
      title_(text({}, TextStyle::title2, Role::primary, this, QFont::Bold)),
      message_(paragraph({}, TextStyle::body, Role::secondary, 420, this)) {
    auto* layout = centredStack(this, 10);
    symbol_->setFixedSize(44, 44);
    addCentred(layout, symbol_);
    addCentred(layout, title_);
    addCentred(layout, message_);
    finish(layout);
}

void NoticeScreen::setNotice(const ReviewTexts::Notice& notice) {
    if (notice_ == notice)
        return;
    notice_ = notice;
    symbol_->setPixmap(Symbols::pixmap(
        notice.symbol, 44, Palette::color(Role::secondary, palette()), devicePixelRatioF()));
    title_->setText(notice.title);
    message_->setText(notice.message);
}

} // namespace quillmere
