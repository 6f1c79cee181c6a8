// Applying the marks of a review. Each duplicate marked for removal is compared byte for byte
// with its kept copy during this apply, off the GUI thread and one pair at a time; a similar photo,
// which differs from its kept copy by definition, is instead checked to be, like the kept copy,
// the very file the scan saw. Only when all checks are done are the verified files handed to the
// Trash, together. Keep marks then leave files alone or put set-aside files back. Nothing is ever
// deleted: a duplicate that cannot go to the Trash stays where it is, and its pair records why.
#include "fs/FileSystem.h"
#include "model/ApplyFailure.h"
#include "model/ReviewSession.h"
#include "model/Trash.h"
#include "move/Mover.h"
#include "scan/CloudStatus.h"
#include "scan/ContentSignature.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <deque>
#include <sys/stat.h>

namespace quillmere {

namespace {

using namespace ApplyFailure;

enum class Comparison { identical, different, sameFile };

// Runs off the GUI thread. Two names of one file (a hard link, or a link leading the kept path to
// the duplicate) would compare identical, and trashing one would take the kept copy with it.
Comparison compare(const std::string& keep, const std::string& duplicate) {
    struct stat kept {
    }, candidate{};
    if (::stat(keep.c_str(), &kept) == 0 && ::stat(duplicate.c_str(), &candidate) == 0 &&
        kept.st_dev == candidate.st_dev && kept.st_ino == candidate.st_ino)
        return Comparison::sameFile;
    return ContentSignature::verifyIdentical(keep, duplicate) ? Comparison::identical
                                                              : Comparison::different;
}

std::optional<similar::FileStamp> stampOf(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return std::nullopt;
    return similar::FileStamp{status.st_dev, status.st_ino, status.st_size,
                              std::int64_t(status.st_mtim.tv_sec) * 1'000'000'000 +
                                  status.st_mtim.tv_nsec};
}

// Why a similar photo must stay: the kept photo or this one is no longer the file the scan saw
// (same device and inode, size and modification time), so what the person looked at may not be
// what would go.
std::optional<std::string_view> changedSinceScan(const ReviewItem& pair,
                                                 const ReviewItem::Similar& scanned) {
    if (stampOf(pair.keepURL) != scanned.keep)
        return similarKeeperChanged;
    if (stampOf(pair.candidateURL) != scanned.candidate)
        return similarChanged;
    return std::nullopt;
}

} // namespace

// One apply, from the first comparison to the last outcome. Owned by the session, so that
// nothing of it outlives the session; the background work then finishes unobserved.
class ReviewSession::ApplyRun : public QObject {
  public:
    ApplyRun(ReviewSession& session, bool removing) : QObject(&session), session_(session) {
        if (removing)
            for (auto& item : session.markedForDiscard())
                toVerify_.push_back(std::move(item));
    }

    void start() {
        session_.setApplying(true);
        verifyNext();
    }

  private:
    using State = ReviewItem::State;

    void fail(const std::string& id, std::string_view reason) {
        if (const auto index = session_.indexOf(id))
            session_.setState(*index, State::failed, std::string(reason));
    }

    // Why a set-aside record must not be acted on: a manifest is input from disk, and its
    // records must lie inside the review folder of its root.
    std::optional<std::string> refusal(const ReviewItem& item) const {
        const MoveRecord* record = item.parkedRecord();
        if (!record)
            return std::nullopt;
        return Mover::recordRefusal(*record, session_.manifestRoot_.value_or(std::string()));
    }

