// End-to-end tests of the quillmere tool: each runs the built binary on a fixture tree made in a
// temporary folder and compares standard output, standard error, the exit code and the reports.
#include "ToolUnderTest.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

using quillmere::testing::ProcessResult;
using quillmere::testing::randomBytes;
using quillmere::testing::readFile;
using quillmere::testing::snapshot;
using quillmere::testing::ToolUnderTest;

namespace {

constexpr std::string_view usage = R"usage(quillmere — find duplicate photos and videos (read-only)

USAGE
  quillmere <folder> [<folder> ...] [options]
  quillmere --undo <manifest.json>

OPTIONS
  --include <subdir>   Scan only this subdirectory of each folder given.
                       Repeatable. Omit to scan each whole folder.
  --out <path>         Report path. Default: ./quillmere_report.txt
                       The CSV sidecar is written alongside it as <name>.csv
  --move               After scanning, move every REMOVE file into
                       _duplicates_review/ inside whichever folder it was
                       found under, keeping its folder structure. Each file
                       is re-checked byte for byte against the copy that
                       stays behind, immediately before it is moved. Nothing
                       is ever deleted, and a file never has to leave the
                       drive it started on.
  --yes                Skip the confirmation prompt for --move.
  --undo <manifest>    Put every file in a manifest back where it was.
  --quiet              No progress output.
  -h, --help           This message.

EXAMPLES
  quillmere "/Volumes/Extreme Pro" --include Photos --include Video --include 2026
  quillmere "/Volumes/Extreme Pro" "/Volumes/Backup" --move
  quillmere ~/Pictures "/Volumes/Extreme Pro" ~/Library/Mobile\ Documents/com~apple~CloudDocs
  quillmere --undo "/Volumes/Extreme Pro/_duplicates_review/_quillmere_manifest_*.json"

Passing more than one folder finds duplicates across all of them, not just
within each one on its own. Without --move the scan is read-only. With
--move, each file is relocated within the drive it was found on — never
deleted, and never moved to a different volume — and the move is reversible.)usage";

constexpr std::string_view readOnlyNote =
    "Nothing was moved or deleted. Re-run with --move to set the\n"
    "REMOVE files aside in _duplicates_review/ inside whichever\n"
    "folder each one was found under.\n";

constexpr std::string_view progress = "\r\x1b[K";

std::string errorOutput(const std::string& message) {
    return "error: " + message + "\n\n" + std::string(usage) + "\n";
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void expectFailure(const ProcessResult& result, const std::string& message) {
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, errorOutput(message));
}

// Two roots with a photo in three places (one a copy-style name), a video in two, and files the
// scan must pass over: a photo of the same size but other bytes, a hidden folder, a "._" file
// and a text file.
void writeLibrary(const ToolUnderTest& tool) {
    const std::string photo = randomBytes(3000, 1);
    const std::string video = randomBytes(300000, 2);
    tool.work.write("A/IMG_0001.JPG", photo);
    tool.work.write("A/Trip/IMG_0001 copy.JPG", photo);
    tool.work.write("A/unique.png", randomBytes(3000, 3));
    tool.work.write("A/clip.mov", video);
    tool.work.write("A/._IMG_0001.JPG", photo);
    tool.work.write("B/IMG_0001.JPG", photo);
    tool.work.write("B/Videos/clip.mov", video);
    tool.work.write("B/.hidden/IMG_0001.JPG", photo);
    tool.work.write("B/notes.txt", "not media");
}

std::string summary(const ToolUnderTest& tool, const std::string& counts, const std::string& report,
                    const std::string& csv) {
    return "\n" + counts + "\nReport : " + tool.at(report) + "\nCSV    : " + tool.at(csv) + "\n\n";
}

} // namespace

TEST(CliTest, HelpPrintsTheUsageTextByteForByte) {
    const ToolUnderTest tool;
    for (const std::string option : {"--help", "-h"}) {
        const ProcessResult result = tool.run({option});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, std::string(usage) + "\n");
        EXPECT_EQ(result.err, "");
    }
    EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 32) << "33 lines, no final break";
}

