// The review session: loading a scan into pairs, the filters and counts, marking and the
// selection rules. Opening manifests lives in ReviewSessionManifest.cpp, applying in
// ReviewSessionApply.cpp and the state files in ReviewState.cpp.
#include "model/ReviewSession.h"

#include "Error.h"
#include "SimilarResult.h"
#include "fs/FileSystem.h"
#include "model/ReviewState.h"
#include "model/Trash.h"
#include "scan/CloudStatus.h"
#include "scan/MediaKind.h"
#include "scan/ScanResult.h"

#include <algorithm>

namespace quillmere {

namespace {

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += separator;
        text += parts[i];
    }
    return text;
}

} // namespace

std::string_view ReviewSession::label(Filter filter) {
    switch (filter) {
    case Filter::pending:
        return "To review";
    case Filter::discard:
        return "Marked remove";
    case Filter::keep:
        return "Marked keep";
    case Filter::failed:
        return "Failed";
    case Filter::resolved:
        return "Done";
    case Filter::all:
        break;
    }
    return "All";
}

std::string_view ReviewSession::label(MediaFilter filter) {
    switch (filter) {
    case MediaFilter::photos:
        return "Photos";
    case MediaFilter::videos:
        return "Videos";
    case MediaFilter::all:
        break;
    }
    return "All media";
}

std::string ReviewSession::ScanSummary::folderName() const {
    if (roots.size() == 1)
        return std::string(FileSystem::lastComponent(roots.front()));
    return std::to_string(roots.size()) + " folders";
}

ReviewSession::ReviewSession(QObject* parent)
    : ReviewSession(Trash::platform(), CloudStatus::platform(), parent) {}

ReviewSession::ReviewSession(const Trash& trash, const CloudStatus& cloud, QObject* parent)
    : QObject(parent), trash_(trash), cloud_(cloud) {
    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(250);
    connect(&saveTimer_, &QTimer::timeout, this, &ReviewSession::writeDecisions);
    saver_.setMaxThreadCount(1);
}

ReviewSession::~ReviewSession() {
    flushDecisions();
}

// ---- Published state

void ReviewSession::setFilter(Filter filter) {
    if (filter_ == filter)
        return;
    filter_ = filter;
    emit filterChanged();
    emit changed();
}

void ReviewSession::setMediaFilter(MediaFilter filter) {
    if (mediaFilter_ == filter)
        return;
    mediaFilter_ = filter;
    emit mediaFilterChanged();
    emit changed();
}

void ReviewSession::setSelection(std::optional<std::string> id) {
    if (selection_ == id)
        return;
    selection_ = std::move(id);
    emit selectionChanged();
    emit changed();
}

void ReviewSession::setErrorMessage(std::optional<std::string> message) {
    if (errorMessage_ == message)
        return;
    errorMessage_ = std::move(message);
    emit errorMessageChanged();
    emit changed();
}

void ReviewSession::setApplying(bool applying) {
    if (isApplying_ == applying)
        return;
    isApplying_ = applying;
    emit isApplyingChanged();
    emit changed();
}

void ReviewSession::setSource(std::optional<std::string> description,
                              std::optional<ScanSummary> summary, Kind kind) {
    sourceDescription_ = std::move(description);
    scanSummary_ = std::move(summary);
    kind_ = kind;
    emit sourceChanged();
    emit changed();
}

void ReviewSession::setDecision(std::size_t index, ReviewItem::Decision decision) {
    auto& item = items_[index];
    if (item.decision == decision)
        return;
    item.decision = decision;
    emit itemChanged(QString::fromStdString(item.id));
    emit changed();
}

void ReviewSession::setState(std::size_t index, ReviewItem::State state, std::string reason) {
    auto& item = items_[index];
    if (item.state == state && item.failureReason == reason)
        return;
    item.state = state;
    item.failureReason = std::move(reason);
    emit itemChanged(QString::fromStdString(item.id));
    emit changed();
}

// ---- Loading

