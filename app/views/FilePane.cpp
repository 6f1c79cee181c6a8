// One side of the comparison.
#include "views/FilePane.h"

#include "fs/FileSystem.h"
#include "report/ReportWriter.h"
#include "scan/SkipRules.h"
#include "views/FileManager.h"
#include "views/Labels.h"
#include "views/Palette.h"
#include "views/PlayerView.h"
#include "views/PreviewImage.h"
#include "views/Symbols.h"
#include "views/TextStyle.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <memory>
#include <unicode/datefmt.h>
#include <unicode/smpdtfmt.h>

namespace quillmere {

namespace {

/// Height of the details block when its lines fit, in points; longer paths make it taller.
constexpr int detailsHeight = 132;
/// Height the preview keeps before the details start to scroll instead of growing.
constexpr int minimumPreviewHeight = 120;
/// Size a pane's picture is asked for, in points.
constexpr double previewSize = 900;

QString fileName(const QString& path) {
    return QString::fromStdString(std::string(FileSystem::lastComponent(path.toStdString())));
}

QLabel* captionLabel(const QString& text, Palette::Role colour, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(TextStyles::font(TextStyle::caption));
    Palette::setForeground(*label, colour);
    return label;
}

/// The abbreviated date ("Jul 14, 2023") and shortened time ("6:05 PM") of the user's locale in
/// the local time zone, joined as the locale joins a date to a time ("at" in English). ICU has no
/// style of its own for that mix: the long date of its long-date, short-time pattern is swapped
/// for the abbreviated one.
QString capturedDate(const QDateTime& when) {
    const icu::Locale locale(QLocale().name().toUtf8().constData());
    const auto pattern = [&](icu::DateFormat* format) {
        icu::UnicodeString text;
        std::unique_ptr<icu::DateFormat> owned(format);
        if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(owned.get()))
            simple->toPattern(text);
        return text;
    };
    using Style = icu::DateFormat::EStyle;
    icu::UnicodeString combined =
        pattern(icu::DateFormat::createDateTimeInstance(Style::kLong, Style::kShort, locale));
    const icu::UnicodeString longDate =
        pattern(icu::DateFormat::createDateInstance(Style::kLong, locale));
    const icu::UnicodeString abbreviated =
        pattern(icu::DateFormat::createDateInstance(Style::kMedium, locale));
    if (longDate.isEmpty() || combined.indexOf(longDate) < 0)
        combined =
            pattern(icu::DateFormat::createDateTimeInstance(Style::kMedium, Style::kShort, locale));
    else
        combined.findAndReplace(longDate, abbreviated);

    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat format(combined, locale, status);
    if (U_FAILURE(status))
        return QLocale().toString(when.toLocalTime(), QLocale::ShortFormat);
    icu::UnicodeString text;
    format.format(static_cast<UDate>(when.toMSecsSinceEpoch()), text);
    return QString::fromUtf16(text.getBuffer(), text.length());
}

/// "JPEG", "HEIC", "PNG": the format the file's extension names, in capitals.
QString formatName(const QString& path) {
    const QString extension = QFileInfo(path).suffix().toUpper();
    if (extension == QLatin1String("JPG") || extension == QLatin1String("JPE"))
        return QStringLiteral("JPEG");
    if (extension == QLatin1String("TIF"))
        return QStringLiteral("TIFF");
    return extension;
}

/// The notice shown instead of a picture when the file is not on disk.
QWidget* fileNotFound(QWidget* parent) {
    auto* notice = new QWidget(parent);
    notice->setObjectName(QStringLiteral("fileNotFound"));
    auto* layout = new QVBoxLayout(notice);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(8);
    layout->addStretch(1);
    auto* symbol = new QLabel(notice);
    symbol->setPixmap(Symbols::pixmap(QStringLiteral("exclamationmark.triangle"), 40,
                                      Palette::color(Palette::Role::secondary, notice->palette()),
                                      notice->devicePixelRatioF()));
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    auto* title = new QLabel(QStringLiteral("File not found"), notice);
    title->setObjectName(QStringLiteral("title"));
    title->setFont(TextStyles::font(TextStyle::title3, QFont::Bold));
    layout->addWidget(title, 0, Qt::AlignHCenter);
    auto* description =
        new QLabel(QStringLiteral("It may have been moved or deleted outside Quillmere."), notice);
    description->setObjectName(QStringLiteral("description"));
    description->setFont(TextStyles::font(TextStyle::callout));
    description->setAlignment(Qt::AlignHCenter);
    description->setWordWrap(true);
    Palette::setForeground(*description, Palette::Role::secondary);
    layout->addWidget(description);
    layout->addStretch(1);
    return notice;
}

} // namespace

