// A set-aside and the tool's --undo killed with SIGKILL at random moments. After every kill each
// file is at its own path or in its root's review folder, recorded in a manifest or a journal,
// unchanged; the tool's --undo of what was left (a second one after a killed undo) puts every file
// back with its bytes. A handful of kills by default; QUILLMERE_KILL_TEST=<kills> for the long run
// and QUILLMERE_KILL_SEED=<seed> to replay one.
#include "Inventory.h"
#include "TempDir.h"
#include "ToolUnderTest.h"
#include "move/Mover.h"
#include "scan/DuplicateScanner.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quillmere;
using namespace quillmere::testing;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int contents = 1500; // each kept in A, set aside from A/Copies and from B: 3000 moves

int kills() {
    const char* wanted = std::getenv("QUILLMERE_KILL_TEST");
    return wanted ? std::max(1, std::atoi(wanted)) : 5;
}

// Runs `job` in a child process and kills it after `delay`, or lets it finish when `delay` is
// none. Returns how long the child lived. The test process has no other thread when it forks.
Clock::duration runKilledAfter(const std::function<void()>& job,
                               std::optional<std::chrono::microseconds> delay) {
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        job();
        ::_exit(0);
    }
    if (delay) {
        std::this_thread::sleep_for(*delay);
        ::kill(child, SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!delay && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        ADD_FAILURE() << "the uninterrupted run failed";
    return Clock::now() - start;
}

struct KillLibrary {
    ToolUnderTest tool;
    std::vector<std::string> roots{tool.at("A"), tool.at("B")};
    Inventory before;
    ScanResult scanned;

    KillLibrary() {
        writeLibrary(tool, contents);
        before = Inventory::of(roots);
        scanned = DuplicateScanner(ScanConfig{roots, {}}).scan();
    }

    void setAside() const { Mover(roots, "_duplicates_review").move(scanned.groups); }

    // The tool's undo of the first manifest or journal left, killed after `delay` or, without
    // one, run to its end. Returns how long it ran.
    Clock::duration undoFirst(std::optional<std::chrono::microseconds> delay) const {
        const auto start = Clock::now();
        const auto run = tool.start({"--undo", manifestsUnder(roots).front(), "--quiet"});
        if (delay) {
            std::this_thread::sleep_for(*delay);
            run->signal(SIGKILL);
        }
        run->finish();
        return Clock::now() - start;
    }

    // Puts back what is left with the tool and checks that every file is at its path, whole.
    void undoWithTheToolAndCheck(const std::string& what) const {
        for (const auto& manifest : manifestsUnder(roots)) {
            const auto result = tool.run({"--undo", manifest, "--quiet"});
            EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 1) << what << result.err;
            fs::remove(manifest);
        }
        for (const auto& [path, digest] : before.files)
            ASSERT_EQ(contentOf(path), digest) << what << ": " << path;
        for (const auto& root : roots) {
            if (!fs::exists(root + "/_duplicates_review"))
                continue;
            for (const auto& entry : fs::recursive_directory_iterator(root + "/_duplicates_review"))
                ASSERT_FALSE(entry.is_regular_file() && !isRecordFile(entry.path()))
                    << what << ": left " << entry.path();
            fs::remove_all(root + "/_duplicates_review");
        }
    }
};

} // namespace

TEST(KillTest, EveryFileIsRecordedOrInPlaceAfterAKillAndTheUndoPutsItBack) {
    const KillLibrary library;
    ASSERT_EQ(library.scanned.redundantFileCount(), 2 * contents);

    // An uninterrupted run and undo give the span the kills are spread over.
    const auto moveTime = runKilledAfter([&] { library.setAside(); }, std::nullopt);
    ASSERT_EQ(manifestsUnder(library.roots).size(), 2u) << "two manifests and no journal";
    const auto undoTime = library.undoFirst(std::nullopt);
    library.undoWithTheToolAndCheck("uninterrupted");

    const char* given = std::getenv("QUILLMERE_KILL_SEED");
    const auto base =
        given ? std::uint32_t(std::strtoul(given, nullptr, 10)) : std::random_device()();
    std::cout << "QUILLMERE_KILL_SEED=" << base << "\n";
    std::mt19937 random(base);
    const auto micros = [](Clock::duration span) {
        return std::chrono::duration_cast<std::chrono::microseconds>(span).count();
    };
    int undosKilled = 0;
    bool noticeChecked = false;
    for (int kill = 0; kill < kills(); ++kill) {
        const std::chrono::microseconds delay{
            std::uniform_int_distribution<long>(0, micros(moveTime))(random)};
        runKilledAfter([&] { library.setAside(); }, delay);
        const std::string what = "kill " + std::to_string(kill) + " after " +
                                 std::to_string(delay.count()) + " µs (seed " +
                                 std::to_string(base) + ")";
        ASSERT_EQ(account(library.before, library.roots).broken, "") << what;

        const auto leftover = Mover::leftoverJournals(library.tool.at("A"));
        if (!noticeChecked && !leftover.empty()) {
            const auto scan = library.tool.run({"A", "--quiet"});
            EXPECT_NE(scan.out.find("Unfinished set-aside: quillmere --undo \"" + leftover[0] +
                                    "\" puts its files back\n"),
                      std::string::npos)
                << scan.out;
            noticeChecked = true;
        }
        // Every other time the tool's undo is killed too; a second one then finishes the job.
        if (kill % 2 == 1 && !manifestsUnder(library.roots).empty()) {
            const std::chrono::microseconds undoDelay{
                std::uniform_int_distribution<long>(0, micros(undoTime))(random)};
            library.undoFirst(undoDelay);
            ++undosKilled;
            ASSERT_EQ(account(library.before, library.roots).broken, "")
                << what << ", undo killed after " << undoDelay.count() << " µs";
        }
        library.undoWithTheToolAndCheck(what);
    }
    std::cout << "seed " << base << ", " << kills() << " kills (" << undosKilled
              << " of the undo too); an uninterrupted set-aside took " << micros(moveTime)
              << " µs, its undo " << micros(undoTime) << " µs\n";
}
