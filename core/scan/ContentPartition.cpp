// Splitting a cluster of candidates into buckets of byte-identical files.
//
// All members of a cluster are read together, block by block, and split wherever their bytes part,
// so each file is read once however many members the cluster has. Since byte identity is an
// equivalence, the buckets are exactly those of comparing every file with the first member of each
// earlier bucket: the classes of identical files, ordered by their first file, each file in input
// order; a file that cannot be read to the end is alone in its bucket.
#include "scan/ContentSignature.h"
#include "scan/DuplicateScanner.h"
#include "scan/FileReading.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace quillmere {

namespace {

using FileReading::Descriptor;

// Buffer memory one partition may use, shared by the members of the group being read.
constexpr std::int64_t bufferBudget = 4 * 1024 * 1024;
constexpr std::int64_t smallestBlock = 4096;
constexpr std::int64_t largestBlock = 256 * 1024;
// Larger clusters reopen their files for every block instead of holding a descriptor each.
constexpr std::size_t mostOpenFiles = 64;

struct Member {
    const std::string* path;
    std::int64_t expectedSize;
    Descriptor file;
};

class Partition {
  public:
    explicit Partition(std::vector<Member>& members) : members_(members) {}

    // Classes of member indices: identical files together, unreadable ones alone.
    std::vector<std::vector<std::size_t>> classes() {
        std::vector<std::size_t> all(members_.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = i;
        std::vector<Pending> work{{std::move(all), 0}};
        while (!work.empty()) {
            Pending group = std::move(work.back());
            work.pop_back();
            if (group.members.size() == 1) {
                classes_.push_back(std::move(group.members));
                continue;
            }
            step(group, work);
        }
        return std::move(classes_);
    }

  private:
    struct Pending {
        std::vector<std::size_t> members;
        std::int64_t offset;
    };

    std::int64_t blockLength(const Pending& group) const {
        std::int64_t length =
            std::clamp<std::int64_t>(bufferBudget / static_cast<std::int64_t>(group.members.size()),
                                     smallestBlock, largestBlock);
        // Files are expected to end at their enumerated size: one byte past it proves the end
        // without a buffer per member sized for a block.
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
        thread_local std::vector<char> buffer;
        buffer.resize(static_cast<std::size_t>(length) * group.members.size());

        struct Read {
            std::size_t member;
            const char* bytes;
            std::int64_t count;
        };
        std::vector<Read> reads;
        reads.reserve(group.members.size());
        for (std::size_t slot = 0; slot < group.members.size(); ++slot) {
            const std::size_t m = group.members[slot];
            char* bytes = buffer.data() + slot * static_cast<std::size_t>(length);
            const std::int64_t count = readBlock(members_[m], bytes, length, group.offset);
            if (count < 0)
                classes_.push_back({m});
            else
                reads.push_back({m, bytes, count});
        }

        std::vector<std::vector<const Read*>> parts;
        for (const auto& read : reads) {
            auto same = std::find_if(parts.begin(), parts.end(), [&](const auto& part) {
                const Read& first = *part.front();
                return first.count == read.count &&
                       std::memcmp(first.bytes, read.bytes, static_cast<std::size_t>(read.count)) ==
                           0;
            });
            if (same != parts.end())
                same->push_back(&read);
            else
                parts.push_back({&read});
        }

        for (const auto& part : parts) {
            std::vector<std::size_t> ids;
            for (const Read* read : part)
                ids.push_back(read->member);
            if (part.front()->count == 0 || ids.size() == 1)
                classes_.push_back(std::move(ids)); // all ended together, or nothing left to match
            else
                work.push_back({std::move(ids), group.offset + part.front()->count});
        }
    }

    std::int64_t readBlock(const Member& member, char* bytes, std::int64_t length,
                           std::int64_t offset) const {
        if (member.file.valid())
            return FileReading::fill(member.file.get(), bytes, length, offset);
        const Descriptor file(
            FileReading::open(*member.path, FileReading::Access::sequential, member.expectedSize));
        return file.valid() ? FileReading::fill(file.get(), bytes, length, offset) : -1;
    }

    std::vector<Member>& members_;
    std::vector<std::vector<std::size_t>> classes_;
};

} // namespace

std::vector<DuplicateScanner::Cluster>
DuplicateScanner::partitionCluster(const std::vector<MediaFile>& files, const Cluster& cluster) {
    // Entries with the same path text are one file and share a bucket without being read.
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
        return {cluster};
    if (members.size() <= mostOpenFiles)
        for (auto& member : members)
            member.file = Descriptor(FileReading::open(
                *member.path, FileReading::Access::sequential, member.expectedSize));

    // Positions within the cluster, so that buckets and their files keep the cluster's order.
    std::vector<std::vector<std::size_t>> buckets;
    {
        std::map<Index, std::size_t> positionOf;
        for (std::size_t p = 0; p < cluster.size(); ++p)
            positionOf.try_emplace(cluster[p], p);
        for (const auto& memberClass : Partition(members).classes()) {
            std::vector<std::size_t> entries;
            for (auto m : memberClass)
                for (const Index i : entriesOf[m])
                    entries.push_back(positionOf.at(i));
            std::sort(entries.begin(), entries.end());
            buckets.push_back(std::move(entries));
        }
    }
    std::sort(buckets.begin(), buckets.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });

    std::vector<Cluster> result;
    result.reserve(buckets.size());
    for (const auto& bucket : buckets) {
        auto& out = result.emplace_back();
        out.reserve(bucket.size());
        for (auto p : bucket)
            out.push_back(cluster[p]);
    }
    return result;
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
