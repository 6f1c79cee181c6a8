// Rows of the review list, kept in step with the session.
#include "views/ReviewListModel.h"

#include "fs/FileSystem.h"
#include "model/ReviewSession.h"

#include <QTimer>
#include <algorithm>

namespace quillmere {

namespace {

// Beyond this many rows to move at once, rebuilding is cheaper for the view than moving each.
constexpr std::size_t maxRowsMoved = 1000;

} // namespace

ReviewListModel::ReviewListModel(ReviewSession& session, QObject* parent)
    : QAbstractListModel(parent), session_(session) {
    connect(&session_, &ReviewSession::itemsChanged, this, &ReviewListModel::relist);
    connect(&session_, &ReviewSession::filterChanged, this, &ReviewListModel::relist);
    connect(&session_, &ReviewSession::mediaFilterChanged, this, &ReviewListModel::relist);
    connect(&session_, &ReviewSession::itemChanged, this, &ReviewListModel::changed);
    relist();
}

int ReviewListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant ReviewListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const ReviewItem& item = itemAt(index.row());
    switch (role) {
    case idRole:
        return QString::fromStdString(item.id);
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return QString::fromStdString(std::string(FileSystem::lastComponent(item.candidateURL)));
    default:
        return {};
    }
}

int ReviewListModel::rowOf(const std::string& id) const {
    const auto found = session_.indexOf(id);
    if (!found)
        return -1;
    const auto row = std::lower_bound(rows_.begin(), rows_.end(), *found);
    if (row == rows_.end() || *row != *found)
        return -1;
    return int(row - rows_.begin());
}

const ReviewItem& ReviewListModel::itemAt(int row) const {
    return session_.items()[rows_[std::size_t(row)]];
}

std::vector<std::size_t> ReviewListModel::listedNow() const {
    // The model's rows are positions in the session's items.
    return session_.filteredIndices();
}

void ReviewListModel::relist() {
    beginResetModel();
    rows_ = listedNow();
    pending_.clear();
    endResetModel();
    emit synced();
}

void ReviewListModel::changed(const QString& id) {
    pending_.insert(id);
    if (syncQueued_)
        return;
    // Outcomes of an apply arrive one pair at a time, many per turn: they are taken in together.
    syncQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        syncQueued_ = false;
        sync();
    });
}

void ReviewListModel::sync() {
    if (pending_.isEmpty())
        return;
    const auto listed = listedNow();
    std::vector<std::size_t> difference;
    std::set_symmetric_difference(rows_.begin(), rows_.end(), listed.begin(), listed.end(),
                                  std::back_inserter(difference));
    if (difference.size() > maxRowsMoved) {
        beginResetModel();
        rows_ = listed;
        pending_.clear();
        endResetModel();
        emit synced();
        return;
    }
    moveRows(listed);
    // Pairs that stay listed but show another mark or outcome.
    for (const auto& id : std::as_const(pending_))
        if (const int row = rowOf(id.toStdString()); row >= 0)
            emit dataChanged(index(row), index(row));
    pending_.clear();
    emit synced();
}

void ReviewListModel::moveRows(const std::vector<std::size_t>& listed) {
    // Both lists ascend, so the rows that stay keep their order: remove runs of rows from the
    // bottom up, then insert runs from the top down at the rows they take in the new list.
    std::vector<bool> stays(rows_.size());
    for (std::size_t row = 0, next = 0; row < rows_.size(); ++row) {
        while (next < listed.size() && listed[next] < rows_[row])
            ++next;
        stays[row] = next < listed.size() && listed[next] == rows_[row];
    }
    for (std::size_t end = rows_.size(); end > 0;) {
        if (stays[end - 1]) {
            --end;
            continue;
        }
        std::size_t first = end - 1;
        while (first > 0 && !stays[first - 1])
            --first;
        beginRemoveRows({}, int(first), int(end) - 1);
        rows_.erase(rows_.begin() + std::ptrdiff_t(first), rows_.begin() + std::ptrdiff_t(end));
        endRemoveRows();
        end = first;
    }
    for (std::size_t row = 0; row < listed.size();) {
        if (row < rows_.size() && rows_[row] == listed[row]) {
            ++row;
            continue;
        }
        // What is left of the old rows is a subsequence of the new list, so the run of new rows
        // ends where the next old row appears.
        std::size_t end = row;
        while (end < listed.size() && (row >= rows_.size() || listed[end] != rows_[row]))
            ++end;
        beginInsertRows({}, int(row), int(end) - 1);
        rows_.insert(rows_.begin() + std::ptrdiff_t(row), listed.begin() + std::ptrdiff_t(row),
                     listed.begin() + std::ptrdiff_t(end));
        endInsertRows();
        row = end;
    }
}

} // namespace quillmere
