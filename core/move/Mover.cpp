// The set-aside run and its undo. Every rename refuses to replace what is at its destination
// (renameat2 with RENAME_NOREPLACE), so neither a file appearing meanwhile nor a hostile manifest
// can make a move overwrite anything; a move that would leave the file system is refused, never
// turned into a copy. Renames into and out of a review folder, and back to an original folder, go
// through folder handles reached without following links (fs/Folder.h). Each move is journaled
// before its rename (move/MoveJournal.h).
#include "move/Mover.h"

#include "Error.h"
#include "fs/FileSystem.h"
#include "fs/Folder.h"
#include "move/MoveJournal.h"
#include "scan/ContentSignature.h"
#include "scan/ScanResult.h"
#include "scan/SkipRules.h"
#include "scan/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <list>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere {

namespace {

using std::chrono::system_clock;

constexpr std::string_view manifestPrefix = "_quillmere_manifest_";
// Far above any real manifest; keeps a wrong or hostile file from exhausting memory.
constexpr std::int64_t maxManifestBytes = std::int64_t(256) << 20;
// Fresh names tried when destinations keep appearing while a file is being moved.
constexpr int maxRenameAttempts = 100;

// 0 or the errno value. Never replaces an existing entry at the destination.
int renameNoReplace(int fromFolder, const std::string& from, int toFolder, const std::string& to) {
    return ::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0
               ? 0
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

// The state of the entry at `path` in `folder` itself, or of what a link there leads to.
std::optional<FileState> stateOf(const std::string& path, bool followLinks, int folder = AT_FDCWD) {
    struct stat info {};
    if (::fstatat(folder, path.c_str(), &info, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
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

// A relative path split into its folder ("" for none) and its name.
std::pair<std::string, std::string> folderAndName(const std::string& relative) {
    const auto slash = relative.rfind('/');
    if (slash == std::string::npos)
        return {"", relative};
    return {relative.substr(0, slash), relative.substr(slash + 1)};
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

    // One root's part of the run, opened at its first move. A list, since each journal refers to
    // its folder.
    struct RootRun {
        RootRun(std::string root, Folder review)
            : root(std::move(root)), review(std::move(review)) {}
        std::string root;
        Folder review;
        std::optional<MoveJournal> journal;
        std::vector<MoveRecord> records;
    };
    std::list<RootRun> runs;
    const std::string journalStem =
        localStamp(system_clock::now()) + "-" + std::to_string(::getpid());

    MoveOutcome outcome;
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
        // Named, not structured bindings: the lambdas below capture them.
        const std::string& root = place->first;
        const auto split = folderAndName(place->second);
        const std::string& relativeFolder = split.first;
        const std::string& fileName = split.second;
        // Every folder on the way is reached from the root's review folder without following a
        // link, so the rename cannot land outside it.
        auto run = std::find_if(runs.begin(), runs.end(),
                                [&](const RootRun& entry) { return entry.root == root; });
        std::optional<Folder> destinationFolder;
        try {
            if (run == runs.end()) {
                // The root's path had its links resolved when the run began; one swapped in
                // since is not followed either.
                Folder review = Folder::open("/")
                                    .beneath(root.substr(1), Folder::Missing::fail)
                                    .beneath(reviewDirectoryName_, Folder::Missing::create);
                run = runs.emplace(runs.end(), root, std::move(review));
                run->journal.emplace(run->review, root, journalStem);
            }
            destinationFolder = run->review.beneath(relativeFolder, Folder::Missing::create);
        } catch (const Error& error) {
            if (run != runs.end() && !run->journal)
                runs.erase(run);
            skip(std::string("move failed: ") + error.what());
            continue;
        }
        std::string name = availableName(*destinationFolder, fileName);
        MoveRecord record{item.path, FileSystem::join(destinationFolder->path(), name), item.size,
                          item.keep};
        // A move that the manifest could not record would be a file the undo cannot find.
        if (!Text::isValidUtf8(record.from) || !Text::isValidUtf8(record.verifiedAgainst) ||
            !Text::isValidUtf8(record.to)) {
            skip("cannot be recorded: the path is not valid UTF-8");
            continue;
        }
        send(moveprogress::Moving{done, total});
        // The record goes to the journal before the rename, so that no end of the run, however
        // abrupt, leaves a moved file unrecorded; a record whose rename then fails is harmless.
        const auto renamed = [&]() -> int {
            for (int attempt = 1;; ++attempt) {
                run->journal->append(record);
                const int error =
                    renameNoReplace(AT_FDCWD, item.path, destinationFolder->fd(), name);
                if (error != EEXIST || attempt == maxRenameAttempts)
                    return error;
                name = availableName(*destinationFolder, fileName);
                record.to = FileSystem::join(destinationFolder->path(), name);
            }
        };
        int error = 0;
        try {
            error = renamed();
        } catch (const Error& journalError) {
            skip(std::string("move failed: ") + journalError.what());
            continue;
        }
        if (error != 0) {
            skip("move failed: " + FileSystem::describeErrno(error));
            continue;
        }
        // A write to either file during or after the comparison would make the record claim a
        // copy that is not one: such a file goes back. Should that fail, it stays recorded.
        if ((stateOf(name, false, destinationFolder->fd()) != fileBefore ||
             stateOf(item.keep, true) != keepBefore) &&
            renameNoReplace(destinationFolder->fd(), name, AT_FDCWD, item.path) == 0) {
            skip("no longer byte-identical to " + item.keep);
            continue;
        }
        run->records.push_back(record);
        outcome.moved.push_back(std::move(record));
    }
    send(moveprogress::Moving{done, total});

    // Every root's manifest is attempted even after one fails, so that one full or read-only
    // volume does not leave the moves of the other roots unrecorded. The moves of a root whose
    // manifest cannot be written are put back; any that cannot be are still in its journal.
    std::optional<Error> firstFailure;
    for (auto& run : runs) {
        if (run.records.empty()) {
            run.journal->remove();
            continue;
        }
        try {
            outcome.manifestURLs.push_back(writeManifest(run.records, run.root, run.review));
            run.journal->remove();
        } catch (const Error& error) {
            std::string stranded;
            for (auto record = run.records.rbegin(); record != run.records.rend(); ++record) {
                try {
                    restore(*record);
                } catch (const std::exception&) {
                    stranded += (stranded.empty() ? "" : ", ") + record->to;
                }
            }
            if (stranded.empty())
                run.journal->remove();
            if (!firstFailure)
                firstFailure = Error(
                    "the manifest of " + run.root + " could not be written: " + error.what() +
                    (stranded.empty() ? "; the " + std::to_string(run.records.size()) +
                                            " file(s) moved there were put back"
                                      : "; these moved files could not be put back: " + stranded +
                                            " (quillmere --undo \"" + run.journal->path() +
                                            "\" puts them back)"));
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

std::string Mover::availableName(const Folder& folder, const std::string& name) {
    if (!folder.holds(name))
        return name;
    const std::string extension(FileSystem::extension(name));
    const std::string rest =
        extension.empty() ? name : name.substr(0, name.size() - extension.size() - 1);
    for (std::int64_t n = 2;; ++n) {
        std::string next = rest + " (" + std::to_string(n) + ")";
        if (!extension.empty())
            next += "." + extension;
        if (!folder.holds(next))
            return next;
    }
}

std::string Mover::writeManifest(const std::vector<MoveRecord>& records, const std::string& root,
                                 const Folder& review) {
    const auto now = system_clock::now();
    const std::string json = MoveManifest{root, now, records}.encode();
    const std::string name = std::string(manifestPrefix) + localStamp(now);
    // Written completely and flushed under a name of its own first, then given its final name
    // without replacing anything, so that a manifest of an earlier run in the same second
    // survives; the folder is flushed last, so that the name survives a power cut too.
    const std::string pending = "." + name + ".pending-" + randomHex();
    FileSystem::writeNewFile(review.fd(), FileSystem::join(review.path(), pending), json);
    for (int n = 1;; ++n) {
        const std::string final = name + (n == 1 ? "" : sameSecondSuffix(n)) + ".json";
        const std::string path = FileSystem::join(review.path(), final);
        const int error = renameNoReplace(review.fd(), pending, review.fd(), final);
        if (error == 0) {
            review.sync();
            return path;
        }
        if (error != EEXIST)
            throw Error(path + ": " + FileSystem::describeErrno(error) + " (the records are in " +
                        FileSystem::join(review.path(), pending) + ")");
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
    if (!MoveJournal::isJournalName(FileSystem::lastComponent(path)))
        return MoveManifest::decode(contents);
    MoveManifest manifest = MoveJournal::decode(contents);
    // A journal holds absolute paths of the place it was written in; one that is elsewhere now
    // (its folder renamed or copied) would point its undo at files that are not its own.
    const std::string folder = FileSystem::join(manifest.root, SkipRules::reviewDirectoryName);
    if (FileSystem::resolveLinks(FileSystem::parent(path)) != FileSystem::resolveLinks(folder))
        throw Error(path + " was written in " + folder +
                    " and is no longer there; its records are not used");
    return manifest;
}

std::vector<std::string> Mover::leftoverJournals(const std::string& root) {
    const std::string folder = FileSystem::join(root, SkipRules::reviewDirectoryName);
    std::vector<std::string> journals;
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return journals;
    while (const dirent* entry = ::readdir(listing))
        if (MoveJournal::isJournalName(entry->d_name))
            journals.push_back(FileSystem::join(folder, entry->d_name));
    ::closedir(listing);
    std::sort(journals.begin(), journals.end());
    // A journal none of whose files is still in the review folder has nothing left to put back.
    std::erase_if(journals, [](const std::string& journal) {
        try {
            const auto manifest = readManifest(journal);
            return std::none_of(manifest.records.begin(), manifest.records.end(),
                                [&](const MoveRecord& record) {
                                    return !recordRefusal(record, manifest.root) &&
                                           FileSystem::existsNoFollow(record.to);
                                });
        } catch (const Error&) {
            return false;
        }
    });
    return journals;
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
    // `to` is the root (links resolved when the file was set aside), the review folder and the
    // file's path relative to the root, perhaps with a number added to its name.
    const std::string marker = "/" + std::string(SkipRules::reviewDirectoryName) + "/";
    const auto at = record.to.rfind(marker);
    if (at == std::string::npos || FileSystem::lastComponent(record.from).empty())
        throw RestoreError("refused: not inside a review folder");
    const std::string root = at == 0 ? "/" : record.to.substr(0, at);
    const auto [relativeFolder, setAsideName] = folderAndName(record.to.substr(at + marker.size()));
    const std::string name(FileSystem::lastComponent(record.from));
    // The original path must still lead to the folder of the root that the file was set aside
    // from: a folder on the way swapped for a link since would send it wherever the link points.
    const std::string original = FileSystem::join(FileSystem::join(root, relativeFolder), name);
    if (resolveFolderLinks(record.from) != original)
        throw RestoreError(
            record.from == original
                ? "refused: a symbolic link is on the way to the original path"
                : "refused: the original path does not lead back to the folder it was set aside "
                  "from");
    if (FileSystem::existsNoFollow(record.from))
        throw RestoreError(occupied);
    const Folder rootFolder = Folder::open("/").beneath(root.substr(1), Folder::Missing::fail);
    const Folder source = rootFolder.beneath(
        FileSystem::join(SkipRules::reviewDirectoryName, relativeFolder), Folder::Missing::fail);
    const Folder target = rootFolder.beneath(relativeFolder, Folder::Missing::create);
    const int error = renameNoReplace(source.fd(), setAsideName, target.fd(), name);
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
