// The cache file: a header (magic, fingerprint version, record size, record count), fixed-size
// records in the machine's byte order (the file never leaves the machine), and an FNV-1a checksum
// of everything before it. Any mismatch discards the whole file.
#include "FingerprintCache.h"

#include "Error.h"
#include "fs/FileSystem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <sys/stat.h>

namespace quillmere::similar {

namespace {

constexpr std::string_view magic{"QMSIMFP\0", 8};
constexpr std::size_t headerSize = magic.size() + 4 + 4 + 8;
constexpr std::size_t recordSize =
    8 + 8 + 8 + 8 + 4 + 4 + sizeof(Fingerprint::coefficients) + sizeof(Fingerprint::pixels);
constexpr std::size_t checksumSize = 8;

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = 0xcbf29ce484222325ull) {
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

std::size_t FingerprintCache::IdentityHash::operator()(const FileIdentity& identity) const {
    std::uint64_t hash = identity.second * 0x9e3779b97f4a7c15ull;
    hash ^= identity.first + (hash << 6) + (hash >> 2);
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
    // Read record by record, so that loading never holds the file and the entries at once.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rbe"),
                                                               &std::fclose);
    struct stat status;
    if (!file || ::fstat(::fileno(file.get()), &status) != 0)
        return {};
    const auto bytes = static_cast<std::uint64_t>(status.st_size);
    if (bytes < headerSize + checksumSize || (bytes - headerSize - checksumSize) % recordSize != 0)
        return {};
    std::string chunk(headerSize, '\0');
    if (std::fread(chunk.data(), 1, chunk.size(), file.get()) != chunk.size())
        return {};
    std::uint64_t hash = fnv1a(chunk);
    std::size_t offset = magic.size();
    const auto version = take<std::uint32_t>(chunk, offset);
    const auto size = take<std::uint32_t>(chunk, offset);
    const auto count = take<std::uint64_t>(chunk, offset);
    if (!std::string_view(chunk).starts_with(magic) || version != fingerprintVersion ||
        size != recordSize || count != (bytes - headerSize - checksumSize) / recordSize)
        return {};

    FingerprintCache cache;
    chunk.resize(recordSize);
    for (std::uint64_t record = 0; record < count; ++record) {
        if (std::fread(chunk.data(), 1, chunk.size(), file.get()) != chunk.size())
            return {};
        hash = fnv1a(chunk, hash);
        offset = 0;
        FileStamp stamp;
        stamp.device = take<std::uint64_t>(chunk, offset);
        stamp.inode = take<std::uint64_t>(chunk, offset);
        stamp.size = take<std::int64_t>(chunk, offset);
        stamp.modified = take<std::int64_t>(chunk, offset);
        Picture picture;
        picture.width = take<std::int32_t>(chunk, offset);
        picture.height = take<std::int32_t>(chunk, offset);
        const auto takeValues = [&](auto& values) {
            std::memcpy(values.data(), chunk.data() + offset, values.size());
            offset += values.size();
        };
        takeValues(picture.fingerprint.coefficients);
        takeValues(picture.fingerprint.pixels);
        if (picture.width < 1 || picture.height < 1)
            return {};
        cache.insert(stamp, picture);
    }
    std::uint64_t stored = 0;
    if (std::fread(&stored, 1, sizeof stored, file.get()) != sizeof stored || stored != hash)
        return {};
    return cache;
}

void FingerprintCache::save(const std::string& path) const {
    std::string out;
    out.reserve(headerSize + entries_.size() * recordSize + checksumSize);
    out += magic;
    put(out, fingerprintVersion);
    put(out, static_cast<std::uint32_t>(recordSize));
    put(out, static_cast<std::uint64_t>(entries_.size()));
    for (const auto& [identity, entry] : entries_) {
        const auto& [stamp, picture] = entry;
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

const Picture* FingerprintCache::find(const FileStamp& stamp) const {
    const auto found = entries_.find({stamp.device, stamp.inode});
    return found == entries_.end() || found->second.stamp != stamp ? nullptr
                                                                   : &found->second.picture;
}

void FingerprintCache::insert(const FileStamp& stamp, const Picture& picture) {
    entries_.insert_or_assign({stamp.device, stamp.inode}, Entry{stamp, picture});
}

} // namespace quillmere::similar
