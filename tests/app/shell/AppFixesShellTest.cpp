// The main window as a person reviewing a real library drives it: long paths at the smallest
// window, folders typed into the chooser, stopping a scan, where the keyboard focus lands, and
// closing the help and about windows from the keyboard.
#include "QuillmereApp.h"
#include "ShellTestSupport.h"
#include "model/ReviewSession.h"
#include "move/Mover.h"
#include "scan/SkipRules.h"
#include "views/ComparisonView.h"
#include "views/ContentView.h"
#include "views/DetailScreens.h"
#include "views/FilePane.h"
#include "views/Labels.h"
#include "views/Sidebar.h"

#include <QLineEdit>
#include <QTextDocument>
#include <atomic>
#include <thread>

namespace quillmere {
namespace {

using testing::TempDir;
using testing::waitUntil;
using Screen = ContentView::Screen;

struct Window {
    QuillmereApp app;
    ContentView& view;
    ReviewSession& session;

    explicit Window(ScanCoordinator::Engine engine = {})
        : app(std::move(engine)), view(*app.reviewWindow()), session(app.session()) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&view));
    }

    bool shows(Screen screen) {
        return waitUntil([&] { return view.screen() == screen; });
    }

    /// Both panes of the selected pair are built and their details have arrived.
    bool paneDetailsLoaded() {
        return waitUntil([&] {
            const ComparisonView& comparison = view.comparison();
            return view.screen() == Screen::comparison && comparison.leftPane() &&
                   comparison.rightPane() && comparison.leftPane()->metadata() &&
                   comparison.rightPane()->metadata();
        });
    }
};

ScanResult onePair(const std::string& keep, const std::string& copy, std::int64_t size) {
    ScanResult result;
    result.groups.push_back({MediaKind::photo, size, keep, {copy}});
    return result;
}

/// A path of `length` characters under `root`, through folders of ten characters.
std::string longPath(const TempDir& dir, const std::string& root, std::size_t length) {
    std::string relative = root;
    while (dir.path(relative).size() + 20 < length)
        relative += "/folder-" + std::to_string(relative.size() % 10) + "x";
    relative += "/" + std::string(length - dir.path(relative).size() - 5, 'p') + ".jpg";
    return relative;
}

/// Every line of a pane's details is whole: no two overlap, and a wrapped path is as tall as
/// its lines.
void expectReadable(const FilePane& pane) {
    const auto* details = pane.findChild<QWidget*>("details");
    ASSERT_TRUE(details);
    std::vector<const QWidget*> lines;
    for (const QWidget* line : details->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (line->isVisibleTo(details))
            lines.push_back(line);
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (std::size_t j = i + 1; j < lines.size(); ++j)
            EXPECT_FALSE(lines[i]->geometry().intersects(lines[j]->geometry()))
                << pane.objectName().toStdString() << ": " << lines[i]->objectName().toStdString()
                << " over " << lines[j]->objectName().toStdString();
    for (const auto* text : details->findChildren<SelectableText*>())
        EXPECT_GE(text->height(), int(text->document()->size().height()))
            << text->objectName().toStdString();
}

} // namespace

TEST(AppFixesShellTest, DetailsStayReadableWithALongPathAtTheSmallestWindow) {
    TempDir dir;
    const std::string root = dir.mkdir("Drive");
    const std::string keep = dir.write("Drive/a.jpg", "hello");
    const std::string copy = dir.write(longPath(dir, "Drive", 250), "hello");
    ASSERT_EQ(copy.size(), 250u);
    Window window;
    window.view.resize(window.view.minimumSize());
    window.session.load(onePair(keep, copy, 5), {root});
    ASSERT_TRUE(window.paneDetailsLoaded());
    QTest::qWait(50);
    expectReadable(*window.view.comparison().rightPane());

    // The same file set aside and opened from its manifest adds the "Originally at" line.
    const auto outcome = Mover({root}, std::string(SkipRules::reviewDirectoryName))
                             .move({{MediaKind::photo, 5, keep, {copy}}});
    ASSERT_TRUE(outcome.manifestURL());
    window.view.open(QString::fromStdString(*outcome.manifestURL()));
    ASSERT_TRUE(waitUntil([&] { return window.session.items().at(0).parkedRecord(); }));
    ASSERT_TRUE(window.paneDetailsLoaded());
    QTest::qWait(50);
    const FilePane& parked = *window.view.comparison().rightPane();
    ASSERT_TRUE(parked.findChild<SelectableText*>("originalPath"));
    expectReadable(parked);
    expectReadable(*window.view.comparison().leftPane());
}

