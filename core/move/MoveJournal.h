// The write-ahead record of one set-aside run in one root, kept in the root's review folder
// beside the manifest it becomes. Each record is appended with one write before its rename, so a
// run killed at any moment leaves every moved file recorded; the finished run writes its manifest
// and only then removes the journal. A leftover journal is read as the manifest of the moves it
// recorded.
#pragma once

#include "fs/Folder.h"
#include "move/MoveManifest.h"

#include <string>
#include <string_view>

namespace quillmere {

class MoveJournal {
  public:
    static constexpr std::string_view namePrefix = "_quillmere_journal_";
    static constexpr std::string_view nameSuffix = ".jsonl";

    /// Creates a new journal of a run in `root` in that root's open review folder, named with the
    /// prefix, `stem` and the suffix (and a number should that name be taken), and makes its first
    /// line, the root and the time, durable. Throws Error.
    MoveJournal(const Folder& reviewFolder, const std::string& root, const std::string& stem);

    /// Appends the record of a rename about to be made, in one write; every few hundred records
    /// the journal is flushed to disk. Throws Error, and then the rename must not be made; after
    /// one failure every later append throws too.
    void append(const MoveRecord& record);

    /// Flushes every record appended so far to disk. Throws Error.
    void sync();

    /// Removes the journal once its manifest is durable.
    void remove();

    const std::string& path() const { return path_; }

    /// True for the name of a journal file.
    static bool isJournalName(std::string_view name);

    /// The manifest a journal's text stands for. A last line without its line feed was cut short
    /// by the end of the run, before its rename, and is ignored; a record followed at once by
    /// another for the same file (a retry under a new name) does not count; of several records
    /// with the same destination only the last counts, since each earlier one was for a rename
    /// that did not happen or was undone before the name was chosen again. Throws Error naming
    /// the line at fault.
    static MoveManifest decode(std::string_view text);

    MoveJournal(const MoveJournal&) = delete;
    MoveJournal& operator=(const MoveJournal&) = delete;
    ~MoveJournal();

  private:
    const Folder& folder_;
    std::string name_;
    std::string path_;
    int fd_ = -1;
    int unsynced_ = 0;
    bool failed_ = false;
};

} // namespace quillmere
