// A review of a very large library in the desktop app, driven headless through the real windows:
// the time from a scan's result to the first pair on screen, filter and media switches, D, K and
// the arrow keys held down, the longest stall of the GUI thread during each, and memory.
//   ReviewScaleBench [pairs]     (default 100000; files are written under a temporary folder)
#include "QtTestEnvironment.h"
#include "QuillmereApp.h"
#include "TempDir.h"
#include "model/ReviewSession.h"
#include "views/ComparisonView.h"
#include "views/ContentView.h"
#include "views/Sidebar.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

namespace quillmere {
namespace {

/// The longest gap between the beats of a 5 ms timer on the GUI thread: how long it was busy.
class StallMeter {
  public:
    StallMeter() {
        beat_.setInterval(5);
        QObject::connect(&beat_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, clock_.restart()); });
    }
    void start() {
        longest_ = 0;
        clock_.start();
        beat_.start();
    }
    /// Milliseconds.
    qint64 stop() {
        beat_.stop();
        return std::max(longest_, clock_.elapsed());
    }

  private:
    QTimer beat_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field))
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}

void settle(int ms) {
    QTest::qWait(ms);
}

int run(int pairs) {
    testing::TempDir dir;
    const std::string left = dir.mkdir("Library");
    const std::string right = dir.mkdir("Backup");
    ScanResult result;
    result.roots = {left, right};
    for (int i = 0; i < pairs; ++i) {
        // One pair in ten is a video, so that the media filter has something to do.
        const std::string name =
            "IMG_" + std::to_string(100000 + i) + (i % 10 == 9 ? ".mp4" : ".jpg");
        const std::string content = "pair " + std::to_string(i);
        result.groups.push_back({i % 10 == 9 ? MediaKind::video : MediaKind::photo,
                                 std::int64_t(content.size()),
                                 dir.write("Library/" + name, content),
                                 {dir.write("Backup/" + name, content)}});
    }
    result.filesScanned = 2 * pairs;
    std::printf("pairs: %d, files written: %d\n", pairs, 2 * pairs);
    std::printf("memory before the review: VmRSS %ld KiB\n", statusKiB("VmRSS:"));

    QuillmereApp app;
    ContentView& window = *app.reviewWindow();
    ReviewSession& session = app.session();
    window.resize(1200, 760);
    if (!QTest::qWaitForWindowActive(&window))
        throw std::runtime_error("the review window did not become active");
    StallMeter meter;

    // The scan's worker thread makes the pairs ready; then its completion, on the GUI thread,
    // loads them, up to the first pair drawn.
    QElapsedTimer clock;
    clock.start();
    auto ready = ReviewSession::Pairs::of(result);
    std::printf("pairs made ready on the scan's worker thread: %lld ms\n", clock.elapsed());
    meter.start();
    clock.start();
    session.load(std::move(ready), {result.roots, result.filesScanned, result.duration});
    if (!QTest::qWaitFor(
            [&] {
                return window.screen() == ContentView::Screen::comparison &&
                       window.comparison().item().has_value();
            },
            600000))
        throw std::runtime_error("no pair was shown");
    const qint64 firstPair = clock.elapsed();
    settle(300);
    std::printf("scan result to first pair shown: %lld ms (longest GUI stall %lld ms)\n", firstPair,
                meter.stop());
    std::printf("memory with the review loaded: VmRSS %ld KiB, peak VmHWM %ld KiB\n",
                statusKiB("VmRSS:"), statusKiB("VmHWM:"));

    const auto timed = [&](const char* what, const std::function<void()>& action) {
        meter.start();
        QElapsedTimer step;
        step.start();
        action();
        QCoreApplication::processEvents();
        const qint64 spent = step.elapsed();
        settle(150);
        std::printf("%-34s %5lld ms (longest GUI stall %lld ms)\n", what, spent, meter.stop());
    };
    using Filter = ReviewSession::Filter;
    using Media = ReviewSession::MediaFilter;
    timed("filter: All", [&] { session.setFilter(Filter::all); });
    timed("filter: Marked remove (empty)", [&] { session.setFilter(Filter::discard); });
    timed("filter: To review", [&] { session.setFilter(Filter::pending); });
    timed("media: Videos", [&] { session.setMediaFilter(Media::videos); });
    timed("media: Photos", [&] { session.setMediaFilter(Media::photos); });
    timed("media: All media", [&] { session.setMediaFilter(Media::all); });

    // A held key repeats about 30 times a second; each press must be handled before the next.
    QListView& list = window.sidebar().list();
    list.setFocus();
    for (const auto& [key, name] : {std::pair{Qt::Key_Down, "held Down"},
                                    {Qt::Key_Up, "held Up"},
                                    {Qt::Key_D, "held D"},
                                    {Qt::Key_K, "held K"}}) {
        meter.start();
        qint64 longestPress = 0;
        const int presses = 60;
        for (int i = 0; i < presses; ++i) {
            QElapsedTimer press;
            press.start();
            QTest::keyClick(&list, key);
            QCoreApplication::processEvents();
            longestPress = std::max(longestPress, press.elapsed());
            QTest::qWait(33);
        }
        std::printf("%-34s longest press %lld ms (longest GUI stall %lld ms, %d presses)\n", name,
                    longestPress, meter.stop(), presses);
    }
    std::printf("memory at the end: VmRSS %ld KiB, peak VmHWM %ld KiB\n", statusKiB("VmRSS:"),
                statusKiB("VmHWM:"));
    return 0;
}

} // namespace
} // namespace quillmere

int main(int argc, char** argv) {
    // A home of its own, so that the saved marks and the Trash of the user are never touched.
    QTemporaryDir home;
    quillmere::testing::useHome(home);
    qunsetenv("QUILLMERE_MANIFEST");
    QApplication application(argc, argv);
    const int pairs = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int result = quillmere::run(pairs);
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
