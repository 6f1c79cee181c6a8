// Painting of review list rows.
#include "views/ReviewRowDelegate.h"

#include "fs/FileSystem.h"
#include "model/MediaKindHelper.h"
#include "model/ReviewSession.h"
#include "model/ThumbnailLoader.h"
#include "report/ReportWriter.h"
#include "views/Controls.h"
#include "views/PreviewImage.h"
#include "views/Symbols.h"
#include "views/TextStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QToolTip>

namespace quillmere {

namespace {

/// Space between the row's items, and inside the row's ends.
constexpr int spacing = 10;
constexpr int inset = 6;
/// The badge symbol's edge.
constexpr int badgeSize = 17;
/// The film symbol beside the size, at small scale.
constexpr int filmSize = 10;

std::optional<ReviewItem> itemAt(const ReviewSession& session, const QModelIndex& index) {
    const QString id = index.data(Qt::UserRole).toString();
    if (id.isEmpty())
        return std::nullopt;
    return session.item(id.toStdString());
}

/// The palette the row's texts are drawn from: the highlighted text colour on a selected row.
QPalette rowPalette(const QStyleOptionViewItem& option) {
    QPalette palette = option.palette;
    if (option.state & QStyle::State_Selected) {
        const auto group =
            option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
        palette.setColor(QPalette::WindowText,
                         option.palette.color(group, QPalette::HighlightedText));
        palette.setColor(QPalette::Window, option.palette.color(group, QPalette::Highlight));
    }
    return palette;
}

void drawLine(QPainter& painter, const QRect& box, const QFont& font, const QColor& colour,
              const QString& text, Qt::TextElideMode elide) {
    painter.setFont(font);
    painter.setPen(colour);
    const QString shown = QFontMetrics(font).elidedText(text, elide, box.width());
    // Not clipped to the line's box: underscores sit below the font's descent in some fonts.
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                     shown);
}

} // namespace

ReviewRowDelegate::ReviewRowDelegate(ReviewSession& session, QObject* parent,
                                     ThumbnailLoader* loader)
    : QStyledItemDelegate(parent), session_(session),
      loader_(loader ? *loader : ThumbnailLoader::shared()) {
    spin_.setInterval(Spinner::stepInterval);
    connect(&spin_, &QTimer::timeout, this, [this] {
        if (requested_.isEmpty() || !spinning_) {
            spin_.stop();
            return;
        }
        spinStep_ = (spinStep_ + 1) % 12;
        if (auto* list = qobject_cast<QAbstractItemView*>(spinning_.data()))
            list->viewport()->update();
        else
            spinning_->update();
    });
}

QString ReviewRowDelegate::helpText(const ReviewItem& item) {
    if (item.state == ReviewItem::State::failed)
        return QStringLiteral("Left alone — ") + QString::fromStdString(item.failureReason);
    return QString::fromStdString(item.candidateURL);
}

std::optional<ReviewRowDelegate::Badge> ReviewRowDelegate::badgeFor(const ReviewItem& item) {
    using State = ReviewItem::State;
    using Role = Palette::Role;
    switch (item.state) {
    case State::pending:
        switch (item.decision) {
        case ReviewItem::Decision::undecided:
            return std::nullopt;
        case ReviewItem::Decision::discard:
            return Badge{QStringLiteral("trash.circle.fill"), Role::red};
        case ReviewItem::Decision::keep:
            return Badge{QStringLiteral("checkmark.circle.fill"), Role::green};
        }
        return std::nullopt;
    case State::failed:
        return Badge{QStringLiteral("exclamationmark.triangle.fill"), Role::orange};
    case State::trashed:
        return Badge{QStringLiteral("trash.fill"), Role::secondary};
    case State::restored:
        return Badge{QStringLiteral("arrow.uturn.backward"), Role::secondary};
    case State::kept:
        return Badge{QStringLiteral("checkmark"), Role::secondary};
    case State::gone:
        return Badge{QStringLiteral("minus.circle"), Role::tertiary};
    }
    return std::nullopt;
}

QString ReviewRowDelegate::folderName(const ReviewItem& item) {
    return QString::fromStdString(
        std::string(FileSystem::lastComponent(FileSystem::parent(item.candidateURL))));
}

QSize ReviewRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width() > 0 ? option.rect.width() : 280, rowHeight};
}

void ReviewRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, view);

    const std::optional<ReviewItem> item = itemAt(session_, index);
    if (!item)
        return;
    const QPalette palette = rowPalette(option);
    const QString path = QString::fromStdString(item->candidateURL);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect row = option.rect.adjusted(inset, 0, -inset, 0);
    const QRect frame(row.left(), row.center().y() - thumbnailFrame / 2 + 1, thumbnailFrame,
                      thumbnailFrame);
    paintThumbnail(*painter, frame, path, index, view, palette);

    int right = row.right();
    if (const auto badge = badgeFor(*item)) {
        const QRect box(right - badgeSize + 1, row.center().y() - badgeSize / 2, badgeSize,
                        badgeSize);
        Symbols::paint(*painter, box, badge->symbol, Palette::color(badge->colour, palette));
        right = box.left() - spacing;
    }

    // Three lines 2 points apart, centred on the row.
    const QFont nameFont = TextStyles::font(TextStyle::body);
    const QFont folderFont = TextStyles::font(TextStyle::caption2);
    const QFont sizeFont = TextStyles::font(TextStyle::caption);
    const int nameHeight = QFontMetrics(nameFont).height();
    const int folderHeight = QFontMetrics(folderFont).height();
    const int sizeHeight = QFontMetrics(sizeFont).height();
    const int left = frame.right() + 1 + spacing;
    const int width = std::max(0, right - left + 1);
    int top = row.center().y() - (nameHeight + folderHeight + sizeHeight + 4) / 2;

    drawLine(*painter, QRect(left, top, width, nameHeight), nameFont,
             Palette::color(Palette::Role::primary, palette),
             QString::fromStdString(std::string(FileSystem::lastComponent(item->candidateURL))),
             Qt::ElideMiddle);
    top += nameHeight + 2;
    // The faintest colour all but vanishes on the selection's highlight.
    const bool selected = option.state & QStyle::State_Selected;
    drawLine(*painter, QRect(left, top, width, folderHeight), folderFont,
             Palette::color(selected ? Palette::Role::secondary : Palette::Role::tertiary, palette),
             folderName(*item), Qt::ElideLeft);
    top += folderHeight + 2;
    const QColor secondary = Palette::color(Palette::Role::secondary, palette);
    const QString size = QString::fromStdString(ReportWriter::humanSize(item->sizeBytes));
    drawLine(*painter, QRect(left, top, width, sizeHeight), sizeFont, secondary, size,
             Qt::ElideRight);
    if (MediaKindHelper::isVideo(path)) {
        const int after = left + QFontMetrics(sizeFont).horizontalAdvance(size) + 6;
        if (after + filmSize <= right)
            Symbols::paint(*painter,
                           QRect(after, top + (sizeHeight - filmSize) / 2, filmSize, filmSize),
                           QStringLiteral("film"), secondary);
    }
    painter->restore();
}

void ReviewRowDelegate::paintThumbnail(QPainter& painter, const QRect& frame, const QString& path,
                                       const QModelIndex& index, const QWidget* view,
                                       const QPalette& palette) const {
    QPainterPath clip;
    clip.addRoundedRect(QRectF(frame), 4, 4);
    painter.save();
    painter.setClipPath(clip);
    const QImage* image = thumbnail(path, index, view);
    if (image) {
        // Fitted: the whole picture inside the frame, centred.
        QSizeF fitted = QSizeF(image->size()).scaled(QSizeF(frame.size()), Qt::KeepAspectRatio);
        const QRectF target(frame.center().x() + 0.5 - fitted.width() / 2,
                            frame.center().y() + 0.5 - fitted.height() / 2, fitted.width(),
                            fitted.height());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, *image);
    } else {
        // A faint tile with a small spinner while the picture loads, or a question mark when none
        // could be made.
        QColor wash = palette.color(QPalette::WindowText);
        wash.setAlphaF(0.07f);
        painter.fillPath(clip, wash);
        if (failed_.contains(path))
            Symbols::paint(painter, QRectF(frame).adjusted(12, 12, -12, -12),
                           QStringLiteral("questionmark.square.dashed"),
                           Palette::color(Palette::Role::tertiary, palette));
        else
            Spinner::paintSpokes(painter, QRectF(frame).adjusted(15, 15, -15, -15),
                                 palette.color(QPalette::WindowText), spinStep_);
    }
    painter.restore();
}

const QImage* ReviewRowDelegate::thumbnail(const QString& path, const QModelIndex& index,
                                           const QWidget* view) const {
    if (const QImage* arrived = loader_.cached(path, thumbnailSize))
        return arrived;
    if (requested_.contains(path))
        return nullptr;
    if (const auto failure = failed_.find(path); failure != failed_.end() && !failure.value()) {
        // This paint shows the failure; the next one tries again.
        failure.value() = true;
        return nullptr;
    }
    requested_.insert(path);
    auto* self = const_cast<ReviewRowDelegate*>(this);
    QPointer<QWidget> target(const_cast<QWidget*>(view));
    self->spinning_ = target;
    if (!spin_.isActive())
        self->spin_.start();
    const QPersistentModelIndex row(index);
    loader_.image(path, thumbnailSize, PreviewImage::scale, self,
                  [self, path, target, row](const QImage& image) {
                      self->requested_.remove(path);
                      if (image.isNull()) {
                          // A failure already on screen stays as it is, so that a file that
                          // never loads is not asked for again and again.
                          if (self->failed_.contains(path))
                              return;
                          self->failed_.insert(path, false);
                      } else {
                          self->failed_.remove(path);
                      }
                      if (!target)
                          return;
                      if (auto* list = qobject_cast<QAbstractItemView*>(target.data());
                          list && row.isValid())
                          list->update(row);
                      else
                          target->update();
                  });
    return loader_.cached(path, thumbnailSize);
}

bool ReviewRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const std::optional<ReviewItem> item = itemAt(session_, index);
    if (!item)
        return false;
    QToolTip::showText(event->globalPos(), helpText(*item), view, option.rect);
    return true;
}

} // namespace quillmere
