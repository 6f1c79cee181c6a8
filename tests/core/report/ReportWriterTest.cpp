// The text report, the CSV sidecar and the shared size, count and time formatters. Every test sets
// the locale and time zone it depends on.
#include "report/ReportWriter.h"

#include "scan/ScanResult.h"

#include <chrono>
#include <clocale>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <stdlib.h>
#include <string>
#include <time.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <utility>
#include <vector>

namespace quillmere {
namespace {

using namespace std::chrono_literals;

// Sets the locale that counts and dates follow, and the zone of the process and of ICU.
void useLocale(const char* locale, const char* zone = "UTC") {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(locale), status);
    ASSERT_TRUE(U_SUCCESS(status)) << locale;
    setenv("TZ", zone, 1);
    tzset();
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(zone));
}

std::chrono::system_clock::time_point atUnixSeconds(std::int64_t seconds) {
    return std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
}

DuplicateGroup group(MediaKind kind, std::int64_t size, std::string keep,
                     std::vector<std::string> remove) {
    return DuplicateGroup{kind, size, std::move(keep), std::move(remove)};
}

// Two groups across two roots: a pair of videos, and three photos whose kept file sorts last.
ScanResult twoGroupResult() {
    ScanResult result;
    result.roots = {"/Volumes/A", "/Volumes/B"};
    result.startedAt = atUnixSeconds(1709647629); // 2024-03-05 14:07:09 UTC
    result.duration = 83.46;
    result.filesScanned = 1234567;
    result.groups = {
        group(MediaKind::video, 3145728, "/Volumes/A/clip.mov", {"/Volumes/B/clip.mov"}),
        group(MediaKind::photo, 1536, "/Volumes/B/IMG_1.jpg",
              {"/Volumes/A/IMG_1.jpg", "/Volumes/B/Copy.jpg"}),
    };
    return result;
}

const char* const closing =
    "------------------------------------------------------------\n"
    "Nothing was moved or deleted. This scan was read-only.\n"
    "Every group above was confirmed byte for byte: files were clustered by\n"
    "size and a head+tail signature, then compared in full. No file is listed\n"
    "as REMOVE unless all of its bytes match the KEEP file exactly.\n";

// The lines after the "Reclaimable" line, up to the empty line before "Breakdown".
std::string optionalLines(const std::string& report) {
    const auto start = report.find('\n', report.find("Reclaimable         : ")) + 1;
    const auto end = report.find("\nBreakdown\n");
    return report.substr(start, end - start);
}

