// The set-aside that follows a scan run given --move: confirmation, the moves into the review
// folder of each root, and the outcome on standard output.
#pragma once

#include "move/Mover.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmere {
struct ScanResult;
}

namespace quillmere::cli {

class Console;
struct ScanRunConfig;

/// Exit code of a set-aside stopped by SIGINT, SIGTERM or SIGHUP, as a shell reports an
/// interrupted job.
inline constexpr int interruptedExitCode = 130;

/// Runs the set-aside for the groups of `result` and returns the exit code (0 done, 1 declined,
/// 130 interrupted). Throws Error with the message to fail with.
int runSetAside(const ScanResult& result, const ScanRunConfig& config, const Console& console);

namespace SetAside {

/// The block shown before asking: how many files, where to, how much, and the reassurance.
std::string confirmationText(const ScanResult& result);

/// An answer to the prompt agrees: "yes" in any case, with spaces and tabs around it.
bool isConsent(std::string_view answer);

/// The progress line for one update of the mover.
std::string progressText(const MoveProgress& update);

/// What the set-aside did, from the empty line before "Moved" to the closing note. `notReached`
/// counts the files an interrupted run never looked at.
std::string outcomeText(const MoveOutcome& outcome, std::int64_t notReached);

} // namespace SetAside
} // namespace quillmere::cli
