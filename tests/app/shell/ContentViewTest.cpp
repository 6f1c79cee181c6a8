// The main window driven as a user drives it, through key presses and clicks on the real widgets:
// choosing folders, watching the scan, walking and marking pairs with the keyboard, filtering,
// applying to a temporary Trash, reading the summaries; opening what the command-line tool set
// aside and putting files back; the alerts.
#include "views/ContentView.h"

#include "QtPrinting.h"
#include "QuillmereApp.h"
#include "ShellTestSupport.h"
#include "model/ReviewSession.h"
#include "model/ReviewState.h"
#include "move/Mover.h"
#include "report/ReportWriter.h"
#include "scan/ScanResult.h"
#include "scan/SkipRules.h"
#include "views/ComparisonView.h"
#include "views/DetailScreens.h"
#include "views/Sidebar.h"
#include "views/StatusBar.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

namespace quillmere {
namespace {

using testing::MediaLibrary;
using testing::TempDir;
using testing::waitUntil;
using Decision = ReviewItem::Decision;
using Filter = ReviewSession::Filter;
using MediaFilter = ReviewSession::MediaFilter;
using Screen = ContentView::Screen;
using State = ReviewItem::State;

/// The application with its review window shown and active, so that its shortcuts work.
struct Window {
    QuillmereApp app;
    ContentView& view;
    ReviewSession& session;

    explicit Window(ScanCoordinator::Engine engine = {})
        : app(std::move(engine)), view(*app.reviewWindow()), session(app.session()) {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&view));
    }

    QListView& list() { return view.sidebar().list(); }
    QComboBox& filterPicker() { return view.sidebar().filterPicker(); }
    QPushButton& applyButton() { return view.reviewStatusBar().applyButton(); }

    /// Presses a key with the list focused, as a user walking the list does.
    void press(Qt::Key key) {
        list().setFocus();
        QTest::keyClick(&list(), key);
    }

    void chooseFilter(Filter filter) {
        const int index =
            int(std::find(ReviewSession::filters.begin(), ReviewSession::filters.end(), filter) -
                ReviewSession::filters.begin());
        filterPicker().setCurrentIndex(index);
        emit filterPicker().activated(index);
    }

    QStringList filterChoices() {
        QStringList choices;
        for (int i = 0; i < filterPicker().count(); ++i)
            choices << filterPicker().itemText(i);
        return choices;
    }

    QStringList mediaChoices() {
        QStringList choices;
        for (const auto filter : ReviewSession::mediaFilters)
            choices << view.sidebar().mediaSegment(filter).text();
        return choices;
    }

    std::vector<std::string> listedIds() {
        std::vector<std::string> ids;
        for (const auto& item : session.filtered())
            ids.push_back(item.id);
        return ids;
    }

    /// The id in the list's selected row, or empty.
    std::string selectedRow() {
        const auto rows = list().selectionModel()->selectedRows();
        return rows.isEmpty() ? std::string()
                              : rows.first().data(Qt::UserRole).toString().toStdString();
    }

    bool shows(Screen screen) {
        return waitUntil([&] { return view.screen() == screen; });
    }

    /// Waits until the list and the detail area show the session's selection.
    bool settled() {
        return waitUntil([&] {
            const auto& selection = session.selection();
            return selection && selectedRow() == *selection &&
                   view.comparison().item().has_value() &&
                   view.comparison().item()->id == *selection;
        });
    }

    /// Presses the apply button and answers the confirmation with `answer`, checking that the
    /// alert asks with `title`; returns the alert's message.
    QString apply(const QString& title, const QString& answer) {
        EXPECT_TRUE(waitUntil([&] { return applyButton().isEnabled(); }));
        QTest::mouseClick(&applyButton(), Qt::LeftButton);
        QMessageBox* alert = testing::awaitAlert(view, QStringLiteral("applyConfirmation"));
        if (!alert)
            return QStringLiteral("no alert");
        EXPECT_EQ(alert->text(), title);
        const QString message = alert->informativeText();
        EXPECT_TRUE(testing::clickButton(*alert, answer));
        EXPECT_TRUE(waitUntil([&] { return !session.isApplying(); }));
        return message;
    }
};

