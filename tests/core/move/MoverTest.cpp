// The manifest's JSON (its exact layout, strict but tolerant reading), and the set-aside mover and
// the undo on real files: every check before a move, the review folders, the manifests, and that
// nothing is ever lost, replaced or moved where it may not go. Faults during a run (files changing,
// full volumes, an undo into a changed tree) are the cases of tests/reliability.
#include "move/Mover.h"

#include "Error.h"
#include "TempDir.h"
#include "TmpfsMount.h"
#include "scan/ScanResult.h"

#include <atomic>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace quillmere {
namespace {

using testing::readFile;
using testing::TempDir;
namespace fs = std::filesystem;

constexpr const char* review = "_duplicates_review";

// The path with every link resolved: the form in which the mover reports roots and destinations.
std::string real(const std::string& path) {
    return fs::weakly_canonical(path).string();
}

DuplicateGroup group(std::string keep, std::vector<std::string> remove, std::int64_t size = 4) {
    return {MediaKind::photo, size, std::move(keep), std::move(remove)};
}

// Every file and link under `root` with its content (a link's target), to show what changed.
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_symlink() || entry.is_regular_file())
            files[fs::relative(entry.path(), root).string()] =
                entry.is_symlink() ? "-> " + fs::read_symlink(entry.path()).string()
                                   : readFile(entry.path().string());
    return files;
}

using namespace std::chrono;

const system_clock::time_point createdAt = sys_days{2026y / 12 / 5} + 18h + 53min + 13s;

