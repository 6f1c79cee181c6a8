// The undo run chosen by --undo: put back every file recorded in one manifest.
#pragma once

#include <string>

namespace quillmere {
struct UndoOutcome;
}

namespace quillmere::cli {

class Console;

/// Restores the files of the manifest at `manifestPath` (resolved, possibly missing) and returns
/// the exit code (0, or 1 when a record was skipped). Throws Error with the message to fail with.
int runUndo(const std::string& manifestPath, const Console& console);

namespace Undo {

/// What the undo did: the restored count and the first skipped records with their reasons.
std::string outcomeText(const UndoOutcome& outcome);

} // namespace Undo
} // namespace quillmere::cli