FilePane::FilePane(const QString& url, Role role, QMediaPlayer* player, QWidget* parent,
                   Facts facts)
    : QWidget(parent), url_(url), role_(std::move(role)), facts_(facts), player_(player),
      preview_(new QWidget(this)), previewLayout_(new QVBoxLayout(preview_)) {
    Palette::setBackground(*this, Palette::windowBackground(palette()));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    roleRow_ = roleRow();
    layout->addWidget(roleRow_);

    preview_->setObjectName(QStringLiteral("previewArea"));
    Palette::setBackground(*preview_, Palette::textBackground(palette()));
    previewLayout_->setContentsMargins(0, 0, 0, 0);
    preview_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    layout->addWidget(preview_, 1);

    // The details grow with wrapped paths and scroll once the preview is down to its minimum, so
    // that no line is ever squeezed over another.
    detailsArea_ = new QScrollArea(this);
    detailsArea_->setObjectName(QStringLiteral("detailsArea"));
    detailsArea_->setFrameShape(QFrame::NoFrame);
    detailsArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    detailsArea_->setWidgetResizable(true);
    detailsArea_->setWidget(details());
    detailsArea_->viewport()->setAutoFillBackground(false);
    detailsArea_->widget()->setAutoFillBackground(false);
    detailsArea_->widget()->installEventFilter(this);
    layout->addWidget(detailsArea_);
    fitDetails();
}

bool FilePane::isInReviewFolder(const QString& path) {
    const QString review =
        QString::fromUtf8(SkipRules::reviewDirectoryName.data(),
                          static_cast<qsizetype>(SkipRules::reviewDirectoryName.size()));
    return path.split(QLatin1Char('/')).contains(review);
}

QWidget* FilePane::roleRow() {
    const bool kept = std::holds_alternative<Kept>(role_);
    const auto* duplicate = std::get_if<Duplicate>(&role_);
    const QString caption = kept                      ? QStringLiteral("Keeping this one")
                            : !duplicate              ? QStringLiteral("Similar photo")
                            : duplicate->originalPath ? QStringLiteral("In the review folder")
                                                      : QStringLiteral("Duplicate");
    const QString symbol = kept         ? QStringLiteral("checkmark.circle.fill")
                           : !duplicate ? QStringLiteral("square.on.square")
                                        : QStringLiteral("doc.on.doc.fill");
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(6);
    auto* label =
        new SymbolLabel(symbol, caption, TextStyles::font(TextStyle::caption, QFont::DemiBold),
                        kept ? Palette::Role::green : Palette::Role::orange, row);
    label->setObjectName(QStringLiteral("roleCaption"));
    // The symbol keeps its role colour; the caption itself is in the primary colour.
    Palette::setForeground(label->textLabel(), Palette::Role::primary);
    layout->addWidget(label);
    layout->addStretch(1);
    return row;
}

QWidget* FilePane::details() {
    auto* block = new QWidget(this);
    block->setObjectName(QStringLiteral("details"));
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(4);

    auto* name = new ElidedLabel(Qt::ElideMiddle, block);
    name->setObjectName(QStringLiteral("fileName"));
    name->setFont(TextStyles::font(TextStyle::body, std::nullopt, FontDesign::monospaced));
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    name->setFullText(fileName(url_));
    layout->addWidget(name);

    const QFont code = TextStyles::font(TextStyle::caption, std::nullopt, FontDesign::monospaced);
    auto* path = new SelectableText(
        url_, code,
        Palette::color(isInReviewFolder(url_) ? Palette::Role::orange : Palette::Role::secondary,
                       palette()),
        block);
    path->setObjectName(QStringLiteral("path"));
    layout->addWidget(path);

    if (const auto* duplicate = std::get_if<Duplicate>(&role_);
        duplicate && duplicate->originalPath) {
        auto* original =
            new SelectableText(QStringLiteral("Originally at  ") + *duplicate->originalPath, code,
                               Palette::color(Palette::Role::tertiary, palette()), block);
        original->setObjectName(QStringLiteral("originalPath"));
        layout->addWidget(original);
    }

    factsRow_ = new QWidget(block);
    factsRow_->setObjectName(QStringLiteral("facts"));
    auto* facts = new QHBoxLayout(factsRow_);
    facts->setContentsMargins(0, 0, 0, 0);
    facts->setSpacing(10);
    factsRow_->setMinimumHeight(QFontMetrics(TextStyles::font(TextStyle::caption)).height());
    layout->addWidget(factsRow_);

    captured_ = captionLabel(QString(), Palette::Role::secondary, block);
    captured_->setObjectName(QStringLiteral("captured"));
    captured_->hide();
    layout->addWidget(captured_);

    auto* links = new QHBoxLayout;
    links->setContentsMargins(0, 2, 0, 0);
    links->setSpacing(8);
    const QFont caption = TextStyles::font(TextStyle::caption);
    auto* reveal = new LinkButton(QStringLiteral("Show in File Manager"), caption, block);
    connect(reveal, &QPushButton::clicked, this, [this] { FileManager::reveal(url_); });
    auto* open = new LinkButton(QStringLiteral("Open"), caption, block);
    connect(open, &QPushButton::clicked, this, [this] { FileManager::open(url_); });
    links->addWidget(reveal);
    links->addWidget(open);
    links->addStretch(1);
    layout->addLayout(links);
    layout->addStretch(1);
    return block;
}

