#include "SetAsideRun.h"

#include "Arguments.h"
#include "Console.h"
#include "Error.h"
#include "report/ReportWriter.h"
#include "scan/ScanResult.h"
#include "scan/SkipRules.h"
#include "scan/Text.h"

#include <array>
#include <atomic>
#include <csignal>
#include <iostream>
#include <type_traits>
#include <unistd.h>

namespace quillmere::cli {

namespace {

// Skipped files listed one by one; the rest are only counted.
constexpr std::size_t listedSkips = 20;

// A signal handler can reach nothing but static storage, and a lock-free atomic is the one kind
// of object it may safely write.
std::atomic<bool> stopRequested = false;
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void requestStop(int) {
    stopRequested = true;
}

// While alive, Ctrl-C, SIGTERM and a closed terminal (SIGHUP) ask the mover to stop after the
// file in hand instead of ending the process, so that no moved file is ever left out of a
// manifest. Outside the move they keep their usual effect.
class StopOnSignals {
  public:
    StopOnSignals() {
        stopRequested = false;
        struct sigaction stop {};
        stop.sa_handler = requestStop;
        sigemptyset(&stop.sa_mask);
        // Restarted calls keep a read in the byte comparison from failing half way.
        stop.sa_flags = SA_RESTART;
        for (std::size_t index = 0; index < signals.size(); ++index)
            ::sigaction(signals[index], &stop, &previous_[index]);
    }
    ~StopOnSignals() {
        for (std::size_t index = 0; index < signals.size(); ++index)
            ::sigaction(signals[index], &previous_[index], nullptr);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    const std::atomic<bool>* flag() const { return &stopRequested; }

  private:
    static constexpr std::array<int, 3> signals = {SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, signals.size()> previous_{};
};

// Asks on the terminal; true only for an explicit yes. Ended input declines.
bool confirmed() {
    std::cout << "Type 'yes' to continue: " << std::flush;
    std::string answer;
    return std::getline(std::cin, answer) && SetAside::isConsent(answer);
}

std::string fraction(std::int64_t done, std::int64_t total) {
    return std::to_string(done) + "/" + std::to_string(total);
}

} // namespace

int runSetAside(const ScanResult& result, const ScanRunConfig& config, const Console& console) {
    if (result.groups.empty()) {
        std::cout << "No duplicates to move.\n" << std::flush;
        return 0;
    }
    std::cout << SetAside::confirmationText(result) << std::flush;
    if (!config.assumeYes) {
        if (!::isatty(STDIN_FILENO))
            throw Error("--move needs confirmation; re-run with --yes in a non-interactive shell");
        if (!confirmed()) {
            std::cout << "Cancelled. Nothing was moved.\n" << std::flush;
            return 1;
        }
    }

    Mover mover(
        config.scan.roots, std::string(SkipRules::reviewDirectoryName),
        [&console](const MoveProgress& update) { console.status(SetAside::progressText(update)); });
    MoveOutcome outcome;
    try {
        const StopOnSignals stopOnSignals;
        outcome = mover.move(result.groups, stopOnSignals.flag());
    } catch (const Error& error) {
        // The error must not run on from the progress line.
        console.log("");
        throw Error(std::string("move failed: ") + error.what());
    }
    console.log("");

    const auto handled = std::int64_t(outcome.moved.size() + outcome.skipped.size());
    std::cout << SetAside::outcomeText(outcome, result.redundantFileCount() - handled)
              << std::flush;
    return outcome.interrupted ? interruptedExitCode : 0;
}

namespace SetAside {

std::string confirmationText(const ScanResult& result) {
    std::string text =
        "About to move " + std::to_string(result.redundantFileCount()) + " file(s)\n";
    text += "  into : " + std::string(SkipRules::reviewDirectoryName) +
            "/ inside whichever folder each was found under\n";
    text += "  total: " + ReportWriter::humanSize(result.reclaimableBytes()) + "\n";
    text += "\n";
    text += "Each file is re-checked byte for byte against the copy that stays\n";
    text += "behind, immediately before it is moved. Nothing is deleted, and the\n";
    text += "move can be reversed with --undo.\n";
    text += "\n";
    return text;
}

bool isConsent(std::string_view answer) {
    const auto first = answer.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return false;
    answer = answer.substr(first, answer.find_last_not_of(" \t") - first + 1);
    return Text::lowercased(answer) == "yes";
}

std::string progressText(const MoveProgress& update) {
    return std::visit(
        [](const auto& step) {
            using Step = std::decay_t<decltype(step)>;
            if constexpr (std::is_same_v<Step, moveprogress::Verifying>)
                return "  verifying before move… " + fraction(step.done, step.total);
            else
                return "  moving… " + fraction(step.done, step.total);
        },
        update);
}

std::string outcomeText(const MoveOutcome& outcome, std::int64_t notReached) {
    std::string text = "\n";
    text += "Moved   : " + std::to_string(outcome.moved.size()) + " file(s), " +
            ReportWriter::humanSize(outcome.bytesMoved()) + "\n";
    if (!outcome.skipped.empty()) {
        text += "Skipped : " + std::to_string(outcome.skipped.size()) +
                " (left exactly where they were)\n";
        for (std::size_t index = 0; index < outcome.skipped.size() && index < listedSkips;
             ++index) {
            text += "  " + outcome.skipped[index].path + "\n";
            text += "    " + outcome.skipped[index].reason + "\n";
        }
        if (outcome.skipped.size() > listedSkips)
            text += "  …and " + std::to_string(outcome.skipped.size() - listedSkips) + " more\n";
    }
    if (outcome.interrupted)
        text += "Interrupted: the remaining " + std::to_string(notReached) +
                " file(s) were left where they were.\n";
    if (!outcome.manifestURLs.empty()) {
        text += "\n";
        for (const auto& manifest : outcome.manifestURLs) {
            text += "Manifest: " + manifest + "\n";
            text += "Undo    : quillmere --undo \"" + manifest + "\"\n";
        }
    }
    text += "\n";
    text += "Nothing was deleted. Review each folder's " +
            std::string(SkipRules::reviewDirectoryName) + "/\n";
    text += "and delete it yourself once you are satisfied, to actually reclaim the space.\n";
    return text;
}

} // namespace SetAside
} // namespace quillmere::cli
