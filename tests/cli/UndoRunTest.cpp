// The undo run: its text driven directly, and the built tool end to end: a full round trip with a
// rescan, repeated and partial undos, manifests that must not be trusted, and manifests that
// cannot be read.
#include "UndoRun.h"

#include "TempDir.h"
#include "ToolUnderTest.h"
#include "Usage.h"
#include "move/Mover.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quillmere;
using quillmere::cli::Undo::outcomeText;
using quillmere::testing::ProcessResult;
using quillmere::testing::randomBytes;
using quillmere::testing::readFile;
using quillmere::testing::snapshot;
using quillmere::testing::ToolUnderTest;
namespace fs = std::filesystem;

namespace {

constexpr std::string_view review = "_duplicates_review";

std::string errorOutput(const std::string& message) {
    return "error: " + message + "\n\n" + std::string(cli::usageText) + "\n";
}

std::string restored(int count) {
    return "Restored " + std::to_string(count) + " file(s) to their original locations.\n";
}

std::string listed(const std::vector<SkippedMove>& skipped, std::size_t count) {
    std::string text;
    for (std::size_t index = 0; index < count; ++index)
        text += "  " + skipped[index].path + "\n    " + skipped[index].reason + "\n";
    return text;
}

// Writes a valid manifest for `root` with `records` at `path` (relative to the working folder).
std::string writeManifest(const ToolUnderTest& tool, const std::string& path,
                          const std::string& root, std::vector<MoveRecord> records) {
    const MoveManifest manifest{root, std::chrono::system_clock::now(), std::move(records)};
    return tool.work.write(path, manifest.encode());
}

// A tree of photos and videos across two roots: some unique, some with copies in the other root
// or in other folders, names with spaces and non-ASCII letters.
void writeArchive(const ToolUnderTest& tool) {
    for (int index = 0; index < 40; ++index) {
        const std::string content =
            randomBytes(500 + std::size_t(index) * 37, std::uint32_t(100 + index));
        const std::string name = "IMG_" + std::to_string(1000 + index);
        const std::string extension = index % 5 == 0 ? ".mov" : ".jpg";
        tool.work.write("A/" + std::to_string(2020 + index % 4) + "/" + name + extension, content);
        if (index % 2 == 0)
            tool.work.write("B/Backup/" + name + extension, content);
        if (index % 3 == 0)
            tool.work.write("A/Été à Nice/" + name + " copy" + extension, content);
        if (index % 7 == 0)
            tool.work.write("B/Backup/Old/" + name + " (1)" + extension, content);
    }
    tool.work.write("A/notes.txt", "not media");
    tool.work.write("B/unique.png", randomBytes(900, 7));
}

// The commands the tool printed for undoing its set-aside, one per manifest.
std::vector<std::string> undoCommands(const std::string& out) {
    std::vector<std::string> manifests;
    const std::regex line("Undo    : quillmere --undo \"([^\"]*)\"\n");
    for (auto match = std::sregex_iterator(out.begin(), out.end(), line);
         match != std::sregex_iterator(); ++match)
        manifests.push_back((*match)[1]);
    return manifests;
}

std::vector<SkippedMove> notInTheReviewFolder(int count) {
    std::vector<SkippedMove> skipped;
    for (int index = 1; index <= count; ++index)
        skipped.push_back({"/R/_duplicates_review/" + std::to_string(index) + ".jpg",
                           "not in the review folder"});
    return skipped;
}

} // namespace

TEST(UndoRunTest, RestoredCountIsPrintedEvenWhenNothingWasRestored) {
    EXPECT_EQ(outcomeText(UndoOutcome{}), restored(0));
    EXPECT_EQ(outcomeText(UndoOutcome{12, {}}), restored(12));
}

TEST(UndoRunTest, SkippedRecordsListTwentyAndSayNothingOfTheRest) {
    UndoOutcome outcome{3, notInTheReviewFolder(1)};
    EXPECT_EQ(outcomeText(outcome), restored(3) + "Skipped 1:\n" + listed(outcome.skipped, 1));
    outcome.skipped = notInTheReviewFolder(20);
    EXPECT_EQ(outcomeText(outcome), restored(3) + "Skipped 20:\n" + listed(outcome.skipped, 20));
    outcome.skipped = notInTheReviewFolder(25);
    EXPECT_EQ(outcomeText(outcome), restored(3) + "Skipped 25:\n" + listed(outcome.skipped, 20));
}

