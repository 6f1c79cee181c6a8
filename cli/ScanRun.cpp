#include "ScanRun.h"

#include "Arguments.h"
#include "Console.h"
#include "Error.h"
#include "fs/FileSystem.h"
#include "move/Mover.h"
#include "report/ReportWriter.h"
#include "scan/DuplicateScanner.h"
#include "scan/MediaKind.h"
#include "scan/ScanResult.h"
#include "scan/SkipRules.h"

#include <iostream>
#include <string_view>
#include <type_traits>

namespace quillmere::cli {

namespace {

std::string joined(const std::vector<std::string>& texts) {
    std::string result;
    for (const auto& text : texts) {
        if (!result.empty())
            result += ", ";
        result += text;
    }
    return result;
}

std::string fraction(std::int64_t done, std::int64_t total) {
    return std::to_string(done) + "/" + std::to_string(total);
}

// A report path typed by mistake must never cost the user a photo or video.
void refuseToReplaceMedia(const std::string& path) {
    if (MediaKinds::fromPath(path) && FileSystem::existsNoFollow(path))
        throw Error(path + ": a photo or video is there and is never replaced");
}

} // namespace

void ScanProgressPrinter::operator()(const ScanPhase& phase) {
    std::visit(
        [this](const auto& update) {
            using Update = std::decay_t<decltype(update)>;
            if constexpr (std::is_same_v<Update, scanphase::Enumerating>) {
                console_.status("  enumerating… " + std::to_string(update.filesFound) +
                                " media files");
                lastPhaseWasProgress_ = true;
            } else if constexpr (std::is_same_v<Update, scanphase::Hashing>) {
                console_.status("  hashing candidates… " + fraction(update.done, update.total) +
                                " (" + std::to_string(percent(update.done, update.total)) + "%)");
                lastPhaseWasProgress_ = true;
            } else if constexpr (std::is_same_v<Update, scanphase::Verifying>) {
                console_.status("  verifying byte for byte… " +
                                fraction(update.done, update.total) + " groups (" +
                                std::to_string(percent(update.done, update.total)) + "%)");
                lastPhaseWasProgress_ = true;
            } else {
                if (lastPhaseWasProgress_.exchange(false)) {
                    console_.status("");
                    console_.log("");
                }
                console_.log("  grouping…");
            }
        },
        phase);
}

void ScanProgressPrinter::finish() {
    if (lastPhaseWasProgress_.exchange(false))
        console_.log("");
}

std::int64_t ScanProgressPrinter::percent(std::int64_t done, std::int64_t total) {
    return total == 0 ? 100 : done * 100 / total;
}

ScanResult ScanRun::run() {
    console_.log("Scanning " + joined(config_.scan.roots));
    if (!config_.scan.includes.empty())
        console_.log("Included: " + joined(config_.scan.includes));

    ScanProgressPrinter printer(console_);
    DuplicateScanner scanner(config_.scan, [&printer](const ScanPhase& phase) { printer(phase); });
    ScanResult result = scanner.scan();
    printer.finish();

    writeReports(config_, ReportWriter::text(result), ReportWriter::csv(result));
    std::string out = summary(result, config_.reportPath, config_.csvPath);
    std::string leftovers;
    for (const auto& root : config_.scan.roots)
        for (const auto& journal : Mover::leftoverJournals(root))
            leftovers += leftoverJournalText(journal);
    if (!leftovers.empty())
        out += leftovers + "\n";
    if (!config_.shouldMove) {
        out += "Nothing was moved or deleted. Re-run with --move to set the\n";
        out += "REMOVE files aside in " + std::string(SkipRules::reviewDirectoryName) +
               "/ inside whichever\n";
        out += "folder each one was found under.\n";
    }
    std::cout << out << std::flush;
    return result;
}

std::string ScanRun::summary(const ScanResult& result, const std::string& reportPath,
                             const std::string& csvPath) {
    std::string out = "\n";
    out += "Media files scanned : " + std::to_string(result.filesScanned) + "\n";
    out += "Duplicate groups    : " + std::to_string(result.groups.size()) + "\n";
    out += "Redundant files     : " + std::to_string(result.redundantFileCount()) + "\n";
    out += "Reclaimable         : " + ReportWriter::humanSize(result.reclaimableBytes()) + "\n";
    if (result.unreadableFiles > 0)
        out += "Unreadable (skipped): " + std::to_string(result.unreadableFiles) + "\n";
    if (result.notDownloadedFiles > 0)
        out += "In cloud storage, not here : " + std::to_string(result.notDownloadedFiles) +
               " (skipped, reading downloads them)\n";
    if (result.filesRejectedByVerification > 0)
        out += "Rejected by verify  : " + std::to_string(result.filesRejectedByVerification) + "\n";
    if (result.invalidNameFiles > 0)
        out += "Names not UTF-8     : " + std::to_string(result.invalidNameFiles) +
               " (skipped, such paths cannot be reported)\n";
    out += "\n";
    out += "Report : " + reportPath + "\n";
    out += "CSV    : " + csvPath + "\n";
    out += "\n";
    return out;
}

std::string ScanRun::leftoverJournalText(const std::string& journal) {
    return "Unfinished set-aside: quillmere --undo \"" + journal + "\" puts its files back\n";
}

void ScanRun::writeReports(const ScanRunConfig& config, const std::string& text,
                           const std::string& csv) {
    try {
        refuseToReplaceMedia(config.reportPath);
        FileSystem::writeAtomically(config.reportPath, text);
        FileSystem::writeAtomically(config.csvPath, csv);
    } catch (const Error& error) {
        throw Error(std::string("could not write report: ") + error.what());
    }
}

} // namespace quillmere::cli
