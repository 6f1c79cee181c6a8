// The duplicate scan pipeline. Candidates are narrowed in stages so that the full comparison runs
// only where it can matter:
//   1. enumerate   walk the roots for non-empty local photos and videos (MediaEnumeration.cpp);
//   2. distinct    keep one path per file identity, so a file is never its own duplicate;
//   3. sizes       keep only files whose exact size occurs at least twice;
//   4. signatures  SHA-256 of head, tail and size, in parallel;
//   5. cluster     group by (size, signature);
//   6. verify      split each cluster into byte-identical buckets, in parallel;
//   7. groups      choose the keeper of each bucket and order groups by reclaimable bytes.
#include "scan/DuplicateScanner.h"

#include "scan/CloudStatus.h"
#include "scan/ContentSignature.h"
#include "scan/KeepSelector.h"
#include "scan/ParallelFor.h"
#include "scan/Text.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace quillmere {

namespace {

// Counts finished items of one parallel stage and reports about a hundred times per stage. The
// report runs outside the lock, on the worker that finished the item.
class ProgressCounter {
  public:
    template <typename Report>
    ProgressCounter(std::int64_t total, Report report)
        : total_(total), step_(total < 100 ? 1 : total / 100), report_(std::move(report)) {}

    void increment() {
        std::int64_t done;
        {
            std::lock_guard lock(mutex_);
            done = ++done_;
        }
        if (done % step_ == 0)
            report_(done, total_);
    }

  private:
    std::mutex mutex_;
    std::int64_t done_ = 0;
    const std::int64_t total_;
    const std::int64_t step_;
    std::function<void(std::int64_t, std::int64_t)> report_;
};

struct IdentityHash {
    template <typename Identity> std::size_t operator()(const Identity& identity) const {
        return std::hash<std::uint64_t>()(identity.inode * 31 + identity.device);
    }
};

struct ClusterKey {
    std::int64_t size;
    std::string signature;
    friend bool operator==(const ClusterKey&, const ClusterKey&) = default;
};

struct ClusterKeyHash {
    std::size_t operator()(const ClusterKey& key) const {
        return std::hash<std::string>()(key.signature) ^ std::hash<std::int64_t>()(key.size);
    }
};

} // namespace

DuplicateScanner::DuplicateScanner(ScanConfig config, ScanProgress progress,
                                   const CloudStatus* cloud)
    : config_(std::move(config)), progress_(std::move(progress)),
      cloud_(cloud ? *cloud : CloudStatus::platform()) {}

void DuplicateScanner::report(const ScanPhase& phase) const {
    if (progress_)
        progress_(phase);
}

ScanResult DuplicateScanner::scan() {
    ScanResult result;
    result.startedAt = std::chrono::system_clock::now();
    const auto start = std::chrono::steady_clock::now();

    std::vector<MediaFile> files = enumerateMedia();
    result.filesScanned = static_cast<std::int64_t>(files.size());
    const std::vector<MediaFile> candidates = sizeCollisions(distinctFiles(std::move(files)));
    const auto signedFiles = signatures(candidates);
    const auto clusters = cluster(signedFiles);
    const auto verified = verify(clusters);
    result.groups = buildGroups(verified);

    auto totalFiles = [](const std::vector<std::vector<MediaFile>>& lists) {
        std::int64_t total = 0;
        for (const auto& list : lists)
            total += static_cast<std::int64_t>(list.size());
        return total;
    };
    result.unreadableFiles = static_cast<std::int64_t>(candidates.size()) -
                             static_cast<std::int64_t>(signedFiles.size());
    result.notDownloadedFiles = notDownloaded_;
    result.invalidNameFiles = invalidNames_;
    result.filesRejectedByVerification = totalFiles(clusters) - totalFiles(verified);
    result.duration =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.roots = config_.roots;
    result.includes = config_.includes;
    return result;
}

std::vector<MediaFile> DuplicateScanner::distinctFiles(std::vector<MediaFile> files) const {
    std::unordered_set<FileIdentity, IdentityHash> seen;
    seen.reserve(files.size());
    std::vector<MediaFile> distinct;
    distinct.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        if (seen.insert(identities_[i]).second)
            distinct.push_back(std::move(files[i]));
    return distinct;
}

std::vector<MediaFile> DuplicateScanner::sizeCollisions(const std::vector<MediaFile>& files) const {
    // Buckets in order of each size's first appearance; files keep enumeration order within one.
    std::unordered_map<std::int64_t, std::vector<std::size_t>> bySize;
    std::vector<std::int64_t> sizeOrder;
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto [bucket, inserted] = bySize.try_emplace(files[i].size);
        if (inserted)
            sizeOrder.push_back(files[i].size);
        bucket->second.push_back(i);
    }
    std::vector<MediaFile> candidates;
    for (const auto size : sizeOrder) {
        const auto& bucket = bySize[size];
        if (bucket.size() < 2)
            continue;
        for (const auto index : bucket)
            candidates.push_back(files[index]);
    }
    return candidates;
}

