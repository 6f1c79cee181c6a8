// The cache file: a header (magic, fingerprint version, record size, record count), fixed-size
// records in the machine's byte order (the file never leaves the machine), and an FNV-1a checksum
// of everything before it. Any mismatch discards the whole file.
#include "FingerprintCache.h"

#include "Error.h"
#include "fs/FileSystem.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace quillmere::similar {

namespace {

constexpr std::string_view magic{"QMSIMFP\0", 8};
constexpr std::size_t headerSize = magic.size() + 4 + 4 + 8;
constexpr std::size_t recordSize =
    8 + 8 + 8 + 8 + 4 + 4 + sizeof(Fingerprint::coefficients) + sizeof(Fingerprint::pixels);
constexpr std::size_t checksumSize = 8;

std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

template <typename Value> void put(std::string& out, const Value& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename Value> Value take(std::string_view bytes, std::size_t& offset) {
    Value value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    offset += sizeof value;
    return value;
}

} // namespace

std::size_t FingerprintCache::StampHash::operator()(const FileStamp& stamp) const {
    std::uint64_t hash = stamp.inode * 0x9e3779b97f4a7c15ull;
    hash ^= stamp.device + (hash << 6) + (hash >> 2);
    hash ^= static_cast<std::uint64_t>(stamp.modified) + (hash << 6) + (hash >> 2);
    return static_cast<std::size_t>(hash);
}

std::string FingerprintCache::defaultPath() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::string folder;
    if (cache && *cache == '/')
        folder = cache;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        folder = FileSystem::join(home, ".cache");
    else
        return {};
    return FileSystem::join(FileSystem::join(folder, "Quillmere"), "similar-fingerprints");
}

FingerprintCache FingerprintCache::load(const std::string& path) {
    FingerprintCache cache;
    std::string bytes;
    try {
        bytes = FileSystem::readAll(path);
    } catch (const Error&) {
        return cache;
    }
    if (bytes.size() < headerSize + checksumSize)
        return cache;
    const std::string_view body(bytes.data(), bytes.size() - checksumSize);
    std::size_t offset = body.size();
    if (take<std::uint64_t>(bytes, offset) != fnv1a(body) || !body.starts_with(magic))
        return cache;
    offset = magic.size();
    const auto version = take<std::uint32_t>(body, offset);
    const auto size = take<std::uint32_t>(body, offset);
    const auto count = take<std::uint64_t>(body, offset);
    if (version != fingerprintVersion || size != recordSize ||
        count != (body.size() - headerSize) / recordSize ||
        (body.size() - headerSize) % recordSize != 0)
        return cache;

    for (std::uint64_t record = 0; record < count; ++record) {
        FileStamp stamp;
        stamp.device = take<std::uint64_t>(body, offset);
        stamp.inode = take<std::uint64_t>(body, offset);
        stamp.size = take<std::int64_t>(body, offset);
        stamp.modified = take<std::int64_t>(body, offset);
        Picture picture;
        picture.width = take<std::int32_t>(body, offset);
        picture.height = take<std::int32_t>(body, offset);
        const auto takeValues = [&](auto& values) {
            std::memcpy(values.data(), body.data() + offset, values.size());
            offset += values.size();
        };
        takeValues(picture.fingerprint.coefficients);
        takeValues(picture.fingerprint.pixels);
        if (picture.width < 1 || picture.height < 1)
            return FingerprintCache{};
        cache.entries_.insert_or_assign(stamp, picture);
    }
    return cache;
}

void FingerprintCache::save(const std::string& path) const {
    std::string out;
    out.reserve(headerSize + entries_.size() * recordSize + checksumSize);
    out += magic;
    put(out, fingerprintVersion);
    put(out, static_cast<std::uint32_t>(recordSize));
    put(out, static_cast<std::uint64_t>(entries_.size()));
    for (const auto& [stamp, picture] : entries_) {
        put(out, stamp.device);
        put(out, stamp.inode);
        put(out, stamp.size);
        put(out, stamp.modified);
        put(out, picture.width);
        put(out, picture.height);
        out.append(reinterpret_cast<const char*>(picture.fingerprint.coefficients.data()),
                   picture.fingerprint.coefficients.size());
        out.append(reinterpret_cast<const char*>(picture.fingerprint.pixels.data()),
                   picture.fingerprint.pixels.size());
    }
    put(out, fnv1a(out));
    FileSystem::createDirectories(FileSystem::parent(path));
    FileSystem::writeAtomically(path, out);
}

std::optional<Picture> FingerprintCache::find(const FileStamp& stamp) const {
    const auto found = entries_.find(stamp);
    if (found == entries_.end())
        return std::nullopt;
    return found->second;
}

void FingerprintCache::insert(const FileStamp& stamp, const Picture& picture) {
    entries_.insert_or_assign(stamp, picture);
}

} // namespace quillmere::similar
