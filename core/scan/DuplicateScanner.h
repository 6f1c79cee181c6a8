// Turns a scan configuration into groups of byte-identical photos and videos. Scanning only reads.
#pragma once

#include "scan/ContentSignature.h"
#include "scan/ScanConfig.h"
#include "scan/ScanPhase.h"
#include "scan/ScanResult.h"

#include <cstdint>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace quillmere {

class CloudStatus;

class DuplicateScanner {
  public:
    /// `progress` may be empty; it is called from worker threads during hashing and verifying.
    /// `cloud` defaults to the platform's cloud status. Once `stop` is requested the scan takes on
    /// no further file and returns early with an incomplete result, which its caller discards.
    explicit DuplicateScanner(ScanConfig config, ScanProgress progress = {},
                              const CloudStatus* cloud = nullptr, std::stop_token stop = {});

    /// Runs the whole scan on the calling thread (plus workers). Never throws; per-file problems
    /// become counts of the result.
    ScanResult scan();

    /// Walks every scan root and returns the non-empty, local photos and videos, in walk order.
    std::vector<MediaFile> enumerateMedia();

    /// Splits files into buckets of byte-identical content, each file compared with the first
    /// member of each earlier bucket. Every input file lands in exactly one bucket.
    static std::vector<std::vector<MediaFile>>
    partitionByContent(const std::vector<MediaFile>& files);

  private:
    /// Position of a file in the enumerated list; the later stages pass these, not copies.
    using Index = std::uint32_t;
    using Cluster = std::vector<Index>;
    /// Device and inode: two paths with the same identity are one file.
    struct FileIdentity {
        std::uint64_t device;
        std::uint64_t inode;
        friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    };

    /// Identical files, and the files that could not be read to the end (each with every entry
    /// of its path).
    struct ContentClasses {
        std::vector<Cluster> classes;
        std::vector<Cluster> unreadable;
    };
    /// The bytes a comparison reads: all of each file, or those its signature covers.
    enum class Extent { whole, signedBytes };
    /// What the signature stage learnt. Files of one size have equal signatures exactly when the
    /// bytes the signature covers are equal, so comparing those bytes directly decides the
    /// clusters in one read that stops where files part, with nothing hashed. A file of up to
    /// 256 KiB is signed over its whole content, so that comparison also proves identity.
    struct Signatures {
        /// Classes of larger files whose signed bytes match (single files included).
        std::vector<Cluster> largeClasses;
        /// Classes of identical small files (single files included), already proven byte for byte.
        std::vector<Cluster> smallClasses;
        std::int64_t signedCount = 0;
    };
    struct Clusters {
        std::vector<Cluster> toVerify;
        std::vector<Cluster> proven;
        std::size_t size() const { return toVerify.size() + proven.size(); }
    };

    std::vector<Index> distinctFiles(std::size_t count) const;
    static std::vector<Cluster> sizeCollisions(const std::vector<MediaFile>& files,
                                               const std::vector<Index>& distinct);
    Signatures signatures(const std::vector<MediaFile>& files,
                          const std::vector<Cluster>& sizeBuckets);
    Clusters cluster(const Signatures& signatures);
    std::vector<Cluster> verify(const std::vector<MediaFile>& files, const Clusters& clusters);
    static ContentClasses contentClasses(const std::vector<MediaFile>& files,
                                         const Cluster& cluster, Extent extent);
    static std::vector<Cluster> partitionCluster(const std::vector<MediaFile>& files,
                                                 const Cluster& cluster);
    static std::vector<DuplicateGroup> buildGroups(const std::vector<MediaFile>& files,
                                                   const std::vector<Cluster>& verified);
    /// Runs body(unit) for every unit below `units` on one worker per core; each call returns how
    /// many of the stage's `total` items it finished. Reports Phase{done, total} about a hundred
    /// times and once when the stage is complete; an empty stage reports nothing.
    template <typename Phase, typename Body>
    void runStage(std::int64_t total, std::size_t units, Body body);
    void report(const ScanPhase& phase) const;

    ScanConfig config_;
    ScanProgress progress_;
    const CloudStatus& cloud_;
    std::stop_token stop_;
    std::int64_t notDownloaded_ = 0;
    std::int64_t invalidNames_ = 0;
    /// Identity of each file of the last enumeration, in the same order.
    std::vector<FileIdentity> identities_;
};

} // namespace quillmere
