// The application and its main window driven as a user drives them, through key presses and
// clicks on the real widgets: scanning, walking and marking pairs with the keyboard, filtering,
// applying to the test home's Trash, putting a set-aside file back; the confirmation and the
// alerts.
#include "views/ContentView.h"

#include "QuillmereApp.h"
#include "ShellTestSupport.h"
#include "model/ReviewSession.h"
#include "move/Mover.h"
#include "scan/SkipRules.h"
#include "views/ComparisonView.h"
#include "views/DetailScreens.h"
#include "views/FilePane.h"
#include "views/Labels.h"
#include "views/Sidebar.h"
#include "views/StatusBar.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace quillmere {
namespace {

using namespace testing;
using Decision = ReviewItem::Decision;
using Filter = ReviewSession::Filter;
using Screen = ContentView::Screen;
using State = ReviewItem::State;

/// The application with its review window shown and active, so that its shortcuts work.
struct App : QuillmereApp {
    ContentView& view = *reviewWindow();
    ReviewSession& session = QuillmereApp::session();

    explicit App(ScanCoordinator::Engine engine = {}) : QuillmereApp(std::move(engine)) {
        activate();
    }
    /// Without a window manager nothing hands the focus back once a chooser has gone.
    void activate() {
        view.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&view));
    }
    QListView& list() { return view.sidebar().list(); }
    QPushButton& applyButton() { return view.reviewStatusBar().applyButton(); }
    ReviewItem item(const std::string& id) { return session.item(id).value(); }
    bool shows(Screen screen) {
        return waitUntil([&] { return view.screen() == screen; });
    }
    /// Loads small pairs dup<i>.jpg (kept as keep<i>.jpg) and waits for the first to show.
    void load(const TempDir& dir, int pairs) {
        session.load(smallPairs(dir, pairs), {dir.path()});
        ASSERT_TRUE(settled());
    }
    /// Presses a key in the list, as a user walking the list does.
    void press(Qt::Key key) {
        list().setFocus();
        QTest::keyClick(&list(), key);
    }
    /// Waits until the list and the comparison show the session's selection.
    bool settled() {
        return waitUntil([&] {
            const auto rows = list().selectionModel()->selectedRows();
            return session.selection() && !rows.isEmpty() &&
                   rows[0].data(Qt::UserRole).toString().toStdString() == *session.selection() &&
                   view.comparison().item() && view.comparison().item()->id == *session.selection();
        });
    }
    /// Presses the apply button and answers the confirmation; returns the alert's message.
    QString apply(const QString& answer) {
        EXPECT_TRUE(waitUntil([&] { return applyButton().isEnabled(); }));
        QTest::mouseClick(&applyButton(), Qt::LeftButton);
        auto* alert = visibleChild<QMessageBox>(view, "applyConfirmation");
        const QString message = alert ? alert->informativeText() : "no alert";
        EXPECT_TRUE(alert && clickButton(*alert, answer));
        EXPECT_TRUE(waitUntil([&] { return !session.isApplying(); }));
        return message;
    }
    /// Whether a visible label of the screen of this type reads `text`.
    template <typename Panel> bool showsText(const QString& text) {
        const QWidget& panel = *view.findChild<Panel*>();
        for (const auto* label : panel.findChildren<QLabel*>())
            if (label->isVisibleTo(&panel) && label->text() == text)
                return true;
        return false;
    }
};

/// Sets aside the second of two identical files under "Drive", as the command-line tool does.
MoveOutcome setAside(const TempDir& dir, const std::string& keep, const std::string& copy) {
    DuplicateGroup group{MediaKind::photo, 5, dir.write(keep, "hello"), {dir.write(copy, "hello")}};
    return Mover({dir.path("Drive")}, std::string(SkipRules::reviewDirectoryName)).move({group});
}

/// A relative path under "Drive" that is `length` characters long in `dir`, through short folders.
std::string longPath(const TempDir& dir, std::size_t length) {
    std::string relative = "Drive";
    while (dir.path(relative).size() + 20 < length)
        relative += "/folder-" + std::to_string(relative.size() % 10);
    return relative + "/" + std::string(length - dir.path(relative).size() - 5, 'p') + ".jpg";
}

/// No two lines of a pane's details overlap, and every wrapped path is as tall as its lines.
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
                << lines[i]->objectName().toStdString() << " over "
                << lines[j]->objectName().toStdString();
    for (const auto* text : details->findChildren<SelectableText*>())
        EXPECT_GE(text->height(), int(text->document()->size().height()))
            << text->objectName().toStdString();
}

