// The set-aside run and its undo. Every rename refuses to replace what is at its destination
// (renameat2 with RENAME_NOREPLACE), so neither a file appearing meanwhile nor a hostile manifest
// can make a move overwrite anything; a move that would leave the file system is refused, never
// turned into a copy.
#include "move/Mover.h"

#include "Error.h"
#include "fs/FileSystem.h"
#include "scan/ContentSignature.h"
#include "scan/ScanResult.h"
#include "scan/SkipRules.h"
#include "scan/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>

namespace quillmere {

namespace {

using std::chrono::system_clock;

constexpr std::string_view manifestPrefix = "_quillmere_manifest_";
// Far above any real manifest; keeps a wrong or hostile file from exhausting memory.
constexpr std::int64_t maxManifestBytes = std::int64_t(256) << 20;
// Fresh names tried when destinations keep appearing while a file is being moved.
constexpr int maxRenameAttempts = 100;

// 0 or the errno value. Never replaces an existing entry at `to`.
int renameNoReplace(const std::string& from, const std::string& to) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? 0
                                                                                            : errno;
}

// Same device and inode, however the two paths are spelled (hard links, links, bind mounts).
bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// What the file system shows of a change to a file: identity, size and modification time.
struct FileState {
    dev_t device;
    ino_t inode;
    off_t size;
    std::int64_t modifiedSeconds;
    long modifiedNanoseconds;
    friend bool operator==(const FileState&, const FileState&) = default;
};

// The state of the entry at `path` itself, or of what a link there leads to.
std::optional<FileState> stateOf(const std::string& path, bool followLinks) {
    struct stat info {};
    if ((followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0)
        return std::nullopt;
    return FileState{info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec,
                     info.st_mtim.tv_nsec};
}

std::string withTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

// Absolute and without "." or ".." components.
bool isPlainAbsolute(std::string_view path) {
    if (!path.starts_with('/'))
        return false;
    std::size_t start = 1;
    while (start <= path.size()) {
        const auto slash = path.find('/', start);
        const auto end = slash == std::string_view::npos ? path.size() : slash;
        const auto component = path.substr(start, end - start);
        if (component == "." || component == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// The path with the links of its folders resolved; the last component is kept, since a rename
// acts on the entry itself and not on what a link at that place points to.
std::string resolveFolderLinks(const std::string& path) {
    return FileSystem::join(FileSystem::resolveLinks(FileSystem::parent(path)),
                            FileSystem::lastComponent(path));
}

std::string localStamp(system_clock::time_point time) {
    const std::time_t seconds = system_clock::to_time_t(time);
    ::tzset();
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// The n-th manifest of one second (n >= 2) gets "_" + n with one underscore per digit: "_2" ...
// "_9", "__10" ... "__99", "___100". "_" sorts after "." and after every digit, so each name
// sorts after all earlier ones of that second and readers taking the last name get the newest.
std::string sameSecondSuffix(int n) {
    const std::string digits = std::to_string(n);
    return std::string(digits.size(), '_') + digits;
}

std::string randomHex() {
    std::random_device device;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", device(), device());
    return text;
}

} // namespace

std::int64_t MoveOutcome::bytesMoved() const {
    std::int64_t bytes = 0;
    for (const auto& record : moved)
        bytes += record.sizeBytes;
    return bytes;
}

std::optional<std::string> MoveOutcome::manifestURL() const {
    if (manifestURLs.empty())
        return std::nullopt;
    return manifestURLs.front();
}

Mover::Mover(std::vector<std::string> roots, std::string reviewDirectoryName,
             std::function<void(const MoveProgress&)> progress)
    : reviewDirectoryName_(std::move(reviewDirectoryName)), progress_(std::move(progress)) {
    for (const auto& root : roots)
        roots_.push_back(FileSystem::resolveLinks(root));
    // Longest first, so that the first root containing a file is the most specific one.
    std::stable_sort(roots_.begin(), roots_.end(), [](const auto& a, const auto& b) {
        return Text::characterCount(a) > Text::characterCount(b);
    });
}

MoveOutcome Mover::move(const std::vector<DuplicateGroup>& groups, const std::atomic<bool>* stop) {
    struct WorkItem {
        const std::string& path;
        const std::string& keep;
        std::int64_t size;
    };
    std::vector<WorkItem> work;
    for (const auto& group : groups)
        for (const auto& path : group.remove)
            work.push_back({path, group.keep, group.size});
    const auto total = std::int64_t(work.size());
    const auto send = [this](const MoveProgress& update) {
        if (progress_)
            progress_(update);
    };

    MoveOutcome outcome;
    // Per root, in the order of the first move into it.
    std::vector<std::pair<std::string, std::vector<MoveRecord>>> recordsByRoot;
    std::int64_t done = 0;
    for (; done < total; ++done) {
        if (stop && stop->load()) {
            outcome.interrupted = true;
            break;
        }
        const WorkItem& item = work[std::size_t(done)];
        const auto skip = [&](std::string reason) {
            outcome.skipped.push_back({item.path, std::move(reason)});
        };
        send(moveprogress::Verifying{done, total});
        if (!FileSystem::exists(item.keep)) {
            skip("the file it duplicates is missing: " + item.keep);
            continue;
        }
        if (!FileSystem::exists(item.path)) {
            skip("no longer on disk");
            continue;
        }
        // Moving the one file both paths lead to would set aside the copy meant to stay.
        if (sameFile(item.keep, item.path)) {
            skip("is the same file as " + item.keep);
            continue;
        }
        const auto keepBefore = stateOf(item.keep, true);
        const auto fileBefore = stateOf(item.path, false);
        if (!keepBefore || !fileBefore ||
            !ContentSignature::verifyIdentical(item.keep, item.path)) {
            skip("no longer byte-identical to " + item.keep);
            continue;
        }
        const auto place = rootAndRelativePath(item.path);
        if (!place) {
            skip("is outside every scan root");
            continue;
        }
        // Named references, not a structured binding: the lambda below captures `root`.
        const std::string& root = place->first;
        const std::string& relative = place->second;
        const std::string folder = FileSystem::join(root, reviewDirectoryName_);
        std::string destination = availableDestination(folder, relative);
        // A move that the manifest could not record would be a file the undo cannot find.
        if (!Text::isValidUtf8(item.path) || !Text::isValidUtf8(item.keep) ||
            !Text::isValidUtf8(destination)) {
            skip("cannot be recorded: the path is not valid UTF-8");
            continue;
        }
        try {
            FileSystem::createDirectories(FileSystem::parent(destination));
        } catch (const Error& error) {
            skip(std::string("move failed: ") + error.what());
            continue;
        }
        send(moveprogress::Moving{done, total});
        int error = renameNoReplace(item.path, destination);
        for (int attempt = 1; error == EEXIST && attempt < maxRenameAttempts; ++attempt) {
            destination = availableDestination(folder, relative);
            error = renameNoReplace(item.path, destination);
        }
        if (error != 0) {
            skip("move failed: " + FileSystem::describeErrno(error));
            continue;
        }
        // A write to either file during or after the comparison would make the record claim a
        // copy that is not one: such a file goes back. Should that fail, it stays recorded.
        if ((stateOf(destination, false) != fileBefore || stateOf(item.keep, true) != keepBefore) &&
            renameNoReplace(destination, item.path) == 0) {
            skip("no longer byte-identical to " + item.keep);
            continue;
        }
        MoveRecord record{item.path, destination, item.size, item.keep};
        auto rootRecords = std::find_if(recordsByRoot.begin(), recordsByRoot.end(),
                                        [&](const auto& entry) { return entry.first == root; });
        if (rootRecords == recordsByRoot.end())
            rootRecords = recordsByRoot.insert(rootRecords, {root, {}});
        rootRecords->second.push_back(record);
        outcome.moved.push_back(std::move(record));
    }
    send(moveprogress::Moving{done, total});

    // Every root's manifest is attempted even after one fails, so that one full or read-only
    // volume does not leave the moves of the other roots unrecorded. The moves of a root whose
    // manifest cannot be written are put back: the undo could not find them without it.
    std::optional<Error> firstFailure;
    for (const auto& [root, records] : recordsByRoot) {
        try {
            outcome.manifestURLs.push_back(writeManifest(records, root));
        } catch (const Error& error) {
            std::string stranded;
            for (auto record = records.rbegin(); record != records.rend(); ++record) {
                try {
                    restore(*record);
                } catch (const std::exception&) {
                    stranded += (stranded.empty() ? "" : ", ") + record->to;
                }
            }
            if (!firstFailure)
                firstFailure = Error(
                    "the manifest of " + root + " could not be written: " + error.what() +
                    (stranded.empty() ? "; the " + std::to_string(records.size()) +
                                            " file(s) moved there were put back"
                                      : "; these moved files could not be put back and are in "
                                        "no manifest: " +
                                            stranded));
        }
    }
    if (firstFailure)
        throw *firstFailure;
    return outcome;
}

std::optional<std::pair<std::string, std::string>>
Mover::rootAndRelativePath(const std::string& path) const {
    const auto name = FileSystem::lastComponent(path);
    if (!path.starts_with('/') || name == "/" || name == "." || name == "..")
        return std::nullopt;
    const std::string resolved = resolveFolderLinks(path);
    for (const auto& root : roots_) {
        const std::string prefix = withTrailingSlash(root);
        if (resolved.size() > prefix.size() && resolved.starts_with(prefix))
            return std::pair{root, resolved.substr(prefix.size())};
    }
    return std::nullopt;
}

std::string Mover::availableDestination(const std::string& folder,
                                        const std::string& relativePath) {
    const std::string candidate = FileSystem::join(folder, relativePath);
    if (!FileSystem::existsNoFollow(candidate))
        return candidate;
    const std::string extension(FileSystem::extension(candidate));
    const std::string rest = extension.empty()
                                 ? candidate
                                 : candidate.substr(0, candidate.size() - extension.size() - 1);
    for (std::int64_t n = 2;; ++n) {
        std::string next = rest + " (" + std::to_string(n) + ")";
        if (!extension.empty())
            next += "." + extension;
        if (!FileSystem::existsNoFollow(next))
            return next;
    }
}

std::string Mover::writeManifest(const std::vector<MoveRecord>& records, const std::string& root) {
    const auto now = system_clock::now();
    const std::string json = MoveManifest{root, now, records}.encode();
    const std::string folder = FileSystem::join(root, reviewDirectoryName_);
    FileSystem::createDirectories(folder);
    const std::string name = std::string(manifestPrefix) + localStamp(now);
    // Written completely under a name of its own first, then given its final name without
    // replacing anything, so that a manifest of an earlier run in the same second survives.
    const std::string pending = FileSystem::join(folder, "." + name + ".pending-" + randomHex());
    FileSystem::writeAtomically(pending, json);
    for (int n = 1;; ++n) {
        const std::string path =
            FileSystem::join(folder, name + (n == 1 ? "" : sameSecondSuffix(n)) + ".json");
        const int error = renameNoReplace(pending, path);
        if (error == 0)
            return path;
        if (error != EEXIST)
            throw Error(path + ": " + FileSystem::describeErrno(error) + " (the records are in " +
                        pending + ")");
    }
}

MoveManifest Mover::readManifest(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw Error(path + ": " + FileSystem::describeErrno(errno));
    if (S_ISDIR(info.st_mode))
        throw Error(path + " is a folder, not a manifest file");
    if (!S_ISREG(info.st_mode))
        throw Error(path + " is not a regular file");
    const std::string tooLarge = path + " is larger than 256 MiB, too large for a manifest";
    if (info.st_size > maxManifestBytes)
        throw Error(tooLarge);
    const std::string contents = FileSystem::readAll(path);
    if (std::int64_t(contents.size()) > maxManifestBytes)
        throw Error(tooLarge);
    return MoveManifest::decode(contents);
}

std::optional<std::string> Mover::recordRefusal(const MoveRecord& record, const std::string& root) {
    // A system call sees a path only up to its first NUL: a different path from the one checked.
    if (record.from.find('\0') != std::string::npos || record.to.find('\0') != std::string::npos)
        return "refused: a path contains a NUL character";
    if (!isPlainAbsolute(record.from))
        return "refused: the original path is not absolute or contains \".\" or \"..\"";
    if (!isPlainAbsolute(record.to))
        return "refused: the path in the review folder is not absolute or contains \".\" or \"..\"";
    const std::string folder = FileSystem::join(root, SkipRules::reviewDirectoryName);
    const std::string outside = "refused: not inside the review folder " + folder;
    const std::string prefix = withTrailingSlash(folder);
    if (!isPlainAbsolute(root) || record.to.size() <= prefix.size() ||
        !record.to.starts_with(prefix))
        return outside;
    // A link inside the review folder must not lead the move out of it.
    if (!resolveFolderLinks(record.to).starts_with(
            withTrailingSlash(FileSystem::resolveLinks(folder))))
        return outside;
    return std::nullopt;
}

void Mover::restore(const MoveRecord& record) {
    const std::string occupied = "something is already at the original path";
    if (!FileSystem::existsNoFollow(record.to))
        throw RestoreError("not in the review folder");
    if (FileSystem::existsNoFollow(record.from))
        throw RestoreError(occupied);
    FileSystem::createDirectories(FileSystem::parent(record.from));
    const int error = renameNoReplace(record.to, record.from);
    if (error == EEXIST)
        throw RestoreError(occupied);
    if (error != 0)
        throw Error(record.to + ": " + FileSystem::describeErrno(error));
}

UndoOutcome Mover::undo(const std::string& manifestPath) {
    const MoveManifest manifest = readManifest(manifestPath);
    UndoOutcome outcome;
    for (const auto& record : manifest.records) {
        if (auto refusal = recordRefusal(record, manifest.root)) {
            outcome.skipped.push_back({record.to, std::move(*refusal)});
            continue;
        }
        try {
            restore(record);
            ++outcome.restored;
        } catch (const RestoreError& error) {
            outcome.skipped.push_back({record.to, error.reason()});
        } catch (const std::exception& error) {
            outcome.skipped.push_back({record.to, std::string("restore failed: ") + error.what()});
        }
    }
    return outcome;
}

} // namespace quillmere