std::vector<std::pair<MediaFile, std::string>>
DuplicateScanner::signatures(const std::vector<MediaFile>& candidates) {
    if (candidates.empty())
        return {};
    const auto total = static_cast<std::int64_t>(candidates.size());
    std::vector<std::optional<std::string>> slots(candidates.size());
    ProgressCounter counter(total, [this](std::int64_t done, std::int64_t all) {
        report(scanphase::Hashing{done, all});
    });
    parallelFor(total, [&](std::int64_t i) {
        const auto& file = candidates[static_cast<std::size_t>(i)];
        slots[static_cast<std::size_t>(i)] = ContentSignature::compute(file.path, file.size);
        counter.increment();
    });
    report(scanphase::Hashing{total, total});

    std::vector<std::pair<MediaFile, std::string>> signedFiles;
    signedFiles.reserve(candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (slots[i])
            signedFiles.emplace_back(candidates[i], std::move(*slots[i]));
    return signedFiles;
}

std::vector<std::vector<MediaFile>>
DuplicateScanner::cluster(const std::vector<std::pair<MediaFile, std::string>>& signedFiles) {
    report(scanphase::Grouping{});
    std::unordered_map<ClusterKey, std::size_t, ClusterKeyHash> index;
    std::vector<std::vector<MediaFile>> lists;
    for (const auto& [file, signature] : signedFiles) {
        auto [slot, inserted] = index.try_emplace(ClusterKey{file.size, signature}, lists.size());
        if (inserted)
            lists.emplace_back();
        lists[slot->second].push_back(file);
    }
    std::erase_if(lists, [](const auto& list) { return list.size() < 2; });
    return lists;
}

std::vector<std::vector<MediaFile>>
DuplicateScanner::verify(const std::vector<std::vector<MediaFile>>& clusters) {
    if (clusters.empty())
        return {};
    const auto total = static_cast<std::int64_t>(clusters.size());
    std::vector<std::vector<std::vector<MediaFile>>> slots(clusters.size());
    ProgressCounter counter(total, [this](std::int64_t done, std::int64_t all) {
        report(scanphase::Verifying{done, all});
    });
    parallelFor(total, [&](std::int64_t i) {
        slots[static_cast<std::size_t>(i)] =
            partitionByContent(clusters[static_cast<std::size_t>(i)]);
        counter.increment();
    });
    report(scanphase::Verifying{total, total});

    std::vector<std::vector<MediaFile>> verified;
    for (auto& buckets : slots)
        for (auto& bucket : buckets)
            if (bucket.size() >= 2)
                verified.push_back(std::move(bucket));
    return verified;
}

std::vector<std::vector<MediaFile>>
DuplicateScanner::partitionByContent(const std::vector<MediaFile>& files) {
    std::vector<std::vector<MediaFile>> buckets;
    for (const auto& file : files) {
        auto match = std::find_if(buckets.begin(), buckets.end(), [&](const auto& bucket) {
            return ContentSignature::verifyIdentical(bucket.front().path, file.path);
        });
        if (match != buckets.end())
            match->push_back(file);
        else
            buckets.push_back({file});
    }
    return buckets;
}

std::vector<DuplicateGroup>
DuplicateScanner::buildGroups(const std::vector<std::vector<MediaFile>>& verified) {
    std::vector<DuplicateGroup> groups;
    groups.reserve(verified.size());
    for (const auto& bucket : verified) {
        std::vector<std::string> paths;
        paths.reserve(bucket.size());
        for (const auto& file : bucket)
            paths.push_back(file.path);
        std::stable_sort(
            paths.begin(), paths.end(),
            [](const std::string& a, const std::string& b) { return Text::less(a, b); });
        DuplicateGroup group{
            bucket.front().kind, bucket.front().size, KeepSelector::chooseKeep(paths), {}};
        // Paths are compared as bytes here: on Linux two names that differ only in their Unicode
        // normalisation are two different files.
        for (auto& path : paths)
            if (path != group.keep)
                group.remove.push_back(std::move(path));
        groups.push_back(std::move(group));
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const DuplicateGroup& a, const DuplicateGroup& b) {
                         if (a.reclaimableBytes() != b.reclaimableBytes())
                             return a.reclaimableBytes() > b.reclaimableBytes();
                         return Text::less(a.keep, b.keep);
                     });
    return groups;
}

} // namespace quillmere
