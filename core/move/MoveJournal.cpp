// Journal files: JSON Lines, the first line the run's manifest without records (root and time),
// each further line one record in the manifest's record form.
#include "move/MoveJournal.h"

#include "Error.h"
#include "fs/FileSystem.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_map>

namespace quillmere {

namespace {

// Records between two flushes to disk: a power cut loses at most the latest of them, whose files
// are then at the same relative path in the review folder, while a kill of the process loses
// none, since each record is in the kernel before its rename.
constexpr int recordsPerSync = 256;

void writeLine(int fd, const std::string& line, const std::string& path) {
    // One write, so that a kill leaves the line whole or cut short, never interleaved.
    const ssize_t written = ::write(fd, line.data(), line.size());
    if (written < 0)
        throw Error(path + ": " + FileSystem::describeErrno(errno));
    if (std::size_t(written) != line.size())
        throw Error(path + ": " + FileSystem::describeErrno(ENOSPC));
}

} // namespace

MoveJournal::MoveJournal(const Folder& reviewFolder, const std::string& root,
                         const std::string& stem)
    : folder_(reviewFolder) {
    // The journal is written under a hidden name first and takes its own name only once its
    // first line is on disk, so that no journal is ever found without one.
    const std::string firstLine = MoveManifest{root, std::chrono::system_clock::now(), {}}.encode(
                                      MoveManifest::Layout::singleLine) +
                                  "\n";
    const std::string pending = "." + std::string(namePrefix) + stem + ".pending";
    const std::string pendingPath = FileSystem::join(folder_.path(), pending);
    fd_ = ::openat(folder_.fd(), pending.c_str(),
                   O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0)
        throw Error(pendingPath + ": " + FileSystem::describeErrno(errno));
    try {
        writeLine(fd_, firstLine, pendingPath);
        sync();
        for (int n = 1;; ++n) {
            name_ = std::string(namePrefix) + stem + (n == 1 ? "" : "_" + std::to_string(n)) +
                    std::string(nameSuffix);
            path_ = FileSystem::join(folder_.path(), name_);
            if (::renameat2(folder_.fd(), pending.c_str(), folder_.fd(), name_.c_str(),
                            RENAME_NOREPLACE) == 0)
                break;
            if (errno != EEXIST || n >= 100)
                throw Error(path_ + ": " + FileSystem::describeErrno(errno));
        }
    } catch (...) {
        ::close(fd_);
        ::unlinkat(folder_.fd(), pending.c_str(), 0);
        throw;
    }
    folder_.sync();
}

MoveJournal::~MoveJournal() {
    if (fd_ >= 0)
        ::close(fd_);
}

void MoveJournal::append(const MoveRecord& record) {
    // After a failed write the journal may end in part of a line; a record after it would make
    // that a broken line inside, and the whole journal unreadable.
    if (failed_)
        throw Error(path_ + ": an earlier record could not be written");
    try {
        writeLine(fd_, MoveManifest::encodeRecord(record) + "\n", path_);
        if (++unsynced_ >= recordsPerSync)
            sync();
    } catch (const Error&) {
        failed_ = true;
        throw;
    }
}

void MoveJournal::sync() {
    if (::fdatasync(fd_) != 0)
        throw Error(path_ + ": " + FileSystem::describeErrno(errno));
    unsynced_ = 0;
}

void MoveJournal::remove() {
    ::close(fd_);
    fd_ = -1;
    ::unlinkat(folder_.fd(), name_.c_str(), 0);
    folder_.sync();
}

bool MoveJournal::isJournalName(std::string_view name) {
    return name.starts_with(namePrefix) && name.ends_with(nameSuffix) &&
           name.size() > namePrefix.size() + nameSuffix.size();
}

MoveManifest MoveJournal::decode(std::string_view text) {
    // Only lines ended by their line feed were written whole.
    const auto complete = text.rfind('\n');
    if (complete == std::string_view::npos)
        throw Error("the journal has no complete line: the run ended before it moved anything");
    text = text.substr(0, complete + 1);

    MoveManifest manifest;
    std::vector<MoveRecord> records;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const auto end = text.find('\n', start);
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        try {
            if (lineNumber == 1) {
                manifest = MoveManifest::decode(line);
                records = std::move(manifest.records);
                manifest.records.clear();
            } else {
                records.push_back(MoveManifest::decodeRecord(line));
            }
        } catch (const Error& error) {
            throw Error("line " + std::to_string(lineNumber) + ": " + error.what());
        }
    }

    // Of several records for one destination only the last counts: each earlier one was for a
    // rename that failed or was undone before the name was chosen again.
    std::unordered_map<std::string, std::size_t> lastWithDestination;
    for (std::size_t index = 0; index < records.size(); ++index)
        lastWithDestination[records[index].to] = index;
    std::vector<MoveRecord> latest;
    for (std::size_t index = 0; index < records.size(); ++index)
        if (lastWithDestination.at(records[index].to) == index)
            latest.push_back(std::move(records[index]));
    // A record followed at once by another for the same file was a rename refused because its
    // destination had been taken meanwhile: the file may now be away from its original path while
    // a stranger's file sits at that destination, so only the retry counts. (Taking the records
    // in this order makes the result read back as itself.)
    for (std::size_t index = 0; index < latest.size(); ++index)
        if (index + 1 == latest.size() || latest[index + 1].from != latest[index].from)
            manifest.records.push_back(std::move(latest[index]));
    return manifest;
}

} // namespace quillmere
