// The set-aside run: its texts driven directly with chosen outcomes, and the built tool end to
// end on fixture trees: the confirmation on a terminal and without one, the moves, the manifests,
// files changed while the prompt waits, and an interruption while files are moving.
#include "SetAsideRun.h"

#include "InteractiveProcess.h"
#include "TempDir.h"
#include "TmpfsMount.h"
#include "ToolUnderTest.h"
#include "move/Mover.h"
#include "scan/ScanResult.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace quillmere;
using quillmere::cli::SetAside::confirmationText;
using quillmere::cli::SetAside::isConsent;
using quillmere::cli::SetAside::outcomeText;
using quillmere::cli::SetAside::progressText;
using quillmere::testing::InputKind;
using quillmere::testing::InteractiveProcess;
using quillmere::testing::ProcessOptions;
using quillmere::testing::ProcessResult;
using quillmere::testing::randomBytes;
using quillmere::testing::readFile;
using quillmere::testing::snapshot;
using quillmere::testing::TmpfsMount;
using quillmere::testing::ToolUnderTest;
namespace fs = std::filesystem;
using Stream = InteractiveProcess::Stream;

namespace {

constexpr std::string_view progress = "\r\x1b[K";
constexpr std::string_view prompt = "Type 'yes' to continue: ";

constexpr std::string_view closingNote =
    "\nNothing was deleted. Review each folder's _duplicates_review/\n"
    "and delete it yourself once you are satisfied, to actually reclaim the space.\n";

std::string confirmation(int files, const std::string& total) {
    return "About to move " + std::to_string(files) +
           " file(s)\n"
           "  into : _duplicates_review/ inside whichever folder each was found under\n"
           "  total: " +
           total +
           "\n\n"
           "Each file is re-checked byte for byte against the copy that stays\n"
           "behind, immediately before it is moved. Nothing is deleted, and the\n"
           "move can be reversed with --undo.\n\n";
}

// The scan summary for `groups` groups of one copy each, with the reports in the working folder.
std::string summary(const ToolUnderTest& tool, int groups, const std::string& reclaimable) {
    return "\nMedia files scanned : " + std::to_string(2 * groups) +
           "\nDuplicate groups    : " + std::to_string(groups) +
           "\nRedundant files     : " + std::to_string(groups) +
           "\nReclaimable         : " + reclaimable +
           "\n\nReport : " + tool.at("quillmere_report.txt") +
           "\nCSV    : " + tool.at("quillmere_report.csv") + "\n\n";
}

std::string photoName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d", index);
    return name;
}

// Group `index`: a photo of 1000 + index bytes kept at <root>/IMG_<index>.JPG and its copy at
// <root>/Copies/IMG_<index> copy.JPG, the one set aside. The sizes differ, so the larger index
// comes first. Returns {keep, copy}, relative to the working folder.
std::pair<std::string, std::string> writeGroup(const ToolUnderTest& tool, const std::string& root,
                                               int index) {
    const std::string content = randomBytes(1000 + std::size_t(index), std::uint32_t(index + 1));
    const std::string keep = root + "/" + photoName(index) + ".JPG";
    const std::string copy = root + "/Copies/" + photoName(index) + " copy.JPG";
    tool.work.write(keep, content);
    tool.work.write(copy, content);
    return {keep, copy};
}

std::vector<std::string> manifestsIn(const std::string& folder) {
    std::vector<std::string> paths;
    if (!fs::is_directory(folder))
        return paths;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("_quillmere_manifest_"))
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string manifestLines(const std::string& manifest) {
    return "Manifest: " + manifest + "\nUndo    : quillmere --undo \"" + manifest + "\"\n";
}

ProcessOptions onTerminal() {
    ProcessOptions options;
    options.inputKind = InputKind::terminal;
    return options;
}

ProcessOptions piped(std::string input) {
    ProcessOptions options;
    options.inputKind = InputKind::pipe;
    options.input = std::move(input);
    return options;
}