TEST(AppFixesShellTest, AMissingTypedFolderIsRefusedRatherThanLeftOut) {
    testing::MediaLibrary library;
    Window window;
    window.view.chooseFolderToScan();
    QPointer<Chooser> chooser = testing::awaitChooser(window.view);
    ASSERT_NE(chooser, nullptr);
    auto* name = chooser->panel().findChild<QLineEdit*>("fileNameEdit");
    chooser->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(chooser));
    name->setFocus();
    ASSERT_TRUE(waitUntil([&] { return name->hasFocus(); }));
    name->setText("\"" + library.path("Camera") + "\" \"" + library.path("Bakcup") + "\"");
    QTest::mouseClick(&chooser->promptButton(), Qt::LeftButton);

    QMessageBox* refusal = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        if (!chooser)
            return false;
        for (auto* box : chooser->findChildren<QMessageBox*>())
            if (box->isVisible())
                refusal = box;
        return refusal != nullptr;
    }));
    EXPECT_EQ(refusal->text(), "“" + library.path("Bakcup") +
                                   "” is not a folder that can be scanned. Check the name, or "
                                   "choose the folder in the list.");
    refusal->close();
    ASSERT_TRUE(chooser);
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_FALSE(window.view.scanner().isScanning());
}

TEST(AppFixesShellTest, StopAndEscEndTheScanAndChangeNothing) {
    std::atomic<bool> release = false;
    std::atomic<int> finished = 0;
    Window window([&](const ScanConfig&, const ScanProgress&) {
        while (!release)
            std::this_thread::yield();
        ++finished;
        return ScanResult{};
    });
    TempDir dir;
    auto* panel = window.view.findChild<ScanningPanel*>();

    window.view.scan({QString::fromStdString(dir.mkdir("Solo"))});
    ASSERT_TRUE(window.shows(Screen::scanning));
    ASSERT_TRUE(panel->stopButton().isVisible());
    EXPECT_EQ(panel->stopButton().text(), "Stop");
    QTest::mouseClick(&panel->stopButton(), Qt::LeftButton);
    ASSERT_TRUE(window.shows(Screen::welcome));
    EXPECT_FALSE(window.view.scanner().isScanning());

    window.view.scan({QString::fromStdString(dir.path("Solo"))});
    ASSERT_TRUE(window.shows(Screen::scanning));
    QTest::keyClick(&window.view, Qt::Key_Escape);
    ASSERT_TRUE(window.shows(Screen::welcome));

    // The stopped scans' results arrive later and are dropped.
    release = true;
    ASSERT_TRUE(waitUntil([&] { return finished == 2; }));
    QTest::qWait(50);
    EXPECT_FALSE(window.session.isLoaded());
    EXPECT_EQ(window.view.screen(), Screen::welcome);
}

TEST(AppFixesShellTest, FocusGoesToTheListNotIntoAPath) {
    TempDir dir;
    Window window;
    window.session.load(onePair(dir.write("a.jpg", "abc"), dir.write("b.jpg", "abc"), 3),
                        {dir.path()});
    ASSERT_TRUE(window.paneDetailsLoaded());
    EXPECT_EQ(QApplication::focusWidget(), &window.view.sidebar().list());

    // Tabbing along the window never stops in a path.
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_FALSE(qobject_cast<SelectableText*>(QApplication::focusWidget()));
    }
}

TEST(AppFixesShellTest, HelpAndAboutCloseWithEscAndCtrlW) {
    Window window;
    for (const auto& [command, keys] :
         {std::pair{QStringLiteral("Quillmere Help"), QKeySequence(Qt::Key_Escape)},
          {QStringLiteral("About Quillmere"), QKeySequence(Qt::CTRL | Qt::Key_W)}}) {
        window.app.command(command)->trigger();
        QWidget* shown = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            for (auto* top : QApplication::topLevelWidgets())
                if (top->isVisible() && top->windowTitle() == command)
                    shown = top;
            return shown && QTest::qWaitForWindowActive(shown);
        }));
        QPointer<QWidget> guard(shown);
        QTest::keySequence(shown, keys);
        EXPECT_TRUE(waitUntil([&] { return !guard || !guard->isVisible(); }))
            << command.toStdString();
    }
}

TEST(AppFixesShellTest, ANonJsonManifestIsNamedInPlainWordsFirst) {
    TempDir dir;
    Window window;
    window.view.open(QString::fromStdString(dir.write("broken.json", "{ not json")));
    QMessageBox* alert = testing::awaitAlert(window.view, "errorAlert");
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->informativeText().startsWith(
        "Could not read that manifest: This file is not a manifest Quillmere wrote, or it is "
        "damaged. (not valid JSON"))
        << alert->informativeText().toStdString();
}

} // namespace quillmere