ReviewSession::Pairs::Pairs(std::vector<ReviewItem> all) {
    items.reserve(all.size());
    index.reserve(all.size());
    isVideo.reserve(all.size());
    for (auto& item : all)
        if (index.emplace(item.id, items.size()).second) {
            // An extension outside both media lists counts as a photo.
            isVideo.push_back(MediaKinds::fromPath(item.candidateURL) == MediaKind::video);
            items.push_back(std::move(item));
        }
}

namespace {

// A pair of a finished scan: pending, unless its file has gone since.
ReviewItem scannedPair(const std::string& keep, const std::string& path, std::int64_t size,
                       ReviewItem::Origin origin) {
    ReviewItem item;
    item.id = path;
    item.keepURL = keep;
    item.candidateURL = path;
    item.sizeBytes = size;
    item.origin = std::move(origin);
    item.state =
        FileSystem::existsNoFollow(path) ? ReviewItem::State::pending : ReviewItem::State::gone;
    return item;
}

} // namespace

ReviewSession::Pairs ReviewSession::Pairs::of(const ScanResult& result) {
    std::vector<ReviewItem> items;
    for (const auto& group : result.groups)
        for (const auto& path : group.remove)
            items.push_back(scannedPair(group.keep, path, group.size, ReviewItem::InPlace{}));
    return Pairs(std::move(items));
}

ReviewSession::Pairs ReviewSession::Pairs::of(const similar::SimilarResult& result) {
    std::vector<ReviewItem> items;
    for (const auto& group : result.groups)
        for (const auto& photo : group.similar)
            items.push_back(scannedPair(group.keep.path, photo.path, photo.size,
                                        ReviewItem::Similar{group.keep.stamp, photo.stamp}));
    return Pairs(std::move(items));
}

void ReviewSession::install(Pairs pairs, std::optional<std::string> stateURL) {
    // The marks of the review being replaced are written before the new review's are read, which
    // may be the same file.
    flushDecisions();
    // The saved marks go in before anyone is told, so that the list is drawn once.
    if (const auto saved = stateURL ? ReviewState::read(*stateURL) : std::nullopt)
        for (auto& item : pairs.items)
            if (const auto found = saved->find(item.id); found != saved->end())
                item.decision = found->second;
    items_ = std::move(pairs.items);
    index_ = std::move(pairs.index);
    isVideo_ = std::move(pairs.isVideo);
    stateURL_ = std::move(stateURL);
    emit itemsChanged();
    emit changed();
}

void ReviewSession::finishLoad() {
    if (!isLoaded_) {
        isLoaded_ = true;
        emit sourceChanged();
        emit changed();
    }
    setErrorMessage(std::nullopt);
    setFilter(Filter::pending);
    setMediaFilter(MediaFilter::all);
    resetSelection();
}

void ReviewSession::load(const ScanResult& result, const std::vector<std::string>& roots) {
    load(Pairs::of(result), ScanSummary{roots, result.filesScanned, result.duration});
}

void ReviewSession::load(Pairs pairs, ScanSummary summary) {
    loadScan(std::move(pairs), std::move(summary), Kind::scan);
}

void ReviewSession::loadSimilar(Pairs pairs, ScanSummary summary) {
    loadScan(std::move(pairs), std::move(summary), Kind::similar);
}

void ReviewSession::loadScan(Pairs pairs, ScanSummary summary, Kind kind) {
    manifestRoot_.reset();
    install(std::move(pairs), kind == Kind::similar
                                  ? ReviewState::stateFileForSimilar(summary.roots)
                                  : ReviewState::stateFileForScan(summary.roots));
    setSource(joined(summary.roots, ", "), std::move(summary), kind);
    finishLoad();
}

// ---- Persistence

void ReviewSession::saveDecisions() {
    if (stateURL_ && !saveTimer_.isActive())
        saveTimer_.start();
}

void ReviewSession::flushDecisions() {
    if (saveTimer_.isActive())
        writeDecisions();
    saver_.waitForDone();
}

void ReviewSession::writeDecisions() {
    saveTimer_.stop();
    if (!stateURL_)
        return;
    std::string encoded;
    try {
        encoded = ReviewState::encode(items_);
    } catch (const Error&) {
        return; // Marks are then not remembered; the review itself goes on.
    }
    saver_.start(
        [path = *stateURL_, encoded = std::move(encoded)] { ReviewState::write(path, encoded); });
}