TEST(ContentViewTest, ScanMarkWithTheKeysAndApplyToTheTrash) {
    MediaLibrary library;
    App window;
    // Two folders picked at once, from the welcome screen's button.
    for (auto* button : window.view.findChildren<QPushButton*>())
        if (button->text() == "Scan Folders…" && button->isVisible())
            QTest::mouseClick(button, Qt::LeftButton);
    Chooser* chooser = visibleChild<Chooser>(window.view);
    ASSERT_NE(chooser, nullptr);
    // A typed folder that is not there is refused, not left out.
    auto* typed = chooser->panel().findChild<QLineEdit*>("fileNameEdit");
    typed->setText("\"" + library.path("Bakcup") + "\"");
    QTest::mouseClick(&chooser->promptButton(), Qt::LeftButton);
    QMessageBox* refusal = visibleChild<QMessageBox>(*chooser);
    ASSERT_NE(refusal, nullptr);
    EXPECT_EQ(refusal->text(), "“" + library.path("Bakcup") +
                                   "” is not a folder that can be scanned. Check the name, or "
                                   "choose the folder in the list.");
    refusal->close();
    EXPECT_TRUE(chooser->isVisible() && !window.view.scanner().isScanning());
    chooser->panel().setDirectory(library.path(""));
    pickEntries(chooser->panel(), {"Camera Roll", "Backup"});
    QTest::mouseClick(&chooser->promptButton(), Qt::LeftButton);
    ASSERT_TRUE(window.shows(Screen::comparison) && window.settled());
    window.activate();
    EXPECT_EQ(window.session.scanSummary()->roots,
              (std::vector{library.camera, library.dir.path("Backup")}));
    std::vector<std::string> ids;
    for (const auto& item : window.session.filtered())
        ids.push_back(item.id);
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_TRUE(
        std::ranges::is_sorted(window.session.items(), std::greater{}, &ReviewItem::sizeBytes));

    // D marks the first pair and moves on to the pair that takes its place.
    window.press(Qt::Key_D);
    EXPECT_EQ(window.item(ids[0]).decision, Decision::discard);
    ASSERT_TRUE(window.settled());
    EXPECT_EQ(*window.session.selection(), ids[1]);
    EXPECT_TRUE(waitUntil([&] { return window.list().model()->rowCount() == 3; }));
    // Arrows walk the list without wrapping around; K keeps both and moves on.
    for (const auto key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
        window.press(key);
    ASSERT_TRUE(window.settled());
    window.press(Qt::Key_K);
    EXPECT_EQ(window.item(ids[2]).decision, Decision::keep);
    EXPECT_EQ(*window.session.selection(), ids[3]);
    // Under "All", U clears the mark of a clicked pair, which stays selected.
    window.session.setFilter(Filter::all);
    ASSERT_TRUE(waitUntil([&] { return window.list().model()->rowCount() == 4; }));
    QTest::mouseClick(window.list().viewport(), Qt::LeftButton, {},
                      window.list().visualRect(window.list().model()->index(2, 0)).center());
    window.press(Qt::Key_U);
    EXPECT_EQ(window.item(ids[2]).decision, Decision::undecided);
    EXPECT_EQ(*window.session.selection(), ids[2]);

    // Apply: the marked duplicate goes to the Trash; the kept copy and the rest stay.
    EXPECT_EQ(window.apply("Move to Trash"),
              ReviewTexts::applyAlert(true, 1, window.item(ids[0]).sizeBytes, 0).message);
    EXPECT_EQ(window.item(ids[0]).state, State::trashed);
    EXPECT_EQ(trashedPaths(), std::vector{ids[0]});
    for (const auto& id : {ids[1], ids[2], ids[3], window.item(ids[0]).keepURL})
        EXPECT_TRUE(exists(id)) << id;
    // The rest, marked from the toolbar.
    window.view.markAllAction().trigger();
    window.apply("Move to Trash");
    window.session.setFilter(Filter::pending);
    ASSERT_TRUE(window.shows(Screen::completion));
    EXPECT_TRUE(window.showsText<CompletionSummary>(ReviewTexts::allDealtWith(4)));
    EXPECT_FALSE(window.showsText<CompletionSummary>("Left alone"));
    std::ranges::sort(ids);
    EXPECT_EQ(trashedPaths(), ids);
    for (const auto& id : ids)
        EXPECT_TRUE(!exists(id) && exists(window.item(id).keepURL)) << id;
}

TEST(ContentViewTest, NothingIsAppliedUntilTheRemovalIsConfirmedWithItsOwnButton) {
    TempDir dir;
    App window;
    window.load(dir, 1);
    const std::string id = dir.path("dup0.jpg");
    window.view.requestApply();
    EXPECT_FALSE(window.view.showApplyConfirmation());
    window.session.mark(id, Decision::discard);
    // Escape, Return and Cancel all leave the file where it is.
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_unknown}) {
        ASSERT_TRUE(waitUntil([&] { return window.applyButton().isEnabled(); }));
        QTest::mouseClick(&window.applyButton(), Qt::LeftButton);
        QPointer alert = visibleChild<QMessageBox>(window.view, "applyConfirmation");
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->text(), "Move to Trash?");
        if (key == Qt::Key_unknown)
            clickButton(*alert, "Cancel");
        else
            QTest::keyClick(alert, key);
        ASSERT_TRUE(waitUntil([&] { return alert.isNull(); }));
        EXPECT_FALSE(window.session.isApplying());
        EXPECT_TRUE(window.item(id).state == State::pending && exists(id));
    }
    EXPECT_TRUE(trashedPaths().empty());
}

