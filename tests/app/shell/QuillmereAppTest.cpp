// The application shell: its menus and shortcuts with their enabling rules, the windows that open
// once and come forward, the notifications of the menu commands, the review keys, and the alerts
// of the command-line tool's installation.
#include "QuillmereApp.h"

#include "QtPrinting.h"
#include "ShellTestSupport.h"
#include "model/ReviewSession.h"
#include "model/Updater.h"
#include "scan/ScanResult.h"
#include "views/AboutView.h"
#include "views/ComparisonView.h"
#include "views/ContentView.h"
#include "views/HelpView.h"
#include "views/Notifications.h"
#include "views/Sidebar.h"

#include <QAction>
#include <QClipboard>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <filesystem>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::TempDir;
using testing::waitUntil;
using Decision = ReviewItem::Decision;
using Filter = ReviewSession::Filter;

struct App {
    QuillmereApp app;
    ContentView& view = *app.reviewWindow();
    ReviewSession& session = app.session();

    App() { EXPECT_TRUE(QTest::qWaitForWindowActive(&view)); }

    /// Loads three pairs b, d and f (kept copies a, c and e) and waits for the first to show.
    void loadPairs(const TempDir& dir) {
        ScanResult result;
        for (const auto& [keep, remove] : {std::pair{"a.jpg", "b.jpg"}, std::pair{"c.jpg", "d.jpg"},
                                           std::pair{"e.jpg", "f.jpg"}})
            result.groups.push_back(
                {MediaKind::photo, 1, dir.write(keep, keep), {dir.write(remove, keep)}});
        session.load(result, {dir.path()});
        ASSERT_TRUE(waitUntil([&] {
            return session.selection() && view.comparison().item() &&
                   view.comparison().item()->id == *session.selection();
        }));
    }

    QAction& command(const QString& title) {
        QAction* action = app.command(title);
        EXPECT_NE(action, nullptr) << title.toStdString();
        return *action;
    }
};

/// The titles of a menu's entries, an empty text for each divider.
QStringList entries(const QMenu& menu) {
    QStringList titles;
    for (const auto* action : menu.actions())
        titles << action->text();
    return titles;
}

TEST(QuillmereAppTest, MenusHoldTheirCommandsInOrder) {
    App app;
    QStringList titles;
    QList<QMenu*> menus;
    for (const auto* action : app.view.menuBar()->actions()) {
        titles << action->text();
        menus << action->menu();
    }
    EXPECT_EQ(titles, (QStringList{"Quillmere", "File", "Review", "Help"}));
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(entries(*menus[0]),
              (QStringList{"About Quillmere", "Check for Updates…", "",
                           "Install Command Line Tool…", "", "Quit Quillmere"}));
    EXPECT_EQ(entries(*menus[1]),
              (QStringList{"Scan Folders…", "Open an Earlier Scan's Manifest…"}));
    EXPECT_EQ(entries(*menus[2]), (QStringList{"Mark for Trash", "Keep Both", "Clear Mark", "",
                                               "Next Pair", "Previous Pair", "",
                                               "Mark All Remaining for Trash", "Clear All Marks"}));
    EXPECT_EQ(entries(*menus[3]), QStringList{"Quillmere Help"});
}

TEST(QuillmereAppTest, CheckForUpdatesIsEnabledOnlyWhileTheUpdaterCanCheck) {
    App app;
    QAction& check = app.command("Check for Updates…");
    EXPECT_FALSE(app.app.updater().canCheckForUpdates());
    EXPECT_FALSE(check.isEnabled());
    emit app.app.updater().canCheckForUpdatesChanged(true);
    EXPECT_TRUE(check.isEnabled());
    emit app.app.updater().canCheckForUpdatesChanged(false);
    EXPECT_FALSE(check.isEnabled());
}