// ---- Reading

bool ReviewSession::matches(const ReviewItem& item, Filter filter) {
    using State = ReviewItem::State;
    using Decision = ReviewItem::Decision;
    const bool pending = item.state == State::pending;
    switch (filter) {
    case Filter::pending:
        return pending && item.decision == Decision::undecided;
    case Filter::discard:
        return pending && item.decision == Decision::discard;
    case Filter::keep:
        return pending && item.decision == Decision::keep;
    case Filter::failed:
        return item.state == State::failed;
    case Filter::resolved:
        return !pending;
    case Filter::all:
        break;
    }
    return true;
}

bool ReviewSession::matches(std::size_t index, MediaFilter filter) const {
    const bool video = isVideo_[index];
    switch (filter) {
    case MediaFilter::photos:
        return !video;
    case MediaFilter::videos:
        return video;
    case MediaFilter::all:
        break;
    }
    return true;
}

bool ReviewSession::listed(std::size_t index) const {
    return matches(items_[index], filter_) && matches(index, mediaFilter_);
}

std::vector<std::size_t> ReviewSession::filteredIndices() const {
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (listed(i))
            indices.push_back(i);
    return indices;
}

std::vector<ReviewItem> ReviewSession::filtered() const {
    std::vector<ReviewItem> listed;
    for (const std::size_t i : filteredIndices())
        listed.push_back(items_[i]);
    return listed;
}

std::int64_t ReviewSession::count(Filter filter) const {
    std::int64_t count = 0;
    for (std::size_t i = 0; i < items_.size(); ++i)
        count += matches(items_[i], filter) && matches(i, mediaFilter_);
    return count;
}

std::int64_t ReviewSession::mediaCount(MediaFilter filter) const {
    std::int64_t count = 0;
    for (std::size_t i = 0; i < items_.size(); ++i)
        count += matches(i, filter);
    return count;
}

std::optional<std::size_t> ReviewSession::indexOf(const std::string& id) const {
    const auto found = index_.find(id);
    if (found == index_.end())
        return std::nullopt;
    return found->second;
}

std::optional<ReviewItem> ReviewSession::item(const std::optional<std::string>& id) const {
    if (!id)
        return std::nullopt;
    const auto index = indexOf(*id);
    if (!index)
        return std::nullopt;
    return items_[*index];
}

std::vector<ReviewItem> ReviewSession::markedForDiscard() const {
    std::vector<ReviewItem> marked;
    std::copy_if(items_.begin(), items_.end(), std::back_inserter(marked),
                 [](const ReviewItem& item) { return matches(item, Filter::discard); });
    return marked;
}

std::vector<ReviewItem> ReviewSession::markedForKeep() const {
    std::vector<ReviewItem> marked;
    std::copy_if(items_.begin(), items_.end(), std::back_inserter(marked),
                 [](const ReviewItem& item) { return matches(item, Filter::keep); });
    return marked;
}

std::int64_t ReviewSession::countItems(ReviewItem::State state) const {
    return std::count_if(items_.begin(), items_.end(),
                         [&](const ReviewItem& item) { return item.state == state; });
}

std::int64_t ReviewSession::undecidedCount() const {
    return std::count_if(items_.begin(), items_.end(),
                         [](const ReviewItem& item) { return matches(item, Filter::pending); });
}

std::int64_t ReviewSession::trashedCount() const {
    return countItems(ReviewItem::State::trashed);
}

std::int64_t ReviewSession::restoredCount() const {
    return countItems(ReviewItem::State::restored);
}

std::int64_t ReviewSession::goneCount() const {
    return countItems(ReviewItem::State::gone);
}

std::int64_t ReviewSession::failedCount() const {
    return countItems(ReviewItem::State::failed);
}

std::int64_t ReviewSession::resolvedCount() const {
    return std::int64_t(items_.size()) - countItems(ReviewItem::State::pending);
}

bool ReviewSession::isComplete() const {
    return !items_.empty() && resolvedCount() == std::int64_t(items_.size());
}