TEST(CliTest, HelpWinsOnlyBeforeTheFirstOffendingArgument) {
    const ToolUnderTest tool;
    const ProcessResult helpFirst = tool.run({"--help", "--bogus"});
    EXPECT_EQ(helpFirst.exitCode, 0);
    EXPECT_EQ(helpFirst.out, std::string(usage) + "\n");

    expectFailure(tool.run({"--bogus", "--help"}), "unknown option --bogus");

    // Validation comes after parsing, so a missing folder before --help does not matter.
    const ProcessResult afterFolder = tool.run({"missing-folder", "--help"});
    EXPECT_EQ(afterFolder.exitCode, 0);
    EXPECT_EQ(afterFolder.out, std::string(usage) + "\n");

    // --help right after --out is the report path, not a request for help.
    expectFailure(tool.run({"--out", "--help"}), "no folder given");
}

TEST(CliTest, NoArgumentsFailsWithNoFolderGiven) {
    const ToolUnderTest tool;
    expectFailure(tool.run({}), "no folder given");
    expectFailure(tool.run({"--quiet", "--move", "--yes", "--include", "x"}), "no folder given");
}

TEST(CliTest, OptionsMissingTheirValueFail) {
    const ToolUnderTest tool;
    tool.work.mkdir("A");
    expectFailure(tool.run({"A", "--undo"}), "--undo needs a manifest path");
    expectFailure(tool.run({"A", "--include"}), "--include needs a subdirectory name");
    expectFailure(tool.run({"A", "--out"}), "--out needs a path");
}

TEST(CliTest, UnknownOptionsAreMatchedExactlyAndReportedFromTheLeft) {
    const ToolUnderTest tool;
    tool.work.mkdir("A");
    expectFailure(tool.run({"A", "-"}), "unknown option -");
    expectFailure(tool.run({"A", "--Move"}), "unknown option --Move");
    expectFailure(tool.run({"A", "-x", "--bogus"}), "unknown option -x");
    expectFailure(tool.run({"--bogus", "--undo"}), "unknown option --bogus");
    expectFailure(tool.run({"--undo", "m.json", "--bogus"}), "unknown option --bogus");
}