TEST(QuillmereAppTest, AboutAndHelpWindowsOpenOnceAndComeForward) {
    App app;
    app.command("About Quillmere").trigger();
    QWidget* about = app.app.window(QuillmereApp::Window::about);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), "About Quillmere");
    EXPECT_NE(about->findChild<AboutView*>(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    // The window takes the size of its content and cannot be resized.
    EXPECT_EQ(about->minimumSize(), about->maximumSize());

    app.view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.view));
    app.command("About Quillmere").trigger();
    EXPECT_EQ(app.app.window(QuillmereApp::Window::about), about);
    EXPECT_TRUE(QTest::qWaitForWindowActive(about));

    app.view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.view));
    QTest::keyClick(&app.view, Qt::Key_Question, Qt::ControlModifier);
    QWidget* help = app.app.window(QuillmereApp::Window::help);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->windowTitle(), "Quillmere Help");
    EXPECT_NE(help->findChild<HelpView*>(), nullptr);
    app.view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.view));
    QTest::keyClick(&app.view, Qt::Key_F1);
    EXPECT_EQ(app.app.window(QuillmereApp::Window::help), help);

    int abouts = 0, helps = 0;
    for (const auto* window : QApplication::topLevelWidgets()) {
        abouts += window->findChild<AboutView*>() != nullptr;
        helps += window->findChild<HelpView*>() != nullptr;
    }
    EXPECT_EQ(abouts, 1);
    EXPECT_EQ(helps, 1);

    // A closed window is made anew when it is asked for again.
    about->close();
    EXPECT_TRUE(waitUntil([&] { return app.app.window(QuillmereApp::Window::about) == nullptr; }));
    app.command("About Quillmere").trigger();
    EXPECT_NE(app.app.window(QuillmereApp::Window::about), nullptr);
}

TEST(QuillmereAppTest, FileCommandsPostTheirNotifications) {
    TempDir dir;
    App app;
    app.loadPairs(dir);
    QSignalSpy scans(&app.app.notifications(), &Notifications::scanFolders);
    QSignalSpy opens(&app.app.notifications(), &Notifications::openManifest);

    QTest::keyClick(&app.view, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(opens.count(), 1);
    Chooser* chooser = testing::awaitChooser(app.view);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->kind(), Chooser::Kind::manifest);
    chooser->reject();

    app.view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.view));
    QTest::keyClick(&app.view, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(scans.count(), 1);
    chooser = testing::awaitChooser(app.view);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->kind(), Chooser::Kind::foldersToScan);
    chooser->reject();
}

TEST(QuillmereAppTest, ReviewKeysWorkWhileTheListHasFocus) {
    TempDir dir;
    App app;
    app.loadPairs(dir);
    QListView& list = app.view.sidebar().list();
    list.setFocus();
    QSignalSpy next(&app.command("Next Pair"), &QAction::triggered);
    QSignalSpy previous(&app.command("Previous Pair"), &QAction::triggered);
    QSignalSpy trash(&app.command("Mark for Trash"), &QAction::triggered);

    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(*app.session.selection(), dir.path("d.jpg"));
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(previous.count(), 1);
    EXPECT_EQ(*app.session.selection(), dir.path("b.jpg"));
    QTest::keyClick(&list, Qt::Key_D);
    EXPECT_EQ(trash.count(), 1);
    EXPECT_EQ(app.session.item(dir.path("b.jpg"))->decision, Decision::discard);
    EXPECT_EQ(*app.session.selection(), dir.path("d.jpg"));
}

TEST(QuillmereAppTest, DecisionKeysInTheComparisonMarkOnce) {
    TempDir dir;
    App app;
    app.loadPairs(dir);
    app.view.comparison().setFocus();
    QTest::keyClick(&app.view.comparison(), Qt::Key_D);
    EXPECT_EQ(app.session.item(dir.path("b.jpg"))->decision, Decision::discard);
    // Marked and moved on once: the pair that took its place is still unmarked.
    EXPECT_EQ(app.session.item(dir.path("d.jpg"))->decision, Decision::undecided);
    EXPECT_EQ(*app.session.selection(), dir.path("d.jpg"));
}

TEST(QuillmereAppTest, ClearMarkReturnsAKeptPairToReview) {
    TempDir dir;
    App app;
    app.loadPairs(dir);
    app.session.setFilter(Filter::keep);
    app.session.mark(dir.path("d.jpg"), Decision::keep);
    app.session.reconcileSelection();
    ASSERT_EQ(*app.session.selection(), dir.path("d.jpg"));
    app.command("Clear Mark").trigger();
    EXPECT_EQ(app.session.item(dir.path("d.jpg"))->decision, Decision::undecided);
    EXPECT_EQ(app.session.count(Filter::pending), 3);

    // With nothing selected the command changes nothing.
    app.session.setSelection(std::nullopt);
    app.session.mark(dir.path("b.jpg"), Decision::keep);
    app.command("Clear Mark").trigger();
    EXPECT_EQ(app.session.item(dir.path("b.jpg"))->decision, Decision::keep);
}