TEST(ContentViewTest, PairWhoseKeptCopyWentMissingIsLeftAloneAndSeeWhyListsIt) {
    TempDir dir;
    App window;
    window.load(dir, 2);
    window.session.markAllPending(Decision::discard);
    std::filesystem::remove(dir.path("keep1.jpg"));
    window.apply("Move to Trash");
    EXPECT_EQ(window.item(dir.path("dup1.jpg")).state, State::failed);
    EXPECT_EQ(trashedPaths(), std::vector{dir.path("dup0.jpg")});
    EXPECT_TRUE(exists(dir.path("dup1.jpg")));
    ASSERT_TRUE(window.shows(Screen::completion));
    EXPECT_TRUE(window.showsText<CompletionSummary>("Left alone"));
    for (auto* button : window.view.findChild<CompletionSummary*>()->findChildren<QPushButton*>())
        if (button->text() == "1 — see why")
            QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(window.session.filter(), Filter::failed);
    EXPECT_EQ(*window.session.selection(), dir.path("dup1.jpg"));
}

TEST(ContentViewTest, ManifestOpenedFromTheDriveAndKeepingPutsTheFileBack) {
    TempDir dir;
    const MoveRecord record = setAside(dir, "Drive/a.jpg", longPath(dir, 250)).moved.at(0);
    ASSERT_EQ(record.from.size(), 250u);
    App window;
    window.view.resize(window.view.minimumSize());
    QTest::keyClick(&window.view, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    Chooser* chooser = visibleChild<Chooser>(window.view);
    ASSERT_TRUE(chooser && chooser->kind() == Chooser::Kind::manifest);
    chooser->panel().setDirectory(QString::fromStdString(dir.path()));
    pickEntries(chooser->panel(), {"Drive"});
    QTest::mouseClick(&chooser->promptButton(), Qt::LeftButton);
    ASSERT_TRUE(window.settled());
    window.activate();
    EXPECT_EQ(window.session.items()[0].candidateURL, record.to);
    ASSERT_TRUE(waitUntil([&] { return window.view.comparison().rightPane(); }));
    const FilePane& right = *window.view.comparison().rightPane();
    EXPECT_EQ(textOf(right, "roleCaption"), "In the review folder");
    EXPECT_EQ(textOf(right, "originalPath").toStdString(), "Originally at  " + record.from);
    ASSERT_TRUE(waitUntil([&] { return right.metadata().has_value(); }));
    QTest::qWait(50);
    expectReadable(right);

    // K anywhere in the window keeps the pair; keeping a set-aside copy puts it back.
    QTest::keyClick(&window.view, Qt::Key_K);
    EXPECT_EQ(textOf(window.view.comparison(), "decisionLabel"),
              "Marked keep — this copy goes back to the library");
    EXPECT_TRUE(exists(record.to));
    EXPECT_EQ(window.apply("Apply"), ReviewTexts::applyAlert(false, 0, 0, 1).message);
    EXPECT_EQ(window.session.items()[0].state, State::restored);
    EXPECT_TRUE(exists(record.from) && !exists(record.to));
    ASSERT_TRUE(window.shows(Screen::completion));
    EXPECT_TRUE(window.showsText<CompletionSummary>("Put back"));
}

TEST(ContentViewTest, ManifestNamedAtStartOpensAndOneThatCannotBeReadLeavesTheReview) {
    TempDir dir;
    const auto outcome = setAside(dir, "Drive/a.jpg", "Drive/b.jpg");
    qputenv("QUILLMERE_MANIFEST", outcome.manifestURL().value().c_str());
    App window;
    qunsetenv("QUILLMERE_MANIFEST");
    ASSERT_TRUE(window.settled());
    for (const auto& location : {dir.write("broken.JSON", "{ not json"), dir.mkdir("Empty")}) {
        // A file that is not JSON is named in plain words first.
        const bool json = location.ends_with("JSON");
        window.view.open(QString::fromStdString(location));
        QPointer alert = visibleChild<QMessageBox>(window.view, "errorAlert");
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->informativeText().toStdString(), window.session.errorMessage());
        EXPECT_EQ(alert->informativeText().startsWith("Could not read that manifest: This file is "
                                                      "not a manifest Quillmere wrote, or it is "
                                                      "damaged. (not valid JSON"),
                  json);
        EXPECT_TRUE(clickButton(*alert, "OK"));
        EXPECT_FALSE(window.session.errorMessage());
        EXPECT_EQ(window.session.items()[0].candidateURL, outcome.moved.at(0).to);
    }
}

