// The scan run of the tool: scan the folders with live progress, write the text report and its CSV
// sidecar, and print the summary.
#pragma once

#include "scan/ScanPhase.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace quillmere {
struct ScanResult;
}

namespace quillmere::cli {

class Console;
struct ScanRunConfig;

/// Prints each scan phase on the console's progress line. Called from worker threads as well as
/// from the scanning thread.
class ScanProgressPrinter {
  public:
    explicit ScanProgressPrinter(const Console& console) : console_(console) {}

    void operator()(const ScanPhase& phase);

    /// Ends a progress line still open when the scan has returned.
    void finish();

    /// done × 100 / total, truncated; 100 when total is 0.
    static std::int64_t percent(std::int64_t done, std::int64_t total);

  private:
    const Console& console_;
    /// The last thing written was a progress line without its line feed.
    std::atomic<bool> lastPhaseWasProgress_ = false;
};

class ScanRun {
  public:
    ScanRun(const ScanRunConfig& config, const Console& console)
        : config_(config), console_(console) {}

    /// Scans, writes both reports and prints the summary, plus the read-only closing note when
    /// no set-aside follows. Throws Error with the message to fail with.
    ScanResult run();

    /// The summary block printed on standard output.
    static std::string summary(const ScanResult& result, const std::string& reportPath,
                               const std::string& csvPath);

    /// The line naming a journal left by a set-aside that did not finish, with the command that
    /// puts its files back.
    static std::string leftoverJournalText(const std::string& journal);

    /// Writes the report and then its CSV where `config` says, each atomically, never over a
    /// photo or video. Throws Error("could not write report: …").
    static void writeReports(const ScanRunConfig& config, const std::string& text,
                             const std::string& csv);

  private:
    const ScanRunConfig& config_;
    const Console& console_;
};

} // namespace quillmere::cli
