// The text report and the CSV sidecar of a scan, and the size, count and time formatters that the
// rest of the system shares. Counts and times follow the user's locale through ICU; sizes and
// durations always use a decimal point, whatever the C locale of the process says.
#include "report/ReportWriter.h"

#include "scan/MediaKind.h"
#include "scan/ScanResult.h"
#include "scan/Text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <string_view>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>
#include <vector>

namespace quillmere::ReportWriter {

namespace {

// A full-width rule of the report, line feed included.
std::string rule(char c) {
    return std::string(60, c) + "\n";
}

// "%.1f" without the C locale: std::to_chars always writes a decimal point. The buffer holds any
// finite double in fixed notation, so the conversion cannot run short.
std::string oneDecimal(double value) {
    std::array<char, 330> buffer{};
    const auto converted = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed, 1);
    return std::string(buffer.data(), converted.ptr);
}

std::string padLeft(const std::string& text, std::size_t width) {
    const std::size_t length = Text::characterCount(text);
    return length >= width ? text : std::string(width - length, ' ') + text;
}

std::string padRight(const std::string& text, std::size_t width) {
    const std::size_t length = Text::characterCount(text);
    return length >= width ? text : text + std::string(width - length, ' ');
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string result;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result += separator;
        result += parts[i];
    }
    return result;
}

struct FileLine {
    std::string_view path;
    bool isKeep = false;
};

// The files of a group in ascending text order. KEEP marks the one entry that is the group's kept
// file, not every path that reads the same: two canonically equivalent names are two different
// files on disk, and only one of them stays.
std::vector<FileLine> sortedFiles(const DuplicateGroup& group) {
    std::vector<FileLine> files;
    files.reserve(group.remove.size() + 1);
    files.push_back({group.keep, true});
    for (const auto& path : group.remove)
        files.push_back({path, false});
    std::stable_sort(files.begin(), files.end(), [](const FileLine& a, const FileLine& b) {
        return Text::less(a.path, b.path);
    });
    return files;
}

std::string breakdownLine(const ScanResult& result, MediaKind kind, std::string_view label) {
    std::int64_t groups = 0;
    std::int64_t redundant = 0;
    for (const auto& group : result.groups) {
        if (group.kind != kind)
            continue;
        ++groups;
        redundant += static_cast<std::int64_t>(group.remove.size());
    }
    return "  " + padRight(std::string(label), 8) + padLeft(grouped(groups), 7) + " groups" +
           padLeft(grouped(redundant), 8) + " redundant" +
           padLeft(humanSize(result.reclaimableBytesOf(kind)), 12) + "\n";
}

} // namespace

// RFC 4180: a field holding a separator, a quote or a line break is quoted, quotes doubled.
std::string csvField(std::string_view field) {
    if (field.find_first_of(",\"\n\r") == std::string_view::npos)
        return std::string(field);
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string humanSize(std::int64_t bytes) {
    double value = static_cast<double>(bytes);
    if (bytes <= 1023)
        return oneDecimal(value) + " B";
    static constexpr std::array<std::string_view, 4> units = {"KB", "MB", "GB", "TB"};
    for (const auto unit : units) {
        value *= 1.0 / 1024.0;
        if (value < 1024.0)
            return oneDecimal(value) + " " + std::string(unit);
    }
    value *= 1.0 / 1024.0;
    return oneDecimal(value) + " PB";
}

std::string grouped(std::int64_t value) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format(
        icu::NumberFormat::createInstance(icu::Locale::getDefault(), status));
    if (U_FAILURE(status) || !format)
        return std::to_string(value);
    format->setGroupingUsed(true);
    format->setMaximumFractionDigits(0);
    icu::UnicodeString formatted;
    format->format(static_cast<int64_t>(value), formatted);
    std::string result;
    formatted.toUTF8String(result);
    return result.empty() ? std::to_string(value) : result;
}