TEST(ContentViewTest, StopAndEscEndAScanAndAnEmptyResultSaysSo) {
    std::atomic<bool> release = false;
    App window([&](const ScanConfig&, const ScanProgress&) {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ScanResult result;
        result.filesScanned = 12345;
        result.duration = 4.21;
        return result;
    });
    TempDir dir;
    auto& stop = window.view.findChild<ScanningPanel*>()->stopButton();
    for (const bool esc : {false, true}) {
        window.view.scan({QString::fromStdString(dir.mkdir("Solo"))});
        ASSERT_TRUE(window.shows(Screen::scanning));
        esc ? QTest::keyClick(&window.view, Qt::Key_Escape)
            : QTest::mouseClick(&stop, Qt::LeftButton);
        ASSERT_TRUE(window.shows(Screen::welcome));
    }
    // While a scan runs, the scan command does nothing; the stopped scans' results are dropped.
    window.view.scan({QString::fromStdString(dir.path("Solo"))});
    ASSERT_TRUE(window.shows(Screen::scanning));
    QTest::keyClick(&window.view, Qt::Key_O, Qt::ControlModifier);
    QTest::qWait(50);
    EXPECT_EQ(window.view.findChild<Chooser*>(), nullptr);
    release = true;
    ASSERT_TRUE(window.shows(Screen::nothingFound));
    EXPECT_TRUE(window.showsText<NothingFoundScreen>(ReviewTexts::checkedSummary(12345, "Solo")));
    EXPECT_TRUE(window.showsText<NothingFoundScreen>(ReviewTexts::tookSummary(4.21)));
}

TEST(ContentViewTest, OnlyThePairMeantIsMarkedOnce) {
    TempDir dir;
    App window;
    window.load(dir, 3);
    const auto decision = [&](int i) {
        return window.item(dir.path("dup" + std::to_string(i) + ".jpg")).decision;
    };
    // The focus starts in the list, and tabbing along the window never stops in a path.
    EXPECT_EQ(QApplication::focusWidget(), &window.list());
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_FALSE(qobject_cast<SelectableText*>(QApplication::focusWidget()));
    }
    // Letters typed into a chooser's name field mark nothing.
    QTest::keyClick(&window.view, Qt::Key_O, Qt::ControlModifier);
    Chooser* chooser = visibleChild<Chooser>(window.view);
    ASSERT_TRUE(chooser && chooser->kind() == Chooser::Kind::foldersToScan);
    auto* name = chooser->panel().findChild<QLineEdit*>("fileNameEdit");
    name->setFocus();
    QTest::keyClicks(name, "dku");
    chooser->reject();
    EXPECT_EQ(decision(0), Decision::undecided);
    window.activate();
    // D in the comparison marks the pair and moves on once, though the menu has D too.
    window.view.comparison().setFocus();
    QTest::keyClick(&window.view.comparison(), Qt::Key_D);
    EXPECT_TRUE(decision(0) == Decision::discard && decision(1) == Decision::undecided);
    EXPECT_EQ(*window.session.selection(), dir.path("dup1.jpg"));

    // A row's context menu marks the pair it was opened on, not the selected one.
    ASSERT_TRUE(waitUntil([&] { return window.list().model()->rowCount() == 2; }));
    const QRect row = window.list().visualRect(window.list().model()->index(1, 0));
    QContextMenuEvent click(QContextMenuEvent::Mouse, row.center(),
                            window.list().viewport()->mapToGlobal(row.center()));
    QApplication::sendEvent(window.list().viewport(), &click);
    QMenu* menu = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (menu = window.list().findChild<QMenu*>()) != nullptr; }));
    menu->actions()[1]->trigger();
    EXPECT_TRUE(decision(2) == Decision::keep && decision(1) == Decision::undecided);
}

TEST(QuillmereAppTest, HelpAndAboutCloseWithEscAndCtrlW) {
    App app;
    for (const auto& [window, keys] :
         {std::pair{QuillmereApp::Window::help, QKeySequence(Qt::Key_Escape)},
          std::pair{QuillmereApp::Window::about, QKeySequence(Qt::CTRL | Qt::Key_W)}}) {
        app.openWindow(window);
        QPointer shown = app.window(window);
        ASSERT_TRUE(shown && QTest::qWaitForWindowActive(shown));
        QTest::keySequence(shown, keys);
        EXPECT_TRUE(waitUntil([&] { return !shown || !shown->isVisible(); }));
    }
}

} // namespace
} // namespace quillmere
