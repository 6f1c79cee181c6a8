// The similar-photo scan, in stages: enumerate (the identical scan's walk, photos only), stamp
// each file and drop repeats of one file, look the stamps up in the cache, decode the rest in
// parallel, save the cache, collapse byte-identical files to one (the one the identical review
// would keep), then group.
#include "SimilarScanner.h"

#include "Error.h"
#include "FingerprintCache.h"
#include "SimilarGrouping.h"
#include "fs/FileSystem.h"
#include "scan/DuplicateScanner.h"
#include "scan/KeepSelector.h"
#include "scan/ParallelFor.h"
#include "scan/Text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <variant>

namespace quillmere::similar {

namespace {

struct Stamped {
    MediaFile file;
    FileStamp stamp;
    /// In the cache (where decoded pictures go too).
    const Picture* picture = nullptr;
    std::string failure;
};

// Fingerprinted photos that share size and fingerprint may be byte-identical; those that are
// become one, the one the name rules would keep. Returns how many were left out.
std::int64_t collapseIdentical(std::vector<FingerprintedPhoto>& photos) {
    std::map<std::pair<std::int64_t, Fingerprint::Coefficients>, std::vector<std::size_t>> alike;
    for (std::size_t i = 0; i < photos.size(); ++i)
        alike[{photos[i].photo.size, photos[i].fingerprint.coefficients}].push_back(i);

    std::vector<bool> dropped(photos.size(), false);
    std::int64_t count = 0;
    for (const auto& [key, members] : alike) {
        if (members.size() < 2)
            continue;
        std::vector<MediaFile> files;
        for (const std::size_t i : members)
            files.push_back({photos[i].photo.path, photos[i].photo.size, MediaKind::photo});
        for (const auto& bucket : DuplicateScanner::partitionByContent(files)) {
            if (bucket.size() < 2)
                continue;
            std::vector<std::string> paths;
            for (const auto& file : bucket)
                paths.push_back(file.path);
            const std::string keep = KeepSelector::chooseKeep(paths);
            for (const std::size_t i : members)
                if (photos[i].photo.path != keep &&
                    std::find(paths.begin(), paths.end(), photos[i].photo.path) != paths.end()) {
                    dropped[i] = true;
                    ++count;
                }
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < photos.size(); ++i)
        if (!dropped[i]) {
            if (kept != i)
                photos[kept] = std::move(photos[i]);
            ++kept;
        }
    photos.resize(kept);
    return count;
}

} // namespace

SimilarScanner::SimilarScanner(ScanConfig config, std::string cachePath,
                               FingerprintProgress progress, double threshold, std::stop_token stop)
    : config_(std::move(config)), cachePath_(std::move(cachePath)), progress_(std::move(progress)),
      threshold_(threshold), stop_(std::move(stop)) {}

SimilarResult SimilarScanner::scan() {
    SimilarResult result;
    result.roots = config_.roots;
    result.includes = config_.includes;
    result.startedAt = std::chrono::system_clock::now();
    const auto started = std::chrono::steady_clock::now();

    std::vector<Stamped> photos;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    for (auto& file : DuplicateScanner(config_, {}, nullptr, stop_).enumerateMedia()) {
        if (file.kind != MediaKind::photo)
            continue;
        ++result.photosScanned;
        struct stat status;
        if (::lstat(file.path.c_str(), &status) != 0) {
            result.skipped.push_back(
                {file.path, "cannot be read: " + FileSystem::describeErrno(errno)});
            continue;
        }
        // One file reached twice (a root given twice, or a root inside another) is one photo.
        if (!seen.insert({status.st_dev, status.st_ino}).second)
            continue;
        const FileStamp stamp{status.st_dev, status.st_ino, status.st_size,
                              std::int64_t(status.st_mtim.tv_sec) * 1'000'000'000 +
                                  status.st_mtim.tv_nsec};
        photos.push_back({std::move(file), stamp, nullptr, {}});
    }

    // The cache lives only until each photo's fingerprint is in `fingerprinted`: with it, a large
    // library's fingerprints are held twice at most, never three times.
    std::vector<FingerprintedPhoto> fingerprinted;
    fingerprinted.reserve(photos.size());
    {
        FingerprintCache cache =
            cachePath_.empty() ? FingerprintCache{} : FingerprintCache::load(cachePath_);
        std::vector<std::size_t> toDecode;
        for (std::size_t i = 0; i < photos.size(); ++i) {
            photos[i].picture = cache.find(photos[i].stamp);
            if (photos[i].picture)
                ++result.fromCache;
            else
                toDecode.push_back(i);
        }

        const auto total = static_cast<std::int64_t>(toDecode.size());
        std::atomic<std::int64_t> done{0};
        std::vector<std::optional<Picture>> decoded(toDecode.size());
        parallelFor(total, [&](std::int64_t n) {
            if (stop_.stop_requested())
                return;
            Stamped& photo = photos[toDecode[static_cast<std::size_t>(n)]];
            auto outcome = Fingerprints::fromFile(photo.file.path);
            if (auto* picture = std::get_if<Picture>(&outcome))
                decoded[static_cast<std::size_t>(n)] = *picture;
            else
                photo.failure = std::get<std::string>(std::move(outcome));
            const std::int64_t finished = done.fetch_add(1) + 1;
            if (progress_)
                progress_(finished, total);
        });
        // Into the cache, so that every picture is held once until it is copied for grouping.
        for (std::size_t n = 0; n < toDecode.size(); ++n)
            if (decoded[n]) {
                Stamped& photo = photos[toDecode[n]];
                cache.insert(photo.stamp, *decoded[n]);
                decoded[n].reset();
                photo.picture = cache.find(photo.stamp);
            }
        decoded = {};

        if (!cachePath_.empty() && total > 0) {
            try {
                cache.save(cachePath_);
            } catch (const Error& error) {
                result.cacheProblem = error.what();
            }
        }

        for (auto& photo : photos) {
            if (photo.picture)
                fingerprinted.push_back({{std::move(photo.file.path), photo.file.size,
                                          photo.picture->width, photo.picture->height, photo.stamp},
                                         photo.picture->fingerprint});
            else if (!photo.failure.empty())
                result.skipped.push_back({std::move(photo.file.path), std::move(photo.failure)});
        }
    }
    photos = {};
    std::sort(
        result.skipped.begin(), result.skipped.end(),
        [](const SkippedPhoto& a, const SkippedPhoto& b) { return Text::less(a.path, b.path); });

    result.identicalCopies = collapseIdentical(fingerprinted);
    result.groups = SimilarGrouping::group(fingerprinted, threshold_);
    result.duration =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

} // namespace quillmere::similar
