// The one model of the app's review: the pairs of a scan or of an earlier set-aside, the user's
// marks, what applying them did, the two list filters and the selection. It lives on the GUI
// thread; views draw from its state and redraw when it announces a change.
#pragma once

#include "model/ReviewItem.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QProcessEnvironment;

namespace quillmere {

class CloudStatus;
class Trash;
struct ScanResult;
namespace similar {
struct SimilarResult;
}

class ReviewSession : public QObject {
    Q_OBJECT

  public:
    /// Status filter of the list.
    enum class Filter { pending, discard, keep, failed, resolved, all };
    /// Media-kind filter of the list.
    enum class MediaFilter { all, photos, videos };
    /// What the review came from: a scan for identical files, an earlier set-aside's manifest,
    /// or a scan for similar photos.
    enum class Kind { scan, manifest, similar };

    /// Every status filter, in the order the list offers them.
    static constexpr std::array<Filter, 6> filters = {Filter::pending,  Filter::discard,
                                                      Filter::keep,     Filter::failed,
                                                      Filter::resolved, Filter::all};
    /// Every media filter, in the order the list offers them.
    static constexpr std::array<MediaFilter, 3> mediaFilters = {
        MediaFilter::all, MediaFilter::photos, MediaFilter::videos};

    /// "To review", "Marked remove", "Marked keep", "Failed", "Done" or "All".
    static std::string_view label(Filter filter);
    /// "All media", "Photos" or "Videos".
    static std::string_view label(MediaFilter filter);

    /// What a scan review came from.
    struct ScanSummary {
        std::vector<std::string> roots;
        std::int64_t filesScanned = 0;
        /// Seconds.
        double duration = 0;

        /// The last path component of a single root, otherwise the root count + " folders".
        std::string folderName() const;

        friend bool operator==(const ScanSummary&, const ScanSummary&) = default;
    };

    /// What the main window asks the user to confirm before it applies.
    struct ApplyPlan {
        /// At least one pending pair is marked for removal or marked keep.
        bool confirms = false;
        /// At least one pending pair is marked for removal.
        bool removes = false;
    };

    /// Pairs made ready for a review on any thread: indexed by id (an id already taken by an
    /// earlier item is left out) and sorted into photos and videos, so that a load on the GUI
    /// thread does no work per pair.
    struct Pairs {
        std::vector<ReviewItem> items;
        std::unordered_map<std::string, std::size_t> index;
        /// Whether each item's duplicate is a video, by the same position.
        std::vector<bool> isVideo;

        Pairs() = default;
        explicit Pairs(std::vector<ReviewItem> items);
        /// The duplicates of a finished scan, each looked for on disk.
        static Pairs of(const ScanResult& result);
        /// Each similar photo of a finished similar-photo scan paired with its group's keeper,
        /// each looked for on disk.
        static Pairs of(const similar::SimilarResult& result);
    };

    /// Uses the desktop's Trash and the platform's cloud status.
    explicit ReviewSession(QObject* parent = nullptr);
    /// Uses the given Trash and cloud status, which must outlive the session and any apply.
    ReviewSession(const Trash& trash, const CloudStatus& cloud, QObject* parent = nullptr);
    ~ReviewSession() override;

    // Published state.
    /// All pairs, in load order.
    const std::vector<ReviewItem>& items() const { return items_; }
    Filter filter() const { return filter_; }
    void setFilter(Filter filter);
    MediaFilter mediaFilter() const { return mediaFilter_; }
    void setMediaFilter(MediaFilter filter);
    /// The id of the selected pair.
    const std::optional<std::string>& selection() const { return selection_; }
    void setSelection(std::optional<std::string> id);
    /// The scanned roots joined by ", ", or the folder holding the opened manifest.
    const std::optional<std::string>& sourceDescription() const { return sourceDescription_; }
    bool isLoaded() const { return isLoaded_; }
    /// Changes with the source (sourceChanged).
    Kind kind() const { return kind_; }
    /// Present for a scan review only.
    const std::optional<ScanSummary>& scanSummary() const { return scanSummary_; }
    /// The last load error; cleared by a successful load or by the view that showed it.
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }
    void setErrorMessage(std::optional<std::string> message);
    bool isApplying() const { return isApplying_; }
    /// Where the marks of this review are saved; none when they cannot be.
    const std::optional<std::string>& stateURL() const { return stateURL_; }

    // Loading. A load replaces the review wholesale; a failed load leaves it as it was.
    /// The groups of a finished scan of `roots`.
    void load(const ScanResult& result, const std::vector<std::string>& roots);
    /// The pairs of a finished scan, made ready off the GUI thread.
    void load(Pairs pairs, ScanSummary summary);
    /// The pairs of a finished scan for similar photos, made ready off the GUI thread; their
    /// marks are kept apart from those of a scan of the same folders for identical files.
    void loadSimilar(Pairs pairs, ScanSummary summary);
    /// The records of a set-aside manifest, or errorMessage when it cannot be read.
    void load(const std::string& manifestURL);
    /// The newest manifest in the review folder of a root (or in that review folder itself).
    void loadManifest(const std::string& inRoot);
    /// Opens the manifest named by QUILLMERE_MANIFEST when no review is loaded yet.
    void loadStartupManifest(const QProcessEnvironment& environment);