TEST(CliTest, ValuesAreTakenEvenWhenTheyBeginWithADash) {
    const ToolUnderTest tool;
    tool.work.mkdir("A/-sub");
    const ProcessResult result = tool.run({"A", "--include", "-sub", "--out", "-x"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(std::filesystem::exists(tool.at("-x")));
}

TEST(CliTest, RootsThatAreNotFoldersFailWithTheirStandardisedPath) {
    const ToolUnderTest tool;
    tool.work.mkdir("A");
    tool.work.write("file.jpg", "x");
    expectFailure(tool.run({"A", "./gone/../missing"}), "not a folder: " + tool.at("missing"));
    expectFailure(tool.run({"file.jpg", "missing"}), "not a folder: " + tool.at("file.jpg"));
    std::filesystem::create_symlink(tool.at("nowhere"), tool.at("dangling"));
    expectFailure(tool.run({"dangling"}), "not a folder: " + tool.at("dangling"));
    EXPECT_EQ(namesIn(tool.base), (std::vector<std::string>{"A", "dangling", "file.jpg"}))
        << "no report may be written";
}

TEST(CliTest, EveryIncludeMustExistUnderEveryRoot) {
    const ToolUnderTest tool;
    tool.work.mkdir("A/Photos");
    tool.work.write("A/Video", "a file is enough");
    tool.work.mkdir("B/Photos");
    tool.work.mkdir("B/Video");
    tool.work.mkdir("C");

    expectFailure(tool.run({"A", "C", "--include", "Photos"}),
                  "--include path does not exist: " + tool.at("C/Photos"));
    expectFailure(tool.run({"A", "B", "--include", "Photos", "--include", "Nope"}),
                  "--include path does not exist: " + tool.at("A/Nope"));
    expectFailure(tool.run({"B", "A", "--include", "Photos/2024"}),
                  "--include path does not exist: " + tool.at("B/Photos/2024"));
    EXPECT_EQ(namesIn(tool.base), (std::vector<std::string>{"A", "B", "C"}))
        << "nothing is scanned or written before validation passes";

    const ProcessResult passes = tool.run({"A", "B", "--include", "Photos", "--include", "Video"});
    EXPECT_EQ(passes.exitCode, 0);
    EXPECT_TRUE(passes.err.starts_with("Scanning " + tool.at("A") + ", " + tool.at("B") +
                                       "\nIncluded: Photos, Video\n"))
        << passes.err;
}

TEST(CliTest, RootsAreResolvedAndStandardisedButKeptInOrderWithRepeats) {
    const ToolUnderTest tool;
    tool.work.mkdir("photos");
    tool.home.mkdir("Pictures");
    const std::string home = std::filesystem::canonical(tool.home.path()).string();

    const ProcessResult result =
        tool.run({"./photos/../photos", "~/Pictures", tool.base + "//photos/."});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string roots =
        tool.at("photos") + ", " + home + "/Pictures" + ", " + tool.at("photos");
    EXPECT_TRUE(result.err.starts_with("Scanning " + roots + "\n")) << result.err;
    EXPECT_NE(readFile(tool.at("quillmere_report.txt")).find("Roots scanned   : " + roots + "\n"),
              std::string::npos);
}

TEST(CliTest, SameFolderTwiceIsTwoRootsButNoFileIsItsOwnDuplicate) {
    const ToolUnderTest tool;
    tool.work.write("A/IMG_0001.JPG", randomBytes(5000, 1));
    const ProcessResult result = tool.run({"A", "A"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.err.starts_with("Scanning " + tool.at("A") + ", " + tool.at("A") + "\n"));
    EXPECT_NE(result.out.find("Duplicate groups    : 0\n"), std::string::npos) << result.out;
}

TEST(CliTest, UndoIsTheWholeRunWhateverElseIsGiven) {
    const ToolUnderTest tool;
    const ProcessResult result =
        tool.run({"--undo", "missing.json", "missing-folder", "--move", "--include", "x"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err.find("not a folder"), std::string::npos) << result.err;
    EXPECT_TRUE(result.err.starts_with("error: ")) << result.err;
    EXPECT_TRUE(namesIn(tool.base).empty()) << "an undo writes no report";
}

TEST(CliTest, ScanWithDuplicatesAcrossTwoRootsPrintsTheSummaryAndWritesBothReports) {
    const ToolUnderTest tool;
    writeLibrary(tool);
    const auto before = snapshot(tool.base);

    const ProcessResult result = tool.run({"A", "B"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, summary(tool,
                                  "Media files scanned : 6\n"
                                  "Duplicate groups    : 2\n"
                                  "Redundant files     : 3\n"
                                  "Reclaimable         : 298.8 KB\n",
                                  "quillmere_report.txt", "quillmere_report.csv") +
                              std::string(readOnlyNote));

    const std::string a = tool.at("A"), b = tool.at("B");
    std::string report = readFile(tool.at("quillmere_report.txt"));
    const std::regex stamp("Scanned at      : \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n"
                           "Duration        : \\d+\\.\\ds\n");
    ASSERT_TRUE(std::regex_search(report, stamp)) << report;
    report = std::regex_replace(report, stamp, "<time>\n");
    EXPECT_EQ(report,
              "Quillmere report\n"
              "============================================================\n"
              "\n"
              "Roots scanned   : " +
                  a + ", " + b +
                  "\n"
                  "Included        : (entire root)\n"
                  "<time>\n"
                  "\n"
                  "Media files scanned : 6\n"
                  "Duplicate groups    : 2\n"
                  "Redundant files     : 3\n"
                  "Reclaimable         : 298.8 KB (306000 bytes)\n"
                  "\n"
                  "Breakdown\n"
                  "------------------------------------------------------------\n"
                  "  photos        1 groups       2 redundant      5.9 KB\n"
                  "  videos        1 groups       1 redundant    293.0 KB\n"
                  "\n"
                  "Duplicate groups (largest reclaimable first)\n"
                  "------------------------------------------------------------\n"
                  "\n"
                  "[1] video  293.0 KB  x2 copies  ->  293.0 KB reclaimable\n"
                  "    REMOVE  " +
                  a +
                  "/clip.mov\n"
                  "    KEEP    " +
                  b +
                  "/Videos/clip.mov\n"
                  "\n"
                  "[2] photo  2.9 KB  x3 copies  ->  5.9 KB reclaimable\n"
                  "    KEEP    " +
                  a +
                  "/IMG_0001.JPG\n"
                  "    REMOVE  " +
                  a +
                  "/Trip/IMG_0001 copy.JPG\n"
                  "    REMOVE  " +
                  b +
                  "/IMG_0001.JPG\n"
                  "\n"
                  "------------------------------------------------------------\n"
                  "Nothing was moved or deleted. This scan was read-only.\n"
                  "Every group above was confirmed byte for byte: files were clustered by\n"
                  "size and a head+tail signature, then compared in full. No file is listed\n"
                  "as REMOVE unless all of its bytes match the KEEP file exactly.\n");
    EXPECT_EQ(readFile(tool.at("quillmere_report.csv")),
              "group,type,size_bytes,size_human,action,full_path\n"
              "1,video,300000,293.0 KB,REMOVE," +
                  a +
                  "/clip.mov\n"
                  "1,video,300000,293.0 KB,KEEP," +
                  b +
                  "/Videos/clip.mov\n"
                  "2,photo,3000,2.9 KB,KEEP," +
                  a +
                  "/IMG_0001.JPG\n"
                  "2,photo,3000,2.9 KB,REMOVE," +
                  a +
                  "/Trip/IMG_0001 copy.JPG\n"
                  "2,photo,3000,2.9 KB,REMOVE," +
                  b + "/IMG_0001.JPG\n");

    auto after = snapshot(tool.base);
    after.erase("quillmere_report.txt");
    after.erase("quillmere_report.csv");
    EXPECT_EQ(after, before) << "a scan changes nothing but the two reports";
}

TEST(CliTest, ProgressLinesAreRewrittenInPlaceAndGroupingEndsThem) {
    const ToolUnderTest tool;
    writeLibrary(tool);
    const ProcessResult result = tool.run({"A", "B"});
    ASSERT_EQ(result.exitCode, 0);

    const std::string head = "Scanning " + tool.at("A") + ", " + tool.at("B") + "\n" +
                             std::string(progress) + "  enumerating… 6 media files";
    const std::string grouping = std::string(progress) + "\n  grouping…\n";
    ASSERT_TRUE(result.err.starts_with(head)) << result.err;
    const auto groupingAt = result.err.find(grouping);
    ASSERT_NE(groupingAt, std::string::npos) << result.err;
    ASSERT_TRUE(result.err.ends_with("\n"));

    // Updates from worker threads may arrive in any order; the final one of a phase comes last.
    const auto pieces = [](std::string text) {
        std::vector<std::string> parts;
        for (auto at = text.find(progress); at != std::string::npos; at = text.find(progress)) {
            text.erase(0, at + progress.size());
            parts.push_back(text.substr(0, text.find(progress)));
        }
        return parts;
    };
    std::vector<std::string> hashing =
        pieces(result.err.substr(head.size(), groupingAt - head.size()));
    ASSERT_FALSE(hashing.empty());
    EXPECT_EQ(hashing.back(), "  hashing candidates… 6/6 (100%)");
    std::sort(hashing.begin(), hashing.end());
    EXPECT_EQ(hashing, (std::vector<std::string>{
                           "  hashing candidates… 1/6 (16%)", "  hashing candidates… 2/6 (33%)",
                           "  hashing candidates… 3/6 (50%)", "  hashing candidates… 4/6 (66%)",
                           "  hashing candidates… 5/6 (83%)", "  hashing candidates… 6/6 (100%)",
                           "  hashing candidates… 6/6 (100%)"}));

    const std::string tail = result.err.substr(groupingAt + grouping.size());
    std::vector<std::string> verifying = pieces(tail.substr(0, tail.size() - 1));
    ASSERT_FALSE(verifying.empty());
    EXPECT_EQ(verifying.back(), "  verifying byte for byte… 2/2 groups (100%)");
    std::sort(verifying.begin(), verifying.end());
    EXPECT_EQ(verifying,
              (std::vector<std::string>{"  verifying byte for byte… 1/2 groups (50%)",
                                        "  verifying byte for byte… 2/2 groups (100%)",
                                        "  verifying byte for byte… 2/2 groups (100%)"}));
}

TEST(CliTest, ScanWithoutCandidatesEndsWithGroupingAndFindsNothing) {
    const ToolUnderTest tool;
    tool.work.write("A/only.jpg", "one photo");
    const ProcessResult result = tool.run({"A"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "Scanning " + tool.at("A") + "\n" + std::string(progress) +
                              "  enumerating… 1 media files" + std::string(progress) +
                              "\n  grouping…\n");
    EXPECT_EQ(result.out, summary(tool,
                                  "Media files scanned : 1\n"
                                  "Duplicate groups    : 0\n"
                                  "Redundant files     : 0\n"
                                  "Reclaimable         : 0.0 B\n",
                                  "quillmere_report.txt", "quillmere_report.csv") +
                              std::string(readOnlyNote));
    EXPECT_EQ(readFile(tool.at("quillmere_report.csv")),
              "group,type,size_bytes,size_human,action,full_path\n");
    EXPECT_NE(readFile(tool.at("quillmere_report.txt")).find("Duplicate groups    : 0\n"),
              std::string::npos);
}

TEST(CliTest, QuietWritesNothingToStandardErrorButErrorsStillDo) {
    const ToolUnderTest tool;
    writeLibrary(tool);
    const ProcessResult result = tool.run({"A", "--quiet", "B", "--include", "Trip"});
    EXPECT_EQ(result.exitCode, 2) << "B has no Trip";
    EXPECT_EQ(result.err, errorOutput("--include path does not exist: " + tool.at("B/Trip")));

    const ProcessResult scan = tool.run({"A", "--quiet", "B"});
    EXPECT_EQ(scan.exitCode, 0);
    EXPECT_EQ(scan.err, "");
    EXPECT_NE(scan.out.find("Duplicate groups    : 2\n"), std::string::npos);
}

TEST(CliTest, OutValueBeginningWithADashIsAFileInTheWorkingFolder) {
    const ToolUnderTest tool;
    tool.work.mkdir("A");
    const ProcessResult result = tool.run({"A", "--out", "-x"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, summary(tool,
                                  "Media files scanned : 0\n"
                                  "Duplicate groups    : 0\n"
                                  "Redundant files     : 0\n"
                                  "Reclaimable         : 0.0 B\n",
                                  "-x", "-x.csv") +
                              std::string(readOnlyNote));
    EXPECT_TRUE(readFile(tool.at("-x")).starts_with("Quillmere report\n"));
    EXPECT_TRUE(readFile(tool.at("-x.csv")).starts_with("group,type,"));
}

TEST(CliTest, OutValueEndingInCsvLeavesOneFileHoldingTheCsv) {
    const ToolUnderTest tool;
    tool.work.mkdir("A");
    const ProcessResult result = tool.run({"A", "--out", "x.csv"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(
        result.out.find("\nReport : " + tool.at("x.csv") + "\nCSV    : " + tool.at("x.csv") + "\n"),
        std::string::npos)
        << result.out;
    EXPECT_EQ(readFile(tool.at("x.csv")), "group,type,size_bytes,size_human,action,full_path\n");
    EXPECT_EQ(namesIn(tool.base), (std::vector<std::string>{"A", "x.csv"}));
}

TEST(CliTest, CsvSidecarReplacesOnlyTheLastExtension) {
    const ToolUnderTest tool;
    tool.work.mkdir("A");
    tool.work.mkdir("out.d");
    tool.home.mkdir("reports");
    const std::string home = std::filesystem::canonical(tool.home.path()).string();
    const std::vector<std::pair<std::string, std::pair<std::string, std::string>>> cases = {
        {"report", {tool.at("report"), tool.at("report.csv")}},
        {"a.b.txt", {tool.at("a.b.txt"), tool.at("a.b.csv")}},
        {"out.d/report", {tool.at("out.d/report"), tool.at("out.d/report.csv")}},
        {".hidden", {tool.at(".hidden"), tool.at(".hidden.csv")}},
        {"~/reports/r.txt", {home + "/reports/r.txt", home + "/reports/r.csv"}},
    };
    for (const auto& [out, paths] : cases) {
        const ProcessResult result = tool.run({"A", "--out", out});
        EXPECT_EQ(result.exitCode, 0) << out << ": " << result.err;
        EXPECT_NE(
            result.out.find("\nReport : " + paths.first + "\nCSV    : " + paths.second + "\n"),
            std::string::npos)
            << result.out;
        EXPECT_TRUE(std::filesystem::exists(paths.first)) << paths.first;
        EXPECT_TRUE(std::filesystem::exists(paths.second)) << paths.second;
    }
}

TEST(CliTest, ExistingReportsAreReplacedWithNothingLeftBehind) {
    const ToolUnderTest tool;
    tool.work.mkdir("A");
    tool.work.write("quillmere_report.txt", "old report");
    tool.work.write("quillmere_report.csv", "old csv");
    const ProcessResult result = tool.run({"A"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(readFile(tool.at("quillmere_report.txt")).starts_with("Quillmere report\n"));
    EXPECT_TRUE(readFile(tool.at("quillmere_report.csv")).starts_with("group,type,"));
    EXPECT_EQ(namesIn(tool.base),
              (std::vector<std::string>{"A", "quillmere_report.csv", "quillmere_report.txt"}));
}

TEST(CliTest, ReportInAMissingFolderFailsWithTheSystemsReason) {
    const ToolUnderTest tool;
    tool.work.write("A/IMG_0001.JPG", "x");
    const ProcessResult result = tool.run({"A", "--out", "missing/report.txt", "--quiet"});
    expectFailure(result, "could not write report: " + tool.at("missing/report.txt") +
                              ": No such file or directory");
    EXPECT_EQ(namesIn(tool.base), (std::vector<std::string>{"A"}));
}

TEST(CliTest, CsvThatCannotBeWrittenFailsAndKeepsTheReport) {
    const ToolUnderTest tool;
    tool.work.mkdir("A");
    tool.work.mkdir("report.csv/inside");
    const ProcessResult result = tool.run({"A", "--out", "report.txt", "--quiet"});
    expectFailure(result, "could not write report: " + tool.at("report.csv") + ": Is a directory");
    EXPECT_TRUE(readFile(tool.at("report.txt")).starts_with("Quillmere report\n"));
    EXPECT_EQ(namesIn(tool.at("report.csv")), (std::vector<std::string>{"inside"}));
}

TEST(CliTest, ReportPathNamingAnExistingPhotoNeverReplacesIt) {
    const ToolUnderTest tool;
    const std::string photo = randomBytes(4000, 9);
    tool.work.write("A/IMG_0001.JPG", photo);
    const ProcessResult result = tool.run({"A", "--out", "A/IMG_0001.JPG", "--quiet"});
    expectFailure(result, "could not write report: " + tool.at("A/IMG_0001.JPG") +
                              ": a photo or video is there and is never replaced");
    EXPECT_EQ(readFile(tool.at("A/IMG_0001.JPG")), photo);
    EXPECT_EQ(namesIn(tool.at("A")), (std::vector<std::string>{"IMG_0001.JPG"}));
}

TEST(CliTest, SummaryShowsRejectedFilesOnlyWhenThereAreSome) {
    const ToolUnderTest tool;
    // Same size and same head and tail, different in the middle: same signature, not identical.
    std::string first = randomBytes(600000, 4);
    std::string second = first;
    second[300000] = static_cast<char>(second[300000] ^ 0x5a);
    tool.work.write("A/a.mp4", first);
    tool.work.write("A/b.mp4", second);
    const ProcessResult result = tool.run({"A", "--quiet"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, summary(tool,
                                  "Media files scanned : 2\n"
                                  "Duplicate groups    : 0\n"
                                  "Redundant files     : 0\n"
                                  "Reclaimable         : 0.0 B\n"
                                  "Rejected by verify  : 2\n",
                                  "quillmere_report.txt", "quillmere_report.csv") +
                              std::string(readOnlyNote));
}

TEST(CliTest, SummaryCountsNamesThatAreNotUtf8WithoutPrintingThem) {
    const ToolUnderTest tool;
    const std::string photo = randomBytes(2000, 5);
    tool.work.write("A/bad\xff.jpg", photo);
    tool.work.write("A/also bad\xc3(.jpg", photo);
    tool.work.write("A/good.jpg", photo);
    const ProcessResult result = tool.run({"A", "--quiet"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Names not UTF-8     : 2 (skipped, such paths cannot be reported)\n"
                              "\nReport : "),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Duplicate groups    : 0\n"), std::string::npos);
    for (const std::string& text : {result.out, readFile(tool.at("quillmere_report.txt")),
                                    readFile(tool.at("quillmere_report.csv"))}) {
        EXPECT_EQ(text.find('\xff'), std::string::npos);
        EXPECT_EQ(text.find("\xc3("), std::string::npos);
    }
}

TEST(CliTest, SummaryCountsUnreadableCandidates) {
    const ToolUnderTest tool;
    tool.work.write("A/a.jpg", randomBytes(2000, 6));
    tool.work.write("A/b.jpg", randomBytes(2000, 7));
    std::filesystem::permissions(tool.at("A/b.jpg"), std::filesystem::perms::none);

    if (const auto why = ToolUnderTest::whyNoUnprivilegedRun())
        GTEST_SKIP() << *why;
    std::filesystem::permissions(tool.at("A"), std::filesystem::perms::all);
    // Root reads everything: the tool runs as an unprivileged user instead.
    const ProcessResult result = tool.runUnprivileged({"A", "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, summary(tool,
                                  "Media files scanned : 2\n"
                                  "Duplicate groups    : 0\n"
                                  "Redundant files     : 0\n"
                                  "Reclaimable         : 0.0 B\n"
                                  "Unreadable (skipped): 1\n",
                                  "quillmere_report.txt", "quillmere_report.csv") +
                              std::string(readOnlyNote));
}