bool FilePane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == detailsArea_->widget() && event->type() == QEvent::LayoutRequest)
        QMetaObject::invokeMethod(this, &FilePane::fitDetails, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void FilePane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitDetails();
}

void FilePane::fitDetails() {
    const int wanted = std::max(detailsHeight, detailsArea_->widget()->minimumSizeHint().height());
    const int room = height() - roleRow_->sizeHint().height() - minimumPreviewHeight;
    const int fitted = std::max(std::min(wanted, room), QFontMetrics(font()).height() * 3);
    if (detailsArea_->height() != fitted || detailsArea_->minimumHeight() != fitted)
        detailsArea_->setFixedHeight(fitted);
}

void FilePane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!refreshed_)
        refresh();
}

void FilePane::refresh() {
    refreshed_ = true;
    exists_ = FileSystem::exists(url_.toStdString());
    showPreview();
    auto* watcher = new QFutureWatcher<FileMetadata>(this);
    connect(watcher, &QFutureWatcher<FileMetadata>::finished, this, [this, watcher] {
        metadata_ = watcher->result();
        watcher->deleteLater();
        showMetadata();
        emit metadataLoaded();
    });
    watcher->setFuture(FileMetadata::load(url_));
}

void FilePane::setPlayer(QMediaPlayer* player) {
    player_ = player;
    if (refreshed_)
        showPreview();
}

void FilePane::showPreview() {
    delete previewContent_;
    QWidget* content = nullptr;
    if (!exists_) {
        previewLayout_->setContentsMargins(0, 0, 0, 0);
        content = fileNotFound(preview_);
    } else if (player_) {
        previewLayout_->setContentsMargins(0, 0, 0, 0);
        content = new PlayerView(player_, preview_);
    } else {
        previewLayout_->setContentsMargins(8, 8, 8, 8);
        content = new PreviewImage(url_, previewSize, PreviewImage::ContentMode::fit, preview_);
    }
    previewLayout_->addWidget(content);
    content->show();
    previewContent_ = content;
}

void FilePane::showMetadata() {
    auto* facts = static_cast<QHBoxLayout*>(factsRow_->layout());
    // A file that is not there has no size to show; "0.0 B" would claim it is empty.
    if (exists_)
        facts->addWidget(
            captionLabel(QString::fromStdString(ReportWriter::humanSize(metadata_->sizeBytes)),
                         Palette::Role::secondary, factsRow_));
    for (const auto& text : {metadata_->dimensionsText(), metadata_->durationText()})
        if (text)
            facts->addWidget(captionLabel(*text, Palette::Role::secondary, factsRow_));
    const bool comparing = facts_ == Facts::forComparingPictures;
    if (comparing && exists_)
        facts->addWidget(captionLabel(formatName(url_), Palette::Role::secondary, factsRow_));
    facts->addStretch(1);
    if (metadata_->captured) {
        captured_->setText(QStringLiteral("Captured ") + capturedDate(*metadata_->captured));
        captured_->show();
    } else if (comparing && exists_) {
        // A copy whose metadata was stripped says so, rather than looking like the other.
        captured_->setText(QStringLiteral("No capture date recorded"));
        captured_->show();
    }
}

} // namespace quillmere
