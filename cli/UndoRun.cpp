#include "UndoRun.h"

#include "Error.h"
#include "fs/FileSystem.h"
#include "move/Mover.h"

#include <iostream>

namespace quillmere::cli {

namespace {

// Skipped records listed one by one; the rest are only counted in the heading.
constexpr std::size_t listedSkips = 20;

} // namespace

int runUndo(const std::string& manifestPath, const Console&) {
    if (!FileSystem::exists(manifestPath))
        throw Error("no such manifest: " + manifestPath);
    UndoOutcome outcome;
    try {
        outcome = Mover::undo(manifestPath);
    } catch (const Error& error) {
        throw Error(std::string("could not read manifest: ") + error.what());
    }
    std::cout << Undo::outcomeText(outcome) << std::flush;
    return outcome.skipped.empty() ? 0 : 1;
}

namespace Undo {

std::string outcomeText(const UndoOutcome& outcome) {
    std::string text =
        "Restored " + std::to_string(outcome.restored) + " file(s) to their original locations.\n";
    if (!outcome.skipped.empty()) {
        text += "Skipped " + std::to_string(outcome.skipped.size()) + ":\n";
        for (std::size_t index = 0; index < outcome.skipped.size() && index < listedSkips;
             ++index) {
            text += "  " + outcome.skipped[index].path + "\n";
            text += "    " + outcome.skipped[index].reason + "\n";
        }
    }
    return text;
}

} // namespace Undo
} // namespace quillmere::cli