/// Every label and button text shown by a screen, in layout order.
QStringList shownTexts(const QWidget& screen) {
    QStringList texts;
    for (const auto* widget : screen.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&screen))
            continue;
        if (const auto* label = qobject_cast<const QLabel*>(widget);
            label && !label->text().isEmpty())
            texts << label->text();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            texts << button->text();
    }
    return texts;
}

TEST(ContentViewTest, StartsOnTheWelcomeScreenWithoutSidebarOrStatusBar) {
    Window window;
    EXPECT_EQ(window.view.windowTitle(), "Quillmere Review");
    EXPECT_GE(window.view.minimumWidth(), 1080);
    EXPECT_GE(window.view.minimumHeight(), 680);
    EXPECT_EQ(window.view.screen(), Screen::welcome);
    EXPECT_FALSE(window.view.sidebar().isVisible());
    EXPECT_FALSE(window.view.reviewStatusBar().isVisible());
    EXPECT_TRUE(window.view.scanAction().isEnabled());
    EXPECT_FALSE(window.view.markAllAction().isEnabled());
    EXPECT_FALSE(window.view.clearMarksAction().isEnabled());
    EXPECT_FALSE(window.view.retryAction().isEnabled());
    EXPECT_EQ(window.view.scanAction().toolTip(), "Scan other folders for duplicates (Ctrl+O)");
    EXPECT_EQ(window.view.retryAction().toolTip(),
              "Put files that could not be removed back in the queue");
}

