// Applying marks with the desktop's real Trash (GIO) under the test's own data folder: exactly the
// verified duplicates go, every failure leaves its file in place with the reason, keep marks move
// nothing, and the apply never blocks the event loop.
#include "ModelTestSupport.h"
#include "model/ReviewState.h"

#include <QSignalSpy>
#include <QUrl>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;
using State = ReviewItem::State;
namespace fs = std::filesystem;

namespace {

const std::string notIdentical = "no longer byte-identical to the copy being kept";

class ApplyFixture : public ::testing::Test {
  protected:
    void SetUp() override { ReviewState::setStateDirectoryOverride(dir.path("state")); }
    void TearDown() override { ReviewState::setStateDirectoryOverride(std::nullopt); }

    static std::string trashFolder() { return qgetenv("XDG_DATA_HOME").toStdString() + "/Trash"; }

    // Each original path recorded in the Trash's info files, with the file now holding it.
    static std::map<std::string, std::string> trashed() {
        std::map<std::string, std::string> files;
        std::error_code error;
        for (fs::directory_iterator entry(trashFolder() + "/info", error), end;
             !error && entry != end; entry.increment(error)) {
            std::istringstream info(readFile(entry->path()));
            for (std::string line; std::getline(info, line);)
                if (line.starts_with("Path="))
                    files[QUrl::fromPercentEncoding(QByteArray::fromStdString(line.substr(5)))
                              .toStdString()] =
                        trashFolder() + "/files/" + entry->path().stem().string();
        }
        return files;
    }

    void load(std::vector<DuplicateGroup> groups) {
        session.load(resultOf(std::move(groups)), {dir.path()});
    }
    State stateOf(const char* name) const { return session.item(dir.path(name))->state; }
    std::string reasonOf(const char* name) const {
        return session.item(dir.path(name))->failureReason;
    }

    TempDir dir;
    FakeCloud cloud;
    ReviewSession session{Trash::platform(), cloud};
};

} // namespace

TEST_F(ApplyFixture, MovesExactlyTheVerifiedDuplicatesToTheTrash) {
    const std::string photo = randomBytes(300000, 1);
    load({writeGroup(dir, "keep.jpg", {"a.jpg", "b.jpg"}, photo),
          writeGroup(dir, "keep.mov", {"c.mov"}, "video"),
          writeGroup(dir, "keep.png", {"d.png"}, "png")});
    session.mark(dir.path("a.jpg"), Decision::discard);
    session.mark(dir.path("b.jpg"), Decision::discard);
    session.mark(dir.path("c.mov"), Decision::keep);
    QSignalSpy applying(&session, &ReviewSession::isApplyingChanged);
    const auto before = trashed();

    session.apply(true);
    // The comparisons run in the background: nothing has happened yet.
    EXPECT_TRUE(session.isApplying());
    EXPECT_EQ(stateOf("a.jpg"), State::pending);
    ASSERT_TRUE(waitUntil([&] { return !session.isApplying(); }));
    EXPECT_EQ(applying.count(), 2);

    EXPECT_EQ(stateOf("a.jpg"), State::trashed);
    EXPECT_EQ(stateOf("b.jpg"), State::trashed);
    EXPECT_EQ(stateOf("c.mov"), State::kept);
    EXPECT_EQ(stateOf("d.png"), State::pending);
    auto now = trashed();
    for (const auto& [path, file] : before)
        now.erase(path);
    ASSERT_EQ(now.size(), 2u);
    EXPECT_EQ(readFile(now.at(dir.path("a.jpg"))), photo);
    EXPECT_EQ(readFile(now.at(dir.path("b.jpg"))), photo);
    EXPECT_FALSE(fs::exists(dir.path("a.jpg")));
    EXPECT_EQ(readFile(dir.path("keep.jpg")), photo);
    EXPECT_TRUE(fs::exists(dir.path("c.mov")));
    EXPECT_EQ(session.bytesCleared(), 600000);
    EXPECT_EQ(session.selection(), dir.path("d.png"));
    // Trashed pairs stay in the saved marks.
    const auto saved = ReviewState::read(*session.stateURL());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->at(dir.path("a.jpg")), Decision::discard);
    EXPECT_EQ(saved->size(), 3u);
}

