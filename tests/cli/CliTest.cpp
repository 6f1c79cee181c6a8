// The quillmere tool: its texts driven directly with chosen values, then the built binary end to
// end on fixture trees, checking exit codes and what is on disk afterwards.
#include "Arguments.h"
#include "Console.h"
#include "Inventory.h"
#include "ScanRun.h"
#include "SetAsideRun.h"
#include "TestPictures.h"
#include "ToolUnderTest.h"
#include "UndoRun.h"
#include "Usage.h"
#include "move/Mover.h"
#include "report/ReportWriter.h"
#include "scan/ScanResult.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::cli;
using namespace quillmere::testing;
using Stream = InteractiveProcess::Stream;
namespace fs = std::filesystem;

namespace {

const std::string erase = "\r\x1b[K";
constexpr std::string_view prompt = "Type 'yes' to continue: ";
const std::string closingNote =
    "\nNothing was deleted. Review each folder's _duplicates_review/\n"
    "and delete it yourself once you are satisfied, to actually reclaim the space.\n";

// What `updates` make the progress printer write to standard error.
std::string printed(const std::vector<ScanPhase>& updates) {
    ::testing::internal::CaptureStderr();
    const Console console(false);
    ScanProgressPrinter printer(console);
    for (const auto& update : updates)
        printer(update);
    printer.finish();
    return ::testing::internal::GetCapturedStderr();
}

// `count` files skipped as gone, and how the first `listed` of them are listed.
std::pair<std::vector<SkippedMove>, std::string> skips(int count, int listed) {
    std::pair<std::vector<SkippedMove>, std::string> result;
    for (int index = 1; index <= count; ++index) {
        result.first.push_back({"/V/" + std::to_string(index) + ".jpg", "gone"});
        if (index <= listed)
            result.second += "  /V/" + std::to_string(index) + ".jpg\n    gone\n";
    }
    return result;
}

// A photo of 1000 + index bytes at <root>/IMG_<index>.JPG and its copy, the one set aside, at
// <root>/Copies/IMG_<index> copy.JPG: the larger index comes first. Returns {keep, copy}.
std::pair<std::string, std::string> writeGroup(const ToolUnderTest& tool, const std::string& root,
                                               int index) {
    const std::string content = randomBytes(1000 + std::size_t(index), std::uint32_t(index));
    const std::string keep = root + "/IMG_" + std::to_string(index) + ".JPG";
    const std::string copy = root + "/Copies/IMG_" + std::to_string(index) + " copy.JPG";
    tool.work.write(keep, content);
    tool.work.write(copy, content);
    return {keep, copy};
}

// `count` small contents, each kept at A/Keep and set aside three times, from A and from B.
void writeManyDuplicates(const ToolUnderTest& tool, int count) {
    for (int index = 0; index < count; ++index) {
        const std::string content = randomBytes(64 + std::size_t(index % 50), uint32_t(index));
        const std::string name = "IMG_" + std::to_string(index);
        for (const std::string& path : {"A/Keep/" + name + ".JPG", "A/Copies/" + name + " copy.JPG",
                                        "B/" + name + ".JPG", "B/Old/" + name + " copy.JPG"})
            tool.work.write(path, content);
    }
}

} // namespace

TEST(ScanRunTest, ProgressLinesAreRewrittenInPlaceWithTruncatedPercentages) {
    const std::vector<ScanPhase> updates = {scanphase::Enumerating{7}, scanphase::Hashing{2, 3},
                                            scanphase::Grouping{}, scanphase::Verifying{999, 1000}};
    EXPECT_EQ(printed(updates), erase + "  enumerating… 7 media files" + erase +
                                    "  hashing candidates… 2/3 (66%)" + erase + "\n  grouping…\n" +
                                    erase + "  verifying byte for byte… 999/1000 groups (99%)\n");
    EXPECT_EQ(ScanProgressPrinter::percent(0, 0), 100);
}