std::int64_t ReviewSession::bytesCleared() const {
    std::int64_t bytes = 0;
    for (const auto& item : items_)
        if (item.state == ReviewItem::State::trashed || item.state == ReviewItem::State::gone)
            bytes += item.sizeBytes;
    return bytes;
}

std::int64_t ReviewSession::reclaimableBytes() const {
    std::int64_t bytes = 0;
    for (const auto& item : items_)
        if (matches(item, Filter::discard))
            bytes += item.sizeBytes;
    return bytes;
}

ReviewSession::ApplyPlan ReviewSession::applyPlan() const {
    const bool removes = std::any_of(items_.begin(), items_.end(), [](const ReviewItem& item) {
        return matches(item, Filter::discard);
    });
    const bool keeps = std::any_of(items_.begin(), items_.end(), [](const ReviewItem& item) {
        return matches(item, Filter::keep);
    });
    return {removes || keeps, removes};
}

// ---- Marking and navigation

void ReviewSession::mark(const std::string& id, ReviewItem::Decision decision) {
    const auto index = indexOf(id);
    if (!index)
        return;
    setDecision(*index, decision);
    saveDecisions();
}

void ReviewSession::markSelectionAndAdvance(ReviewItem::Decision decision) {
    if (!selection_)
        return;
    const std::string id = *selection_;
    const auto before = filteredIndices();
    const auto marked = indexOf(id);
    const auto found = std::find(before.begin(), before.end(), marked.value_or(items_.size()));
    mark(id, decision);
    const auto after = filteredIndices();
    const auto idAt = [&](std::size_t position) { return items_[after[position]].id; };
    if (found == before.end() || after.empty()) {
        setSelection(after.empty() ? std::nullopt : std::optional(idAt(0)));
        return;
    }
    const auto position = std::size_t(found - before.begin());
    if (position < after.size())
        setSelection(idAt(position));
    else if (position >= 1 && position - 1 < after.size())
        setSelection(idAt(position - 1));
    else
        setSelection(idAt(0));
}

void ReviewSession::markAllPending(ReviewItem::Decision decision) {
    if (decision == ReviewItem::Decision::discard && !marksAllForTrash())
        return;
    bool any = false;
    for (auto& item : items_)
        if (item.state == ReviewItem::State::pending && item.decision != decision) {
            item.decision = decision;
            any = true;
        }
    if (any) {
        emit itemsChanged();
        emit changed();
    }
    saveDecisions();
}

void ReviewSession::retryFailed() {
    bool any = false;
    for (auto& item : items_)
        if (item.state == ReviewItem::State::failed) {
            item.state = ReviewItem::State::pending;
            item.failureReason.clear();
            any = true;
        }
    if (any) {
        emit itemsChanged();
        emit changed();
    }
    setFilter(Filter::discard);
    selectFirstListed();
}

void ReviewSession::selectNext(int offset) {
    const auto listed = filteredIndices();
    if (listed.empty())
        return;
    const auto selected = selection_ ? indexOf(*selection_) : std::nullopt;
    const auto found = std::find(listed.begin(), listed.end(), selected.value_or(items_.size()));
    if (found == listed.end()) {
        setSelection(items_[listed.front()].id);
        return;
    }
    const auto last = std::int64_t(listed.size()) - 1;
    const auto target =
        std::clamp(std::int64_t(found - listed.begin()) + offset, std::int64_t(0), last);
    setSelection(items_[listed[std::size_t(target)]].id);
}

void ReviewSession::reconcileSelection() {
    if (selection_) {
        const auto index = indexOf(*selection_);
        if (index && listed(*index))
            return;
    }
    selectFirstListed();
}

std::optional<std::string> ReviewSession::firstListedId() const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (listed(i))
            return items_[i].id;
    return std::nullopt;
}

void ReviewSession::selectFirstListed() {
    setSelection(firstListedId());
}

void ReviewSession::resetSelection() {
    // Assigned after the current update has finished, so that a list redrawn for the new review
    // receives the selection of a row it already has.
    QTimer::singleShot(0, this, [this, first = firstListedId()] { setSelection(first); });
}

} // namespace quillmere
