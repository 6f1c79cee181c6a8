// File names a library may hold, through the whole tool: scan, reports, set-aside and undo.
// Spaces, quotes, commas, line breaks, backslashes and emoji; one name in its composed and its
// decomposed Unicode spelling; names that are not UTF-8; names of the longest length a folder
// allows; folders nested deeper than a path may be long. Each round trip ends with every file
// back byte for byte under its exact name.
#include "Inventory.h"
#include "RunProcess.h"
#include "ToolUnderTest.h"
#include "move/Mover.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmere;
using quillmere::testing::account;
using quillmere::testing::Inventory;
using quillmere::testing::manifestsUnder;
using quillmere::testing::ProcessResult;
using quillmere::testing::promisesHold;
using quillmere::testing::randomBytes;
using quillmere::testing::readFile;
using quillmere::testing::snapshot;
using quillmere::testing::ToolUnderTest;
namespace fs = std::filesystem;

namespace {

// The rows of an RFC 4180 file: fields separated by commas, quoted when they hold a comma, a
// quote or a line break, a quote inside doubled.
std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                rows.back().back() += text[++i];
            else if (c == '"')
                quoted = false;
            else
                rows.back().back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\n') {
            rows.emplace_back(1);
        } else {
            rows.back().back() += c;
        }
    }
    if (rows.back() == std::vector<std::string>(1))
        rows.pop_back();
    return rows;
}