TEST(ScanRunTest, SummaryShowsEachOptionalCountOnlyWhenThereIsOne) {
    ScanResult result;
    result.filesScanned = 40;
    const std::string counts = "\nMedia files scanned : 40\nDuplicate groups    : ";
    const std::string reports = "\nReport : /w/r.txt\nCSV    : /w/r.csv\n\n";
    EXPECT_EQ(ScanRun::summary(result, "/w/r.txt", "/w/r.csv"),
              counts + "0\nRedundant files     : 0\nReclaimable         : 0.0 B\n" + reports);
    result.unreadableFiles = 1;
    result.notDownloadedFiles = 2;
    result.filesRejectedByVerification = 3;
    result.invalidNameFiles = 4;
    result.groups.push_back({MediaKind::video, 3145728, "/a/k.mov", {"/b/k.mov"}});
    result.groups.push_back({MediaKind::photo, 1024, "/a/p.jpg", {"/b/p.jpg", "/c/p.jpg"}});
    EXPECT_EQ(ScanRun::summary(result, "/w/r.txt", "/w/r.csv"),
              counts +
                  "2\nRedundant files     : 3\nReclaimable         : 3.0 MB\n"
                  "Unreadable (skipped): 1\n"
                  "In cloud storage, not here : 2 (skipped, reading downloads them)\n"
                  "Rejected by verify  : 3\n"
                  "Names not UTF-8     : 4 (skipped, such paths cannot be reported)\n" +
                  reports);
}

TEST(SetAsideRunTest, OnlyYesInAnyCaseWithBlanksAroundIsConsent) {
    for (const char* answer : {"yes", "YES", " Yes ", "\tyEs \t"})
        EXPECT_TRUE(SetAside::isConsent(answer)) << '"' << answer << '"';
    for (const char* answer : {"", " ", "y", "Y", "ye", "yess", "yes please", "y e s", "no",
                               "\"yes\"", "yes\r", "\vyes"})
        EXPECT_FALSE(SetAside::isConsent(answer)) << '"' << answer << '"';
}

TEST(SetAsideRunTest, ConfirmationProgressAndOutcomeTexts) {
    ScanResult result;
    result.groups = {{MediaKind::video, 1024, "/V/a.mov", {"/V/b.mov", "/V/c.mov"}},
                     {MediaKind::photo, 512, "/V/a.jpg", {"/V/b.jpg"}}};
    EXPECT_EQ(SetAside::confirmationText(result),
              "About to move 3 file(s)\n"
              "  into : _duplicates_review/ inside whichever folder each was found under\n"
              "  total: 2.5 KB\n\n"
              "Each file is re-checked byte for byte against the copy that stays\n"
              "behind, immediately before it is moved. Nothing is deleted, and the\n"
              "move can be reversed with --undo.\n\n");
    EXPECT_EQ(SetAside::progressText(moveprogress::Verifying{0, 3}),
              "  verifying before move… 0/3");
    EXPECT_EQ(SetAside::progressText(moveprogress::Moving{2, 3}), "  moving… 2/3");

    MoveOutcome outcome;
    outcome.skipped = skips(21, 20).first;
    EXPECT_EQ(SetAside::outcomeText(outcome, 0),
              "\nMoved   : 0 file(s), 0.0 B\nSkipped : 21 (left exactly where they were)\n" +
                  skips(21, 20).second + "  …and 1 more\n" + closingNote);
    outcome.moved = {{"/A/x.jpg", "/A/_duplicates_review/x.jpg", 1536, "/A/k.jpg"}};
    outcome.skipped = skips(1, 1).first;
    outcome.manifestURLs = {"/B/m 1.json", "/A/m.json"};
    outcome.interrupted = true;
    EXPECT_EQ(SetAside::outcomeText(outcome, 7),
              "\nMoved   : 1 file(s), 1.5 KB\nSkipped : 1 (left exactly where they were)\n" +
                  skips(1, 1).second +
                  "Interrupted: the remaining 7 file(s) were left where they were.\n\n"
                  "Manifest: /B/m 1.json\nUndo    : quillmere --undo \"/B/m 1.json\"\n"
                  "Manifest: /A/m.json\nUndo    : quillmere --undo \"/A/m.json\"\n" +
                  closingNote);
}