ScanResult resultWith(std::vector<DuplicateGroup> groups) {
    ScanResult result;
    result.groups = std::move(groups);
    return result;
}

std::vector<SkippedMove> skips(int count) {
    std::vector<SkippedMove> skipped;
    for (int index = 1; index <= count; ++index)
        skipped.push_back({"/V/" + std::to_string(index) + ".jpg", "no longer on disk"});
    return skipped;
}

std::string listed(int count) {
    std::string text;
    for (int index = 1; index <= count; ++index)
        text += "  /V/" + std::to_string(index) + ".jpg\n    no longer on disk\n";
    return text;
}

} // namespace

TEST(SetAsideRunTest, ConfirmationTextCountsEveryCopyAndItsBytes) {
    const ScanResult result =
        resultWith({{MediaKind::video, 1024, "/V/a.mov", {"/V/b.mov", "/V/c.mov"}},
                    {MediaKind::photo, 512, "/V/a.jpg", {"/V/b.jpg"}}});
    EXPECT_EQ(confirmationText(result), confirmation(3, "2.5 KB"));
}

TEST(SetAsideRunTest, OnlyYesInAnyCaseWithSpacesOrTabsAroundIsConsent) {
    for (const char* answer : {"yes", "YES", "Yes", " Yes ", "\tyEs \t", "  yes"})
        EXPECT_TRUE(isConsent(answer)) << '"' << answer << '"';
    for (const char* answer : {"", " ", "\t", "y", "Y", "ye", "yess", "yes please", "y e s", "no",
                               "\"yes\"", "yes\r", "\vyes"})
        EXPECT_FALSE(isConsent(answer)) << '"' << answer << '"';
}

TEST(SetAsideRunTest, ProgressTextsCarryDoneAndTotal) {
    EXPECT_EQ(progressText(moveprogress::Verifying{0, 3}), "  verifying before move… 0/3");
    EXPECT_EQ(progressText(moveprogress::Moving{2, 3}), "  moving… 2/3");
    EXPECT_EQ(progressText(moveprogress::Moving{0, 0}), "  moving… 0/0");
}

TEST(SetAsideRunTest, OutcomeWithNothingMovedStillEndsWithTheClosingNote) {
    EXPECT_EQ(outcomeText(MoveOutcome{}, 0),
              "\nMoved   : 0 file(s), 0.0 B\n" + std::string(closingNote));
}

TEST(SetAsideRunTest, OutcomeListsTwentySkipsAndCountsTheRest) {
    const std::string heading = "\nMoved   : 0 file(s), 0.0 B\n";
    MoveOutcome outcome;
    outcome.skipped = skips(20);
    EXPECT_EQ(outcomeText(outcome, 0), heading + "Skipped : 20 (left exactly where they were)\n" +
                                           listed(20) + std::string(closingNote));
    outcome.skipped = skips(21);
    EXPECT_EQ(outcomeText(outcome, 0), heading + "Skipped : 21 (left exactly where they were)\n" +
                                           listed(20) + "  …and 1 more\n" +
                                           std::string(closingNote));
    outcome.skipped = skips(25);
    EXPECT_EQ(outcomeText(outcome, 0), heading + "Skipped : 25 (left exactly where they were)\n" +
                                           listed(20) + "  …and 5 more\n" +
                                           std::string(closingNote));
}