TEST(UndoRunTest, RoundTripPutsEveryFileBackAndTheRescanFindsTheSameGroups) {
    const ToolUnderTest tool;
    writeArchive(tool);
    const auto beforeA = snapshot(tool.at("A"));
    const auto beforeB = snapshot(tool.at("B"));
    const ProcessResult scan = tool.run({"A", "B"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    const std::string groups = readFile(tool.at("quillmere_report.csv"));

    const ProcessResult move = tool.run({"A", "B", "--move", "--yes"});
    ASSERT_EQ(move.exitCode, 0) << move.err;
    EXPECT_NE(snapshot(tool.at("A")), beforeA);
    EXPECT_EQ(readFile(tool.at("quillmere_report.csv")), groups);
    const auto manifests = undoCommands(move.out);
    ASSERT_EQ(manifests.size(), 2u) << move.out;
    std::size_t recorded = 0;
    for (const auto& manifest : manifests)
        recorded += Mover::readManifest(manifest).records.size();
    EXPECT_NE(move.out.find("\nMoved   : " + std::to_string(recorded) + " file(s), "),
              std::string::npos)
        << move.out;

    for (const auto& manifest : manifests) {
        const ProcessResult undo = tool.run({"--undo", manifest});
        EXPECT_EQ(undo.exitCode, 0) << undo.err;
        EXPECT_EQ(undo.out, restored(int(Mover::readManifest(manifest).records.size())));
        EXPECT_EQ(undo.err, "");
        EXPECT_TRUE(fs::exists(manifest)) << "the manifest stays";
    }

    // Byte for byte as before; the review folders stay, holding only their manifests and
    // (now empty) folders.
    for (const auto& [root, before] : {std::pair{"A", beforeA}, std::pair{"B", beforeB}}) {
        auto after = snapshot(tool.at(root));
        ASSERT_TRUE(after.contains(std::string(review))) << root;
        std::erase_if(after, [&](const auto& entry) {
            if (!entry.first.starts_with(std::string(review)))
                return false;
            EXPECT_TRUE(entry.second == "<folder>" ||
                        entry.first.starts_with(std::string(review) + "/_quillmere_manifest_"))
                << entry.first;
            return true;
        });
        EXPECT_EQ(after, before) << root;
    }

    const ProcessResult rescan = tool.run({"A", "B"});
    ASSERT_EQ(rescan.exitCode, 0) << rescan.err;
    EXPECT_EQ(readFile(tool.at("quillmere_report.csv")), groups);
}

TEST(UndoRunTest, ASecondUndoSkipsEveryRecordAsNotInTheReviewFolder) {
    const ToolUnderTest tool;
    writeArchive(tool);
    const ProcessResult move = tool.run({"A", "--move", "--yes"});
    ASSERT_EQ(move.exitCode, 0) << move.err;
    const auto manifests = undoCommands(move.out);
    ASSERT_EQ(manifests.size(), 1u);
    ASSERT_EQ(tool.run({"--undo", manifests[0]}).exitCode, 0);
    const auto afterFirst = snapshot(tool.at("A"));

    const ProcessResult again = tool.run({"--undo", manifests[0]});
    EXPECT_EQ(again.exitCode, 1);
    std::vector<SkippedMove> skipped;
    for (const auto& record : Mover::readManifest(manifests[0]).records)
        skipped.push_back({record.to, "not in the review folder"});
    EXPECT_EQ(again.out, restored(0) + "Skipped " + std::to_string(skipped.size()) + ":\n" +
                             listed(skipped, std::min<std::size_t>(skipped.size(), 20)));
    EXPECT_EQ(snapshot(tool.at("A")), afterFirst);
}

TEST(UndoRunTest, TwentyFiveSkippedRecordsListTwentyAndNothingMore) {
    const ToolUnderTest tool;
    const std::string root = tool.at("R");
    std::vector<MoveRecord> records;
    std::vector<SkippedMove> skipped;
    for (int index = 1; index <= 25; ++index) {
        const std::string name = std::to_string(index) + ".jpg";
        records.push_back(
            {root + "/" + name, root + "/_duplicates_review/" + name, 10, root + "/k.jpg"});
        skipped.push_back({records.back().to, "not in the review folder"});
    }
    writeManifest(tool, "m.json", root, records);

    const ProcessResult result = tool.run({"--undo", "m.json"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, restored(0) + "Skipped 25:\n" + listed(skipped, 20));
    EXPECT_EQ(result.err, "");
}

TEST(UndoRunTest, OccupiedOriginalsAreSkippedAndMissingFoldersRecreated) {
    const ToolUnderTest tool;
    const std::string one = randomBytes(1200, 1), two = randomBytes(1300, 2);
    tool.work.write("A/IMG_0001.JPG", one);
    tool.work.write("A/Gone/IMG_0001 copy.JPG", one);
    tool.work.write("A/IMG_0002.JPG", two);
    tool.work.write("A/Taken/IMG_0002 copy.JPG", two);
    const ProcessResult move = tool.run({"A", "--move", "--yes"});
    ASSERT_EQ(move.exitCode, 0) << move.err;
    const auto manifests = undoCommands(move.out);
    ASSERT_EQ(manifests.size(), 1u);
    fs::remove(tool.at("A/Gone"));
    tool.work.write("A/Taken/IMG_0002 copy.JPG", "a new file the user made");

    const ProcessResult undo = tool.run({"--undo", manifests[0]});
    EXPECT_EQ(undo.exitCode, 1);
    EXPECT_EQ(undo.out, restored(1) + "Skipped 1:\n  " +
                            tool.at("A/_duplicates_review/Taken/IMG_0002 copy.JPG") +
                            "\n    something is already at the original path\n");
    EXPECT_EQ(readFile(tool.at("A/Gone/IMG_0001 copy.JPG")), one);
    EXPECT_EQ(readFile(tool.at("A/Taken/IMG_0002 copy.JPG")), "a new file the user made");
    EXPECT_EQ(readFile(tool.at("A/_duplicates_review/Taken/IMG_0002 copy.JPG")), two);
}

TEST(UndoRunTest, RecordsLeadingOutsideTheReviewFolderAreRefused) {
    const ToolUnderTest tool;
    const std::string root = tool.at("R");
    const std::string folder = root + "/_duplicates_review";
    tool.work.write("Elsewhere/x.jpg", "x");
    tool.work.write("Elsewhere/y.jpg", "y");
    tool.work.write("Elsewhere/w.jpg", "w");
    tool.work.write("R/_duplicates_review/z.jpg", "z");
    tool.work.write("R/_duplicates_review/ok.jpg", "ok");
    fs::create_directory_symlink(tool.at("Elsewhere"), folder + "/out");
    writeManifest(tool, "m.json", root,
                  {{root + "/x.jpg", tool.at("Elsewhere/x.jpg"), 1, root + "/k.jpg"},
                   {root + "/y.jpg", folder + "/../../Elsewhere/y.jpg", 1, root + "/k.jpg"},
                   {"z.jpg", folder + "/z.jpg", 1, root + "/k.jpg"},
                   {root + "/w.jpg", folder + "/out/w.jpg", 1, root + "/k.jpg"},
                   {root + "/ok.jpg", folder + "/ok.jpg", 2, root + "/k.jpg"}});
    const auto elsewhere = snapshot(tool.at("Elsewhere"));

    const ProcessResult result = tool.run({"--undo", "m.json"});
    EXPECT_EQ(result.exitCode, 1);
    const std::string outside = "refused: not inside the review folder " + folder;
    EXPECT_EQ(result.out, restored(1) + "Skipped 4:\n" +
                              listed({{tool.at("Elsewhere/x.jpg"), outside},
                                      {folder + "/../../Elsewhere/y.jpg",
                                       "refused: the path in the review folder is not absolute "
                                       "or contains \".\" or \"..\""},
                                      {folder + "/z.jpg", "refused: the original path is not "
                                                          "absolute or contains \".\" or \"..\""},
                                      {folder + "/out/w.jpg", outside}},
                                     4));
    EXPECT_EQ(snapshot(tool.at("Elsewhere")), elsewhere);
    EXPECT_EQ(readFile(folder + "/z.jpg"), "z");
    EXPECT_FALSE(fs::exists(tool.at("z.jpg")));
    EXPECT_EQ(readFile(root + "/ok.jpg"), "ok");
}

TEST(UndoRunTest, ManifestWithoutRecordsRestoresNothingAndQuietChangesNoOutcome) {
    const ToolUnderTest tool;
    writeManifest(tool, "m.json", tool.at("R"), {});
    for (const bool quiet : {false, true}) {
        const ProcessResult result =
            quiet ? tool.run({"--undo", "m.json", "--quiet"}) : tool.run({"--undo", "m.json"});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, restored(0));
        EXPECT_EQ(result.err, "");
    }
}

TEST(UndoRunTest, MissingManifestFailsWithItsResolvedPath) {
    const ToolUnderTest tool;
    fs::create_symlink(tool.at("nowhere.json"), tool.at("dangling.json"));
    const auto before = snapshot(tool.base);
    struct Case {
        std::string typed;
        std::string resolved;
    };
    for (const Case& item :
         {Case{"gone.json", tool.at("gone.json")}, Case{"~/m.json", tool.home.path() + "/m.json"},
          Case{"dangling.json", tool.at("dangling.json")},
          Case{"./sub/../gone.json", tool.at("./sub/../gone.json")}}) {
        const ProcessResult result = tool.run({"--undo", item.typed});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, errorOutput("no such manifest: " + item.resolved));
    }
    EXPECT_EQ(snapshot(tool.base), before) << "an undo writes no report";
}

// Every unreadable manifest names records of a real set-aside, so that reading any of it would
// show as a restored file.
TEST(UndoRunTest, ManifestsThatCannotBeReadChangeNothing) {
    const ToolUnderTest tool;
    writeArchive(tool);
    const ProcessResult move = tool.run({"A", "--move", "--yes"});
    ASSERT_EQ(move.exitCode, 0) << move.err;
    const auto manifests = undoCommands(move.out);
    ASSERT_EQ(manifests.size(), 1u);
    const MoveManifest real = Mover::readManifest(manifests[0]);
    ASSERT_GE(real.records.size(), 2u);

    const auto quoted = [](const std::string& text) { return "\"" + text + "\""; };
    const auto record = [&](const MoveRecord& value, const std::string& size,
                            bool withVerified = true) {
        std::string text = "{\"from\": " + quoted(value.from) + ", \"to\": " + quoted(value.to) +
                           ", \"sizeBytes\": " + size;
        if (withVerified)
            text += ", \"verifiedAgainst\": " + quoted(value.verifiedAgainst);
        return text + "}";
    };
    const auto manifest = [&](const std::string& createdAt, const std::string& records) {
        return "{\"createdAt\": " + quoted(createdAt) + ", \"root\": " + quoted(real.root) +
               ", \"records\": " + records + "}";
    };
    const std::string first = record(real.records[0], "1");
    const std::string second = record(real.records[1], "1");
    const std::string valid = manifest("2026-12-05T18:53:13Z", "[" + first + ", " + second + "]");
    const std::map<std::string, std::string> cases = {
        {"empty", ""},
        {"truncated", valid.substr(0, valid.size() / 2)},
        {"not JSON", "quillmere"},
        {"an array", "[" + first + "]"},
        {"no records",
         "{\"createdAt\": \"2026-12-05T18:53:13Z\", \"root\": " + quoted(real.root) + "}"},
        {"records not a list", manifest("2026-12-05T18:53:13Z", first)},
        {"a record without verifiedAgainst",
         manifest("2026-12-05T18:53:13Z",
                  "[" + first + ", " + record(real.records[1], "1", false) + "]")},
        {"size as text", manifest("2026-12-05T18:53:13Z",
                                  "[" + first + ", " + record(real.records[1], "\"1\"") + "]")},
        {"fractional size", manifest("2026-12-05T18:53:13Z",
                                     "[" + first + ", " + record(real.records[1], "1.5") + "]")},
        {"fractional seconds", manifest("2026-12-05T18:53:13.5Z", "[" + first + "]")},
        {"not a date", manifest("yesterday", "[" + first + "]")},
        {"invalid UTF-8",
         manifest("2026-12-05T18:53:13Z", "[" + first + ", " +
                                              record({real.root + "/\xff.jpg", real.records[1].to,
                                                      1, real.records[1].verifiedAgainst},
                                                     "1") +
                                              "]")},
    };
    ASSERT_EQ(tool.run({"--undo", tool.work.write("valid.json", valid)}).exitCode, 0)
        << "the cases below differ from a readable manifest only in what they name";
    ASSERT_EQ(tool.run({"A", "--move", "--yes"}).exitCode, 0);
    const auto setAside = snapshot(tool.at("A"));

    const auto expectUnreadable = [&](const std::string& name, const std::string& path) {
        SCOPED_TRACE(name);
        const ProcessResult result = tool.run({"--undo", path});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        const std::string lead = "error: could not read manifest: ";
        ASSERT_TRUE(result.err.starts_with(lead)) << result.err;
        const std::string description =
            result.err.substr(lead.size(), result.err.find('\n') - lead.size());
        EXPECT_GT(description.size(), 5u) << "a description says what is wrong";
        EXPECT_EQ(result.err, errorOutput("could not read manifest: " + description));
        EXPECT_EQ(snapshot(tool.at("A")), setAside);
    };
    for (const auto& [name, text] : cases)
        expectUnreadable(name, tool.work.write("bad.json", text));
    expectUnreadable("a folder", tool.work.mkdir("folder.json"));

    // Larger than any manifest can be; sparse, so that it costs no disk.
    const std::string enormous = tool.at("enormous.json");
    tool.work.write("enormous.json", valid);
    ASSERT_EQ(::truncate(enormous.c_str(), (std::int64_t(256) << 20) + 1), 0);
    expectUnreadable("enormous", enormous);
}