TEST(UndoRunTest, OutcomeListsTheFirstTwentySkippedRecords) {
    const std::string restored = "Restored 3 file(s) to their original locations.\n";
    EXPECT_EQ(Undo::outcomeText(UndoOutcome{3, {}}), restored);
    EXPECT_EQ(Undo::outcomeText(UndoOutcome{3, skips(25, 20).first}),
              restored + "Skipped 25:\n" + skips(25, 20).second);
}

TEST(CliTest, CsvSidecarReplacesOnlyTheLastExtension) {
    const std::map<std::string, std::string> rows = {
        {"/w/r.txt", "/w/r.csv"},         {"/w/r", "/w/r.csv"},
        {"/w/a.b.txt", "/w/a.b.csv"},     {"/w/o.d/r", "/w/o.d/r.csv"},
        {"/w/.hidden", "/w/.hidden.csv"}, {"/w/x.csv", "/w/x.csv"}};
    for (const auto& [report, csv] : rows)
        EXPECT_EQ(Arguments::csvPathFor(report), csv) << report;
}

// Every command line that cannot run: exit code 2, the message and the usage text on standard
// error, and nothing written or replaced. Help comes first only before an offending argument.
TEST(CliTest, CommandLinesThatCannotRunFailWithTheirMessageAndTheUsage) {
    const ToolUnderTest tool;
    tool.work.write("A/IMG_1.JPG", randomBytes(4000, 9));
    tool.work.mkdir("A/Photos");
    tool.work.mkdir("C");
    tool.work.write("file.jpg", "x");
    tool.work.mkdir("report.csv/inside");
    fs::create_symlink(tool.at("nowhere"), tool.at("dangling"));
    const auto before = snapshot(tool.base);
    const std::string cannotWrite = "could not write report: " + tool.base + "/";
    const std::string similarOnlyReports =
        "--similar only reports: it cannot be used with --move or --undo";
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"--help"}, ""},
        {{"-h", "--bogus"}, ""},
        {{"--bogus", "--help"}, "unknown option --bogus"},
        {{"A", "-x", "--Move"}, "unknown option -x"},
        {{}, "no folder given"},
        {{"--out", "--help"}, "no folder given"},
        {{"A", "--undo"}, "--undo needs a manifest path"},
        {{"A", "--include"}, "--include needs a subdirectory name"},
        {{"A", "--out"}, "--out needs a path"},
        {{"A", "./gone/../missing"}, "not a folder: " + tool.at("missing")},
        {{"file.jpg"}, "not a folder: " + tool.at("file.jpg")},
        {{"dangling"}, "not a folder: " + tool.at("dangling")},
        {{"A", "C", "--include", "Photos"},
         "--include path does not exist: " + tool.at("C/Photos")},
        {{"--undo", "gone.json", "missing", "--move"}, "no such manifest: " + tool.at("gone.json")},
        {{"--undo", "~/m.json"}, "no such manifest: " + tool.home.path() + "/m.json"},
        {{"A", "--similar", "--move", "--yes"}, similarOnlyReports},
        {{"--undo", "m.json", "--similar"}, similarOnlyReports},
        {{"A", "--quiet", "--out", "no/r.txt"},
         cannotWrite + "no/r.txt: No such file or directory"},
        {{"A", "--quiet", "--out", "A/IMG_1.JPG"},
         cannotWrite + "A/IMG_1.JPG: a photo or video is there and is never replaced"},
    };
    for (const auto& [args, message] : rows) {
        SCOPED_TRACE(args.empty() ? "(none)" : args[0] + " " + args.back());
        const ProcessResult result = tool.run(args);
        const std::string usage = std::string(usageText) + "\n";
        EXPECT_EQ(result.exitCode, message.empty() ? 0 : 2);
        EXPECT_EQ(result.out, message.empty() ? usage : "");
        EXPECT_EQ(result.err, message.empty() ? "" : "error: " + message + "\n\n" + usage);
    }
    EXPECT_EQ(snapshot(tool.base), before);

    // The report is written before its CSV, which cannot be; nothing else is left behind.
    const ProcessResult csv = tool.run({"A", "--quiet", "--out", "report.txt"});
    EXPECT_EQ(csv.exitCode, 2);
    EXPECT_TRUE(csv.err.starts_with("error: " + cannotWrite + "report.csv: Is a directory\n"));
    auto after = snapshot(tool.base);
    EXPECT_TRUE(after.erase("report.txt"));
    EXPECT_EQ(after, before);
}

