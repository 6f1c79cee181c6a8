// Stopping a scan: once asked to stop it takes on no further file and compares nothing more.
#include "TempDir.h"
#include "scan/DuplicateScanner.h"

#include <gtest/gtest.h>
#include <mutex>

using namespace quillmere;
using quillmere::testing::randomBytes;
using quillmere::testing::TempDir;

TEST(ScanStopTest, AStoppedScanTakesOnNoFurtherFile) {
    TempDir dir;
    // Large files, each signed on its own, in four identical pairs.
    for (int i = 0; i < 8; ++i)
        dir.write("f" + std::to_string(i) + ".mov", randomBytes(300 * 1024, std::uint32_t(i / 2)));
    const ScanConfig config{{dir.path()}, {}};

    std::stop_source before;
    before.request_stop();
    EXPECT_EQ(DuplicateScanner(config, {}, nullptr, before.get_token()).scan().filesScanned, 0);

    std::stop_source during;
    std::mutex mutex;
    std::vector<ScanPhase> phases;
    const ScanResult stopped = DuplicateScanner(
                                   config,
                                   [&](const ScanPhase& phase) {
                                       std::lock_guard lock(mutex);
                                       phases.push_back(phase);
                                       if (std::holds_alternative<scanphase::Hashing>(phase))
                                           during.request_stop();
                                   },
                                   nullptr, during.get_token())
                                   .scan();
    EXPECT_TRUE(stopped.groups.empty());
    for (const auto& phase : phases)
        EXPECT_FALSE(std::holds_alternative<scanphase::Verifying>(phase));

    EXPECT_EQ(DuplicateScanner(config).scan().groups.size(), 4u);
}
