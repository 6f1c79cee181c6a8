// The set-aside that follows a scan run given --move: confirmation, the moves into the review
// folder of each root, and the outcome on standard output.
#pragma once

namespace quillmere {
struct ScanResult;
}

namespace quillmere::cli {

class Console;
struct ScanRunConfig;

/// Runs the set-aside for the groups of `result` and returns the exit code (0 done, 1 declined).
/// Throws Error with the message to fail with.
int runSetAside(const ScanResult& result, const ScanRunConfig& config, const Console& console);

} // namespace quillmere::cli
