// The similar-photo run: progress on standard error, the reports, the summary on standard output.
#include "SimilarRun.h"

#include "Arguments.h"
#include "Console.h"
#include "FingerprintCache.h"
#include "ScanRun.h"
#include "SimilarReport.h"
#include "SimilarScanner.h"

#include <atomic>
#include <iostream>

namespace quillmere::cli {

void SimilarRun::run() {
    std::string roots;
    for (const auto& root : config_.scan.roots)
        roots += (roots.empty() ? "" : ", ") + root;
    console_.log("Scanning " + roots + " for similar photos");

    // Workers report every photo; the line is redrawn only when the percentage moves.
    std::atomic<std::int64_t> shownPercent{-1};
    auto progress = [&](std::int64_t done, std::int64_t total) {
        const std::int64_t percent = ScanProgressPrinter::percent(done, total);
        std::int64_t shown = shownPercent.load();
        while (percent > shown)
            if (shownPercent.compare_exchange_weak(shown, percent)) {
                console_.status("  fingerprinting… " + std::to_string(done) + "/" +
                                std::to_string(total) + " (" + std::to_string(percent) + "%)");
                break;
            }
    };
    similar::SimilarScanner scanner(config_.scan, similar::FingerprintCache::defaultPath(),
                                    progress);
    const similar::SimilarResult result = scanner.scan();
    if (shownPercent.load() >= 0)
        console_.log("");
    if (!result.cacheProblem.empty())
        console_.log("  fingerprints not cached for next time: " + result.cacheProblem);

    ScanRun::writeReports(config_, similar::SimilarReport::text(result),
                          similar::SimilarReport::csv(result));
    std::cout << summary(result, config_.reportPath, config_.csvPath) << std::flush;
}

std::string SimilarRun::summary(const similar::SimilarResult& result, const std::string& reportPath,
                                const std::string& csvPath) {
    std::size_t similarPhotos = 0;
    for (const auto& group : result.groups)
        similarPhotos += group.similar.size();
    std::string out = "\n";
    out += "Photos scanned      : " + std::to_string(result.photosScanned) + "\n";
    out += "Similar groups      : " + std::to_string(result.groups.size()) + "\n";
    out += "Similar photos      : " + std::to_string(similarPhotos) + "\n";
    if (result.identicalCopies > 0)
        out += "Identical copies    : " + std::to_string(result.identicalCopies) +
               " (listed once; the scan without --similar lists them)\n";
    if (!result.skipped.empty())
        out += "Skipped             : " + std::to_string(result.skipped.size()) +
               " (reasons in the report)\n";
    out += "\n";
    out += "Report : " + reportPath + "\n";
    out += "CSV    : " + csvPath + "\n";
    out += "\n";
    out += "Nothing was moved or deleted. The photos of a group are alike, not\n";
    out += "identical: look at them before setting any aside.\n";
    return out;
}

} // namespace quillmere::cli
