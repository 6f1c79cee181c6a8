// Splitting files into classes of byte-identical content.
//
// All members are read together, block by block, and split wherever their bytes part, so each
// file is read once however many members there are, and files that differ early are read no
// further: blocks start at 4 KiB and grow as long as members still match. Since byte identity is
// an equivalence, the buckets are exactly those of comparing every file with the first member of
// each earlier bucket: the classes of identical files, ordered by their first file, each file in
// input order; a file that cannot be read to the end is alone in its bucket.
#include "scan/DuplicateScanner.h"
#include "scan/FileReading.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <numeric>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>

namespace quillmere {

namespace {

using FileReading::Descriptor;

// Buffer memory one partition may use, shared by the members of the group being read.
constexpr std::int64_t bufferBudget = 4 * 1024 * 1024;
constexpr std::int64_t firstBlock = 4096;
constexpr std::int64_t largestBlock = 256 * 1024;
constexpr std::int64_t prefetchSpan = 4 * 1024 * 1024;
// Larger groups reopen their files for every block instead of holding a descriptor each.
constexpr std::size_t mostOpenFiles = 64;

struct Member {
    const std::string* path;
    std::int64_t expectedSize;
    Descriptor file;
    bool unreadable = false;
    std::int64_t prefetchedUntil = 0;
};

class Partition {
  public:
    explicit Partition(std::vector<Member>& members) : members_(members) {}

    // Classes of the given members, identical bytes together, from `begin` to the end of each file
    // or, if given, to `end`: then a member that cannot be read up to there is unreadable, as is
    // one that fails to read anywhere. Unreadable members are left out and flagged.
    std::vector<std::vector<std::size_t>> classes(std::vector<std::size_t> members,
                                                  std::int64_t begin,
                                                  std::optional<std::int64_t> end = {}) {
        end_ = end;
        std::vector<Pending> work{{std::move(members), begin, firstBlock}};
        while (!work.empty()) {
            Pending group = std::move(work.back());
            work.pop_back();
            if (group.members.size() == 1)
                classes_.push_back(std::move(group.members));
            else
                step(group, work);
        }
        return std::exchange(classes_, {});
    }

  private:
    struct Pending {
        std::vector<std::size_t> members;
        std::int64_t offset;
        std::int64_t block; // the length this group would like to read next
    };

    struct Read {
        std::size_t member;
        const char* bytes;
        std::int64_t count;
    };

    std::int64_t blockLength(const Pending& group) const {
        std::int64_t length =
            std::clamp<std::int64_t>(bufferBudget / static_cast<std::int64_t>(group.members.size()),
                                     firstBlock, std::min(group.block, largestBlock));
        if (end_)
            return std::min(length, *end_ - group.offset);
        // Files are expected to end at their enumerated size: one byte past it proves the end
        // without a block-sized buffer per member.
        std::int64_t expected = 0;
        for (auto m : group.members)
            expected = std::max(expected, members_[m].expectedSize);
        if (group.offset <= expected)
            length = std::min(length, expected - group.offset + 1);
        return length;
    }

    // Reads the group's next block and splits it by content.
    void step(const Pending& group, std::vector<Pending>& work) {
        const std::int64_t length = blockLength(group);
        // Only ever grown: shrinking and growing again would zero the bytes anew for every block.
        thread_local std::vector<char> buffer;
        const auto needed = static_cast<std::size_t>(length) * group.members.size();
        if (buffer.size() < needed)
            buffer.resize(needed);

        std::vector<Read> reads;
        reads.reserve(group.members.size());
        for (std::size_t slot = 0; slot < group.members.size(); ++slot) {
            const std::size_t m = group.members[slot];
            char* bytes = buffer.data() + slot * static_cast<std::size_t>(length);
            const std::int64_t count = readBlock(members_[m], bytes, length, group.offset);
            if (count < 0 || (end_ && count < length))
                members_[m].unreadable = true;
            else
                reads.push_back({m, bytes, count});
        }

        for (auto& part : split(reads)) {
            const std::int64_t count = part.front()->count;
            std::vector<std::size_t> ids;
            ids.reserve(part.size());
            for (const Read* read : part)
                ids.push_back(read->member);
            // A short block means the end of the file (or of the stretch): these all ended
            // together.
            const bool ended = count < length || (end_ && group.offset + count == *end_);
            if (ended || ids.size() == 1)
                classes_.push_back(std::move(ids));
            else
                work.push_back({std::move(ids), group.offset + count,
                                end_ ? *end_ - group.offset - count : length * 16});
        }
    }