TEST(ContentViewTest, ScanReviewWithTheKeyboardFilterAndApplyToTheTrash) {
    MediaLibrary library;
    Window window;

    // Scan both folders at once from the welcome screen's button.
    auto* scan = [&] {
        for (auto* button : window.view.findChildren<QPushButton*>())
            if (button->text() == "Scan Folders…" && button->isVisible())
                return button;
        return static_cast<QPushButton*>(nullptr);
    }();
    ASSERT_NE(scan, nullptr);
    QTest::mouseClick(scan, Qt::LeftButton);
    testing::chooseFoldersToScan(window.view, QString::fromStdString(library.dir.path()),
                                 {"Camera", "Backup"});
    ASSERT_TRUE(window.shows(Screen::comparison));
    ASSERT_TRUE(window.settled());

    EXPECT_EQ(window.session.scanSummary()->roots, (std::vector{library.camera, library.backup}));
    EXPECT_TRUE(window.view.sidebar().isVisible());
    EXPECT_TRUE(window.view.reviewStatusBar().isVisible());
    EXPECT_GE(window.view.sidebar().width(), ContentView::sidebarMinimumWidth);
    EXPECT_LE(window.view.sidebar().width(), ContentView::sidebarMaximumWidth);
    EXPECT_EQ(window.filterChoices(),
              (QStringList{"To review  (3)", "Marked remove  (0)", "Marked keep  (0)",
                           "Failed  (0)", "Done  (0)", "All  (3)"}));
    EXPECT_EQ(window.mediaChoices(), (QStringList{"All media  (3)", "Photos  (2)", "Videos  (1)"}));
    EXPECT_FALSE(window.applyButton().isEnabled());
    EXPECT_EQ(window.applyButton().text(), "Apply 0 decisions");

    const auto ids = window.listedIds();
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(*window.session.selection(), ids[0]);

    // D marks the first pair and moves on to the pair that takes its place.
    window.press(Qt::Key_D);
    EXPECT_EQ(window.session.item(ids[0])->decision, Decision::discard);
    ASSERT_TRUE(window.settled());
    EXPECT_EQ(window.selectedRow(), ids[1]);
    EXPECT_TRUE(waitUntil([&] { return window.list().model()->rowCount() == 2; }));

    // Arrows walk the list without wrapping around.
    window.press(Qt::Key_Down);
    EXPECT_EQ(*window.session.selection(), ids[2]);
    window.press(Qt::Key_Down);
    EXPECT_EQ(*window.session.selection(), ids[2]);
    window.press(Qt::Key_Up);
    EXPECT_EQ(*window.session.selection(), ids[1]);
    ASSERT_TRUE(window.settled());

    // K keeps both and moves on; the status bar follows.
    window.press(Qt::Key_K);
    EXPECT_EQ(window.session.item(ids[1])->decision, Decision::keep);
    ASSERT_TRUE(window.settled());
    EXPECT_EQ(window.selectedRow(), ids[2]);
    ASSERT_TRUE(waitUntil([&] { return window.applyButton().text() == "Remove 1 file…"; }));
    EXPECT_TRUE(window.applyButton().isEnabled());

    // Under "All", U clears the mark of the kept pair, which then stays selected.
    window.chooseFilter(Filter::all);
    ASSERT_TRUE(waitUntil([&] { return window.list().model()->rowCount() == 3; }));
    EXPECT_EQ(*window.session.selection(), ids[2]); // reconciled: still listed
    QTest::mouseClick(window.list().viewport(), Qt::LeftButton, {},
                      window.list().visualRect(window.list().model()->index(1, 0)).center());
    EXPECT_EQ(*window.session.selection(), ids[1]);
    window.press(Qt::Key_U);
    EXPECT_EQ(window.session.item(ids[1])->decision, Decision::undecided);
    EXPECT_EQ(*window.session.selection(), ids[1]);

    // The media filter narrows the counts of the status filters, not its own.
    QTest::mouseClick(&window.view.sidebar().mediaSegment(MediaFilter::videos), Qt::LeftButton);
    EXPECT_EQ(window.session.mediaFilter(), MediaFilter::videos);
    ASSERT_TRUE(waitUntil([&] { return window.filterChoices().last() == "All  (1)"; }));
    EXPECT_EQ(window.mediaChoices(), (QStringList{"All media  (3)", "Photos  (2)", "Videos  (1)"}));
    QTest::mouseClick(&window.view.sidebar().mediaSegment(MediaFilter::all), Qt::LeftButton);

    // A filter that lists nothing explains why.
    window.chooseFilter(Filter::keep);
    ASSERT_TRUE(window.shows(Screen::emptyFilter));
    EXPECT_EQ(window.view.emptyFilterNotice().notice().title, "Nothing in this filter");
    EXPECT_EQ(window.view.emptyFilterNotice().notice().message,
              "2 pairs still need a decision — switch the filter to \"To review\".");

    // Apply: the marked duplicate is checked again and goes to the Trash; the rest stay.
    const QString message = window.apply("Move to Trash?", "Move to Trash");
    EXPECT_TRUE(message.startsWith("1 duplicate(s) — "));
    EXPECT_EQ(window.session.item(ids[0])->state, State::trashed);
    EXPECT_FALSE(testing::exists(ids[0]));
    const auto inTrash = testing::trashedPaths();
    EXPECT_TRUE(std::binary_search(inTrash.begin(), inTrash.end(), ids[0]));
    EXPECT_TRUE(testing::exists(ids[1]));
    EXPECT_TRUE(testing::exists(ids[2]));
    EXPECT_TRUE(testing::exists(window.session.item(ids[0])->keepURL));

    // Mark the rest from the toolbar, apply, and read the summary.
    window.view.markAllAction().trigger();
    ASSERT_TRUE(waitUntil([&] { return window.applyButton().text() == "Remove 2 files…"; }));
    window.apply("Move to Trash?", "Move to Trash");
    EXPECT_TRUE(window.session.isComplete());
    window.chooseFilter(Filter::pending);
    ASSERT_TRUE(window.shows(Screen::completion));
    std::int64_t bytes = 0;
    for (const auto& item : window.session.items())
        bytes += item.sizeBytes;
    const QStringList summary = shownTexts(*window.view.findChild<CompletionSummary*>());
    EXPECT_TRUE(summary.contains("All done"));
    EXPECT_TRUE(summary.contains("All 3 duplicates from this scan have been dealt with."));
    EXPECT_TRUE(summary.contains("Moved to Trash"));
    EXPECT_TRUE(summary.contains("3"));
    EXPECT_TRUE(summary.contains("Space freed"));
    EXPECT_TRUE(summary.contains(QString::fromStdString(ReportWriter::humanSize(bytes))));
    EXPECT_FALSE(summary.contains("Left alone"));
    EXPECT_FALSE(summary.contains("Put back"));
    const auto allInTrash = testing::trashedPaths();
    for (const auto& id : ids) {
        EXPECT_TRUE(std::binary_search(allInTrash.begin(), allInTrash.end(), id)) << id;
        EXPECT_FALSE(testing::exists(id)) << id;
        EXPECT_TRUE(testing::exists(window.session.item(id)->keepURL)) << id;
    }
}