// Two roots, one typed twice: a photo in three places (one named as a copy), a video in two, and
// what the scan passes over: a same-size photo, a "._" file, a hidden folder, a text file.
TEST(CliTest, ScanWritesTheReportAndCsvAndChangesNothingElse) {
    const ToolUnderTest tool;
    const std::string photo = randomBytes(3000, 1), video = randomBytes(300000, 2);
    for (const char* path : {"A/IMG_0001.JPG", "A/Trip/IMG_0001 copy.JPG", "A/._IMG_0001.JPG",
                             "B/IMG_0001.JPG", "B/.hidden/IMG_0001.JPG"})
        tool.work.write(path, photo);
    tool.work.write("A/clip.mov", video);
    tool.work.write("B/Videos/clip.mov", video);
    tool.work.write("A/unique.png", randomBytes(3000, 3));
    tool.work.write("B/notes.txt", "not media");
    const auto before = snapshot(tool.base);

    const ProcessResult result = tool.run({"A", "B", "./A/../A"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string a = tool.at("A"), b = tool.at("B");
    EXPECT_TRUE(result.err.starts_with("Scanning " + a + ", " + b + ", " + a + "\n"));
    EXPECT_TRUE(result.out.ends_with("Nothing was moved or deleted. Re-run with --move to set the\n"
                                     "REMOVE files aside in _duplicates_review/ inside whichever\n"
                                     "folder each one was found under.\n"));
    std::string csv = readFile(tool.at("quillmere_report.csv"));
    for (auto at = csv.find(tool.base); at != csv.npos; at = csv.find(tool.base))
        csv.replace(at, tool.base.size(), "~");
    EXPECT_EQ(csv, "group,type,size_bytes,size_human,action,full_path\n"
                   "1,video,300000,293.0 KB,REMOVE,~/A/clip.mov\n"
                   "1,video,300000,293.0 KB,KEEP,~/B/Videos/clip.mov\n"
                   "2,photo,3000,2.9 KB,KEEP,~/A/IMG_0001.JPG\n"
                   "2,photo,3000,2.9 KB,REMOVE,~/A/Trip/IMG_0001 copy.JPG\n"
                   "2,photo,3000,2.9 KB,REMOVE,~/B/IMG_0001.JPG\n");
    auto after = snapshot(tool.base);
    EXPECT_EQ(after.erase("quillmere_report.txt") + after.erase("quillmere_report.csv"), 2u);
    EXPECT_EQ(after, before) << "a scan changes nothing but the two reports";
}

// A photo, its messenger-sized copy, a byte-identical copy, another picture and a broken file:
// one group, each content once, the broken file listed with its reason; nothing but the reports
// and the fingerprint cache is written.
TEST(CliTest, SimilarListsPicturesThatLookAlikeAndNeverMovesThem) {
    const ToolUnderTest tool;
    tool.work.mkdir("A"), tool.work.mkdir("B");
    writePicture(tool.at("A/IMG_1.jpg"), 1);
    writePicture(tool.at("B/IMG_1-sent.jpg"), 1, Copy::quarterSize);
    fs::copy_file(tool.at("A/IMG_1.jpg"), tool.at("B/IMG_1 copy.jpg"));
    writePicture(tool.at("A/IMG_2.png"), 2);
    tool.work.write("A/broken.jpg", readFile(tool.at("A/IMG_1.jpg")).substr(0, 400));
    const auto before = snapshot(tool.base);
    const ProcessResult result =
        tool.run({"--similar", "A", "B", "--quiet"},
                 {.environment = {{"XDG_CACHE_HOME", tool.home.path("c")}}});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto line = [&](const char* action, const char* path, const char* pixels) {
        const auto size = std::int64_t(fs::file_size(tool.at(path)));
        return std::make_pair(
            std::string("1,photo,") + std::to_string(size) + "," + ReportWriter::humanSize(size) +
                "," + action + "," + tool.at(path) + "\n",
            std::string("    ") + (*action == 'K' ? "KEEP     " : "SIMILAR  ") + pixels + "  " +
                ReportWriter::humanSize(size) + "  " + tool.at(path) + "\n");
    };
    const auto keep = line("KEEP", "A/IMG_1.jpg", "640×480");
    const auto sent = line("SIMILAR", "B/IMG_1-sent.jpg", "160×120");
    EXPECT_EQ(readFile(tool.at("quillmere_report.csv")),
              "group,type,size_bytes,size_human,action,full_path\n" + keep.first + sent.first);
    const std::string report = readFile(tool.at("quillmere_report.txt"));
    EXPECT_NE(report.find("\n[1] photo  x2 pictures  ->  " +
                          ReportWriter::humanSize(
                              std::int64_t(fs::file_size(tool.at("B/IMG_1-sent.jpg")))) +
                          " in similar copies\n" + keep.second + sent.second),
              report.npos);
    EXPECT_NE(report.find("\n    " + tool.at("A/broken.jpg") +
                          "\n      damaged image: its header cannot be read\n"),
              report.npos);
    EXPECT_EQ(result.out, "\nPhotos scanned      : 5\nSimilar groups      : 1\n"
                          "Similar photos      : 1\nIdentical copies    : 1 (listed once; the scan "
                          "without --similar lists them)\nSkipped             : 1 (reasons in the "
                          "report)\n\nReport : " +
                              tool.at("quillmere_report.txt") +
                              "\nCSV    : " + tool.at("quillmere_report.csv") +
                              "\n\nNothing was moved or deleted. The photos of a group are alike, "
                              "not\nidentical: look at them before setting any aside.\n");
    EXPECT_TRUE(fs::exists(tool.home.path("c/Quillmere/similar-fingerprints")));
    auto after = snapshot(tool.base);
    EXPECT_EQ(after.erase("quillmere_report.txt") + after.erase("quillmere_report.csv"), 2u);
    EXPECT_EQ(after, before);
}

// An empty answer stands for Ctrl-C at the prompt; "\x04" ends the input without an answer.
TEST(SetAsideRunTest, OnATerminalOnlyAYesMovesAnything) {
    for (const auto& [answer, exitCode] : std::vector<std::pair<std::string, int>>{
             {" YES\t\n", 0}, {"y\n", 1}, {"\x04", 1}, {"", -1}}) {
        SCOPED_TRACE(answer);
        const ToolUnderTest tool;
        const auto [keep, copy] = writeGroup(tool, "A", 1);
        const auto before = snapshot(tool.at("A"));
        const auto run = tool.start({"A", "--move"}, {.inputKind = InputKind::terminal});
        ASSERT_TRUE(run->waitFor(Stream::out, prompt));
        EXPECT_TRUE(run->seen(Stream::out).ends_with("--undo.\n\n" + std::string(prompt)));
        EXPECT_EQ(snapshot(tool.at("A")), before) << "nothing moves before the answer";
        answer.empty() ? run->signal(SIGINT) : run->send(answer);
        const ProcessResult result = run->finish();
        EXPECT_EQ(result.exitCode, exitCode);
        EXPECT_EQ(fs::exists(tool.at(copy)), exitCode != 0);
        EXPECT_EQ(snapshot(tool.at("A")) == before, exitCode != 0) << "declined: nothing moved";
        EXPECT_EQ(result.out.ends_with("Cancelled. Nothing was moved.\n"), exitCode == 1);
    }
}

TEST(SetAsideRunTest, WithoutATerminalOnlyYesMoves) {
    const ToolUnderTest tool;
    writeGroup(tool, "A", 1);
    const auto before = snapshot(tool.at("A"));
    const ProcessResult refused = tool.run({"A", "--move", "--quiet"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err, "error: --move needs confirmation; re-run with --yes in a "
                           "non-interactive shell\n\n" +
                               std::string(usageText) + "\n");
    EXPECT_EQ(snapshot(tool.at("A")), before);
}

// Once a move shows on standard error the test stops reading it: the progress of the other files
// is more than a pipe holds, so the tool cannot finish before the signal. The copy first in line
// changes at the prompt: it is skipped, not unreached. Signal 0: the progress reader goes away.
TEST(SetAsideRunTest, InterruptionStopsAfterTheFileInHandAndRecordsEveryMove) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, 0}) {
        SCOPED_TRACE(signal);
        const ToolUnderTest tool;
        writeManyDuplicates(tool, 700);
        const std::string first = writeGroup(tool, "A", 9000).second;
        const std::vector<std::string> roots = {tool.at("A"), tool.at("B")};
        auto before = Inventory::of(roots);
        const auto run = tool.start({"A", "B", "--move"}, {.inputKind = InputKind::terminal});
        ASSERT_TRUE(run->waitFor(Stream::out, prompt));
        before.settle(tool.work.write(first, "changed since the scan"));
        run->send("yes\n");
        ASSERT_TRUE(run->waitForOnly(Stream::err, "  moving… "));
        signal ? run->signal(signal) : run->close(Stream::err);
        const ProcessResult result = run->finish();
        EXPECT_EQ(result.exitCode, signal ? 130 : 0);
        const auto accounting = account(before, roots);
        EXPECT_EQ(accounting.broken, "");
        const int moved = int(accounting.records.size());
        EXPECT_EQ(moved == 2100, signal == 0) << moved;
        EXPECT_EQ(result.out.find("\nInterrupted: the remaining " + std::to_string(2100 - moved) +
                                  " file(s)") != std::string::npos,
                  signal != 0)
            << result.out;
    }
}

