// The duplicate scan pipeline. Candidates are narrowed in stages so that the full comparison runs
// only where it can matter:
//   1. enumerate   walk the roots for non-empty local photos and videos (MediaEnumeration.cpp);
//   2. distinct    keep one path per file identity, so a file is never its own duplicate;
//   3. sizes       keep only files whose exact size occurs at least twice;
//   4. signatures  classes of equal head and tail (the bytes the SHA-256 signature covers),
//                  found by comparing those bytes within each size, in parallel;
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
#include <numeric>
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

} // namespace

DuplicateScanner::DuplicateScanner(ScanConfig config, ScanProgress progress,
                                   const CloudStatus* cloud, std::stop_token stop)
    : config_(std::move(config)), progress_(std::move(progress)),
      cloud_(cloud ? *cloud : CloudStatus::platform()), stop_(std::move(stop)) {}

void DuplicateScanner::report(const ScanPhase& phase) const {
    if (progress_)
        progress_(phase);
}

ScanResult DuplicateScanner::scan() {
    ScanResult result;
    result.startedAt = std::chrono::system_clock::now();
    const auto start = std::chrono::steady_clock::now();

    const std::vector<MediaFile> files = enumerateMedia();
    const std::vector<Cluster> sizeBuckets = sizeCollisions(files, distinctFiles(files.size()));
    const Signatures signedFiles = signatures(files, sizeBuckets);
    const Clusters clusters = cluster(signedFiles);
    const std::vector<Cluster> verified = verify(files, clusters);
    result.groups = buildGroups(files, verified);

    auto totalFiles = [](const std::vector<Cluster>& lists) {
        std::int64_t total = 0;
        for (const auto& list : lists)
            total += static_cast<std::int64_t>(list.size());
        return total;
    };
    result.filesScanned = static_cast<std::int64_t>(files.size());
    result.unreadableFiles = totalFiles(sizeBuckets) - signedFiles.signedCount;
    result.notDownloadedFiles = notDownloaded_;
    result.invalidNameFiles = invalidNames_;
    result.filesRejectedByVerification =
        totalFiles(clusters.toVerify) + totalFiles(clusters.proven) - totalFiles(verified);
    result.duration =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.roots = config_.roots;
    result.includes = config_.includes;
    return result;
}

template <typename Phase, typename Body>
void DuplicateScanner::runStage(std::int64_t total, std::size_t units, Body body) {
    if (total == 0)
        return;
    ProgressCounter counter(total, [this](std::int64_t done, std::int64_t all) {
        report(Phase{done, all});
    });
    parallelFor(static_cast<std::int64_t>(units), [&](std::int64_t unit) {
        // A stopped scan passes over the units still waiting; their slots stay empty.
        if (stop_.stop_requested())
            return;
        for (std::int64_t finished = body(static_cast<std::size_t>(unit)); finished > 0; --finished)
            counter.increment();
    });
    if (!stop_.stop_requested())
        report(Phase{total, total});
}

std::vector<DuplicateScanner::Index> DuplicateScanner::distinctFiles(std::size_t count) const {
    std::unordered_set<FileIdentity, IdentityHash> seen;
    seen.reserve(count);
    std::vector<Index> distinct;
    distinct.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        if (seen.insert(identities_[i]).second)
            distinct.push_back(static_cast<Index>(i));
    return distinct;
}

std::vector<DuplicateScanner::Cluster>
DuplicateScanner::sizeCollisions(const std::vector<MediaFile>& files,
                                 const std::vector<Index>& distinct) {
    // Buckets in order of each size's first appearance; files keep enumeration order within one.
    std::unordered_map<std::int64_t, std::size_t> bucketOf;
    std::vector<Cluster> buckets;
    for (const Index i : distinct) {
        auto [found, inserted] = bucketOf.try_emplace(files[i].size, buckets.size());
        if (inserted)
            buckets.emplace_back();
        buckets[found->second].push_back(i);
    }
    std::erase_if(buckets, [](const Cluster& bucket) { return bucket.size() < 2; });
    return buckets;
}