TEST(ContentViewTest, ReviewKeysDoNotFireWhileTypingInATextField) {
    TempDir dir;
    Window window;
    ScanResult result;
    result.groups.push_back(
        {MediaKind::photo, 3, dir.write("a.jpg", "abc"), {dir.write("b.jpg", "abc")}});
    window.session.load(result, {dir.path()});
    ASSERT_TRUE(window.settled());

    // The folder chooser's name field takes the letters; the pair keeps its mark.
    QTest::keyClick(&window.view, Qt::Key_O, Qt::ControlModifier);
    Chooser* chooser = testing::awaitChooser(window.view);
    ASSERT_NE(chooser, nullptr);
    auto* field = chooser->panel().findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(field, nullptr);
    field->setFocus();
    QTest::keyClicks(field, "dku");
    EXPECT_EQ(field->text(), "dku");
    EXPECT_EQ(window.session.items()[0].decision, Decision::undecided);
    chooser->reject();

    // So does a text field in the window itself.
    auto* search = new QLineEdit(&window.view);
    window.view.findChild<QToolBar*>()->addWidget(search);
    search->setFocus();
    QTest::keyClicks(search, "d");
    QTest::keyClick(search, Qt::Key_Down);
    EXPECT_EQ(search->text(), "d");
    EXPECT_EQ(window.session.items()[0].decision, Decision::undecided);
}

TEST(ContentViewTest, RowContextMenuMarksThePairItWasOpenedOn) {
    TempDir dir;
    Window window;
    ScanResult result;
    result.groups.push_back(
        {MediaKind::photo, 3, dir.write("a.jpg", "abc"), {dir.write("b.jpg", "abc")}});
    result.groups.push_back(
        {MediaKind::photo, 2, dir.write("c.jpg", "de"), {dir.write("d.jpg", "de")}});
    window.session.load(result, {dir.path()});
    ASSERT_TRUE(window.settled());

    QMenu* menu = window.view.sidebar().contextMenu(dir.path("d.jpg"));
    QStringList titles;
    for (auto* action : menu->actions())
        titles << action->text();
    EXPECT_EQ(titles,
              (QStringList{"Mark for removal", "Keep Both", "Clear Mark", "",
                           "Show Duplicate in File Manager", "Show Original in File Manager"}));
    menu->actions()[1]->trigger();
    EXPECT_EQ(window.session.item(dir.path("d.jpg"))->decision, Decision::keep);
    EXPECT_EQ(window.session.item(dir.path("b.jpg"))->decision, Decision::undecided);
    menu->actions()[0]->trigger();
    EXPECT_EQ(window.session.item(dir.path("d.jpg"))->decision, Decision::discard);
    menu->close();

    // Right-clicking a row opens the same menu.
    const QRect row = window.list().visualRect(window.list().model()->index(0, 0));
    QContextMenuEvent click(QContextMenuEvent::Mouse, row.center(),
                            window.list().viewport()->mapToGlobal(row.center()));
    QApplication::sendEvent(window.list().viewport(), &click);
    EXPECT_TRUE(waitUntil([&] { return window.list().findChild<QMenu*>() != nullptr; }));
}