    // Groups equal reads, in order of first appearance. Few members are compared directly; many
    // are looked up by a hash of their bytes first, so a large group of different files costs one
    // pass rather than a comparison per pair.
    static std::vector<std::vector<const Read*>> split(const std::vector<Read>& reads) {
        constexpr std::size_t fewMembers = 8;
        std::vector<std::vector<const Read*>> parts;
        std::unordered_multimap<std::size_t, std::size_t> partsByHash;
        const bool hashed = reads.size() > fewMembers;
        for (const auto& read : reads) {
            auto sameAs = [&](std::size_t part) {
                const Read& representative = *parts[part].front();
                return representative.count == read.count &&
                       std::memcmp(representative.bytes, read.bytes,
                                   static_cast<std::size_t>(read.count)) == 0;
            };
            std::optional<std::size_t> match;
            std::size_t hash = 0;
            if (hashed) {
                hash = std::hash<std::string_view>()(
                    std::string_view(read.bytes, static_cast<std::size_t>(read.count)));
                const auto [first, last] = partsByHash.equal_range(hash);
                for (auto entry = first; entry != last && !match; ++entry)
                    if (sameAs(entry->second))
                        match = entry->second;
            } else {
                for (std::size_t part = 0; part < parts.size() && !match; ++part)
                    if (sameAs(part))
                        match = part;
            }
            if (match) {
                parts[*match].push_back(&read);
            } else {
                if (hashed)
                    partsByHash.emplace(hash, parts.size());
                parts.push_back({&read});
            }
        }
        return parts;
    }

    static std::int64_t readBlock(Member& member, char* bytes, std::int64_t length,
                                  std::int64_t offset) {
        if (member.file.valid()) {
            // Ask for the next stretch while this one is compared, so that a cold disk always
            // has work queued; members are read in turn and would otherwise wait one by one.
            if (length == largestBlock &&
                offset + length > member.prefetchedUntil - prefetchSpan / 2) {
                member.prefetchedUntil = std::max(member.prefetchedUntil, offset + length);
                ::posix_fadvise(member.file.get(), member.prefetchedUntil, prefetchSpan,
                                POSIX_FADV_WILLNEED);
                member.prefetchedUntil += prefetchSpan;
            }
            return FileReading::fill(member.file.get(), bytes, length, offset);
        }
        const Descriptor file(
            FileReading::open(*member.path, FileReading::Access::sequential, member.expectedSize));
        return file.valid() ? FileReading::fill(file.get(), bytes, length, offset) : -1;
    }

