// A review of similar photos on real pictures: an apply that moves a similar photo to the Trash
// only while both files are those the scan saw (which also proves the scan recorded them), and the
// scan in the background ending in pairs whose marks are kept apart from the identical review's.

// clang-format off
// libvips before Qt, whose "signals" keyword its GLib headers use as a name.
#include "TestPictures.h"
// clang-format on

#include "QtPrinting.h"
#include "TempDir.h"
#include "model/ApplyFailure.h"
#include "model/ReviewSession.h"
#include "model/ReviewState.h"
#include "model/ScanCoordinator.h"
#include "model/Trash.h"
#include "scan/CloudStatus.h"

#include <QTest>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillmere;
using namespace quillmere::testing;
using Decision = ReviewItem::Decision;
using State = ReviewItem::State;
namespace fs = std::filesystem;

namespace {

struct stat statusOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

void setModified(const std::string& path, timespec when) {
    const timespec times[2] = {{0, UTIME_OMIT}, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// One nanosecond later: the check must see the finest change the file system records.
void touch(const std::string& path) {
    timespec when = statusOf(path).st_mtim;
    if (++when.tv_nsec == 1'000'000'000)
        when = {when.tv_sec + 1, 0};
    setModified(path, when);
}

/// A photo, a quarter-size copy of it and an unrelated picture, and a session using the test
/// home's Trash with marks saved in the folder's "state" folder.
struct Review {
    Review() {
        ReviewState::setStateDirectoryOverride(dir.path("state"));
        dir.mkdir("Photos");
        writePicture(keep, 1);
        writePicture(copy, 1, Copy::quarterSize);
        writePicture(dir.path("Photos/other.png"), 2);
    }
    ~Review() { ReviewState::setStateDirectoryOverride(std::nullopt); }

    /// Scans for similar photos in the background, as the window does, and loads the pairs.
    void scanAndLoad() {
        ScanCoordinator coordinator;
        std::optional<ScanCoordinator::SimilarOutcome> outcome;
        ASSERT_TRUE(coordinator.scanSimilar(
            roots, [&](ScanCoordinator::SimilarOutcome scanned) { outcome = std::move(scanned); }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 60000));
        session.loadSimilar(std::move(outcome->pairs),
                            {roots, outcome->result.photosScanned, outcome->result.duration});
    }

    void applyAndWait() {
        session.apply(true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !session.isApplying(); }, 60000));
    }
    const ReviewItem& pair() const { return session.items().at(0); }

    TempDir dir;
    std::vector<std::string> roots{dir.path("Photos")};
    std::string keep = dir.path("Photos/IMG_1.jpg"), copy = dir.path("Photos/IMG_1 small.jpg");
    ReviewSession session{Trash::platform(), CloudStatus::platform()};
};

} // namespace

TEST(SimilarReviewTest, AppliesAMarkOnlyWhileNeitherFileChangedSinceTheScan) {
    struct Case {
        const char* what;
        Decision decision;
        std::function<void(const Review&)> change;
        State state;
        std::string_view reason;
    };
    const auto rewrite = [](const Review& review) {
        // Same modification time, one byte more.
        const timespec when = statusOf(review.copy).st_mtim;
        std::ofstream(review.copy, std::ios::app) << 'x';
        setModified(review.copy, when);
    };
    const auto replace = [](const Review& review) {
        // Another file with the same bytes, size and time takes the photo's name.
        const std::string other = review.copy + ".new";
        fs::copy_file(review.copy, other);
        setModified(other, statusOf(review.copy).st_mtim);
        fs::rename(other, review.copy);
    };
    const Case cases[] = {
        {"unchanged", Decision::discard, [](const Review&) {}, State::trashed, {}},
        {"kept both", Decision::keep, [](const Review&) {}, State::kept, {}},
        {"photo rewritten", Decision::discard, rewrite, State::failed,
         ApplyFailure::similarChanged},
        {"photo touched", Decision::discard, [](const Review& r) { touch(r.copy); }, State::failed,
         ApplyFailure::similarChanged},
        {"photo replaced", Decision::discard, replace, State::failed, ApplyFailure::similarChanged},
        {"kept photo touched", Decision::discard, [](const Review& r) { touch(r.keep); },
         State::failed, ApplyFailure::similarKeeperChanged},
        {"kept photo gone", Decision::discard,
         [](const Review& r) { fs::rename(r.keep, r.keep + ".moved"); }, State::failed,
         ApplyFailure::similarKeeperMissing},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        Review review;
        review.scanAndLoad();
        ASSERT_EQ(review.session.items().size(), 1u);
        review.session.mark(review.copy, test.decision);
        test.change(review);
        review.applyAndWait();
        EXPECT_EQ(review.pair().state, test.state);
        EXPECT_EQ(review.pair().failureReason, test.reason);
        EXPECT_EQ(fs::exists(review.copy), test.state != State::trashed);
        EXPECT_TRUE(fs::exists(review.keep) || test.state == State::failed);
    }
}

TEST(SimilarReviewTest, PairsTheSmallerCopyAndSavesItsMarksApartFromTheIdenticalReview) {
    Review review;
    ReviewSession& session = review.session;
    review.scanAndLoad();
    EXPECT_EQ(session.kind(), ReviewSession::Kind::similar);
    ASSERT_EQ(session.items().size(), 1u);
    EXPECT_EQ(review.pair().keepURL, review.keep) << "the photo with more pixels is kept";
    EXPECT_EQ(review.pair().id, review.copy);
    session.markAllPending(Decision::discard);
    EXPECT_EQ(review.pair().decision, Decision::undecided)
        << "similar photos are marked one by one";
    session.mark(review.copy, Decision::discard);

    // The identical review of the same folders, holding a pair of the same path.
    ScanResult identical;
    identical.groups.push_back({MediaKind::photo, 1, review.keep, {review.copy}});
    session.load(identical, review.roots);
    EXPECT_EQ(session.kind(), ReviewSession::Kind::scan);
    EXPECT_EQ(review.pair().decision, Decision::undecided);
    session.mark(review.copy, Decision::keep);

    review.scanAndLoad();
    EXPECT_EQ(review.pair().decision, Decision::discard);
    session.load(identical, review.roots);
    EXPECT_EQ(review.pair().decision, Decision::keep);
    EXPECT_NE(ReviewState::stateFileForSimilar(review.roots),
              ReviewState::stateFileForScan(review.roots));
}
