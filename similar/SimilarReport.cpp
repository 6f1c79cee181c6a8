// The text report and CSV of a similar-photo scan, laid out like the identical scan's. Sizes,
// counts and times go through the shared formatters of ReportWriter.
#include "SimilarReport.h"

#include "SimilarResult.h"
#include "report/ReportWriter.h"
#include "scan/Text.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace quillmere::similar::SimilarReport {

namespace {

std::string rule(char c) {
    return std::string(60, c) + "\n";
}

std::string joined(const std::vector<std::string>& parts) {
    std::string result;
    for (const auto& part : parts)
        result += (result.empty() ? "" : ", ") + part;
    return result;
}

struct Line {
    const SimilarPhoto* photo;
    bool isKeep;
};

// Keeper and similar photos together, in ascending text order, as the identical report lists
// a group's files.
std::vector<Line> linesOf(const SimilarGroup& group) {
    std::vector<Line> lines{{&group.keep, true}};
    for (const auto& photo : group.similar)
        lines.push_back({&photo, false});
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return Text::less(a.photo->path, b.photo->path);
    });
    return lines;
}

} // namespace

std::string pixelSize(std::int32_t width, std::int32_t height) {
    return std::to_string(width) + "×" + std::to_string(height);
}

std::string text(const SimilarResult& result) {
    using ReportWriter::grouped, ReportWriter::humanSize;
    std::int64_t similarPhotos = 0;
    for (const auto& group : result.groups)
        similarPhotos += static_cast<std::int64_t>(group.similar.size());

    std::string out = "Quillmere report: similar photos\n";
    out += rule('=');
    out += "\n";
    out += "Roots scanned   : " + joined(result.roots) + "\n";
    out += "Included        : " +
           (result.includes.empty() ? std::string("(entire root)") : joined(result.includes)) +
           "\n";
    out += "Scanned at      : " + ReportWriter::localTimestamp(result.startedAt) + "\n";
    // Seconds with one decimal and always a decimal point, as the identical report writes them.
    std::array<char, 32> seconds{};
    const auto written = std::to_chars(seconds.data(), seconds.data() + seconds.size(),
                                       result.duration, std::chars_format::fixed, 1);
    out += "Duration        : " + std::string(seconds.data(), written.ptr) + "s\n\n";

    out += "Photos scanned      : " + grouped(result.photosScanned) + "\n";
    out += "Similar groups      : " + grouped(std::int64_t(result.groups.size())) + "\n";
    out += "Similar photos      : " + grouped(similarPhotos) + "\n";
    if (result.identicalCopies > 0)
        out += "Identical copies    : " + grouped(result.identicalCopies) +
               "  (listed once here; the scan without --similar lists them)\n";
    if (!result.skipped.empty())
        out += "Skipped             : " + grouped(std::int64_t(result.skipped.size())) +
               "  (listed at the end)\n";
    out += "\n";

    out += "Similar groups (most bytes in similar copies first)\n";
    out += rule('-');
    std::size_t number = 0;
    for (const auto& group : result.groups) {
        out += "\n[" + std::to_string(++number) + "] photo  x" +
               std::to_string(group.similar.size() + 1) + " pictures  ->  " +
               humanSize(group.similarBytes()) + " in similar copies\n";
        for (const auto& line : linesOf(group))
            out += std::string("    ") + (line.isKeep ? "KEEP     " : "SIMILAR  ") +
                   pixelSize(line.photo->width, line.photo->height) + "  " +
                   humanSize(line.photo->size) + "  " + line.photo->path + "\n";
    }
    if (!result.skipped.empty()) {
        out += "\nSkipped\n";
        out += rule('-');
        for (const auto& skipped : result.skipped)
            out += "    " + skipped.path + "\n      " + skipped.reason + "\n";
    }
    out += "\n";
    out += rule('-');
    out += "Nothing was moved or deleted. This scan was read-only.\n";
    out += "The photos of a group show the same picture but are not identical:\n";
    out += "compare them before setting any aside. The suggested KEEP photo has\n";
    out += "the most pixels, then the most bytes.\n";
    return out;
}

std::string csv(const SimilarResult& result) {
    using ReportWriter::csvField;
    std::string out = "group,type,size_bytes,size_human,action,full_path\n";
    std::size_t number = 0;
    for (const auto& group : result.groups) {
        ++number;
        for (const auto& line : linesOf(group)) {
            out += std::to_string(number) + ",photo," + std::to_string(line.photo->size) + "," +
                   csvField(ReportWriter::humanSize(line.photo->size)) + "," +
                   (line.isKeep ? "KEEP" : "SIMILAR") + "," + csvField(line.photo->path) + "\n";
        }
    }
    return out;
}

} // namespace quillmere::similar::SimilarReport