std::string localTimestamp(std::chrono::system_clock::time_point time) {
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat format(icu::UnicodeString(u"yyyy-MM-dd HH:mm:ss"),
                                 icu::Locale::getDefault(), status);
    if (U_FAILURE(status))
        return {};
    const auto milliseconds =
        std::chrono::floor<std::chrono::milliseconds>(time.time_since_epoch()).count();
    icu::UnicodeString formatted;
    format.format(static_cast<UDate>(milliseconds), formatted);
    std::string result;
    formatted.toUTF8String(result);
    return result;
}

std::string text(const ScanResult& result) {
    std::string out;
    out += "Quillmere report\n";
    out += rule('=');
    out += "\n";
    out += "Roots scanned   : " + joined(result.roots, ", ") + "\n";
    out +=
        "Included        : " +
        (result.includes.empty() ? std::string("(entire root)") : joined(result.includes, ", ")) +
        "\n";
    out += "Scanned at      : " + localTimestamp(result.startedAt) + "\n";
    out += "Duration        : " + oneDecimal(result.duration) + "s\n\n";

    out += "Media files scanned : " + grouped(result.filesScanned) + "\n";
    out +=
        "Duplicate groups    : " + grouped(static_cast<std::int64_t>(result.groups.size())) + "\n";
    out += "Redundant files     : " + grouped(result.redundantFileCount()) + "\n";
    const std::int64_t reclaimable = result.reclaimableBytes();
    out += "Reclaimable         : " + humanSize(reclaimable) + " (" + grouped(reclaimable) +
           " bytes)\n";
    if (result.unreadableFiles > 0)
        out += "Unreadable (skipped): " + grouped(result.unreadableFiles) + "\n";
    if (result.notDownloadedFiles > 0)
        out += "In cloud storage, not here : " + grouped(result.notDownloadedFiles) +
               "  (reading one would download it, so they were skipped)\n";
    if (result.filesRejectedByVerification > 0)
        out += "Rejected by verify  : " + grouped(result.filesRejectedByVerification) +
               "  (looked identical, differed on full compare)\n";
    if (result.invalidNameFiles > 0)
        out += "Names not UTF-8     : " + grouped(result.invalidNameFiles) +
               "  (such paths cannot be written here, so they were skipped)\n";
    out += "\n";

    out += "Breakdown\n";
    out += rule('-');
    out += breakdownLine(result, MediaKind::photo, "photos");
    out += breakdownLine(result, MediaKind::video, "videos");
    out += "\n";

    out += "Duplicate groups (largest reclaimable first)\n";
    out += rule('-');
    std::size_t number = 0;
    for (const auto& group : result.groups) {
        ++number;
        out += "\n";
        out += "[" + std::to_string(number) + "] " + std::string(MediaKinds::rawValue(group.kind)) +
               "  " + humanSize(group.size) + "  x" + std::to_string(group.count()) +
               " copies  ->  " + humanSize(group.reclaimableBytes()) + " reclaimable\n";
        for (const auto& file : sortedFiles(group)) {
            out += "    ";
            out += file.isKeep ? "KEEP  " : "REMOVE";
            out += "  ";
            out += file.path;
            out += "\n";
        }
    }
    out += "\n";
    out += rule('-');
    out += "Nothing was moved or deleted. This scan was read-only.\n";
    out += "Every group above was confirmed byte for byte: files were clustered by\n";
    out += "size and a head+tail signature, then compared in full. No file is listed\n";
    out += "as REMOVE unless all of its bytes match the KEEP file exactly.\n";
    return out;
}

std::string csv(const ScanResult& result) {
    std::string out = "group,type,size_bytes,size_human,action,full_path\n";
    std::size_t number = 0;
    for (const auto& group : result.groups) {
        ++number;
        // The columns every row of the group shares.
        const std::string shared = csvField(std::to_string(number)) + "," +
                                   csvField(MediaKinds::rawValue(group.kind)) + "," +
                                   csvField(std::to_string(group.size)) + "," +
                                   csvField(humanSize(group.size)) + ",";
        for (const auto& file : sortedFiles(group)) {
            out += shared;
            out += file.isKeep ? "KEEP" : "REMOVE";
            out += ",";
            out += csvField(file.path);
            out += "\n";
        }
    }
    return out;
}

} // namespace quillmere::ReportWriter