// The message of the Error that decoding `json` throws, or "" when it does not throw.
std::string decodeError(std::string_view json) {
    try {
        MoveManifest::decode(json);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

std::string withRecord(std::string_view record, std::string_view date = "2026-12-05T18:53:13Z") {
    return R"({"root": "/r", "createdAt": ")" + std::string(date) + R"(", "records": [)" +
           std::string(record) + "]}";
}

TEST(MoveManifestTest, WritesSortedKeysPrettyPrintedWithEscapedSlashesInWholeSeconds) {
    const MoveManifest manifest{
        "/V", createdAt + 700ms, {{"/V/2024/IMG 1.jpg", "/V/t", 12, "/V/k"}}};
    EXPECT_EQ(manifest.encode(), R"({
  "createdAt": "2026-12-05T18:53:13Z",
  "records": [
    {
      "from": "\/V\/2024\/IMG 1.jpg",
      "sizeBytes": 12,
      "to": "\/V\/t",
      "verifiedAgainst": "\/V\/k"
    }
  ],
  "root": "\/V"
})");
}

TEST(MoveManifestTest, ReadsBackWhatItWritesAndToleratesOtherWriters) {
    // Non-ASCII, quotes, a backslash right before a slash, control characters.
    const std::string path = "/r/\"\xC3\x9C\xF0\x9F\x98\x80\\/\t\n.heic";
    const MoveManifest manifest{path, createdAt, {{path, path + "/to", INT64_MAX, path}}};
    EXPECT_EQ(MoveManifest::decode(manifest.encode()), manifest);
    // Key order, unknown keys, compact spacing, both forms of the slash, zone offsets.
    EXPECT_EQ(MoveManifest::decode(R"({"zzz":{"x":[1,[2,{"y":null}],"\/"]},"records":[{"to":"/t",)"
                                   R"("verifiedAgainst":"\/k","sizeBytes":0,"extra":[true,1.5],)"
                                   R"("from":"/r/a"}],"root":"\/r","createdAt":)"
                                   R"("2026-12-05T19:53:13+01:00","aaa":-1})"),
              (MoveManifest{"/r", createdAt, {{"/r/a", "/t", 0, "/k"}}}));
}

TEST(MoveManifestTest, RefusesAnythingElseSayingWhatIsWrong) {
    const std::string good =
        R"({"from": "/a", "sizeBytes": 5, "to": "/t", "verifiedAgainst": "/k"})";
    const auto withSize = [&](const std::string& size) {
        return withRecord(std::string(good).replace(good.find("5"), 1, size));
    };
    for (const auto& [json, message] : std::vector<std::pair<std::string, std::string>>{
             {R"({"createdAt": "2026-12-05T18:53:13Z", "records": []})", "missing key \"root\""},
             {withRecord(good + R"(, {"from": "/b", "sizeBytes": 5, "to": "/t"})"),
              "missing key \"verifiedAgainst\" in record 2"},
             {withRecord(good + ", []"), "record 2 is an array, not an object"},
             {withSize("-1"), "\"sizeBytes\" in record 1 is negative: -1"},
             {withSize("9223372036854775808"),
              "\"sizeBytes\" in record 1 is too large: 9223372036854775808"},
             {withRecord("", std::string(100000, '9')), // not repeated in the message
              "\"createdAt\" is not an ISO 8601 date-time in whole seconds such as "
              "2026-12-05T18:53:13Z"},
             {"", "the file is empty"},
             {withRecord("\"/r/\xc0\xaf\""), "the file is not valid UTF-8 text"}}) // overlong "/"
        EXPECT_EQ(decodeError(json), message) << json.substr(0, 100);
    for (const std::string date : {"2026-12-05T18:53:13.5Z", "2026-12-05 18:53:13Z",
                                   "2025-02-29T00:00:00Z", "2026-12-31T23:59:60Z", ""})
        EXPECT_TRUE(decodeError(withRecord("", date)).starts_with("\"createdAt\" is not")) << date;
    // Every truncation of a valid manifest fails; none reads partially.
    const std::string complete = withRecord(good);
    for (std::size_t length = 1; length < complete.size(); ++length)
        EXPECT_TRUE(decodeError(complete.substr(0, length)).starts_with("not valid JSON"))
            << length;
}

TEST(MoverTest, SetsAsideIntoTheReviewFolderOfTheMostSpecificRootAndUndoPutsEveryFileBack) {
    TempDir dir;
    const auto content = testing::randomBytes(300000, 1);
    const auto keep = dir.write("V/A/keep.jpg", content);
    const auto inner = dir.write("V/A/B/x.jpg", content);
    const auto outer = dir.write("V/A/y.jpg", content);
    const auto sibling = dir.write("V/A/Bc/x.jpg", content);
    fs::create_directory_symlink(dir.path("V/A"), dir.path("link"));
    const auto viaLink = dir.write("link/c/notes", content);
    const auto before = snapshot(dir.path("V"));

    // The outer root, through a link and with a trailing slash, comes first: the order of the
    // roots must not matter.
    std::vector<MoveProgress> updates;
    Mover mover({dir.path("link/"), dir.path("V/A/B")}, review,
                [&](const MoveProgress& update) { updates.push_back(update); });
    const auto outcome = mover.move({group(keep, {inner, outer, sibling, viaLink}, 300000)});

    const auto a = real(dir.path("V/A"));
    const std::vector<MoveRecord> expected = {
        {inner, a + "/B/_duplicates_review/x.jpg", 300000, keep},
        {outer, a + "/_duplicates_review/y.jpg", 300000, keep},
        {sibling, a + "/_duplicates_review/Bc/x.jpg", 300000, keep},
        {viaLink, a + "/_duplicates_review/c/notes", 300000, keep}};
    EXPECT_EQ(outcome.moved, expected);
    using moveprogress::Moving, moveprogress::Verifying;
    EXPECT_EQ(updates, (std::vector<MoveProgress>{Verifying{0, 4}, Moving{0, 4}, Verifying{1, 4},
                                                  Moving{1, 4}, Verifying{2, 4}, Moving{2, 4},
                                                  Verifying{3, 4}, Moving{3, 4}, Moving{4, 4}}));
    // One manifest per root, in its review folder.
    ASSERT_EQ(outcome.manifestURLs.size(), 2u);
    EXPECT_EQ(fs::path(outcome.manifestURLs[0]).parent_path(), a + "/B/_duplicates_review");
    EXPECT_EQ(Mover::readManifest(outcome.manifestURLs[0]).root, a + "/B");
    EXPECT_EQ(Mover::readManifest(outcome.manifestURLs[0]).records, std::vector{expected[0]});
    EXPECT_EQ(Mover::readManifest(outcome.manifestURLs[1]).records,
              std::vector<MoveRecord>(expected.begin() + 1, expected.end()));

    auto after = before;
    for (const auto& manifest : outcome.manifestURLs) {
        EXPECT_TRUE(Mover::undo(manifest).skipped.empty());
        after[fs::relative(manifest, real(dir.path("V"))).string()] = readFile(manifest);
    }
    EXPECT_EQ(snapshot(dir.path("V")), after);
    // A second undo finds nothing left to put back.
    const auto again = Mover::undo(outcome.manifestURLs[1]);
    EXPECT_EQ(again.restored, 0);
    ASSERT_EQ(again.skipped.size(), 3u);
    EXPECT_EQ(again.skipped[2], (SkippedMove{expected[3].to, "not in the review folder"}));
}

TEST(MoverTest, FilesFailingTheLastChecksStayWhereTheyAreWithTheirReasons) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto twice = dir.write("root/twice.jpg", "same");
    const std::string differs = "no longer byte-identical to " + keep;
    std::vector<std::pair<std::string, std::string>> rows = {
        {dir.write("root/changed.jpg", "SAME"), differs},
        {dir.write("root/longer.jpg", "same+"), differs},
        {dir.write("elsewhere/o.jpg", "same"), "is outside every scan root"},
        {dir.write("rootbis/p.jpg", "same"), "is outside every scan root"},
        {dir.write("root/\xff\xfe.jpg", "same"), "cannot be recorded: the path is not valid UTF-8"},
        {twice, ""}, // moved
        {twice, "no longer on disk"},
        {dir.path("root/./keep.jpg"), "is the same file as " + keep}};
    // A move across file systems would be a copy: it is refused.
    testing::TmpfsMount mount(dir.path("root/card"), "size=1m");
    if (mount.mounted())
        rows.push_back(
            {dir.write("root/card/x.jpg", "same"), "move failed: Invalid cross-device link"});
    std::vector<std::string> copies;
    std::vector<SkippedMove> expected;
    for (const auto& [path, reason] : rows) {
        copies.push_back(path);
        if (!reason.empty())
            expected.push_back({path, reason});
    }
    const auto orphan = dir.write("root/orphan.jpg", "same");
    expected.push_back({orphan, "the file it duplicates is missing: " + dir.path("root/gone.jpg")});
    auto before = snapshot(dir.path());

    const auto outcome =
        Mover({dir.path("root")}, review)
            .move({group(keep, copies), group(dir.path("root/gone.jpg"), {orphan})});

    EXPECT_EQ(outcome.skipped, expected);
    // Only the one file that passed was moved, and recorded.
    before.erase("root/twice.jpg");
    before["root/_duplicates_review/twice.jpg"] = "same";
    before[fs::relative(outcome.manifestURLs.at(0), real(dir.path())).string()] =
        readFile(outcome.manifestURLs[0]);
    EXPECT_EQ(snapshot(dir.path()), before);
    if (!mount.mounted())
        GTEST_SKIP() << mount.why();
}

