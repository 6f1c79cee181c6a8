// The scan coordinator: a scan in the background, its progress texts on the GUI thread, the
// elapsed-seconds ticker, and the refusals.
#include "model/ScanCoordinator.h"

#include "ModelTestSupport.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <atomic>
#include <memory>

using namespace quillmere;
using namespace quillmere::testing;

namespace {

// An engine that makes each of its phases, and its return, wait for a permit from the test.
struct SteppedEngine {
    std::shared_ptr<QSemaphore> permits = std::make_shared<QSemaphore>();
    std::shared_ptr<std::atomic<bool>> returned = std::make_shared<std::atomic<bool>>(false);

    ScanCoordinator::Engine engine(std::vector<ScanPhase> phases) const {
        return [permits = permits, returned = returned, phases](const ScanConfig& config,
                                                                const ScanProgress& progress) {
            for (const auto& phase : phases) {
                permits->acquire();
                progress(phase);
            }
            permits->acquire();
            ScanResult result;
            result.roots = config.roots;
            *returned = true;
            return result;
        };
    }
};

} // namespace

TEST(ScanCoordinatorTest, RefusesEmptyRootsAndChangesNothing) {
    ScanCoordinator coordinator;
    QSignalSpy scanning(&coordinator, &ScanCoordinator::isScanningChanged);
    bool called = false;
    EXPECT_FALSE(coordinator.scan({}, [&](const ScanResult&) { called = true; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(coordinator.isScanning());
    EXPECT_TRUE(coordinator.headline().isEmpty());
    EXPECT_EQ(scanning.count(), 0);
    EXPECT_FALSE(called);
}

TEST(ScanCoordinatorTest, ScansInTheBackgroundAndEndsInAReview) {
    QLocale::setDefault(QLocale::c());
    TempDir dir;
    const std::string photos = dir.mkdir("Photos"), pictures = dir.mkdir("Pictures");
    const std::string content = randomBytes(4000, 1);
    dir.write("Photos/a.jpg", content);
    dir.write("Pictures/b.jpg", content);
    dir.write("Pictures/c.jpg", content);
    dir.write("Pictures/unique.jpg", randomBytes(4000, 2));

    ScanCoordinator coordinator;
    QSignalSpy headlines(&coordinator, &ScanCoordinator::headlineChanged);
    std::optional<ScanResult> result;
    QThread* deliveredOn = nullptr;
    ASSERT_TRUE(coordinator.scan({photos, pictures}, [&](const ScanResult& scanned) {
        deliveredOn = QThread::currentThread();
        result = scanned;
    }));
    EXPECT_TRUE(coordinator.isScanning());
    EXPECT_EQ(coordinator.headline(), "Looking for media files…");
    EXPECT_EQ(coordinator.detail(), QString::fromStdString(photos + ", " + pictures));
    EXPECT_FALSE(coordinator.fraction());
    EXPECT_EQ(coordinator.elapsed(), 0);

    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    EXPECT_FALSE(coordinator.isScanning());
    EXPECT_GT(headlines.count(), 1);
    // The overlay keeps the last report readable after the scan.
    EXPECT_EQ(coordinator.headline(), "Comparing every byte…");
    EXPECT_EQ(coordinator.detail(), "1 of 1 groups");
    EXPECT_EQ(coordinator.fraction(), 1.0);

    ReviewSession session;
    session.load(*result, {photos, pictures});
    ASSERT_EQ(session.items().size(), 2u);
    EXPECT_EQ(session.items()[0].keepURL, session.items()[1].keepURL);
    EXPECT_EQ(session.scanSummary()->filesScanned, 4);
}

TEST(ScanCoordinatorTest, PhasesBecomeHeadlineDetailAndFraction) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    SteppedEngine stepped;
    ScanCoordinator coordinator(stepped.engine({
        scanphase::Enumerating{12345},
        scanphase::Hashing{40, 200},
        scanphase::Grouping{},
        scanphase::Verifying{3, 12},
        scanphase::Verifying{0, 0},
    }));
    bool done = false;
    ASSERT_TRUE(coordinator.scan({"/Volumes/Photos"}, [&](const ScanResult&) { done = true; }));

    const auto step = [&](const QString& detail) {
        stepped.permits->release();
        return waitUntil([&] { return coordinator.detail() == detail; });
    };
    ASSERT_TRUE(step("12,345 found"));
    EXPECT_EQ(coordinator.headline(), "Looking for media files…");
    EXPECT_FALSE(coordinator.fraction());
    ASSERT_TRUE(step("40 of 200"));
    EXPECT_EQ(coordinator.headline(), "Checking possible duplicates…");
    EXPECT_DOUBLE_EQ(coordinator.fraction().value_or(-1), 0.2);
    ASSERT_TRUE(step(""));
    EXPECT_EQ(coordinator.headline(), "Grouping matches…");
    EXPECT_FALSE(coordinator.fraction());
    ASSERT_TRUE(step("3 of 12 groups"));
    EXPECT_EQ(coordinator.headline(), "Comparing every byte…");
    EXPECT_DOUBLE_EQ(coordinator.fraction().value_or(-1), 0.25);
    ASSERT_TRUE(step("0 of 0 groups"));
    EXPECT_FALSE(coordinator.fraction());
    stepped.permits->release();
    ASSERT_TRUE(waitUntil([&] { return done; }));

    // Counts follow the user's locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    done = false;
    ScanCoordinator german(stepped.engine({scanphase::Enumerating{12345}}));
    ASSERT_TRUE(german.scan({"/Volumes/Photos"}, [&](const ScanResult&) { done = true; }));
    stepped.permits->release(2);
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(german.detail(), "12.345 found");
    QLocale::setDefault(QLocale::c());
}

TEST(ScanCoordinatorTest, SecondScanIsRefusedWhileOneRuns) {
    SteppedEngine stepped;
    ScanCoordinator coordinator(stepped.engine({}));
    int finished = 0;
    ASSERT_TRUE(coordinator.scan({"/a", "/b"}, [&](const ScanResult& result) {
        ++finished;
        EXPECT_EQ(result.roots, (std::vector<std::string>{"/a", "/b"}));
    }));
    EXPECT_FALSE(coordinator.scan({"/c"}, [&](const ScanResult&) { ADD_FAILURE(); }));
    EXPECT_EQ(coordinator.detail(), "/a, /b");
    EXPECT_TRUE(coordinator.isScanning());
    stepped.permits->release();
    ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
    EXPECT_FALSE(coordinator.isScanning());
}

TEST(ScanCoordinatorTest, ElapsedTicksWhileScanningAndStopsAfterward) {
    SteppedEngine stepped;
    ScanCoordinator coordinator(stepped.engine({}));
    bool done = false;
    ASSERT_TRUE(coordinator.scan({"/a"}, [&](const ScanResult&) { done = true; }));
    EXPECT_EQ(coordinator.elapsed(), 0);
    ASSERT_TRUE(waitUntil([&] { return coordinator.elapsed() > 0; }));
    stepped.permits->release();
    ASSERT_TRUE(waitUntil([&] { return done; }));

    QSignalSpy ticks(&coordinator, &ScanCoordinator::elapsedChanged);
    const double last = coordinator.elapsed();
    QTest::qWait(1500);
    EXPECT_EQ(ticks.count(), 0);
    EXPECT_EQ(coordinator.elapsed(), last);
}

TEST(ScanCoordinatorTest, ReportsAfterTheCoordinatorIsGoneAreDropped) {
    SteppedEngine stepped;
    auto coordinator = std::make_unique<ScanCoordinator>(
        stepped.engine({scanphase::Enumerating{1}, scanphase::Grouping{}}));
    bool called = false;
    ASSERT_TRUE(coordinator->scan({"/a"}, [&](const ScanResult&) { called = true; }));
    coordinator.reset();
    stepped.permits->release(3);
    ASSERT_TRUE(waitUntil([&] { return stepped.returned->load(); }));
    QTest::qWait(50);
    EXPECT_FALSE(called);
}