TEST_F(ApplyFixture, MissingDataFolderIsCreatedAndTheWorkingFolderStaysEmpty) {
    const std::string dataFolder = qgetenv("XDG_DATA_HOME").toStdString();
    fs::remove_all(dataFolder);
    const std::string workingFolder = dir.mkdir("cwd");
    const fs::path previous = fs::current_path();
    fs::current_path(workingFolder);
    load({writeGroup(dir, "keep.jpg", {"a.jpg"}, "photo")});
    session.markAllPending(Decision::discard);
    applyAndWait(session, true);
    fs::current_path(previous);

    EXPECT_EQ(stateOf("a.jpg"), State::trashed);
    EXPECT_TRUE(fs::is_regular_file(dataFolder + "/Trash/files/a.jpg"));
    EXPECT_TRUE(fs::is_regular_file(dataFolder + "/Trash/info/a.jpg.trashinfo"));
    EXPECT_TRUE(fs::is_empty(workingFolder));
}

TEST_F(ApplyFixture, FileSystemWithoutATrashFailsCleanlyAndTheFileStays) {
    struct stat shm {
    }, tmp{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.path().c_str(), &tmp) != 0 ||
        shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "needs /dev/shm as a file system of its own";
    std::string folder = "/dev/shm/quillmere-test-XXXXXX";
    ASSERT_TRUE(::mkdtemp(folder.data()));
    const std::string keep = folder + "/keep.jpg", duplicate = folder + "/a.jpg";
    {
        std::ofstream(keep) << "photo";
        std::ofstream(duplicate) << "photo";
    }
    session.load(resultOf({DuplicateGroup{MediaKind::photo, 5, keep, {duplicate}}}), {folder});
    session.mark(duplicate, Decision::discard);
    applyAndWait(session, true);
    const bool stayed = readFile(duplicate) == "photo";
    fs::remove_all(folder);

    const auto item = *session.item(duplicate);
    EXPECT_EQ(item.state, State::failed);
    EXPECT_FALSE(item.failureReason.empty());
    EXPECT_NE(item.failureReason, notIdentical);
    EXPECT_TRUE(stayed);
    EXPECT_FALSE(trashed().count(duplicate));
}

TEST_F(ApplyFixture, EveryFailureLeavesItsDuplicateInPlaceWithTheReason) {
    load({writeGroup(dir, "k1.jpg", {"missing-keeper.jpg"}, "one"),
          writeGroup(dir, "k2.jpg", {"edited-keeper.jpg"}, "two"),
          writeGroup(dir, "k3.jpg", {"vanished.jpg"}, "three"),
          writeGroup(dir, "k4.jpg", {"placeholder.jpg"}, "four"),
          writeGroup(dir, "k5.jpg", {"placeholder-keeper.jpg"}, "five"),
          writeGroup(dir, "k6.jpg", {"hard-link.jpg"}, "six"),
          writeGroup(dir, "k7.jpg", {"linked-keeper.jpg"}, "seven")});
    fs::remove(dir.path("k1.jpg"));
    dir.write("k2.jpg", "TWO");
    fs::remove(dir.path("vanished.jpg"));
    // Different content too: a comparison would name it, so the reason proves it was not read.
    dir.write("placeholder.jpg", "FOUR");
    cloud.placeholders = {dir.path("placeholder.jpg"), dir.path("k5.jpg")};
    fs::remove(dir.path("hard-link.jpg"));
    fs::create_hard_link(dir.path("k6.jpg"), dir.path("hard-link.jpg"));
    fs::remove(dir.path("k7.jpg"));
    fs::create_symlink(dir.path("linked-keeper.jpg"), dir.path("k7.jpg"));
    session.markAllPending(Decision::discard);
    const auto before = trashed();
    applyAndWait(session, true);

    const std::string cloudReason = "cloud storage has not downloaded this file yet — open it "
                                    "once in the file manager, then use Retry failed";
    const std::string sameFile =
        "this is the same file as the copy being kept, not a second copy of it";
    EXPECT_EQ(reasonOf("missing-keeper.jpg"), "the copy it duplicates is missing");
    EXPECT_EQ(reasonOf("edited-keeper.jpg"), notIdentical);
    EXPECT_EQ(reasonOf("vanished.jpg"), notIdentical);
    EXPECT_EQ(reasonOf("placeholder.jpg"), cloudReason);
    EXPECT_EQ(reasonOf("placeholder-keeper.jpg"), cloudReason);
    EXPECT_EQ(reasonOf("hard-link.jpg"), sameFile);
    EXPECT_EQ(reasonOf("linked-keeper.jpg"), sameFile);
    EXPECT_EQ(session.failedCount(), 7);
    EXPECT_EQ(trashed(), before);
    for (const auto* name : {"missing-keeper.jpg", "edited-keeper.jpg", "placeholder.jpg",
                             "placeholder-keeper.jpg", "hard-link.jpg", "linked-keeper.jpg"})
        EXPECT_TRUE(fs::exists(dir.path(name))) << name;
    EXPECT_EQ(readFile(dir.path("k7.jpg")), "seven");
}

