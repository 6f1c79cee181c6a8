// The tool as a user without privileges (nobody, when the tests run as root as CI does): folders
// and files it may not read, folders it may not write, for the scan, the set-aside and the undo.
// What it may not read it counts or passes over; what it may not move stays where it was with
// the system's reason; nothing is lost.
#include "Inventory.h"
#include "ToolUnderTest.h"
#include "move/Mover.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quillmere;
using quillmere::testing::account;
using quillmere::testing::InputKind;
using quillmere::testing::Inventory;
using quillmere::testing::manifestsUnder;
using quillmere::testing::ProcessOptions;
using quillmere::testing::ProcessResult;
using quillmere::testing::promisesHold;
using quillmere::testing::randomBytes;
using quillmere::testing::snapshot;
using quillmere::testing::ToolUnderTest;
using Stream = quillmere::testing::InteractiveProcess::Stream;
namespace fs = std::filesystem;

namespace {

constexpr auto everyone = fs::perms::all;
constexpr auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;

// Every folder below `root`, `root` included, writable by the unprivileged user.
void openToEveryone(const std::string& root) {
    fs::permissions(root, everyone);
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_directory())
            fs::permissions(entry.path(), everyone);
}

// Restores a permission when the test ends, so that the fixture can be removed by any user.
class Permission {
  public:
    Permission(std::string path, fs::perms perms) : path_(std::move(path)) {
        fs::permissions(path_, perms);
    }
    ~Permission() { fs::permissions(path_, everyone); }
    Permission(const Permission&) = delete;
    Permission& operator=(const Permission&) = delete;

  private:
    std::string path_;
};

// Photo `index` kept at A/IMG_<index>.jpg, its copy at <copyFolder>/IMG_<index> copy.jpg.
void writePair(const ToolUnderTest& tool, int index, const std::string& copyFolder) {
    const std::string content = randomBytes(1000 + std::size_t(index), std::uint32_t(index + 1));
    const std::string name = "IMG_" + std::to_string(index);
    tool.work.write("A/" + name + ".jpg", content);
    tool.work.write(copyFolder + "/" + name + " copy.jpg", content);
}

#define SKIP_UNLESS_UNPRIVILEGED_RUNS_POSSIBLE()                                                   \
    if (const auto why = ToolUnderTest::whyNoUnprivilegedRun())                                    \
    GTEST_SKIP() << *why

} // namespace

TEST(PermissionTest, FolderThatCannotBeReadIsPassedOver) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_POSSIBLE();
    const ToolUnderTest tool;
    writePair(tool, 1, "A/Copies");
    writePair(tool, 2, "A/Locked");
    openToEveryone(tool.at("A"));
    const Permission locked(tool.at("A/Locked"), fs::perms::none);
    const auto before = Inventory::of({tool.at("A")});

    const ProcessResult result = tool.runUnprivileged({"A", "--move", "--yes", "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Media files scanned : 3\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Moved   : 1 file(s)"), std::string::npos) << result.out;
    fs::permissions(tool.at("A/Locked"), everyone);
    const auto accounting = account(before, {tool.at("A")});
    EXPECT_TRUE(promisesHold(accounting));
    ASSERT_EQ(accounting.records.size(), 1u);
    EXPECT_EQ(accounting.records[0].from, tool.at("A/Copies/IMG_1 copy.jpg"));
}

TEST(PermissionTest, FileThatCannotBeReadIsCountedAndNeverGrouped) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_POSSIBLE();
    const ToolUnderTest tool;
    writePair(tool, 1, "A/Copies");
    openToEveryone(tool.at("A"));
    const Permission unreadable(tool.at("A/Copies/IMG_1 copy.jpg"), fs::perms::none);
    const auto before = snapshot(tool.at("A"));

    const ProcessResult result = tool.runUnprivileged({"A", "--move", "--yes", "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Unreadable (skipped): 1\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("No duplicates to move.\n"), std::string::npos) << result.out;
    EXPECT_TRUE(snapshot(tool.at("A")) == before);
}

// Without the right to write the root, not even the review folder can be made.
TEST(PermissionTest, RootThatCannotBeWrittenSkipsEveryMove) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_POSSIBLE();
    const ToolUnderTest tool;
    writePair(tool, 1, "A/Copies");
    writePair(tool, 2, "A/Copies");
    openToEveryone(tool.at("A"));
    const Permission root(tool.at("A"), readOnly);
    const auto before = snapshot(tool.at("A"));

    const ProcessResult result = tool.runUnprivileged({"A", "--move", "--yes", "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Moved   : 0 file(s), 0.0 B\nSkipped : 2 (left exactly where they "
                              "were)\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("    move failed: " + tool.at("A/_duplicates_review") +
                              ": Permission denied\n"),
              std::string::npos)
        << result.out;
    EXPECT_TRUE(snapshot(tool.at("A")) == before);
}