    // Reading, computed from the items and filters on every call.
    /// The items matching both filters, in load order.
    std::vector<ReviewItem> filtered() const;
    /// Where the items matching both filters stand in items(), in load order; no copies, for
    /// walking a list of hundreds of thousands of pairs on every key press.
    std::vector<std::size_t> filteredIndices() const;
    /// Items matching `filter` and the current media filter.
    std::int64_t count(Filter filter) const;
    /// Items matching `filter`, whatever their state.
    std::int64_t mediaCount(MediaFilter filter) const;
    std::optional<ReviewItem> item(const std::optional<std::string>& id) const;
    /// Where the pair stands in items().
    std::optional<std::size_t> indexOf(const std::string& id) const;
    /// Pending pairs marked for removal, in load order, over all media.
    std::vector<ReviewItem> markedForDiscard() const;
    /// Pending pairs marked keep, in load order, over all media.
    std::vector<ReviewItem> markedForKeep() const;
    std::int64_t undecidedCount() const;
    std::int64_t trashedCount() const;
    std::int64_t restoredCount() const;
    std::int64_t goneCount() const;
    std::int64_t failedCount() const;
    /// Items in any state but pending.
    std::int64_t resolvedCount() const;
    /// At least one item, and every item resolved.
    bool isComplete() const;
    /// Bytes of the trashed and gone duplicates.
    std::int64_t bytesCleared() const;
    /// Bytes of the pending pairs marked for removal.
    std::int64_t reclaimableBytes() const;
    ApplyPlan applyPlan() const;

    // Marking and navigation.
    /// Marks the pair with that id, whatever its state, and saves the marks.
    void mark(const std::string& id, ReviewItem::Decision decision);
    /// Marks the selected pair and selects the pair that now takes its place in the list.
    void markSelectionAndAdvance(ReviewItem::Decision decision);
    /// Gives every pending pair the decision and saves the marks once. In a review of similar
    /// photos nothing is marked for the Trash wholesale: two photos that only look alike are
    /// judged one pair at a time, by someone looking at them.
    void markAllPending(ReviewItem::Decision decision);
    /// Whether markAllPending marks for the Trash in this review.
    bool marksAllForTrash() const { return kind_ != Kind::similar; }
    /// Returns failed pairs to pending and lists them under "Marked remove".
    void retryFailed();
    /// Moves the selection within the filtered list, clamped at both ends.
    void selectNext(int offset);
    /// Keeps a selection that is still listed, otherwise selects the first listed pair.
    void reconcileSelection();

    /// Carries out the marks of the pending pairs: duplicates marked for removal (only when
    /// `removing`) go to the Trash after a byte-for-byte check against their kept copy (a
    /// similar photo: after a check that neither file changed since the scan); keep
    /// marks leave files alone or put set-aside files back. Returns at once; isApplying is true
    /// until the last outcome is written. Ignored while an apply runs.
    void apply(bool removing);

  signals:
    /// Something published changed; follows each of the specific signals below.
    void changed();
    /// The list of items was replaced, or many items changed at once.
    void itemsChanged();
    /// One item's decision or state changed.
    void itemChanged(const QString& id);
    void filterChanged();
    void mediaFilterChanged();
    void selectionChanged();
    /// isLoaded, sourceDescription or scanSummary changed.
    void sourceChanged();
    void errorMessageChanged();
    void isApplyingChanged();

  private:
    class ApplyRun;

    static bool matches(const ReviewItem& item, Filter filter);
    /// Whether the item at `index` is of the media kind; its kind is worked out once, at load.
    bool matches(std::size_t index, MediaFilter filter) const;
    bool listed(std::size_t index) const;

    std::int64_t countItems(ReviewItem::State state) const;
    /// The pairs of a finished scan of either kind, with the marks saved for its kind and roots.
    void loadScan(Pairs pairs, ScanSummary summary, Kind kind);
    /// Installs a new review with the marks saved at `stateURL`.
    void install(Pairs pairs, std::optional<std::string> stateURL);
    void setSource(std::optional<std::string> description, std::optional<ScanSummary> summary,
                   Kind kind);
    /// Resets filters, marks the review loaded and queues the selection of the first pair.
    void finishLoad();
    void setDecision(std::size_t index, ReviewItem::Decision decision);
    void setState(std::size_t index, ReviewItem::State state, std::string reason = {});
    void setApplying(bool applying);
    std::optional<std::string> firstListedId() const;
    void selectFirstListed();
    /// Takes the first listed pair now and selects it on the next turn of the event loop.
    void resetSelection();
    /// Saves the marks a moment later, so that marks made in quick succession are written once.
    void saveDecisions();
    /// Writes the marks now, off the GUI thread: the fsync of a busy disk must not hold up a key.
    void writeDecisions();
    /// Writes marks still waiting and waits until every write has landed.
    void flushDecisions();
    void applyFinished();

    const Trash& trash_;
    const CloudStatus& cloud_;

    std::vector<ReviewItem> items_;
    std::unordered_map<std::string, std::size_t> index_;
    /// Whether each item's duplicate is a video, by the same position.
    std::vector<bool> isVideo_;
    Filter filter_ = Filter::pending;
    MediaFilter mediaFilter_ = MediaFilter::all;
    std::optional<std::string> selection_;
    std::optional<std::string> sourceDescription_;
    bool isLoaded_ = false;
    Kind kind_ = Kind::scan;
    std::optional<ScanSummary> scanSummary_;
    std::optional<std::string> errorMessage_;
    bool isApplying_ = false;
    std::optional<std::string> stateURL_;
    QTimer saveTimer_;
    /// One thread, so that the writes of the marks land in the order they were made.
    QThreadPool saver_;
    /// The root of an opened manifest, which its records must lie in before any is acted on.
    std::optional<std::string> manifestRoot_;
    ApplyRun* applyRun_ = nullptr;
};

} // namespace quillmere