TEST_F(ApplyFixture, TrashRefusalBecomesTheReasonAndNothingIsDeleted) {
    TempDir trashFolder;
    FolderTrash trash(trashFolder.path());
    ReviewSession faked(trash, cloud);
    faked.load(resultOf({writeGroup(dir, "keep.jpg", {"a.jpg", "b.jpg"}, "photo")}), {dir.path()});
    trash.refuse(dir.path("a.jpg"));
    faked.markAllPending(Decision::discard);
    applyAndWait(faked, true);
    EXPECT_EQ(faked.item(dir.path("a.jpg"))->failureReason, "refused by the test");
    EXPECT_EQ(readFile(dir.path("a.jpg")), "photo");
    EXPECT_EQ(faked.item(dir.path("b.jpg"))->state, State::trashed);
    EXPECT_EQ(trash.requests().size(), 2u);
}

TEST_F(ApplyFixture, WithoutRemovingOnlyKeepMarksAreCarriedOut) {
    load({writeGroup(dir, "keep.jpg", {"a.jpg", "b.jpg"}, "photo")});
    session.mark(dir.path("a.jpg"), Decision::discard);
    session.mark(dir.path("b.jpg"), Decision::keep);
    applyAndWait(session, false);
    EXPECT_EQ(stateOf("a.jpg"), State::pending);
    EXPECT_EQ(session.markedForDiscard().size(), 1u);
    EXPECT_EQ(stateOf("b.jpg"), State::kept);
    EXPECT_TRUE(fs::exists(dir.path("a.jpg")));
    EXPECT_TRUE(fs::exists(dir.path("b.jpg")));
}

TEST_F(ApplyFixture, NothingMarkedChangesNoStateButSavesAndSelectsTheFirstPair) {
    load({writeGroup(dir, "keep.jpg", {"a.jpg", "b.jpg"}, "photo")});
    session.setSelection(dir.path("b.jpg"));
    applyAndWait(session, true);
    EXPECT_EQ(session.count(ReviewSession::Filter::pending), 2);
    EXPECT_EQ(session.selection(), dir.path("a.jpg"));
    EXPECT_EQ(readFile(*session.stateURL()), "{}");
}

TEST_F(ApplyFixture, MarksChangedDuringTheApplyWinAndASecondApplyIsIgnored) {
    load({writeGroup(dir, "keep.jpg", {"a.jpg", "b.jpg"}, randomBytes(200000, 3))});
    session.markAllPending(Decision::discard);
    session.apply(true);
    session.apply(true);
    session.mark(dir.path("b.jpg"), Decision::keep);
    ASSERT_TRUE(waitUntil([&] { return !session.isApplying(); }));
    EXPECT_EQ(stateOf("a.jpg"), State::trashed);
    EXPECT_EQ(stateOf("b.jpg"), State::kept);
    EXPECT_TRUE(fs::exists(dir.path("b.jpg")));
}