// A copy in a folder that may not be written cannot be renamed out of it: it stays, the others
// move, and the manifest records exactly the ones that moved.
TEST(PermissionTest, CopyInAFolderThatCannotBeWrittenStays) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_POSSIBLE();
    const ToolUnderTest tool;
    writePair(tool, 1, "A/Copies");
    writePair(tool, 2, "A/Fixed");
    openToEveryone(tool.at("A"));
    const Permission fixed(tool.at("A/Fixed"), readOnly);
    const auto before = Inventory::of({tool.at("A")});

    const ProcessResult result = tool.runUnprivileged({"A", "--move", "--yes", "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Skipped : 1 (left exactly where they were)\n  " +
                              tool.at("A/Fixed/IMG_2 copy.jpg") +
                              "\n    move failed: Permission denied\n"),
              std::string::npos)
        << result.out;
    const auto accounting = account(before, {tool.at("A")});
    EXPECT_TRUE(promisesHold(accounting));
    ASSERT_EQ(accounting.records.size(), 1u);
    EXPECT_EQ(accounting.records[0].from, tool.at("A/Copies/IMG_1 copy.jpg"));
}

// The confirmation prompt is the hook: the scan has compared the pair, then the kept file stops
// being readable. The last comparison before the move fails, so the copy stays.
TEST(PermissionTest, KeeperThatBecomesUnreadableBeforeTheMoveKeepsItsCopy) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_POSSIBLE();
    const ToolUnderTest tool;
    writePair(tool, 1, "A/Copies");
    openToEveryone(tool.at("A"));
    const auto before = snapshot(tool.at("A"));

    ProcessOptions onTerminal;
    onTerminal.inputKind = InputKind::terminal;
    const auto run = tool.startUnprivileged({"A", "--move", "--quiet"}, onTerminal);
    ASSERT_TRUE(run->waitFor(Stream::out, "Type 'yes' to continue: "));
    const Permission unreadable(tool.at("A/IMG_1.jpg"), fs::perms::none);
    run->send("yes\n");
    const ProcessResult result = run->finish();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("    no longer byte-identical to " + tool.at("A/IMG_1.jpg") + "\n"),
              std::string::npos)
        << result.out;
    fs::permissions(tool.at("A/IMG_1.jpg"), everyone);
    auto after = snapshot(tool.at("A"));
    after.erase("_duplicates_review");
    after.erase("_duplicates_review/Copies");
    EXPECT_TRUE(after == before);
}

// The undo may not write one original folder: that record stays set aside with the reason, the
// others are put back, and the run ends with exit code 1.
TEST(PermissionTest, UndoIntoAFolderThatCannotBeWrittenSkipsThatRecord) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_POSSIBLE();
    const ToolUnderTest tool;
    writePair(tool, 1, "A/Copies");
    writePair(tool, 2, "A/Fixed");
    const auto before = Inventory::of({tool.at("A")});
    const ProcessResult moved = tool.run({"A", "--move", "--yes", "--quiet"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    openToEveryone(tool.at("A"));
    const Permission fixed(tool.at("A/Fixed"), readOnly);

    const std::string manifest = manifestsUnder({tool.at("A")}).at(0);
    const ProcessResult undone = tool.runUnprivileged({"--undo", manifest});
    EXPECT_EQ(undone.exitCode, 1) << undone.err;
    EXPECT_EQ(undone.out,
              "Restored 1 file(s) to their original locations.\nSkipped 1:\n  " +
                  tool.at("A/_duplicates_review/Fixed/IMG_2 copy.jpg") + "\n    restore failed: " +
                  tool.at("A/_duplicates_review/Fixed/IMG_2 copy.jpg") + ": Permission denied\n");
    EXPECT_TRUE(promisesHold(account(before, {tool.at("A")})));
}
