// Saved marks: the state file's place and name, its format, restoring marks in a new session, and
// files that are corrupt, hostile or huge.
#include "model/ReviewState.h"

#include "ModelTestSupport.h"
#include "fs/FileSystem.h"

#include <sys/stat.h>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;

namespace {

// Sets an environment variable for the life of a test.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::string& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, QByteArray::fromStdString(value));
    }
    ~ScopedEnvironment() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

  private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

class ReviewStateFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ReviewState::setStateDirectoryOverride(dir.path("state"));
        result = resultOf({writeGroup(dir, "A/keep.jpg", {"A/a.jpg", "B/b.jpg"}, "photo"),
                           writeGroup(dir, "B/keep.mov", {"A/c.mov"}, "video")});
    }
    void TearDown() override { ReviewState::setStateDirectoryOverride(std::nullopt); }

    std::vector<Decision> decisions(const ReviewSession& session) const {
        std::vector<Decision> found;
        for (const auto& item : session.items())
            found.push_back(item.decision);
        return found;
    }

    TempDir dir;
    ScanResult result;
    const std::vector<std::string> roots{dir.path("A"), dir.path("B")};
    const std::vector<Decision> none = std::vector<Decision>(3, Decision::undecided);
};

} // namespace

TEST(ReviewStateTest, ScanStateFileIsNamedAfterTheSetOfRoots) {
    TempDir dir;
    ReviewState::setStateDirectoryOverride(dir.path("state"));
    EXPECT_EQ(ReviewState::stateFileForScan({"/Volumes/B", "/Volumes/A"}),
              dir.path("state/scan-b7193155d55a1161.json"));
    EXPECT_EQ(ReviewState::stateFileForScan({"/Volumes/A", "/Volumes/B"}),
              dir.path("state/scan-b7193155d55a1161.json"));
    EXPECT_EQ(ReviewState::stateFileForScan({"/Volumes/A"}),
              dir.path("state/scan-a677eb91d30d342f.json"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("state")));
    ReviewState::setStateDirectoryOverride(std::nullopt);

    ScopedEnvironment data("XDG_DATA_HOME", dir.path("data"));
    EXPECT_EQ(ReviewState::stateDirectory(), dir.path("data/Quillmere"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("data/Quillmere")));
}

TEST_F(ReviewStateFixture, WithoutADataFolderMarkingWorksButNothingIsWritten) {
    ReviewState::setStateDirectoryOverride(std::nullopt);
    dir.write("blocked", "a file where the data folder would be");
    ScopedEnvironment data("XDG_DATA_HOME", dir.path("blocked/data"));
    ReviewSession session;
    session.load(result, roots);
    EXPECT_FALSE(session.stateURL());
    session.mark(dir.path("A/a.jpg"), Decision::discard);
    EXPECT_EQ(session.item(dir.path("A/a.jpg"))->decision, Decision::discard);
    EXPECT_EQ(readFile(dir.path("blocked")), "a file where the data folder would be");
}

TEST_F(ReviewStateFixture, MarksSurviveANewSessionOnTheSameRootsInAnyOrder) {
    {
        ReviewSession first;
        first.load(result, roots);
        first.mark(dir.path("A/a.jpg"), Decision::discard);
        first.mark(dir.path("A/c.mov"), Decision::keep);
    }
    ReviewSession second;
    second.load(result, {roots[1], roots[0]});
    EXPECT_EQ(decisions(second),
              (std::vector{Decision::discard, Decision::undecided, Decision::keep}));
    ReviewSession other;
    other.load(result, {roots[0]});
    EXPECT_EQ(decisions(other), none);
}

TEST_F(ReviewStateFixture, FileHoldsTheMarksSortedAndForgetsTheRest) {
    ReviewSession session;
    session.load(result, roots);
    session.mark(dir.path("B/b.jpg"), Decision::keep);
    session.mark(dir.path("A/a.jpg"), Decision::discard);
    const std::string file = *session.stateURL();
    EXPECT_EQ(readFile(file), "{\n  \"" + dir.path("A/a.jpg") + "\": \"discard\",\n  \"" +
                                  dir.path("B/b.jpg") + "\": \"keep\"\n}");
    session.mark(dir.path("A/a.jpg"), Decision::undecided);
    EXPECT_EQ(readFile(file), "{\n  \"" + dir.path("B/b.jpg") + "\": \"keep\"\n}");

    // A pair that is no longer in the review loses its entry at the next save.
    result.groups[0].remove.pop_back();
    session.load(result, roots);
    EXPECT_EQ(session.items().size(), 2u);
    session.mark(dir.path("A/c.mov"), Decision::discard);
    EXPECT_EQ(readFile(file), "{\n  \"" + dir.path("A/c.mov") + "\": \"discard\"\n}");
}

TEST_F(ReviewStateFixture, AcceptsEscapedSlashesAndUndecidedValues) {
    std::string escaped = dir.path("A/a.jpg");
    for (std::size_t at = escaped.find('/'); at != std::string::npos;
         at = escaped.find('/', at + 2))
        escaped.insert(at, "\\");
    const std::string file = *ReviewState::stateFileForScan(roots);
    dir.write("state/" + std::string(FileSystem::lastComponent(file)),
              "{\"" + escaped + "\": \"discard\", \"" + dir.path("A/c.mov") + "\": \"undecided\"}");
    ReviewSession session;
    session.load(result, roots);
    EXPECT_EQ(decisions(session),
              (std::vector{Decision::discard, Decision::undecided, Decision::undecided}));
}

TEST_F(ReviewStateFixture, CorruptOrHostileFilesAreIgnoredWholeAndLeftAlone) {
    const std::string file = *ReviewState::stateFileForScan(roots);
    const std::string a = dir.path("A/a.jpg");
    const std::vector<std::string> corrupt = {
        "",
        "not json",
        "[\"discard\"]",
        "\"discard\"",
        "{\"" + a + "\": \"discard\", \"" + dir.path("B/b.jpg") + "\": \"maybe\"}",
        "{\"" + a + "\": \"Discard\"}",
        "{\"" + a + "\": 1}",
        "{\"" + a + "\": {\"nested\": \"discard\"}}",
        "{\"" + a + "\": \"discard\"} {}",
        "{\"" + a + "\": \"discard\"",
        std::string(100000, '[') + std::string(100000, ']'),
        "{\"" + a + "\": \"disc\xff\"}",
    };
    for (const auto& content : corrupt) {
        dir.write("state/" + std::string(FileSystem::lastComponent(file)), content);
        ReviewSession session;
        session.load(result, roots);
        EXPECT_EQ(decisions(session), none) << content.substr(0, 80);
        EXPECT_EQ(readFile(file), content);
    }

    // Larger than any state file: passed over without being read.
    std::filesystem::resize_file(file, (std::uintmax_t(64) << 20) + 1);
    ReviewSession huge;
    huge.load(result, roots);
    EXPECT_EQ(decisions(huge), none);

    // A pipe or a folder in its place must neither block nor break the load.
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    ReviewSession pipe;
    pipe.load(result, roots);
    EXPECT_EQ(decisions(pipe), none);
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    ReviewSession folder;
    folder.load(result, roots);
    folder.mark(a, Decision::discard);
    EXPECT_EQ(folder.item(a)->decision, Decision::discard);
    EXPECT_TRUE(std::filesystem::is_directory(file));
}
