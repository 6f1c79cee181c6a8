// The text report, the CSV sidecar and the size and count formatters. Every test sets the locale
// and time zone it depends on.
#include "report/ReportWriter.h"

#include "scan/ScanResult.h"

#include <chrono>
#include <gtest/gtest.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

namespace quillmere {
namespace {

// Sets the locale that counts follow and the zone that dates follow.
void useLocale(const char* locale, const char* zone = "UTC") {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(locale), status);
    ASSERT_TRUE(U_SUCCESS(status)) << locale;
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(zone));
}

// Two groups across two roots: a pair of videos, and three photos whose kept file sorts last.
ScanResult twoGroupResult() {
    ScanResult result;
    result.roots = {"/A", "/B"};
    result.startedAt = std::chrono::sys_seconds(std::chrono::seconds(1709647629)); // 14:07:09 UTC
    result.duration = 83.46;
    result.filesScanned = 1234567;
    result.groups = {{MediaKind::video, 3145728, "/A/clip.mov", {"/B/clip.mov"}},
                     {MediaKind::photo, 1536, "/B/IMG_1.jpg", {"/A/IMG_1.jpg", "/B/Copy.jpg"}}};
    return result;
}

TEST(ReportWriterTest, WholeReportAndItsCountLines) {
    useLocale("en_US", "Europe/Berlin");
    EXPECT_EQ(ReportWriter::text(twoGroupResult()),
              "Quillmere report\n"
              "============================================================\n"
              "\n"
              "Roots scanned   : /A, /B\n"
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
              "    KEEP    /A/clip.mov\n"
              "    REMOVE  /B/clip.mov\n"
              "\n"
              "[2] photo  1.5 KB  x3 copies  ->  3.0 KB reclaimable\n"
              "    REMOVE  /A/IMG_1.jpg\n"
              "    REMOVE  /B/Copy.jpg\n"
              "    KEEP    /B/IMG_1.jpg\n"
              "\n"
              "------------------------------------------------------------\n"
              "Nothing was moved or deleted. This scan was read-only.\n"
              "Every group above was confirmed byte for byte: files were clustered by\n"
              "size and a head+tail signature, then compared in full. No file is listed\n"
              "as REMOVE unless all of its bytes match the KEEP file exactly.\n");

    // Lines of counts that are zero above are left out.
    ScanResult counts;
    counts.unreadableFiles = 1234;
    counts.notDownloadedFiles = 2;
    counts.filesRejectedByVerification = 3;
    counts.invalidNameFiles = 4567;
    EXPECT_NE(ReportWriter::text(counts).find(
                  "Reclaimable         : 0.0 B (0 bytes)\n"
                  "Unreadable (skipped): 1,234\n"
                  "In cloud storage, not here : 2  (reading one would download it, so they were "
                  "skipped)\n"
                  "Rejected by verify  : 3  (looked identical, differed on full compare)\n"
                  "Names not UTF-8     : 4,567  (such paths cannot be written here, so they were "
                  "skipped)\n\nBreakdown\n"),
              std::string::npos);
}

TEST(ReportWriterTest, CountsFollowTheLocaleSizesDoNotAndCsvRowsAreQuotedAsRfc4180) {
    EXPECT_EQ(ReportWriter::humanSize(1023), "1023.0 B");
    EXPECT_EQ(ReportWriter::humanSize(INT64_MAX), "8192.0 PB");
    useLocale("de_DE");
    EXPECT_NE(ReportWriter::text(twoGroupResult())
                  .find("\nReclaimable         : 3.0 MB (3.148.800 bytes)\n"),
              std::string::npos);
    ScanResult result = twoGroupResult();
    result.groups[1].keep = "/a/Smith, John/x.jpg";
    result.groups[1].remove = {"/a/say \"cheese\".jpg", "/a/two\nlines.jpg", "/a/ret\rurn.jpg"};
    // Composed, U+00E9 sorts after "f"; two spellings are two files, only the kept one is KEEP.
    result.groups.push_back(
        {MediaKind::photo, 5, "/p/\xC3\xA9.jpg", {"/p/e\xCC\x81.jpg", "/p/f.jpg"}});
    EXPECT_EQ(ReportWriter::csv(result),
              "group,type,size_bytes,size_human,action,full_path\n"
              "1,video,3145728,3.0 MB,KEEP,/A/clip.mov\n"
              "1,video,3145728,3.0 MB,REMOVE,/B/clip.mov\n"
              "2,photo,1536,1.5 KB,KEEP,\"/a/Smith, John/x.jpg\"\n"
              "2,photo,1536,1.5 KB,REMOVE,\"/a/ret\rurn.jpg\"\n"
              "2,photo,1536,1.5 KB,REMOVE,\"/a/say \"\"cheese\"\".jpg\"\n"
              "2,photo,1536,1.5 KB,REMOVE,\"/a/two\nlines.jpg\"\n"
              "3,photo,5,5.0 B,REMOVE,/p/f.jpg\n"
              "3,photo,5,5.0 B,KEEP,/p/\xC3\xA9.jpg\n"
              "3,photo,5,5.0 B,REMOVE,/p/e\xCC\x81.jpg\n");
}

} // namespace
} // namespace quillmere