TEST(SetAsideRunTest, OutcomeNamesEveryManifestWithAPastableUndoCommand) {
    MoveOutcome outcome;
    outcome.moved = {{"/A/x.jpg", "/A/_duplicates_review/x.jpg", 1536, "/A/k.jpg"},
                     {"/B/y.jpg", "/B/_duplicates_review/y.jpg", 1536, "/A/k.jpg"}};
    outcome.skipped = {{"/B/z.jpg", "no longer byte-identical to /A/k.jpg"}};
    outcome.manifestURLs = {"/B/_duplicates_review/m 1.json", "/A/_duplicates_review/m.json"};
    EXPECT_EQ(outcomeText(outcome, 0), "\nMoved   : 2 file(s), 3.0 KB\n"
                                       "Skipped : 1 (left exactly where they were)\n"
                                       "  /B/z.jpg\n"
                                       "    no longer byte-identical to /A/k.jpg\n"
                                       "\n" +
                                           manifestLines("/B/_duplicates_review/m 1.json") +
                                           manifestLines("/A/_duplicates_review/m.json") +
                                           std::string(closingNote));
}

TEST(SetAsideRunTest, InterruptedOutcomeSaysHowManyFilesWereLeftAlone) {
    MoveOutcome outcome;
    outcome.moved = {{"/A/x.jpg", "/A/_duplicates_review/x.jpg", 10, "/A/k.jpg"}};
    outcome.skipped = skips(1);
    outcome.manifestURLs = {"/A/_duplicates_review/m.json"};
    outcome.interrupted = true;
    EXPECT_EQ(outcomeText(outcome, 7),
              "\nMoved   : 1 file(s), 10.0 B\n"
              "Skipped : 1 (left exactly where they were)\n" +
                  listed(1) +
                  "Interrupted: the remaining 7 file(s) were left where they were.\n"
                  "\n" +
                  manifestLines("/A/_duplicates_review/m.json") + std::string(closingNote));
}

TEST(SetAsideRunTest, NoDuplicatesToMoveNeedsNoConfirmation) {
    const ToolUnderTest tool;
    tool.work.write("A/only.jpg", randomBytes(100, 1));
    const ProcessResult result = tool.run({"A", "--move"}, piped(""));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "\nMedia files scanned : 1\nDuplicate groups    : 0\n"
                          "Redundant files     : 0\nReclaimable         : 0.0 B\n\nReport : " +
                              tool.at("quillmere_report.txt") + "\nCSV    : " +
                              tool.at("quillmere_report.csv") + "\n\nNo duplicates to move.\n");
    EXPECT_FALSE(fs::exists(tool.at("A/_duplicates_review")));
}

TEST(SetAsideRunTest, InputThatIsNotATerminalNeedsYes) {
    const ToolUnderTest tool;
    writeGroup(tool, "A", 1);
    const auto before = snapshot(tool.at("A"));
    for (const InputKind kind : {InputKind::pipe, InputKind::none}) {
        const ProcessResult result =
            tool.run({"A", "--move"}, kind == InputKind::pipe ? piped("yes\n") : ProcessOptions{});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, summary(tool, 1, "1001.0 B") + confirmation(1, "1001.0 B"));
        EXPECT_NE(result.err.find("error: --move needs confirmation; re-run with --yes in a "
                                  "non-interactive shell\n\nquillmere — find"),
                  std::string::npos)
            << result.err;
    }
    EXPECT_EQ(snapshot(tool.at("A")), before) << "nothing may move without a yes";
}

