// The command line: parsed as typed into a CommandLine, then validated into the run to carry out.
// Only the validated configuration reaches the engine.
#pragma once

#include "scan/ScanConfig.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quillmere::cli {

/// The arguments as typed; nothing resolved or checked.
struct CommandLine {
    /// -h or --help came before any offending argument.
    bool helpRequested = false;
    std::vector<std::string> roots;
    std::vector<std::string> includes;
    std::string outPath = "quillmere_report.txt";
    bool shouldMove = false;
    bool assumeYes = false;
    bool quiet = false;
    bool similar = false;
    std::optional<std::string> undoManifest;
};

/// A scan whose roots are existing folders, each holding every include.
struct ScanRunConfig {
    /// Roots resolved and standardised, in the order given, repeats kept; includes as typed.
    ScanConfig scan;
    /// The report location, resolved but not standardised.
    std::string reportPath;
    /// The report location with its extension replaced by "csv".
    std::string csvPath;
    bool shouldMove = false;
    bool assumeYes = false;
    bool quiet = false;
    /// Similar photos instead of identical files.
    bool similar = false;
};

/// An undo; everything else on the command line is ignored.
struct UndoRunConfig {
    /// The manifest location, resolved but not standardised; it may not exist.
    std::string manifestPath;
    bool quiet = false;
};

using RunConfig = std::variant<ScanRunConfig, UndoRunConfig>;

namespace Arguments {

/// Reads the process arguments without the program name, stopping at -h or --help. Throws Error
/// with the message for the first offending argument from the left.
CommandLine parse(const std::vector<std::string>& args);

/// Refuses --similar with --move or --undo, then chooses the undo when --undo was given, else
/// checks the scan run. Throws Error with the
/// message for the first check that fails; nothing is scanned or written here.
RunConfig validate(const CommandLine& commandLine);

/// `reportPath` with its last extension, if any, replaced by "csv".
std::string csvPathFor(const std::string& reportPath);

} // namespace Arguments
} // namespace quillmere::cli