// Sets the files of `names` aside and undoes it: every name must survive both ways exactly.
// Each name gets a copy under Copies/ with " copy" before its extension.
void expectRoundTrip(const ToolUnderTest& tool, const std::vector<std::string>& names) {
    std::set<std::string> paths;
    for (std::size_t index = 0; index < names.size(); ++index) {
        const std::string content = randomBytes(500 + index, std::uint32_t(index + 1));
        const fs::path name(names[index]);
        const std::string copy =
            "A/Copies/" + name.stem().string() + " copy" + name.extension().string();
        tool.work.write("A/" + names[index], content);
        tool.work.write(copy, content);
        paths.insert(tool.at("A/" + names[index]));
        paths.insert(tool.at(copy));
    }
    const auto before = snapshot(tool.at("A"));
    const auto digests = Inventory::of({tool.at("A")});

    const ProcessResult moved = tool.run({"A", "--move", "--yes", "--quiet"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_NE(moved.out.find("Moved   : " + std::to_string(names.size()) + " file(s)"),
              std::string::npos)
        << moved.out;

    const auto rows = csvRows(readFile(tool.at("quillmere_report.csv")));
    ASSERT_EQ(rows.size(), 1 + 2 * names.size());
    std::set<std::string> listed;
    for (std::size_t row = 1; row < rows.size(); ++row) {
        ASSERT_EQ(rows[row].size(), 6u) << rows[row][0];
        listed.insert(rows[row][5]);
    }
    EXPECT_EQ(listed, paths);
    const std::string report = readFile(tool.at("quillmere_report.txt"));
    for (const auto& path : paths)
        EXPECT_NE(report.find("  " + path + "\n"), std::string::npos) << path;

    const auto accounting = account(digests, {tool.at("A")});
    EXPECT_TRUE(promisesHold(accounting));
    EXPECT_EQ(accounting.records.size(), names.size());

    const auto manifests = manifestsUnder({tool.at("A")});
    ASSERT_EQ(manifests.size(), 1u);
    const ProcessResult undone = tool.run({"--undo", manifests[0]});
    EXPECT_EQ(undone.exitCode, 0) << undone.err;
    auto after = snapshot(tool.at("A"));
    std::erase_if(after,
                  [](const auto& entry) { return entry.first.starts_with("_duplicates_review"); });
    EXPECT_TRUE(after == before);
}

} // namespace

TEST(PathNameTest, SpacesQuotesCommasLineBreaksAndBackslashesRoundTrip) {
    const ToolUnderTest tool;
    expectRoundTrip(tool,
                    {"my photo.jpg", "say \"cheese\".jpg", "a,b.jpg", "line\nbreak.jpg",
                     "carriage\rreturn.mov", "back\\slash.jpg", "tab\there.png", "Ünïcødé ☃ 😀.jpg",
                     "folder, \"odd\"\\/in\nside.jpg", "'single' $HOME `x` ; & |.jpg"});
}

// On Linux two spellings of one text are two names: both are files, the copy is set aside under
// its own spelling, and the undo gives back exactly those bytes.
TEST(PathNameTest, ComposedAndDecomposedSpellingsOfOneNameAreTwoFiles) {
    const ToolUnderTest tool;
    const std::string composed = "caf\xc3\xa9.jpg";
    const std::string decomposed = "cafe\xcc\x81.jpg";
    const std::string content = randomBytes(4000, 7);
    tool.work.write("A/" + composed, content);
    tool.work.write("A/" + decomposed, content);
    const auto before = snapshot(tool.at("A"));
    const auto digests = Inventory::of({tool.at("A")});

    const ProcessResult moved = tool.run({"A", "--move", "--yes", "--quiet"});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    const auto accounting = account(digests, {tool.at("A")});
    EXPECT_TRUE(promisesHold(accounting));
    ASSERT_EQ(accounting.records.size(), 1u);
    const MoveRecord& record = accounting.records[0];
    EXPECT_TRUE(record.from == tool.at("A/" + composed) ||
                record.from == tool.at("A/" + decomposed));
    EXPECT_EQ(record.to,
              tool.at("A/_duplicates_review/") + fs::path(record.from).filename().string());
    EXPECT_NE(record.verifiedAgainst, record.from);

    const ProcessResult undone = tool.run({"--undo", manifestsUnder({tool.at("A")}).at(0)});
    EXPECT_EQ(undone.exitCode, 0) << undone.err;
    auto after = snapshot(tool.at("A"));
    std::erase_if(after,
                  [](const auto& entry) { return entry.first.starts_with("_duplicates_review"); });
    EXPECT_TRUE(after == before);
}

// A name that is not UTF-8 cannot be written into a report or a manifest, so such a file is
// counted and never grouped or moved, even when a copy of it exists under a good name.
TEST(PathNameTest, NamesThatAreNotUtf8AreCountedAndNeverMoved) {
    const ToolUnderTest tool;
    const std::string content = randomBytes(3000, 8);
    tool.work.write("A/good.jpg", content);
    tool.work.write("A/bad\xff.jpg", content);
    tool.work.write("A/\xc3(\xa9/also.jpg", content);
    const auto before = snapshot(tool.at("A"));

    const ProcessResult result = tool.run({"A", "--move", "--yes", "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Names not UTF-8     : 2 (skipped, such paths cannot be reported)"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("No duplicates to move.\n"), std::string::npos) << result.out;
    EXPECT_TRUE(snapshot(tool.at("A")) == before);
}

namespace {

// A name of `length` bytes ending in ".jpg".
std::string nameOfLength(std::size_t length, char fill) {
    return std::string(length - 4, fill) + ".jpg";
}

} // namespace

TEST(PathNameTest, LongestNamesRoundTrip) {
    const ToolUnderTest tool;
    // " copy" is added to the copy's name, so the original may only be 250 bytes long.
    expectRoundTrip(tool, {nameOfLength(250, 'n'), "d/" + nameOfLength(250, 'e')});
    EXPECT_EQ(nameOfLength(255, 'x').size(), std::size_t(NAME_MAX));
}

// An earlier copy of the same name in the review folder makes the next one "<name> (2)", which no
// longer fits in a name: that copy is skipped with the system's reason and stays where it was.
TEST(PathNameTest, LongestNameThatCannotTakeANumberIsSkipped) {
    const ToolUnderTest tool;
    const std::string name = nameOfLength(NAME_MAX, 'z');
    const std::string content = randomBytes(2500, 9);
    tool.work.write("A/" + name, content);
    tool.work.write("A/Copies/" + name, content);
    const std::string earlier = tool.work.write("A/_duplicates_review/" + name, "earlier run");
    const auto digests = Inventory::of({tool.at("A")});

    const ProcessResult result = tool.run({"A", "--move", "--yes", "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Moved   : 0 file(s), 0.0 B\nSkipped : 1 (left exactly where they "
                              "were)\n  " +
                              tool.at("A/" + name) + "\n    move failed: File name too long\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(readFile(earlier), "earlier run");
    EXPECT_TRUE(promisesHold(account(digests, {tool.at("A")})));
}

namespace {

// A chain of folders, each named with `component` bytes, made one level at a time relative to
// the last, so that the whole path can exceed PATH_MAX. Returns the descriptor of the deepest.
int makeDeepChain(const std::string& top, std::size_t levels, std::size_t component) {
    int folder = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string name(component, 'd');
    for (std::size_t level = 0; level < levels && folder >= 0; ++level) {
        if (::mkdirat(folder, name.c_str(), 0755) != 0 && errno != EEXIST)
            return -1;
        const int next = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        folder = next;
    }
    return folder;
}

void writeAt(int folder, const std::string& name, const std::string& content) {
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(::write(fd, content.data(), content.size()), ssize_t(content.size()));
    ::close(fd);
}

std::string readAt(int folder, const std::string& name) {
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "";
    std::string content(1 << 16, '\0');
    const ssize_t count = ::read(fd, content.data(), content.size());
    ::close(fd);
    content.resize(count > 0 ? std::size_t(count) : 0);
    return content;
}

} // namespace

// The walk goes deeper than a path can be long (it opens each folder relative to the last), but
// no file there can be opened by its path: such files are counted unreadable and left alone,
// while the rest of the tree is scanned and set aside as usual.
TEST(PathNameTest, FilesDeeperThanTheLongestPathAreLeftAlone) {
    const ToolUnderTest tool;
    const std::string deepContent = randomBytes(2000, 10);
    const std::string shallowContent = randomBytes(2100, 11);
    tool.work.write("A/IMG_1.jpg", shallowContent);
    tool.work.write("A/Copies/IMG_1 copy.jpg", shallowContent);
    const int deepest = makeDeepChain(tool.at("A"), 24, 200);
    ASSERT_GE(deepest, 0) << std::strerror(errno);
    writeAt(deepest, "deep.jpg", deepContent);
    writeAt(deepest, "deep copy.jpg", deepContent);

    const ProcessResult result = tool.run({"A", "--move", "--yes", "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Media files scanned : 4\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Unreadable (skipped): 2\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Moved   : 1 file(s), 2.1 KB\n"), std::string::npos) << result.out;
    EXPECT_TRUE(readAt(deepest, "deep.jpg") == deepContent);
    EXPECT_TRUE(readAt(deepest, "deep copy.jpg") == deepContent);
    ::close(deepest);
    // A plain recursive removal cannot name what lies this deep; rm walks by descriptors.
    quillmere::testing::runProcess("rm", {"-rf", tool.at("A")});
}
