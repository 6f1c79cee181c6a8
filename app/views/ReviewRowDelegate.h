// One line of the review list, painted rather than built from widgets so that a list of tens of
// thousands of pairs stays light: the duplicate's thumbnail, name, folder and size, a film symbol
// for videos, and a badge saying where the pair stands. The list model gives each row's item id
// as Qt::UserRole data.
#pragma once

#include "model/ReviewItem.h"
#include "views/Palette.h"

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTimer>
#include <optional>

namespace quillmere {

class ReviewSession;
class ThumbnailLoader;

class ReviewRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    /// The symbol and colour marking a pair's standing.
    struct Badge {
        QString symbol;
        Palette::Role colour;
        friend bool operator==(const Badge&, const Badge&) = default;
    };

    /// Row height in points.
    static constexpr int rowHeight = 52;
    /// Edge of the thumbnail frame in points.
    static constexpr int thumbnailFrame = 46;
    /// Size the thumbnail picture is asked for, in points.
    static constexpr double thumbnailSize = 128;

    /// Reads the items from `session`; pictures come from `loader`, or the app's shared one.
    explicit ReviewRowDelegate(ReviewSession& session, QObject* parent = nullptr,
                               ThumbnailLoader* loader = nullptr);

    /// Shown on hover: "Left alone — " + the reason for a failed pair, else the duplicate's path.
    static QString helpText(const ReviewItem& item);
    /// By state first, then, for a pending pair, by decision; none for an unmarked pending pair.
    static std::optional<Badge> badgeFor(const ReviewItem& item);
    /// The name of the folder holding the duplicate.
    static QString folderName(const ReviewItem& item);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  private:
    /// The picture of `path` from the loader's cache; asks for it otherwise, and repaints the row
    /// when it comes.
    const QImage* thumbnail(const QString& path, const QModelIndex& index,
                            const QWidget* view) const;
    void paintThumbnail(QPainter& painter, const QRect& frame, const QString& path,
                        const QModelIndex& index, const QWidget* view,
                        const QPalette& palette) const;

    ReviewSession& session_;
    ThumbnailLoader& loader_;
    /// Pictures being made for the rows.
    mutable QSet<QString> requested_;
    /// Paths of which no picture could be made, and whether a row has shown that since. A shown
    /// failure is retried when the row is painted again; the pictures themselves live only in
    /// the loader's cache.
    mutable QHash<QString, bool> failed_;
    /// Turns the spinners of rows whose pictures are being made, in the list that shows them.
    QTimer spin_;
    int spinStep_ = 0;
    QPointer<QWidget> spinning_;
};

} // namespace quillmere