TEST(QuillmereAppTest, BulkCommandsActOnEveryPendingPairWhateverTheFilters) {
    TempDir dir;
    App app;
    app.loadPairs(dir);
    app.session.mark(dir.path("d.jpg"), Decision::keep);
    app.session.setFilter(Filter::keep);
    app.session.setMediaFilter(ReviewSession::MediaFilter::videos);
    app.command("Mark All Remaining for Trash").trigger();
    EXPECT_EQ(app.session.markedForDiscard().size(), 3u);
    app.command("Clear All Marks").trigger();
    EXPECT_EQ(app.session.undecidedCount(), 3);
}

TEST(QuillmereAppTest, TheReviewOutlivesItsWindow) {
    TempDir dir;
    auto app = std::make_unique<App>();
    app->loadPairs(dir);
    app->session.mark(dir.path("d.jpg"), Decision::keep);
    app->app.openWindow(QuillmereApp::Window::about);
    app->view.close();
    ASSERT_TRUE(waitUntil([&] { return app->app.reviewWindow() == nullptr; }));
    // The about window goes with it, as the app ends with its review window.
    EXPECT_TRUE(waitUntil([&] { return !app->app.window(QuillmereApp::Window::about); }));
    app->app.openWindow(QuillmereApp::Window::review);
    ContentView* reopened = app->app.reviewWindow();
    ASSERT_NE(reopened, nullptr);
    EXPECT_TRUE(waitUntil([&] { return reopened->screen() == ContentView::Screen::comparison; }));
    EXPECT_EQ(app->session.item(dir.path("d.jpg"))->decision, Decision::keep);
}

// ---- Installing the command-line tool

struct Install {
    TempDir dir;
    CommandLineTool::Locations locations{QString::fromStdString(dir.mkdir("App")),
                                         QString::fromStdString(dir.path("bin"))};
    App app;

    void bundleTool() {
        dir.write("App/quillmere-cli", "#!/bin/sh\n");
        std::filesystem::permissions(dir.path("App/quillmere-cli"),
                                     std::filesystem::perms::owner_all);
    }

    QMessageBox* run() {
        app.app.installCommandLineTool(locations);
        return testing::awaitAlert(app.view, "installAlert");
    }
};

TEST(QuillmereAppTest, InstallWithoutABundledToolOffersNoCommand) {
    Install install;
    QMessageBox* alert = install.run();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Quillmere cannot install it for you");
    EXPECT_EQ(alert->informativeText(),
              "This copy of Quillmere does not contain the command-line tool.");
    EXPECT_EQ(testing::buttonTitles(*alert), QStringList{"OK"});
    testing::clickButton(*alert, "OK");
}

TEST(QuillmereAppTest, InstallLinksTheToolAndThenFindsItInstalled) {
    Install install;
    install.bundleTool();
    QMessageBox* alert = install.run();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Command line tool installed");
    EXPECT_EQ(alert->informativeText(), "Open a new terminal window and run `quillmere --help`.");
    EXPECT_EQ(std::filesystem::read_symlink(install.dir.path("bin/quillmere")).string(),
              install.dir.path("App/quillmere-cli"));
    testing::clickButton(*alert, "OK");
    ASSERT_TRUE(waitUntil([&] { return !testing::openAlert(install.app.view, "installAlert"); }));

    alert = install.run();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Already installed");
    EXPECT_EQ(alert->informativeText(), "`quillmere` already points at this copy of Quillmere.");
}

TEST(QuillmereAppTest, InstallThatCannotLinkOffersTheCommandForTheClipboard) {
    Install install;
    install.bundleTool();
    // The link folder cannot be made under a regular file, as without permission for it.
    install.dir.write("file", "");
    install.locations.linkDirectory = QString::fromStdString(install.dir.path("file/bin"));
    const QString command = CommandLineTool::fallbackCommand(install.locations);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));

    QMessageBox* alert = install.run();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Quillmere cannot install it for you");
    EXPECT_EQ(alert->informativeText(), install.locations.linkDirectory +
                                            " needs administrator permission.\n\nRun this in "
                                            "Terminal:\n\n" +
                                            command);
    EXPECT_EQ(testing::buttonTitles(*alert), (QStringList{"Copy Command", "Cancel"}));
    testing::clickButton(*alert, "Cancel");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    ASSERT_TRUE(waitUntil([&] { return !testing::openAlert(install.app.view, "installAlert"); }));

    alert = install.run();
    ASSERT_NE(alert, nullptr);
    testing::clickButton(*alert, "Copy Command");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), command);
}

} // namespace
} // namespace quillmere