TEST(ContentViewTest, ManifestReviewPutsTheKeptFileBack) {
    TempDir dir;
    const std::string root = dir.mkdir("Drive");
    DuplicateGroup group{MediaKind::photo,
                         5,
                         dir.write("Drive/a.jpg", "hello"),
                         {dir.write("Drive/sub/a copy.jpg", "hello")}};
    const auto outcome = Mover({root}, std::string(SkipRules::reviewDirectoryName)).move({group});
    ASSERT_EQ(outcome.moved.size(), 1u);
    const MoveRecord record = outcome.moved[0];
    ASSERT_FALSE(testing::exists(record.from));

    Window window;
    // The manifest chooser opens even with a review loaded, and takes the drive itself.
    QTest::keyClick(&window.view, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    Chooser* chooser = testing::awaitChooser(window.view);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->kind(), Chooser::Kind::manifest);
    chooser->panel().setDirectory(QString::fromStdString(root));
    EXPECT_EQ(chooser->promptButton().text(), "Open");
    QTest::mouseClick(&chooser->promptButton(), Qt::LeftButton);
    ASSERT_TRUE(window.settled());
    EXPECT_EQ(window.session.sourceDescription(), root + "/_duplicates_review");

    // K anywhere in the window keeps the pair; keeping a set-aside copy puts it back.
    // Without a window manager nothing hands the focus back once the chooser has gone.
    window.view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window.view));
    QTest::keyClick(&window.view, Qt::Key_K);
    EXPECT_EQ(window.session.items()[0].decision, Decision::keep);
    ASSERT_TRUE(waitUntil([&] { return window.applyButton().text() == "Apply 1 decision"; }));
    EXPECT_EQ(window.apply("Apply decisions?", "Apply"),
              "1 file goes back to its original folder.");
    EXPECT_EQ(window.session.items()[0].state, State::restored);
    EXPECT_TRUE(testing::exists(record.from));
    EXPECT_FALSE(testing::exists(record.to));
    ASSERT_TRUE(window.shows(Screen::completion));
    EXPECT_TRUE(shownTexts(*window.view.findChild<CompletionSummary*>()).contains("Put back"));
}

TEST(ContentViewTest, UnreadableManifestShowsTheErrorAndKeepsTheReview) {
    TempDir dir;
    Window window;
    ScanResult result;
    result.groups.push_back(
        {MediaKind::photo, 3, dir.write("a.jpg", "abc"), {dir.write("b.jpg", "abc")}});
    window.session.load(result, {dir.path()});
    ASSERT_TRUE(window.settled());

    window.view.open(QString::fromStdString(dir.write("broken.JSON", "{ not json")));
    QMessageBox* alert = testing::awaitAlert(window.view, "errorAlert");
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Something went wrong");
    EXPECT_TRUE(alert->informativeText().startsWith("Could not read that manifest: "));
    EXPECT_EQ(testing::buttonTitles(*alert), QStringList{"OK"});
    EXPECT_EQ(window.session.items().size(), 1u);
    EXPECT_EQ(window.view.screen(), Screen::comparison);

    EXPECT_TRUE(testing::clickButton(*alert, "OK"));
    EXPECT_FALSE(window.session.errorMessage().has_value());
    EXPECT_TRUE(waitUntil([&] { return !testing::openAlert(window.view, "errorAlert"); }));

    // A folder without a review folder names the folder that was searched.
    window.view.open(QString::fromStdString(dir.path()));
    alert = testing::awaitAlert(window.view, "errorAlert");
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->informativeText(), QString::fromStdString("No Quillmere manifest found in " +
                                                               dir.path() + "/_duplicates_review"));
}