TEST(SetAsideRunTest, YesMovesWithoutAPromptAndPrintsTheOutcome) {
    const ToolUnderTest tool;
    const auto [keep1, copy1] = writeGroup(tool, "A", 1);
    const auto [keep2, copy2] = writeGroup(tool, "A", 2);
    const std::string content2 = readFile(tool.at(copy2));

    const ProcessResult result = tool.run({"A", "--move", "--yes"}, piped("no\n"));
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const auto manifests = manifestsIn(tool.at("A/_duplicates_review"));
    ASSERT_EQ(manifests.size(), 1u);
    EXPECT_EQ(result.out, summary(tool, 2, "2.0 KB") + confirmation(2, "2.0 KB") +
                              "\nMoved   : 2 file(s), 2.0 KB\n\n" + manifestLines(manifests[0]) +
                              std::string(closingNote));
    const std::string moveProgress =
        std::string(progress) + "  verifying before move… 0/2" + std::string(progress) +
        "  moving… 0/2" + std::string(progress) + "  verifying before move… 1/2" +
        std::string(progress) + "  moving… 1/2" + std::string(progress) + "  moving… 2/2\n";
    EXPECT_TRUE(result.err.ends_with("\n" + moveProgress)) << result.err;

    // Larger group first; each copy keeps its folder below the review folder.
    const std::string review = tool.at("A/_duplicates_review/Copies/");
    const MoveManifest manifest = Mover::readManifest(manifests[0]);
    EXPECT_EQ(manifest.root, tool.at("A"));
    EXPECT_EQ(manifest.records,
              (std::vector<MoveRecord>{
                  {tool.at(copy2), review + "IMG_0002 copy.JPG", 1002, tool.at(keep2)},
                  {tool.at(copy1), review + "IMG_0001 copy.JPG", 1001, tool.at(keep1)}}));
    EXPECT_FALSE(fs::exists(tool.at(copy1)));
    EXPECT_FALSE(fs::exists(tool.at(copy2)));
    EXPECT_EQ(readFile(review + "IMG_0002 copy.JPG"), content2);
    EXPECT_TRUE(fs::exists(tool.at(keep1)));
    EXPECT_TRUE(fs::exists(tool.at(keep2)));
}