    std::vector<Member>& members_;
    std::optional<std::int64_t> end_;
    std::vector<std::vector<std::size_t>> classes_;
};

// The signature of a file still at its enumerated size covers its first and last blockSize bytes;
// a file that parted from the others in its first bytes is not read further, so its size alone
// shows whether a signature could have been computed.
bool reachesItsSize(const Member& member) {
    struct stat status;
    const bool known = member.file.valid() ? ::fstat(member.file.get(), &status) == 0
                                           : ::lstat(member.path->c_str(), &status) == 0;
    return known && status.st_size >= member.expectedSize;
}

} // namespace

DuplicateScanner::ContentClasses
DuplicateScanner::contentClasses(const std::vector<MediaFile>& files, const Cluster& cluster,
                                 Extent extent) {
    // Entries with the same path text are one file and share a class without being read.
    std::vector<Member> members;
    std::vector<Cluster> entriesOf;
    std::map<std::string_view, std::size_t> memberOf;
    for (const Index i : cluster) {
        auto [found, inserted] = memberOf.try_emplace(files[i].path, members.size());
        if (inserted) {
            members.push_back({&files[i].path, files[i].size, Descriptor()});
            entriesOf.emplace_back();
        }
        entriesOf[found->second].push_back(i);
    }
    if (members.size() == 1)
        return {{cluster}, {}};
    // Signatures read two places of each file: no read-ahead into the middle.
    const bool signedBytes = extent == Extent::signedBytes;
    const std::int64_t block = ContentSignature::blockSize;
    if (members.size() <= mostOpenFiles) {
        for (auto& member : members)
            member.file = Descriptor(FileReading::open(
                *member.path,
                signedBytes ? FileReading::Access::random : FileReading::Access::sequential,
                member.expectedSize));
        // Queue what every member will need first before reading any: a cold disk serves them
        // together. For signatures that is the head and the tail, as most members go on to both.
        for (auto& member : members) {
            if (!member.file.valid())
                continue;
            ::posix_fadvise(member.file.get(), 0, signedBytes ? block : firstBlock,
                            POSIX_FADV_WILLNEED);
            if (signedBytes)
                ::posix_fadvise(member.file.get(), member.expectedSize - block, block,
                                POSIX_FADV_WILLNEED);
        }
    }

    std::vector<std::size_t> all(members.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    Partition partition(members);
    std::vector<std::vector<std::size_t>> memberClasses;
    if (extent == Extent::whole) {
        memberClasses = partition.classes(std::move(all), 0);
    } else {
        // Files of a cluster have one size; head first, then the tail of those still together.
        const std::int64_t size = members.front().expectedSize;
        for (auto& heads : partition.classes(std::move(all), 0, block)) {
            if (heads.size() == 1) {
                if (reachesItsSize(members[heads.front()]))
                    memberClasses.push_back(std::move(heads));
                else
                    members[heads.front()].unreadable = true;
                continue;
            }
            for (auto& tails : partition.classes(std::move(heads), size - block, size))
                memberClasses.push_back(std::move(tails));
        }
    }

    // Positions within the cluster, so that classes and their files keep the cluster's order.
    std::map<Index, std::size_t> positionOf;
    for (std::size_t p = 0; p < cluster.size(); ++p)
        positionOf.try_emplace(cluster[p], p);
    auto inClusterOrder = [&](Cluster entries) {
        std::sort(entries.begin(), entries.end(),
                  [&](Index a, Index b) { return positionOf.at(a) < positionOf.at(b); });
        return entries;
    };

    ContentClasses result;
    for (const auto& memberClass : memberClasses) {
        Cluster entries;
        for (auto m : memberClass)
            entries.insert(entries.end(), entriesOf[m].begin(), entriesOf[m].end());
        result.classes.push_back(inClusterOrder(std::move(entries)));
    }
    std::sort(result.classes.begin(), result.classes.end(),
              [&](const Cluster& a, const Cluster& b) {
                  return positionOf.at(a.front()) < positionOf.at(b.front());
              });
    for (std::size_t m = 0; m < members.size(); ++m)
        if (members[m].unreadable)
            result.unreadable.push_back(inClusterOrder(entriesOf[m]));
    return result;
}

std::vector<DuplicateScanner::Cluster>
DuplicateScanner::partitionCluster(const std::vector<MediaFile>& files, const Cluster& cluster) {
    ContentClasses content = contentClasses(files, cluster, Extent::whole);
    // An unreadable file matches nothing: a bucket of its own, in its place among the others.
    std::vector<Cluster> buckets = std::move(content.classes);
    for (auto& entries : content.unreadable)
        buckets.push_back(std::move(entries));
    std::map<Index, std::size_t> positionOf;
    for (std::size_t p = 0; p < cluster.size(); ++p)
        positionOf.try_emplace(cluster[p], p);
    std::stable_sort(buckets.begin(), buckets.end(), [&](const Cluster& a, const Cluster& b) {
        return positionOf.at(a.front()) < positionOf.at(b.front());
    });
    return buckets;
}

std::vector<std::vector<MediaFile>>
DuplicateScanner::partitionByContent(const std::vector<MediaFile>& files) {
    Cluster all(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        all[i] = static_cast<Index>(i);
    std::vector<std::vector<MediaFile>> result;
    for (const auto& bucket : partitionCluster(files, all)) {
        auto& out = result.emplace_back();
        for (const Index i : bucket)
            out.push_back(files[i]);
    }
    return result;
}

} // namespace quillmere