TEST(ContentViewTest, ScanningHidesTheBarAndIgnoresScanCommandsUntilItEnds) {
    std::atomic<bool> release = false;
    Window window([&](const ScanConfig&, const ScanProgress& progress) {
        progress(scanphase::Enumerating{12345});
        while (!release)
            std::this_thread::yield();
        ScanResult result;
        result.filesScanned = 12345;
        result.duration = 4.21;
        return result;
    });
    TempDir dir;
    window.view.scan({QString::fromStdString(dir.mkdir("Solo"))});
    ASSERT_TRUE(window.shows(Screen::scanning));
    const auto* panel = window.view.findChild<ScanningPanel*>();
    ASSERT_TRUE(waitUntil([&] { return shownTexts(*panel).contains("Looking for media files…"); }));
    EXPECT_TRUE(shownTexts(*panel).contains("Read-only — nothing is changed by scanning."));
    EXPECT_FALSE(window.view.scanAction().isEnabled());
    EXPECT_FALSE(window.view.reviewStatusBar().isVisible());

    // The scan command does nothing while a scan runs.
    QTest::keyClick(&window.view, Qt::Key_O, Qt::ControlModifier);
    QTest::qWait(50);
    EXPECT_EQ(window.view.findChild<Chooser*>(), nullptr);

    release = true;
    ASSERT_TRUE(window.shows(Screen::nothingFound));
    const QStringList texts = shownTexts(*window.view.findChild<NothingFoundScreen*>());
    EXPECT_TRUE(texts.contains("No duplicates found"));
    EXPECT_TRUE(texts.contains("Checked 12,345 photos and videos in Solo."));
    EXPECT_TRUE(texts.contains("Took 4.2s. Nothing was changed."));
    EXPECT_TRUE(texts.contains("Scan Another Folder…"));
    EXPECT_FALSE(window.view.sidebar().isVisible());
    EXPECT_TRUE(window.view.scanAction().isEnabled());
}

TEST(ContentViewTest, FailedPairsAreLeftAloneAndSeeWhyListsThem) {
    TempDir dir;
    Window window;
    ScanResult result;
    result.groups.push_back(
        {MediaKind::photo, 3, dir.write("a.jpg", "abc"), {dir.write("b.jpg", "abc")}});
    result.groups.push_back(
        {MediaKind::photo, 2, dir.write("c.jpg", "de"), {dir.write("d.jpg", "de")}});
    window.session.load(result, {dir.path()});
    ASSERT_TRUE(window.settled());
    window.session.markAllPending(Decision::discard);
    std::filesystem::remove(dir.path("c.jpg"));

    window.apply("Move to Trash?", "Move to Trash");
    EXPECT_EQ(window.session.item(dir.path("d.jpg"))->state, State::failed);
    EXPECT_TRUE(testing::exists(dir.path("d.jpg")));
    ASSERT_TRUE(window.shows(Screen::completion));
    EXPECT_TRUE(window.view.retryAction().isEnabled());
    auto& summary = *window.view.findChild<CompletionSummary*>();
    EXPECT_TRUE(shownTexts(summary).contains("Left alone"));

    QPushButton* seeWhy = nullptr;
    for (auto* button : summary.findChildren<QPushButton*>())
        if (button->text() == "1 — see why")
            seeWhy = button;
    ASSERT_NE(seeWhy, nullptr);
    QTest::mouseClick(seeWhy, Qt::LeftButton);
    EXPECT_EQ(window.session.filter(), Filter::failed);
    EXPECT_EQ(*window.session.selection(), dir.path("d.jpg"));
    ASSERT_TRUE(window.shows(Screen::comparison));
    EXPECT_EQ(window.filterPicker().currentText(), "Failed  (1)");

    window.view.retryAction().trigger();
    EXPECT_EQ(window.session.filter(), Filter::discard);
    EXPECT_EQ(window.session.item(dir.path("d.jpg"))->state, State::pending);
}