    // The checks that read no file contents come first; then one comparison in the background,
    // whose answer continues the run.
    void verifyNext() {
        while (!toVerify_.empty()) {
            const ReviewItem pair = std::move(toVerify_.front());
            toVerify_.pop_front();
            if (!session_.indexOf(pair.id))
                continue;
            if (const auto reason = refusal(pair)) {
                fail(pair.id, *reason);
                continue;
            }
            const ReviewItem::Similar* similar = pair.similarOrigin();
            if (!FileSystem::exists(pair.keepURL)) {
                fail(pair.id, similar ? similarKeeperMissing : keeperMissing);
                continue;
            }
            if (session_.cloud_.isPlaceholder(pair.candidateURL) ||
                session_.cloud_.isPlaceholder(pair.keepURL)) {
                fail(pair.id, notDownloaded);
                continue;
            }
            if (similar) {
                // Two file-status reads, no contents: quick enough for the GUI thread.
                if (const auto reason = changedSinceScan(pair, *similar))
                    fail(pair.id, *reason);
                else
                    verified_.push_back(pair);
                continue;
            }
            auto* watcher = new QFutureWatcher<Comparison>(this);
            connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, pair] {
                watcher->deleteLater();
                compared(pair, watcher->result());
            });
            watcher->setFuture(
                QtConcurrent::run([keep = pair.keepURL, duplicate = pair.candidateURL] {
                    return compare(keep, duplicate);
                }));
            return;
        }
        trashVerified();
    }

    void compared(const ReviewItem& pair, Comparison result) {
        if (result == Comparison::identical)
            verified_.push_back(pair);
        else
            fail(pair.id, result == Comparison::sameFile ? sameFile : notIdentical);
        verifyNext();
    }

    // Only pairs still pending, still marked for removal and still paired with the copy they
    // were compared with go: the GUI stays live during the comparisons, so marks may change.
    void trashVerified() {
        std::vector<ReviewItem> going;
        for (auto& pair : verified_) {
            const auto current = session_.item(pair.id);
            if (current && current->state == State::pending &&
                current->decision == ReviewItem::Decision::discard &&
                current->keepURL == pair.keepURL)
                going.push_back(std::move(pair));
        }
        verified_.clear();
        if (going.empty()) {
            keepPhase();
            return;
        }
        std::vector<std::string> paths;
        for (const auto& pair : going)
            paths.push_back(pair.candidateURL);
        auto* watcher = new QFutureWatcher<std::optional<std::string>>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, going] {
            watcher->deleteLater();
            trashed(going, watcher->future().results());
        });
        // Every request at once, each answering for its own file; the batch is awaited as one.
        const Trash& trash = session_.trash_;
        watcher->setFuture(
            QtConcurrent::mapped(std::move(paths), [&trash](const std::string& path) {
                return trash.moveToTrash(path);
            }));
    }

    void trashed(const std::vector<ReviewItem>& pairs,
                 const QList<std::optional<std::string>>& failures) {
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            const auto index = session_.indexOf(pairs[i].id);
            if (!index)
                continue;
            const auto& failure = failures.at(qsizetype(i));
            if (failure)
                session_.setState(*index, State::failed, *failure);
            else
                session_.setState(*index, State::trashed);
        }
        keepPhase();
    }

    void keepPhase() {
        for (const auto& pair : session_.markedForKeep()) {
            const auto index = session_.indexOf(pair.id);
            if (!index)
                continue;
            const MoveRecord* record = pair.parkedRecord();
            if (!record) {
                session_.setState(*index, State::kept);
                continue;
            }
            if (const auto reason = refusal(pair)) {
                session_.setState(*index, State::failed, *reason);
                continue;
            }
            try {
                Mover::restore(*record);
                session_.setState(*index, State::restored);
            } catch (const Mover::RestoreError& error) {
                session_.setState(*index, State::failed, error.reason());
            } catch (const std::exception& error) {
                session_.setState(*index, State::failed, error.what());
            }
        }
        session_.applyFinished();
    }

    ReviewSession& session_;
    std::deque<ReviewItem> toVerify_;
    std::vector<ReviewItem> verified_;
};

void ReviewSession::apply(bool removing) {
    // A second run alongside the first would compare and trash the same pairs twice.
    if (applyRun_)
        return;
    applyRun_ = new ApplyRun(*this, removing);
    applyRun_->start();
}

void ReviewSession::applyFinished() {
    saveDecisions();
    selectFirstListed();
    applyRun_->deleteLater();
    applyRun_ = nullptr;
    setApplying(false);
}

} // namespace quillmere