// A/Copies is a root inside the root A: its files go to its own review folder.
TEST(UndoRunTest, EveryFileGoesBackTheRescanFindsTheSameGroupsAndASecondUndoChangesNothing) {
    const ToolUnderTest tool;
    writeManyDuplicates(tool, 30);
    const auto before = snapshot(tool.base);
    ASSERT_EQ(tool.run({"A", "B", "A/Copies", "--quiet"}).exitCode, 0);
    const std::string groups = readFile(tool.at("quillmere_report.csv"));
    const ProcessResult move = tool.run({"A", "B", "A/Copies", "--move", "--yes", "--quiet"});
    ASSERT_EQ(move.exitCode, 0);
    EXPECT_EQ(move.err, "");
    EXPECT_NE(move.out.find("\nMoved   : 90 file(s), "), move.out.npos) << move.out;
    const ProcessResult none = tool.run({"A", "B", "A/Copies", "--move", "--quiet"});
    EXPECT_EQ(none.exitCode, 0) << "no duplicates are left, so no answer is needed";
    EXPECT_TRUE(none.out.ends_with("\nNo duplicates to move.\n")) << none.out;
    EXPECT_TRUE(manifestsUnder({tool.at("A")}).empty());
    const std::vector<std::string> manifests = {manifestsUnder({tool.at("A/Copies")}).at(0),
                                                manifestsUnder({tool.at("B")}).at(0)};
    for (const auto& manifest : manifests) {
        const ProcessResult undo = tool.run({"--undo", manifest});
        EXPECT_EQ(undo.exitCode, 0);
        EXPECT_EQ(undo.out, "Restored " + std::to_string(manifest == manifests[0] ? 30 : 60) +
                                " file(s) to their original locations.\n");
    }
    // The review folders stay, holding their manifests and emptied folders.
    auto after = snapshot(tool.base);
    std::erase_if(after, [](const auto& entry) {
        return entry.first.starts_with("quillmere_report.") ||
               (entry.first.find("/_duplicates_review") != entry.first.npos &&
                !entry.first.ends_with(".JPG"));
    });
    EXPECT_EQ(after, before);
    ASSERT_EQ(tool.run({"A", "B", "A/Copies", "--quiet"}).exitCode, 0);
    EXPECT_EQ(readFile(tool.at("quillmere_report.csv")), groups);

    const auto undone = snapshot(tool.base);
    const ProcessResult again = tool.run({"--undo", manifests[0]});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.out.find("Skipped 30:\n  " + Mover::readManifest(manifests[0]).records[0].to +
                             "\n    not in the review folder\n"),
              std::string::npos)
        << again.out;
    EXPECT_EQ(snapshot(tool.base), undone);
}