TEST(ContentViewTest, ApplyIsOfferedOnlyWithMarksAndCancelChangesNothing) {
    TempDir dir;
    Window window;
    ScanResult result;
    result.groups.push_back(
        {MediaKind::photo, 3, dir.write("a.jpg", "abc"), {dir.write("b.jpg", "abc")}});
    window.session.load(result, {dir.path()});
    ASSERT_TRUE(window.settled());

    window.view.requestApply();
    QTest::qWait(20);
    EXPECT_EQ(testing::openAlert(window.view, "applyConfirmation"), nullptr);
    EXPECT_FALSE(window.view.showApplyConfirmation());

    window.session.mark(dir.path("b.jpg"), Decision::discard);
    ASSERT_TRUE(waitUntil([&] { return window.applyButton().isEnabled(); }));
    QTest::mouseClick(&window.applyButton(), Qt::LeftButton);
    QMessageBox* alert = testing::awaitAlert(window.view, "applyConfirmation");
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(window.view.showApplyConfirmation());
    EXPECT_TRUE(window.view.alertOffersRemoval());
    EXPECT_EQ(testing::buttonTitles(*alert), (QStringList{"Cancel", "Move to Trash"}));
    EXPECT_TRUE(testing::clickButton(*alert, "Cancel"));
    EXPECT_FALSE(window.view.showApplyConfirmation());
    EXPECT_EQ(window.session.item(dir.path("b.jpg"))->state, State::pending);
    EXPECT_TRUE(testing::exists(dir.path("b.jpg")));
}

TEST(ContentViewTest, OpensTheManifestNamedAtStartOnce) {
    TempDir dir;
    const std::string root = dir.mkdir("Drive");
    DuplicateGroup group{MediaKind::photo,
                         5,
                         dir.write("Drive/a.jpg", "hello"),
                         {dir.write("Drive/b.jpg", "hello")}};
    const auto outcome = Mover({root}, std::string(SkipRules::reviewDirectoryName)).move({group});
    ASSERT_TRUE(outcome.manifestURL());
    qputenv("QUILLMERE_MANIFEST", QByteArray::fromStdString(*outcome.manifestURL()));
    Window window;
    qunsetenv("QUILLMERE_MANIFEST");
    ASSERT_TRUE(window.settled());
    EXPECT_EQ(window.session.items()[0].candidateURL, outcome.moved[0].to);
}

// Not an assertion on speed: prints how long switching the status filter takes with 20,000
// pairs listed, from the choice in the picker to the redrawn window.
TEST(ContentViewTest, FilterSwitchOverTwentyThousandPairs) {
    constexpr int pairs = 20000;
    TempDir dir;
    ScanResult result;
    const std::string keep = dir.write("keep.jpg", "x");
    std::string state = "{";
    for (int i = 0; i < pairs; ++i) {
        const std::string path =
            dir.write("dup" + std::to_string(i) + (i % 4 ? ".jpg" : ".mov"), "x");
        result.groups.push_back({MediaKind::photo, 1000 + i, keep, {path}});
        if (i % 3 == 0)
            state += std::string(state.size() > 1 ? "," : "") + "\"" + path + "\":\"discard\"";
    }
    state += "}";
    const std::vector<std::string> roots{dir.path()};
    std::ofstream(*ReviewState::stateFileForScan(roots)) << state;

    Window window;
    window.view.resize(1200, 800);
    window.session.load(result, roots);
    ASSERT_TRUE(window.settled());
    ASSERT_EQ(window.list().model()->rowCount(), pairs - (pairs + 2) / 3);

    for (const auto filter : {Filter::discard, Filter::all, Filter::pending, Filter::resolved,
                              Filter::all, Filter::pending}) {
        QElapsedTimer timer;
        timer.start();
        window.chooseFilter(filter);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        window.view.repaint();
        const auto elapsed = timer.nsecsElapsed() / 1e6;
        std::cout << "[ measure  ] filter \"" << ReviewSession::label(filter) << "\" with "
                  << window.list().model()->rowCount() << " of " << pairs
                  << " pairs listed: " << elapsed << " ms\n";
        EXPECT_EQ(window.list().model()->rowCount(), window.session.count(filter));
    }
}

} // namespace
} // namespace quillmere
