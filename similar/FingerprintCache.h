// Fingerprints remembered between runs, in one file per user: $XDG_CACHE_HOME/Quillmere (or
// ~/.cache/Quillmere). An entry is used only while the file's device, inode, size and modification
// time (to the nanosecond) are those it was made for. An inode holds one file at a time, so a
// file's new version replaces the entry of its old one instead of piling up beside it.
#pragma once

#include "Fingerprint.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

namespace quillmere::similar {

/// What identifies one version of one file.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    /// Modification time in nanoseconds since the epoch.
    std::int64_t modified = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

class FingerprintCache {
  public:
    /// The cache file under $XDG_CACHE_HOME, else under $HOME/.cache; empty when neither is set.
    static std::string defaultPath();

    /// The entries stored at `path`. A missing file, one written for another fingerprint version
    /// or one that is damaged in any way gives an empty cache: nothing in it is trusted.
    static FingerprintCache load(const std::string& path);

    /// Writes every entry atomically, creating the folder. Throws Error with the reason.
    void save(const std::string& path) const;

    /// The picture made for this version of the file, or null. Valid until the cache is destroyed
    /// or another version of the same file is inserted: inserting moves no entry.
    const Picture* find(const FileStamp& stamp) const;
    /// Replaces the entry of any other version of the same file (device and inode).
    void insert(const FileStamp& stamp, const Picture& picture);
    std::size_t size() const { return entries_.size(); }

  private:
    struct Entry {
        FileStamp stamp;
        Picture picture;
    };
    /// Device and inode.
    using FileIdentity = std::pair<std::uint64_t, std::uint64_t>;
    struct IdentityHash {
        std::size_t operator()(const FileIdentity& identity) const;
    };
    std::unordered_map<FileIdentity, Entry, IdentityHash> entries_;
};

} // namespace quillmere::similar