DuplicateScanner::Signatures DuplicateScanner::signatures(const std::vector<MediaFile>& files,
                                                          const std::vector<Cluster>& sizeBuckets) {
    // One work unit per size bucket.
    std::int64_t total = 0;
    for (const auto& bucket : sizeBuckets)
        total += static_cast<std::int64_t>(bucket.size());
    std::vector<ContentClasses> slots(sizeBuckets.size());
    runStage<scanphase::Hashing>(total, sizeBuckets.size(), [&](std::size_t unit) {
        const Cluster& bucket = sizeBuckets[unit];
        const bool large = files[bucket.front()].size > ContentSignature::largeFileThreshold;
        slots[unit] = contentClasses(files, bucket, large ? Extent::signedBytes : Extent::whole);
        return static_cast<std::int64_t>(bucket.size());
    });

    Signatures result;
    for (std::size_t unit = 0; unit < slots.size(); ++unit) {
        const bool large =
            files[sizeBuckets[unit].front()].size > ContentSignature::largeFileThreshold;
        for (auto& equal : slots[unit].classes) {
            result.signedCount += static_cast<std::int64_t>(equal.size());
            (large ? result.largeClasses : result.smallClasses).push_back(std::move(equal));
        }
    }
    return result;
}

DuplicateScanner::Clusters DuplicateScanner::cluster(const Signatures& signatures) {
    report(scanphase::Grouping{});
    Clusters clusters;
    for (const auto& equal : signatures.largeClasses)
        if (equal.size() >= 2)
            clusters.toVerify.push_back(equal);
    for (const auto& identical : signatures.smallClasses)
        if (identical.size() >= 2)
            clusters.proven.push_back(identical);
    return clusters;
}

std::vector<DuplicateScanner::Cluster> DuplicateScanner::verify(const std::vector<MediaFile>& files,
                                                                const Clusters& clusters) {
    // Largest clusters first, so that no worker is left alone with a big one at the end; each
    // result still lands in its cluster's own slot. Proven clusters need no second read.
    const std::vector<Cluster>& toVerify = clusters.toVerify;
    std::vector<std::size_t> order(toVerify.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    auto bytes = [&](std::size_t i) {
        return files[toVerify[i].front()].size * static_cast<std::int64_t>(toVerify[i].size());
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return bytes(a) > bytes(b); });
    std::vector<std::vector<Cluster>> slots(toVerify.size());
    runStage<scanphase::Verifying>(static_cast<std::int64_t>(clusters.size()),
                                   toVerify.size() + clusters.proven.size(), [&](std::size_t unit) {
                                       if (unit < toVerify.size())
                                           slots[order[unit]] =
                                               partitionCluster(files, toVerify[order[unit]]);
                                       return std::int64_t{1};
                                   });

    std::vector<Cluster> verified;
    for (auto& buckets : slots)
        for (auto& bucket : buckets)
            if (bucket.size() >= 2)
                verified.push_back(std::move(bucket));
    verified.insert(verified.end(), clusters.proven.begin(), clusters.proven.end());
    return verified;
}

std::vector<DuplicateGroup> DuplicateScanner::buildGroups(const std::vector<MediaFile>& files,
                                                          const std::vector<Cluster>& verified) {
    std::vector<DuplicateGroup> groups;
    groups.reserve(verified.size());
    for (const auto& bucket : verified) {
        std::vector<std::string> paths;
        paths.reserve(bucket.size());
        for (const Index i : bucket)
            paths.push_back(files[i].path);
        std::stable_sort(
            paths.begin(), paths.end(),
            [](const std::string& a, const std::string& b) { return Text::less(a, b); });
        const MediaFile& first = files[bucket.front()];
        DuplicateGroup group{first.kind, first.size, KeepSelector::chooseKeep(paths), {}};
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