// The file lines of the report's groups, in order.
std::vector<std::string> fileLines(const std::string& report) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < report.size()) {
        const auto end = report.find('\n', start);
        const std::string line = report.substr(start, end - start);
        if (line.starts_with("    KEEP  ") || line.starts_with("    REMOVE"))
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string lineStartingWith(const std::string& report, const std::string& prefix) {
    const auto start = report.find("\n" + prefix);
    if (start == std::string::npos)
        return {};
    return report.substr(start + 1, report.find('\n', start + 1) - start - 1);
}

// "é" as one code point and as "e" followed by a combining acute accent.
const std::string composedE = "\xC3\xA9";
const std::string decomposedE = "e\xCC\x81";

TEST(ReportWriterTest, WholeReportOfTwoGroups) {
    useLocale("en_US", "Europe/Berlin");
    const std::string expected = "Quillmere report\n"
                                 "============================================================\n"
                                 "\n"
                                 "Roots scanned   : /Volumes/A, /Volumes/B\n"
                                 "Included        : (entire root)\n"
                                 "Scanned at      : 2024-03-05 15:07:09\n"
                                 "Duration        : 83.5s\n"
                                 "\n"
                                 "Media files scanned : 1,234,567\n"
                                 "Duplicate groups    : 2\n"
                                 "Redundant files     : 3\n"
                                 "Reclaimable         : 3.0 MB (3,148,800 bytes)\n"
                                 "\n"
                                 "Breakdown\n"
                                 "------------------------------------------------------------\n"
                                 "  photos        1 groups       2 redundant      3.0 KB\n"
                                 "  videos        1 groups       1 redundant      3.0 MB\n"
                                 "\n"
                                 "Duplicate groups (largest reclaimable first)\n"
                                 "------------------------------------------------------------\n"
                                 "\n"
                                 "[1] video  3.0 MB  x2 copies  ->  3.0 MB reclaimable\n"
                                 "    KEEP    /Volumes/A/clip.mov\n"
                                 "    REMOVE  /Volumes/B/clip.mov\n"
                                 "\n"
                                 "[2] photo  1.5 KB  x3 copies  ->  3.0 KB reclaimable\n"
                                 "    REMOVE  /Volumes/A/IMG_1.jpg\n"
                                 "    REMOVE  /Volumes/B/Copy.jpg\n"
                                 "    KEEP    /Volumes/B/IMG_1.jpg\n"
                                 "\n" +
                                 std::string(closing);
    EXPECT_EQ(ReportWriter::text(twoGroupResult()), expected);
}

TEST(ReportWriterTest, WholeReportOfAnEmptyResult) {
    useLocale("en_US");
    ScanResult result;
    result.roots = {"/data"};
    result.includes = {"Photos", "Camera Uploads"};
    const std::string expected = "Quillmere report\n"
                                 "============================================================\n"
                                 "\n"
                                 "Roots scanned   : /data\n"
                                 "Included        : Photos, Camera Uploads\n"
                                 "Scanned at      : 1970-01-01 00:00:00\n"
                                 "Duration        : 0.0s\n"
                                 "\n"
                                 "Media files scanned : 0\n"
                                 "Duplicate groups    : 0\n"
                                 "Redundant files     : 0\n"
                                 "Reclaimable         : 0.0 B (0 bytes)\n"
                                 "\n"
                                 "Breakdown\n"
                                 "------------------------------------------------------------\n"
                                 "  photos        0 groups       0 redundant       0.0 B\n"
                                 "  videos        0 groups       0 redundant       0.0 B\n"
                                 "\n"
                                 "Duplicate groups (largest reclaimable first)\n"
                                 "------------------------------------------------------------\n"
                                 "\n" +
                                 std::string(closing);
    EXPECT_EQ(ReportWriter::text(result), expected);
}

TEST(ReportWriterTest, OptionalLinesAppearOnlyAboveZeroAndInOrder) {
    useLocale("en_US");
    ScanResult result;
    EXPECT_EQ(optionalLines(ReportWriter::text(result)), "");

    result.unreadableFiles = 1234;
    result.notDownloadedFiles = 2;
    result.filesRejectedByVerification = 3;
    result.invalidNameFiles = 4567;
    EXPECT_EQ(optionalLines(ReportWriter::text(result)),
              "Unreadable (skipped): 1,234\n"
              "In iCloud, not here : 2  (reading one would download it, so they were skipped)\n"
              "Rejected by verify  : 3  (looked identical, differed on full compare)\n"
              "Names not UTF-8     : 4,567  (such paths cannot be written here, so they were "
              "skipped)\n");

    result.unreadableFiles = 0;
    result.filesRejectedByVerification = 0;
    EXPECT_EQ(optionalLines(ReportWriter::text(result)),
              "In iCloud, not here : 2  (reading one would download it, so they were skipped)\n"
              "Names not UTF-8     : 4,567  (such paths cannot be written here, so they were "
              "skipped)\n");

    result.notDownloadedFiles = 0;
    result.invalidNameFiles = 0;
    result.filesRejectedByVerification = 1;
    EXPECT_EQ(optionalLines(ReportWriter::text(result)),
              "Rejected by verify  : 1  (looked identical, differed on full compare)\n");
}

TEST(ReportWriterTest, CountsFollowTheLocaleGrouping) {
    useLocale("de_DE");
    const std::string report = ReportWriter::text(twoGroupResult());
    EXPECT_EQ(lineStartingWith(report, "Media files scanned"), "Media files scanned : 1.234.567");
    // Sizes keep their decimal point in every locale.
    EXPECT_EQ(lineStartingWith(report, "Reclaimable"),
              "Reclaimable         : 3.0 MB (3.148.800 bytes)");
    EXPECT_EQ(lineStartingWith(report, "Duration"), "Duration        : 83.5s");
}

TEST(ReportWriterTest, BreakdownPadsByCharactersNotBytes) {
    // French groups digits with U+202F, three bytes but one character.
    useLocale("fr_FR");
    ScanResult result;
    for (int i = 0; i < 1234; ++i)
        result.groups.push_back(group(MediaKind::photo, 10, "/k" + std::to_string(i), {"/r"}));
    const std::string report = ReportWriter::text(result);
    EXPECT_EQ(lineStartingWith(report, "  photos"),
              "  photos    1\u202F234 groups   1\u202F234 redundant     12.1 KB");
    EXPECT_EQ(lineStartingWith(report, "  videos"),
              "  videos        0 groups       0 redundant       0.0 B");
}

TEST(ReportWriterTest, BreakdownNeverCutsLongerValues) {
    // Indian grouping makes 100000 eight characters wide, one more than the groups column.
    useLocale("en_IN");
    ScanResult result;
    result.groups.assign(100000, group(MediaKind::video, 1, "/k", {}));
    const std::string report = ReportWriter::text(result);
    EXPECT_EQ(lineStartingWith(report, "  videos"),
              "  videos  1,00,000 groups       0 redundant       0.0 B");
}

TEST(ReportWriterTest, RemoveLineComesFirstWhenKeepSortsLater) {
    useLocale("en_US");
    ScanResult result;
    // Byte order: upper case before lower case, so "/b/Z.jpg" precedes "/b/a.jpg".
    result.groups = {group(MediaKind::photo, 100, "/b/a.jpg", {"/b/Z.jpg", "/c/a.jpg"})};
    EXPECT_EQ(fileLines(ReportWriter::text(result)),
              (std::vector<std::string>{"    REMOVE  /b/Z.jpg", "    KEEP    /b/a.jpg",
                                        "    REMOVE  /c/a.jpg"}));
}

TEST(ReportWriterTest, GroupWithoutRemovePathsAndRepeatedRemovePaths) {
    useLocale("en_US");
    ScanResult result;
    result.groups = {group(MediaKind::photo, 2048, "/a/one.jpg", {}),
                     group(MediaKind::video, 10, "/a/x.mov", {"/b/x.mov", "/b/x.mov"})};
    const std::string report = ReportWriter::text(result);
    EXPECT_NE(report.find("\n[1] photo  2.0 KB  x1 copies  ->  0.0 B reclaimable\n"
                          "    KEEP    /a/one.jpg\n"
                          "\n[2] video  10.0 B  x3 copies  ->  20.0 B reclaimable\n"
                          "    KEEP    /a/x.mov\n"
                          "    REMOVE  /b/x.mov\n"
                          "    REMOVE  /b/x.mov\n\n"),
              std::string::npos)
        << report;
}

TEST(ReportWriterTest, FileLinesSortByComposedCodePoints) {
    useLocale("en_US");
    ScanResult result;
    // Decomposed, "e" + U+0301 would sort before "f"; composed, U+00E9 sorts after it.
    result.groups = {group(MediaKind::photo, 5, "/p/" + decomposedE + ".jpg", {"/p/f.jpg"})};
    EXPECT_EQ(fileLines(ReportWriter::text(result)),
              (std::vector<std::string>{"    REMOVE  /p/f.jpg",
                                        "    KEEP    /p/" + decomposedE + ".jpg"}));
}

TEST(ReportWriterTest, KeepMarksTheKeptEntryNotEveryEquivalentSpelling) {
    // Composed and decomposed names are two different files on disk: only one of them stays.
    useLocale("en_US");
    ScanResult result;
    result.groups = {
        group(MediaKind::photo, 5, "/p/" + composedE + ".jpg", {"/p/" + decomposedE + ".jpg"})};
    EXPECT_EQ(fileLines(ReportWriter::text(result)),
              (std::vector<std::string>{"    KEEP    /p/" + composedE + ".jpg",
                                        "    REMOVE  /p/" + decomposedE + ".jpg"}));
    EXPECT_EQ(ReportWriter::csv(result), "group,type,size_bytes,size_human,action,full_path\n"
                                         "1,photo,5,5.0 B,KEEP,/p/" +
                                             composedE +
                                             ".jpg\n"
                                             "1,photo,5,5.0 B,REMOVE,/p/" +
                                             decomposedE + ".jpg\n");
}

TEST(ReportWriterTest, HumanSizeSteps) {
    EXPECT_EQ(ReportWriter::humanSize(0), "0.0 B");
    EXPECT_EQ(ReportWriter::humanSize(1), "1.0 B");
    EXPECT_EQ(ReportWriter::humanSize(1023), "1023.0 B");
    EXPECT_EQ(ReportWriter::humanSize(1024), "1.0 KB");
    EXPECT_EQ(ReportWriter::humanSize(1536), "1.5 KB");
    EXPECT_EQ(ReportWriter::humanSize(1048575), "1024.0 KB");
    EXPECT_EQ(ReportWriter::humanSize(1048576), "1.0 MB");
    EXPECT_EQ(ReportWriter::humanSize(3145728), "3.0 MB");
    EXPECT_EQ(ReportWriter::humanSize(1073741824), "1.0 GB");
    EXPECT_EQ(ReportWriter::humanSize(std::int64_t{1} << 40), "1.0 TB");
    EXPECT_EQ(ReportWriter::humanSize(1023 * (std::int64_t{1} << 40)), "1023.0 TB");
}

TEST(ReportWriterTest, HumanSizeNegativeAndPetabytes) {
    EXPECT_EQ(ReportWriter::humanSize(-1), "-1.0 B");
    EXPECT_EQ(ReportWriter::humanSize(-5000), "-5000.0 B");
    EXPECT_EQ(ReportWriter::humanSize(std::int64_t{1} << 50), "1.0 PB");
    EXPECT_EQ(ReportWriter::humanSize(std::int64_t{1} << 60), "1024.0 PB");
    EXPECT_EQ(ReportWriter::humanSize(std::numeric_limits<std::int64_t>::max()), "8192.0 PB");
}

TEST(ReportWriterTest, HumanSizeKeepsThePointUnderACommaLocale) {
    // A GUI toolkit sets the C locale from the environment; "%.1f" would then write "1,5".
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if ((chosen = setlocale(LC_NUMERIC, name)) != nullptr)
            break;
    if (chosen == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    const std::string size = ReportWriter::humanSize(1536);
    setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(size, "1.5 KB");
}

TEST(ReportWriterTest, GroupedFollowsTheLocale) {
    useLocale("en_US");
    EXPECT_EQ(ReportWriter::grouped(0), "0");
    EXPECT_EQ(ReportWriter::grouped(999), "999");
    EXPECT_EQ(ReportWriter::grouped(1234), "1,234");
    EXPECT_EQ(ReportWriter::grouped(1234567), "1,234,567");
    useLocale("de_DE");
    EXPECT_EQ(ReportWriter::grouped(1234567), "1.234.567");
    EXPECT_EQ(ReportWriter::grouped(std::numeric_limits<std::int64_t>::max()),
              "9.223.372.036.854.775.807");
}

TEST(ReportWriterTest, LocalTimestampUsesTheLocalZone) {
    useLocale("en_US", "Europe/Berlin");
    EXPECT_EQ(ReportWriter::localTimestamp(atUnixSeconds(1709647629)), "2024-03-05 15:07:09");
    // Summer time.
    EXPECT_EQ(ReportWriter::localTimestamp(atUnixSeconds(1720000000)), "2024-07-03 11:46:40");
    useLocale("en_US", "America/New_York");
    EXPECT_EQ(ReportWriter::localTimestamp(atUnixSeconds(1720000000)), "2024-07-03 05:46:40");
}

TEST(ReportWriterTest, LocalTimestampDropsFractionsTowardsThePast) {
    useLocale("en_US", "UTC");
    EXPECT_EQ(ReportWriter::localTimestamp(atUnixSeconds(1720000000) + 999ms),
              "2024-07-03 09:46:40");
    EXPECT_EQ(ReportWriter::localTimestamp(atUnixSeconds(0) - 1ns), "1969-12-31 23:59:59");
}

TEST(ReportWriterTest, WholeCsvOfTwoGroups) {
    // Sizes are plain digits whatever the locale groups with.
    useLocale("de_DE");
    EXPECT_EQ(ReportWriter::csv(twoGroupResult()),
              "group,type,size_bytes,size_human,action,full_path\n"
              "1,video,3145728,3.0 MB,KEEP,/Volumes/A/clip.mov\n"
              "1,video,3145728,3.0 MB,REMOVE,/Volumes/B/clip.mov\n"
              "2,photo,1536,1.5 KB,REMOVE,/Volumes/A/IMG_1.jpg\n"
              "2,photo,1536,1.5 KB,REMOVE,/Volumes/B/Copy.jpg\n"
              "2,photo,1536,1.5 KB,KEEP,/Volumes/B/IMG_1.jpg\n");
}

TEST(ReportWriterTest, CsvOfAnEmptyResultIsTheHeader) {
    EXPECT_EQ(ReportWriter::csv(ScanResult{}),
              "group,type,size_bytes,size_human,action,full_path\n");
}

TEST(ReportWriterTest, CsvQuotesFieldsWithSeparatorsQuotesAndLineBreaks) {
    ScanResult result;
    result.groups = {
        group(MediaKind::photo, 1024, "/a/Smith, John/x.jpg",
              {"/a/say \"cheese\".jpg", "/a/two\nlines.jpg", "/a/ret\rurn.jpg", "/a/plain.jpg"})};
    EXPECT_EQ(ReportWriter::csv(result),
              "group,type,size_bytes,size_human,action,full_path\n"
              "1,photo,1024,1.0 KB,KEEP,\"/a/Smith, John/x.jpg\"\n"
              "1,photo,1024,1.0 KB,REMOVE,/a/plain.jpg\n"
              "1,photo,1024,1.0 KB,REMOVE,\"/a/ret\rurn.jpg\"\n"
              "1,photo,1024,1.0 KB,REMOVE,\"/a/say \"\"cheese\"\".jpg\"\n"
              "1,photo,1024,1.0 KB,REMOVE,\"/a/two\nlines.jpg\"\n");
}

} // namespace
} // namespace quillmere
