// The scan run's progress printer and summary, driven directly with chosen updates and results.
#include "ScanRun.h"

#include "Console.h"
#include "TempDir.h"
#include "scan/ScanResult.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using quillmere::ScanPhase;
using quillmere::ScanResult;
using quillmere::cli::Console;
using quillmere::cli::ScanProgressPrinter;
using quillmere::cli::ScanRun;
namespace phase = quillmere::scanphase;

namespace {

constexpr std::string_view progress = "\r\x1b[K";

// Sends standard error to a file for the lifetime of the object.
class CapturedStandardError {
  public:
    CapturedStandardError() : saved_(::dup(STDERR_FILENO)) {
        const int file = ::open(dir_.path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~CapturedStandardError() { restore(); }

    std::string text() {
        restore();
        return quillmere::testing::readFile(dir_.path("stderr"));
    }

  private:
    void restore() {
        if (saved_ < 0)
            return;
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }

    quillmere::testing::TempDir dir_;
    int saved_;
};

std::string printed(const std::vector<ScanPhase>& updates, bool quiet = false) {
    CapturedStandardError captured;
    const Console console(quiet);
    ScanProgressPrinter printer(console);
    for (const auto& update : updates)
        printer(update);
    printer.finish();
    return captured.text();
}

} // namespace

TEST(ScanRunTest, ProgressTextsCarryCountsAndTruncatedPercentages) {
    EXPECT_EQ(printed({phase::Hashing{1, 3}}),
              std::string(progress) + "  hashing candidates… 1/3 (33%)\n");
    EXPECT_EQ(printed({phase::Verifying{0, 0}}),
              std::string(progress) + "  verifying byte for byte… 0/0 groups (100%)\n");
    EXPECT_EQ(printed({phase::Enumerating{4000}}),
              std::string(progress) + "  enumerating… 4000 media files\n");
    EXPECT_EQ(ScanProgressPrinter::percent(2, 3), 66);
    EXPECT_EQ(ScanProgressPrinter::percent(999, 1000), 99);
    EXPECT_EQ(ScanProgressPrinter::percent(0, 7), 0);
}

TEST(ScanRunTest, GroupingErasesAndEndsAnOpenProgressLine) {
    EXPECT_EQ(printed({phase::Enumerating{7}, phase::Hashing{2, 2}, phase::Grouping{},
                       phase::Verifying{1, 1}}),
              std::string(progress) + "  enumerating… 7 media files" + std::string(progress) +
                  "  hashing candidates… 2/2 (100%)" + std::string(progress) + "\n" +
                  "  grouping…\n" + std::string(progress) +
                  "  verifying byte for byte… 1/1 groups (100%)\n");
}

TEST(ScanRunTest, GroupingAsTheFirstUpdateWritesNoEraseAndNoEmptyLine) {
    EXPECT_EQ(printed({phase::Grouping{}}), "  grouping…\n");
}

TEST(ScanRunTest, ScanEndingWithGroupingNeedsNoClosingLine) {
    EXPECT_EQ(printed({phase::Enumerating{0}, phase::Grouping{}}),
              std::string(progress) + "  enumerating… 0 media files" + std::string(progress) +
                  "\n  grouping…\n");
}

TEST(ScanRunTest, QuietPrinterWritesNothing) {
    EXPECT_EQ(printed({phase::Enumerating{5}, phase::Hashing{1, 2}, phase::Grouping{},
                       phase::Verifying{1, 1}},
                      true),
              "");
}

TEST(ScanRunTest, UpdatesFromManyThreadsAreNeverTorn) {
    constexpr int threads = 4;
    constexpr int updatesPerThread = 300;
    CapturedStandardError captured;
    const Console console(false);
    ScanProgressPrinter printer(console);
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&printer, t] {
                for (int i = 0; i < updatesPerThread; ++i)
                    printer(phase::Hashing{t * updatesPerThread + i, threads * updatesPerThread});
            });
    }
    printer.finish();
    std::string text = captured.text();

    ASSERT_TRUE(text.ends_with("\n"));
    text.pop_back();
    std::set<std::string> lines;
    for (auto at = text.find(progress); at != std::string::npos;) {
        const auto next = text.find(progress, at + progress.size());
        lines.insert(text.substr(at + progress.size(), next - at - progress.size()));
        at = next;
    }
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(threads * updatesPerThread));
    for (int done = 0; done < threads * updatesPerThread; ++done) {
        const std::string expected = "  hashing candidates… " + std::to_string(done) + "/1200 (" +
                                     std::to_string(done * 100 / 1200) + "%)";
        EXPECT_EQ(lines.count(expected), 1u) << expected;
    }
}

TEST(ScanRunTest, SummaryWithoutOptionalLines) {
    ScanResult result;
    result.filesScanned = 12345;
    EXPECT_EQ(ScanRun::summary(result, "/w/r.txt", "/w/r.csv"), "\n"
                                                                "Media files scanned : 12345\n"
                                                                "Duplicate groups    : 0\n"
                                                                "Redundant files     : 0\n"
                                                                "Reclaimable         : 0.0 B\n"
                                                                "\n"
                                                                "Report : /w/r.txt\n"
                                                                "CSV    : /w/r.csv\n"
                                                                "\n");
}

TEST(ScanRunTest, SummaryWithEveryOptionalLineInOrder) {
    ScanResult result;
    result.filesScanned = 40;
    result.unreadableFiles = 1;
    result.notDownloadedFiles = 2;
    result.filesRejectedByVerification = 3;
    result.invalidNameFiles = 4;
    result.groups.push_back({quillmere::MediaKind::video, 3145728, "/a/k.mov", {"/b/k.mov"}});
    result.groups.push_back(
        {quillmere::MediaKind::photo, 1024, "/a/p.jpg", {"/b/p.jpg", "/c/p.jpg"}});
    EXPECT_EQ(ScanRun::summary(result, "/w/quillmere_report.txt", "/w/quillmere_report.csv"),
              "\n"
              "Media files scanned : 40\n"
              "Duplicate groups    : 2\n"
              "Redundant files     : 3\n"
              "Reclaimable         : 3.0 MB\n"
              "Unreadable (skipped): 1\n"
              "In iCloud, not here : 2 (skipped, reading downloads them)\n"
              "Rejected by verify  : 3\n"
              "Names not UTF-8     : 4 (skipped, such paths cannot be reported)\n"
              "\n"
              "Report : /w/quillmere_report.txt\n"
              "CSV    : /w/quillmere_report.csv\n"
              "\n");
}