TEST(SetAsideRunTest, QuietMoveWritesNothingToStandardError) {
    const ToolUnderTest tool;
    writeGroup(tool, "A", 1);
    const ProcessResult result = tool.run({"A", "--move", "--yes", "--quiet"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("\nMoved   : 1 file(s), 1001.0 B\n"), std::string::npos);
}

TEST(SetAsideRunTest, TerminalPromptIsVisibleBeforeTheAnswerIsRead) {
    struct Case {
        std::string answer;
        bool accepted;
    };
    // "\x04" is Ctrl-D at the start of a line: the input ends without an answer.
    for (const Case& item : {Case{"yes\n", true}, Case{" Yes \n", true}, Case{"YES\t\n", true},
                             Case{"y\n", false}, Case{"\n", false}, Case{"\x04", false}}) {
        SCOPED_TRACE("answer \"" + item.answer + "\"");
        const ToolUnderTest tool;
        const auto [keep, copy] = writeGroup(tool, "A", 1);
        const auto before = snapshot(tool.at("A"));

        const auto run = tool.start({"A", "--move"}, onTerminal());
        ASSERT_TRUE(run->waitFor(Stream::out, prompt)) << run->seen(Stream::out);
        EXPECT_EQ(run->seen(Stream::out),
                  summary(tool, 1, "1001.0 B") + confirmation(1, "1001.0 B") + std::string(prompt))
            << "nothing is moved before the answer";
        EXPECT_EQ(snapshot(tool.at("A")), before);
        run->send(item.answer);
        const ProcessResult result = run->finish();

        if (item.accepted) {
            EXPECT_EQ(result.exitCode, 0) << result.err;
            EXPECT_TRUE(result.out.find("\nMoved   : 1 file(s), 1001.0 B\n") != std::string::npos)
                << result.out;
            EXPECT_TRUE(fs::exists(tool.at("A/_duplicates_review/Copies/IMG_0001 copy.JPG")));
            EXPECT_FALSE(fs::exists(tool.at(copy)));
        } else {
            EXPECT_EQ(result.exitCode, 1) << result.err;
            EXPECT_TRUE(
                result.out.ends_with(std::string(prompt) + "Cancelled. Nothing was moved.\n"))
                << result.out;
            EXPECT_EQ(snapshot(tool.at("A")), before);
        }
    }
}

TEST(SetAsideRunTest, InterruptAtThePromptEndsTheRunAsUsual) {
    const ToolUnderTest tool;
    writeGroup(tool, "A", 1);
    const auto before = snapshot(tool.at("A"));
    const auto run = tool.start({"A", "--move"}, onTerminal());
    ASSERT_TRUE(run->waitFor(Stream::out, prompt));
    run->signal(SIGINT);
    const ProcessResult result = run->finish();
    EXPECT_EQ(result.signal, SIGINT);
    EXPECT_EQ(snapshot(tool.at("A")), before);
}

TEST(SetAsideRunTest, FilesChangedWhileThePromptWaitsAreSkippedAndListed) {
    const ToolUnderTest tool;
    std::vector<std::pair<std::string, std::string>> groups;
    for (int index = 0; index < 30; ++index)
        groups.push_back(writeGroup(tool, "A", index));

    const auto run = tool.start({"A", "--move"}, onTerminal());
    ASSERT_TRUE(run->waitFor(Stream::out, prompt));
    // Groups are worked through from index 29 down. The keeper of 29 goes, the copy of 28 is
    // edited, the copies of 27 to 5 go; 4 to 0 are still duplicates.
    fs::remove(tool.at(groups[29].first));
    std::string edited = readFile(tool.at(groups[28].second));
    edited[500] = char(edited[500] ^ 1);
    tool.work.write(groups[28].second, edited);
    for (int index = 27; index >= 5; --index)
        fs::remove(tool.at(groups[std::size_t(index)].second));
    run->send("yes\n");
    const ProcessResult result = run->finish();
    ASSERT_EQ(result.exitCode, 0) << result.err;

    std::string skipped = "  " + tool.at(groups[29].second) +
                          "\n    the file it duplicates is missing: " + tool.at(groups[29].first) +
                          "\n  " + tool.at(groups[28].second) +
                          "\n    no longer byte-identical to " + tool.at(groups[28].first) + "\n";
    for (int index = 27; index >= 10; --index)
        skipped += "  " + tool.at(groups[std::size_t(index)].second) + "\n    no longer on disk\n";
    const auto manifests = manifestsIn(tool.at("A/_duplicates_review"));
    ASSERT_EQ(manifests.size(), 1u);
    const std::string expected = std::string(prompt) + "\nMoved   : 5 file(s), 4.9 KB\n" +
                                 "Skipped : 25 (left exactly where they were)\n" + skipped +
                                 "  …and 5 more\n\n" + manifestLines(manifests[0]) +
                                 std::string(closingNote);
    EXPECT_TRUE(result.out.ends_with(expected)) << result.out;
    EXPECT_EQ(readFile(tool.at(groups[28].second)), edited);
    EXPECT_TRUE(fs::exists(tool.at(groups[29].second)));
    EXPECT_EQ(Mover::readManifest(manifests[0]).records.size(), 5u);
}

TEST(SetAsideRunTest, NestedRootsSendEachFileToTheMostSpecificRoot) {
    const ToolUnderTest tool;
    const std::string content = randomBytes(2000, 7);
    tool.work.write("V/A/IMG_0001.JPG", content);
    tool.work.write("V/A/B/IMG_0001 copy.JPG", content);
    tool.work.write("V/A/IMG_0001 copy.JPG", content);

    const ProcessResult result = tool.run({"V/A", "V/A/B", "--move", "--yes"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto outer = manifestsIn(tool.at("V/A/_duplicates_review"));
    const auto inner = manifestsIn(tool.at("V/A/B/_duplicates_review"));
    ASSERT_EQ(outer.size(), 1u);
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(Mover::readManifest(inner[0]).records,
              (std::vector<MoveRecord>{{tool.at("V/A/B/IMG_0001 copy.JPG"),
                                        tool.at("V/A/B/_duplicates_review/IMG_0001 copy.JPG"), 2000,
                                        tool.at("V/A/IMG_0001.JPG")}}));
    EXPECT_EQ(Mover::readManifest(outer[0]).records,
              (std::vector<MoveRecord>{{tool.at("V/A/IMG_0001 copy.JPG"),
                                        tool.at("V/A/_duplicates_review/IMG_0001 copy.JPG"), 2000,
                                        tool.at("V/A/IMG_0001.JPG")}}));
    EXPECT_FALSE(fs::exists(tool.at("V/A/_duplicates_review/B")));
    EXPECT_NE(result.out.find("\nMoved   : 2 file(s), 3.9 KB\n"), std::string::npos);
}

TEST(SetAsideRunTest, RootGivenThroughALinkIsRecordedInResolvedForm) {
    const ToolUnderTest tool;
    const auto [keep, copy] = writeGroup(tool, "Real", 1);
    fs::create_directory_symlink(tool.at("Real"), tool.at("Link"));

    const ProcessResult result = tool.run({"Link", "--move", "--yes"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto manifests = manifestsIn(tool.at("Real/_duplicates_review"));
    ASSERT_EQ(manifests.size(), 1u);
    EXPECT_NE(result.out.find(manifestLines(manifests[0])), std::string::npos) << result.out;
    const MoveManifest manifest = Mover::readManifest(manifests[0]);
    EXPECT_EQ(manifest.root, tool.at("Real"));
    EXPECT_EQ(manifest.records,
              (std::vector<MoveRecord>{{tool.at("Link/Copies/IMG_0001 copy.JPG"),
                                        tool.at("Real/_duplicates_review/Copies/IMG_0001 copy.JPG"),
                                        1001, tool.at("Link/IMG_0001.JPG")}}));
    EXPECT_TRUE(fs::is_symlink(tool.at("Link")));
}

TEST(SetAsideRunTest, TwoRootsGiveTwoManifestsEachInItsRoot) {
    const ToolUnderTest tool;
    const std::string content = randomBytes(3000, 3);
    tool.work.write("A/IMG_0001.JPG", content);
    tool.work.write("A/Trip/IMG_0001 copy.JPG", content);
    tool.work.write("B/IMG_0001.JPG", content);

    const ProcessResult result = tool.run({"A", "B", "--move", "--yes"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto inA = manifestsIn(tool.at("A/_duplicates_review"));
    const auto inB = manifestsIn(tool.at("B/_duplicates_review"));
    ASSERT_EQ(inA.size(), 1u);
    ASSERT_EQ(inB.size(), 1u);
    // The copy in A comes first in text order, so its root's manifest is written first.
    EXPECT_TRUE(result.out.ends_with("\nMoved   : 2 file(s), 5.9 KB\n\n" + manifestLines(inA[0]) +
                                     manifestLines(inB[0]) + std::string(closingNote)))
        << result.out;
    EXPECT_EQ(Mover::readManifest(inA[0]).records.at(0).to,
              tool.at("A/_duplicates_review/Trip/IMG_0001 copy.JPG"));
    EXPECT_EQ(Mover::readManifest(inB[0]).records.at(0).to,
              tool.at("B/_duplicates_review/IMG_0001.JPG"));
    EXPECT_EQ(readFile(tool.at("B/_duplicates_review/IMG_0001.JPG")), content);
}

TEST(SetAsideRunTest, ASecondSetAsideOfTheSamePathGetsANumberedName) {
    const ToolUnderTest tool;
    const auto [keep, copy] = writeGroup(tool, "A", 1);
    const std::string content = readFile(tool.at(keep));
    ASSERT_EQ(tool.run({"A", "--move", "--yes"}).exitCode, 0);
    tool.work.write(copy, content);
    const ProcessResult second = tool.run({"A", "--move", "--yes"});
    ASSERT_EQ(second.exitCode, 0) << second.err;

    const std::string review = tool.at("A/_duplicates_review/Copies/");
    EXPECT_EQ(readFile(review + "IMG_0001 copy.JPG"), content);
    EXPECT_EQ(readFile(review + "IMG_0001 copy (2).JPG"), content);
    const auto manifests = manifestsIn(tool.at("A/_duplicates_review"));
    ASSERT_EQ(manifests.size(), 2u) << "the first run's manifest is kept";
    EXPECT_EQ(Mover::readManifest(manifests[1]).records.at(0).to, review + "IMG_0001 copy (2).JPG");
    EXPECT_NE(second.out.find(manifestLines(manifests[1])), std::string::npos) << second.out;
}

TEST(SetAsideRunTest, AMoveAcrossFileSystemsIsListedAsSkippedAndTheFileStays) {
    const ToolUnderTest tool;
    const std::string content = randomBytes(1500, 9);
    tool.work.write("A/IMG_0001.JPG", content);
    const TmpfsMount card(tool.at("A/Card"), "size=1m");
    if (!card.mounted())
        GTEST_SKIP() << card.why();
    tool.work.write("A/Card/IMG_0001 copy.JPG", content);

    const ProcessResult result = tool.run({"A", "--move", "--yes"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.ends_with("\nMoved   : 0 file(s), 0.0 B\n"
                                     "Skipped : 1 (left exactly where they were)\n  " +
                                     tool.at("A/Card/IMG_0001 copy.JPG") +
                                     "\n    move failed: Invalid cross-device link\n" +
                                     std::string(closingNote)))
        << result.out;
    EXPECT_EQ(readFile(tool.at("A/Card/IMG_0001 copy.JPG")), content);
    EXPECT_TRUE(manifestsIn(tool.at("A/_duplicates_review")).empty());
}

TEST(SetAsideRunTest, AFullVolumeSkipsTheMoveItCannotRecord) {
    const ToolUnderTest tool;
    const TmpfsMount volume(tool.at("A"), "size=64k");
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    const auto [keep, copy] = writeGroup(tool, "A", 1);
    const std::string content = readFile(tool.at(keep));

    const auto run = tool.start({"A", "--move"}, onTerminal());
    ASSERT_TRUE(run->waitFor(Stream::out, prompt));
    // Fill the volume now, after the reports are written elsewhere and before the move.
    {
        std::FILE* filler = std::fopen(tool.at("A/filler.bin").c_str(), "wb");
        ASSERT_NE(filler, nullptr);
        const std::string block(4096, 'f');
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
               std::fflush(filler) == 0) {
        }
        std::fclose(filler);
    }
    run->send("yes\n");
    const ProcessResult result = run->finish();

    // Nothing moves that its journal cannot record first.
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Moved   : 0 file(s)"), std::string::npos) << result.out;
    EXPECT_NE(
        result.out.find("    move failed: " + tool.at("A/_duplicates_review/._quillmere_journal_")),
        std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find(": No space left on device\n"), std::string::npos) << result.out;
    EXPECT_EQ(readFile(tool.at(copy)), content);
    EXPECT_FALSE(fs::exists(tool.at("A/_duplicates_review/Copies/IMG_0001 copy.JPG")));
}

namespace {

// Many small duplicates across two roots: each content kept once in A and set aside three times,
// from A and from B. Returns every file's path with its content.
constexpr int manyContents = 700;
constexpr int manyToMove = 3 * manyContents;

std::map<std::string, std::string> writeManyDuplicates(const ToolUnderTest& tool) {
    std::map<std::string, std::string> files;
    for (int index = 0; index < manyContents; ++index) {
        const std::string content =
            randomBytes(64 + std::size_t(index % 50), std::uint32_t(index + 1));
        const std::string name = photoName(index);
        for (const std::string& path : {"A/Keep/" + name + ".JPG", "A/Copies/" + name + " copy.JPG",
                                        "B/" + name + ".JPG", "B/Old/" + name + " copy.JPG"}) {
            tool.work.write(path, content);
            files[tool.at(path)] = content;
        }
    }
    return files;
}

// Checks that every file is where it was or recorded where it went, unchanged, and that the
// review folders hold nothing unrecorded. Returns the records of all manifests.
std::vector<MoveRecord> expectEveryFileAccountedFor(const ToolUnderTest& tool,
                                                    const std::map<std::string, std::string>& files,
                                                    const std::string& out) {
    std::vector<MoveRecord> records;
    for (const std::string root : {"A", "B"}) {
        for (const auto& manifest : manifestsIn(tool.at(root + "/_duplicates_review"))) {
            EXPECT_NE(out.find(manifestLines(manifest)), std::string::npos) << manifest;
            const auto read = Mover::readManifest(manifest).records;
            records.insert(records.end(), read.begin(), read.end());
        }
    }
    std::map<std::string, std::string> recordedTo;
    for (const auto& record : records)
        recordedTo[record.from] = record.to;
    EXPECT_EQ(recordedTo.size(), records.size()) << "no file is recorded twice";

    std::set<std::string> reviewFiles;
    for (const auto& [path, content] : files) {
        const auto record = recordedTo.find(path);
        if (record == recordedTo.end()) {
            EXPECT_EQ(readFile(path), content) << path;
        } else {
            EXPECT_FALSE(fs::exists(path)) << path;
            EXPECT_EQ(readFile(record->second), content) << record->second;
            reviewFiles.insert(record->second);
        }
    }
    for (const std::string root : {"A", "B"}) {
        const std::string review = tool.at(root + "/_duplicates_review");
        if (!fs::is_directory(review))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(review)) {
            if (entry.is_regular_file() &&
                !entry.path().filename().string().starts_with("_quillmere_manifest_")) {
                EXPECT_TRUE(reviewFiles.contains(entry.path().string()))
                    << entry.path() << " is in no manifest";
            }
        }
    }
    return records;
}

} // namespace

// Once the first move shows on standard error the test stops reading it: the progress lines of
// the remaining files are far more than a pipe holds, so the tool blocks on one of them and
// cannot have finished before the signal arrives.
TEST(SetAsideRunTest, InterruptionStopsAfterTheFileInHandAndRecordsEveryMove) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const ToolUnderTest tool;
        const auto files = writeManyDuplicates(tool);

        const auto run = tool.start({"A", "B", "--move", "--yes"});
        ASSERT_TRUE(run->waitForOnly(Stream::err, "  moving… ")) << run->seen(Stream::err);
        run->signal(signal);
        const ProcessResult result = run->finish();
        EXPECT_EQ(result.exitCode, 130) << result.err;

        const auto records = expectEveryFileAccountedFor(tool, files, result.out);
        const int moved = int(records.size());
        EXPECT_GT(moved, 0);
        EXPECT_LT(moved, manyToMove);
        EXPECT_NE(result.out.find("\nMoved   : " + std::to_string(moved) + " file(s), "),
                  std::string::npos)
            << result.out;
        EXPECT_NE(result.out.find("\nInterrupted: the remaining " +
                                  std::to_string(manyToMove - moved) +
                                  " file(s) were left where they were.\n"),
                  std::string::npos)
            << result.out;
    }
}

TEST(SetAsideRunTest, AProgressReaderThatGoesAwayDoesNotEndTheMoveHalfWay) {
    const ToolUnderTest tool;
    const auto files = writeManyDuplicates(tool);

    const auto run = tool.start({"A", "B", "--move", "--yes"});
    ASSERT_TRUE(run->waitForOnly(Stream::err, "  moving… "));
    run->close(Stream::err);
    const ProcessResult result = run->finish();
    EXPECT_EQ(result.exitCode, 0);

    EXPECT_EQ(expectEveryFileAccountedFor(tool, files, result.out).size(), std::size_t(manyToMove));
    EXPECT_NE(result.out.find("\nMoved   : " + std::to_string(manyToMove) + " file(s), "),
              std::string::npos)
        << result.out;
}
