// Sets redundant files aside into the review folder of their root, after one more byte-for-byte
// check against the kept copy, and puts them back from a manifest. Nothing is ever deleted and
// nothing existing is ever replaced.
#pragma once

#include "move/MoveManifest.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quillmere {

struct DuplicateGroup;
class Folder;

namespace moveprogress {
struct Verifying {
    std::int64_t done = 0;
    std::int64_t total = 0;
    friend bool operator==(const Verifying&, const Verifying&) = default;
};
struct Moving {
    std::int64_t done = 0;
    std::int64_t total = 0;
    friend bool operator==(const Moving&, const Moving&) = default;
};
} // namespace moveprogress

using MoveProgress = std::variant<moveprogress::Verifying, moveprogress::Moving>;

struct SkippedMove {
    std::string path;
    std::string reason;
    friend bool operator==(const SkippedMove&, const SkippedMove&) = default;
};

struct MoveOutcome {
    std::vector<MoveRecord> moved;
    std::vector<SkippedMove> skipped;
    std::vector<std::string> manifestURLs;
    /// True when the run stopped early because it was asked to.
    bool interrupted = false;

    std::int64_t bytesMoved() const;
    std::optional<std::string> manifestURL() const;
};

struct UndoOutcome {
    std::int64_t restored = 0;
    std::vector<SkippedMove> skipped;
};

class Mover {
  public:
    /// One of the expected refusals of restore().
    class RestoreError : public std::runtime_error {
      public:
        explicit RestoreError(const std::string& reason) : std::runtime_error(reason) {}
        std::string reason() const { return what(); }
    };

    /// `roots` are absolute; they are resolved and ordered longest first.
    Mover(std::vector<std::string> roots, std::string reviewDirectoryName,
          std::function<void(const MoveProgress&)> progress = {});

    /// Re-verifies and moves every REMOVE file of the groups; one manifest per root with moves.
    /// Throws Error only when a manifest cannot be written, after trying every root's and putting
    /// back the moves of each root left without one. When `stop` becomes true the run ends after
    /// the file in hand and still writes its manifests.
    MoveOutcome move(const std::vector<DuplicateGroup>& groups,
                     const std::atomic<bool>* stop = nullptr);

    /// Reads and decodes a manifest file of at most 256 MiB, or a journal left by a set-aside
    /// that did not finish (read as the manifest of the moves it recorded). Throws Error.
    static MoveManifest readManifest(const std::string& path);

    /// The journals in the review folder of `root` left by set-asides that did not finish and
    /// still recording a file there (or that cannot be read), sorted by name.
    static std::vector<std::string> leftoverJournals(const std::string& root);

    /// Puts every record of a manifest back. Throws Error only when the manifest cannot be read.
    static UndoOutcome undo(const std::string& manifestPath);

    /// Puts one file back, never replacing anything at its original path and never through a
    /// link on the way to it. Throws RestoreError for the expected refusals, Error otherwise.
    static void restore(const MoveRecord& record);

    /// Why a record of the manifest of `root` must not be acted on, or nothing: both paths must
    /// be absolute without "." or ".." components or a NUL, and `to` must lie inside the root's
    /// review folder, also once links are resolved. A manifest is input from disk, so undo() checks
    /// every record with this before restoring it.
    static std::optional<std::string> recordRefusal(const MoveRecord& record,
                                                    const std::string& root);

  private:
    std::optional<std::pair<std::string, std::string>>
    rootAndRelativePath(const std::string& path) const;
    /// `name`, or the first of "name (2).ext", "name (3).ext"… that is free in the folder.
    static std::string availableName(const Folder& folder, const std::string& name);
    static std::string writeManifest(const std::vector<MoveRecord>& records,
                                     const std::string& root, const Folder& review);

    std::vector<std::string> roots_;
    std::string reviewDirectoryName_;
    std::function<void(const MoveProgress&)> progress_;
};

} // namespace quillmere