TEST(MoverTest, NeitherADestinationNorAnEarlierManifestIsEverReplaced) {
    const std::string oldZone = getenv("TZ") ? getenv("TZ") : "";
    setenv("TZ", "ABC-05:30", 1); // manifest names carry the local time
    tzset();
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const auto folder = real(dir.mkdir("root/_duplicates_review")) + "/";
    const auto stampOf = [](std::time_t seconds) {
        std::tm local{};
        localtime_r(&seconds, &local);
        char stamp[32];
        strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        return "_quillmere_manifest_" + std::string(stamp);
    };
    // Earlier manifests for this second and the next few take the plain name and "_2" to "_9", so
    // the runs below need two-digit suffixes, which must still sort after them.
    const auto now = system_clock::to_time_t(system_clock::now());
    for (std::time_t second = now - 1; second <= now + 5; ++second)
        for (const std::string suffix : {"", "_2", "_3", "_4", "_5", "_6", "_7", "_8", "_9"})
            dir.write("root/_duplicates_review/" + stampOf(second) + suffix + ".json", "earlier");
    const auto earlier = snapshot(folder);

    // A dangling link holds the name "notes", and in the second run a file appears at the photo's
    // first free name between the checks and the rename.
    fs::create_symlink(dir.path("nowhere"), folder + "notes");
    std::vector<std::string> destinations;
    for (int run = 0; run < 2; ++run) {
        const auto copy = dir.write("root/2024/IMG_0001.JPG", "same");
        const auto notes = dir.write("root/notes", "same");
        Mover mover({dir.path("root")}, review, [&](const MoveProgress& update) {
            if (run == 1 && update == MoveProgress{moveprogress::Moving{0, 2}})
                dir.write("root/_duplicates_review/2024/IMG_0001 (2).JPG", "someone else's");
        });
        const auto outcome = mover.move({group(keep, {copy, notes})});
        for (const auto& record : outcome.moved)
            destinations.push_back(record.to);
        const auto manifest = Mover::readManifest(outcome.manifestURLs.at(0));
        EXPECT_EQ(manifest.records, outcome.moved);
        const auto name = fs::path(outcome.manifestURLs[0]).filename().string();
        const auto stem = stampOf(system_clock::to_time_t(manifest.createdAt));
        EXPECT_TRUE(name.starts_with(stem)) << name;
        // Readers take the name that sorts last as the newest.
        for (const auto& [other, contents] : snapshot(folder))
            EXPECT_TRUE(!other.starts_with(stem) || other <= name) << other;
    }
    EXPECT_EQ(destinations,
              (std::vector<std::string>{folder + "2024/IMG_0001.JPG", folder + "notes (2)",
                                        folder + "2024/IMG_0001 (3).JPG", folder + "notes (3)"}));
    EXPECT_EQ(readFile(folder + "2024/IMG_0001 (2).JPG"), "someone else's");
    for (const auto& [name, contents] : earlier)
        EXPECT_EQ(readFile(folder + name), contents) << name;
    oldZone.empty() ? unsetenv("TZ") : setenv("TZ", oldZone.c_str(), 1);
    tzset();
}

