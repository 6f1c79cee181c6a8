// The similar-photo run of the tool (--similar): scan the folders with live progress, write the
// text report and its CSV sidecar, and print the summary. Nothing is ever moved.
#pragma once

#include <string>

namespace quillmere::similar {
struct SimilarResult;
}

namespace quillmere::cli {

class Console;
struct ScanRunConfig;

class SimilarRun {
  public:
    SimilarRun(const ScanRunConfig& config, const Console& console)
        : config_(config), console_(console) {}

    /// Scans, writes both reports and prints the summary. Throws Error with the message to fail
    /// with.
    void run();

    /// The summary block printed on standard output.
    static std::string summary(const similar::SimilarResult& result, const std::string& reportPath,
                               const std::string& csvPath);

  private:
    const ScanRunConfig& config_;
    const Console& console_;
};

} // namespace quillmere::cli