// A hand-edited manifest: the records of a real set-aside, one of whose folders is gone and one of
// whose original paths is taken again, and records leading out of the review folder, directly or
// through a link inside it.
TEST(UndoRunTest, UndoRestoresOnlyWhatIsSafeAndAManifestThatCannotBeReadChangesNothing) {
    const ToolUnderTest tool;
    const auto [keep1, copy1] = writeGroup(tool, "A", 1);
    const auto [keep2, copy2] = writeGroup(tool, "A/Taken", 2);
    ASSERT_EQ(tool.run({"A", "--move", "--yes", "--quiet"}).exitCode, 0);
    MoveManifest manifest = Mover::readManifest(manifestsUnder({tool.at("A")}).at(0));
    fs::remove(tool.at("A/Copies"));
    tool.work.write(copy2, "a new file the user made");
    tool.work.write("Elsewhere/x.jpg", "x");
    tool.work.write("Elsewhere/w.jpg", "w");
    fs::create_directory_symlink(tool.at("Elsewhere"), tool.at("A/_duplicates_review/out"));
    for (const std::string& to :
         {tool.at("Elsewhere/x.jpg"), tool.at("A/_duplicates_review/out/w.jpg")})
        manifest.records.push_back({tool.at("A/from elsewhere.jpg"), to, 1, tool.at(keep1)});
    tool.work.write("edited.json", manifest.encode());
    tool.work.write("bad.json", "{\"records\": [");
    const auto before = snapshot(tool.base);
    for (const std::string& unreadable : {tool.at("bad.json"), tool.at("A")}) {
        const ProcessResult result = tool.run({"--undo", unreadable});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.err.starts_with("error: could not read manifest: ")) << result.err;
    }
    EXPECT_EQ(snapshot(tool.base), before);

    const ProcessResult undo = tool.run({"--undo", "edited.json"});
    EXPECT_EQ(undo.exitCode, 1);
    EXPECT_TRUE(undo.out.starts_with("Restored 1 file(s)")) << undo.out;
    const auto outside = "refused: not inside the review folder " + tool.at("A/_duplicates_review");
    EXPECT_NE(undo.out.find(outside), undo.out.rfind(outside)) << "both records: " << undo.out;
    EXPECT_EQ(readFile(tool.at(copy1)), readFile(tool.at(keep1))) << "its folder is made again";
    EXPECT_EQ(readFile(tool.at(copy2)), "a new file the user made");
    EXPECT_EQ(readFile(tool.at("A/_duplicates_review/Taken/Copies/IMG_2 copy.JPG")),
              readFile(tool.at(keep2)));
    EXPECT_EQ(readFile(tool.at("Elsewhere/x.jpg")) + readFile(tool.at("Elsewhere/w.jpg")), "xw");
}