TEST(MoverTest, StopEndsTheRunAfterTheFileInHandAndKeepsTheManifest) {
    TempDir dir;
    const auto keep = dir.write("root/keep.jpg", "same");
    const std::vector<std::string> copies = {dir.write("root/a.jpg", "same"),
                                             dir.write("root/b.jpg", "same")};
    std::atomic<bool> stop = false;
    Mover mover({dir.path("root")}, review, [&](const MoveProgress& update) {
        stop = stop || std::holds_alternative<moveprogress::Moving>(update);
    });
    const auto outcome = mover.move({group(keep, copies)}, &stop);
    EXPECT_TRUE(outcome.interrupted);
    EXPECT_EQ(outcome.moved.size(), 1u);
    EXPECT_TRUE(fs::exists(copies[1]));
    EXPECT_EQ(Mover::readManifest(outcome.manifestURLs.at(0)).records, outcome.moved);
}

TEST(MoverTest, UndoActsOnlyOnRecordsInsideTheReviewFolderOfTheRoot) {
    TempDir dir;
    const auto root = dir.mkdir("root");
    const auto folder = root + "/_duplicates_review";
    const auto victim = dir.write("victim/passwd", "precious");
    const auto legit = dir.write("root/_duplicates_review/ok.jpg", "ok");
    dir.write("root/_duplicates_review/inner/z.jpg", "z");
    dir.write("outside/escape/e.jpg", "e");
    fs::create_directory_symlink(dir.path("outside/escape"), folder + "/link");
    fs::create_directory_symlink(folder, root + "/_duplicates_reviewer");
    auto before = snapshot(dir.path());

    const std::string outside = "refused: not inside the review folder " + folder;
    const std::string badFrom =
        "refused: the original path is not absolute or contains \".\" or \"..\"";
    const std::string badTo =
        "refused: the path in the review folder is not absolute or contains \".\" or \"..\"";
    const std::vector<std::pair<MoveRecord, std::string>> rows = {
        {{dir.path("restored/passwd"), victim, 1, ""}, outside},
        {{dir.path("restored/x"), folder + "/../../victim/passwd", 1, ""}, badTo},
        {{"relative/x.jpg", folder + "/inner/z.jpg", 1, ""}, badFrom},
        {{dir.path("restored/x"), folder, 1, ""}, outside},
        {{dir.path("restored/x"), root + "/_duplicates_reviewer/inner/z.jpg", 1, ""}, outside},
        {{dir.path("restored/e.jpg"), folder + "/link/e.jpg", 1, ""}, outside}};
    MoveManifest manifest{root, {}, {}};
    std::vector<SkippedMove> expected;
    for (const auto& [record, reason] : rows) {
        manifest.records.push_back(record);
        expected.push_back({record.to, reason});
    }
    manifest.records.push_back({root + "/ok.jpg", legit, 2, ""});

    const auto undone = Mover::undo(dir.write("m.json", manifest.encode()));
    EXPECT_EQ(undone.restored, 1);
    EXPECT_EQ(undone.skipped, expected);
    before.erase("root/_duplicates_review/ok.jpg");
    before["root/ok.jpg"] = "ok";
    before["m.json"] = readFile(dir.path("m.json"));
    EXPECT_EQ(snapshot(dir.path()), before);

    // A manifest that cannot be read is refused whole. One of 256 MiB is still read, as JSON.
    const auto huge = dir.write("huge.json", "{");
    for (const auto size : {std::uintmax_t(256) << 20, (std::uintmax_t(256) << 20) + 1}) {
        fs::resize_file(huge, size);
        try {
            Mover::undo(huge);
            ADD_FAILURE() << size;
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()).ends_with("too large for a manifest"), size & 1);
        }
    }
    for (const auto& path : {dir.write("cut.json", readFile(dir.path("m.json")).substr(0, 99)),
                             dir.path("root"), dir.path("missing.json")})
        EXPECT_THROW(Mover::undo(path), Error) << path;
    EXPECT_TRUE(fs::exists(folder + "/inner/z.jpg"));
}

} // namespace
} // namespace quillmere
