// The rows of the review list: the session's filtered pairs, in load order. A change of filter or
// a new review rebuilds the rows; a change to single pairs (a mark, an outcome of apply) moves
// only the rows concerned, so that a list of 20,000 pairs keeps its scroll position and its
// selection and stays quick.
#pragma once

#include <QAbstractListModel>
#include <QSet>
#include <QString>
#include <cstddef>
#include <string>
#include <vector>

namespace quillmere {

class ReviewSession;
struct ReviewItem;

class ReviewListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    /// Qt::UserRole holds the pair's id; the display text is the duplicate's file name.
    static constexpr int idRole = Qt::UserRole;

    explicit ReviewListModel(ReviewSession& session, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    /// The row that shows the pair, or -1.
    int rowOf(const std::string& id) const;
    /// The pair shown in a row.
    const ReviewItem& itemAt(int row) const;

    /// Brings the rows in line with the session now; otherwise pending changes of single pairs
    /// are taken in on the next turn of the event loop, together.
    void sync();

  signals:
    /// The rows were brought in line with the session.
    void synced();

  private:
    /// Lists the rows anew, for a new review or another filter.
    void relist();
    void changed(const QString& id);
    /// Positions in session.items() of the pairs the filters list now, ascending.
    std::vector<std::size_t> listedNow() const;
    /// Removes and inserts the rows that differ between rows_ and `listed`.
    void moveRows(const std::vector<std::size_t>& listed);

    ReviewSession& session_;
    /// Position in session.items() of the pair in each row, ascending.
    std::vector<std::size_t> rows_;
    QSet<QString> pending_;
    bool syncQueued_ = false;
};

} // namespace quillmere
