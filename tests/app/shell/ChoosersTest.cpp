// The two open panels of the main window: several folders picked at once for a scan, and one
// folder or manifest file to open.
#include "views/Choosers.h"

#include "QtPrinting.h"
#include "ShellTestSupport.h"

#include <QFileDialog>
#include <QListView>
#include <QPointer>
#include <QSignalSpy>
#include <QTreeView>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::TempDir;

struct Open {
    TempDir dir;
    QPointer<Chooser> chooser;
    std::unique_ptr<QSignalSpy> chosen;

    explicit Open(Chooser::Kind kind) {
        dir.mkdir("Alpha");
        dir.mkdir("Beta");
        dir.mkdir("Gamma");
        dir.write("_quillmere_manifest_20240501-101500.json", "{}");
        dir.write("notes.txt", "x");
        chooser = new Chooser(kind, nullptr, QString::fromStdString(dir.path()));
        chosen = std::make_unique<QSignalSpy>(chooser.data(), &Chooser::chosen);
        chooser->open();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(chooser));
    }
    ~Open() { delete chooser; }

    QString path(const std::string& relative) const {
        return QString::fromStdString(dir.path(relative));
    }

    QStringList confirm() {
        QTest::mouseClick(&chooser->promptButton(), Qt::LeftButton);
        EXPECT_TRUE(testing::waitUntil([&] { return chooser.isNull(); }));
        return chosen->isEmpty() ? QStringList() : chosen->first().first().toStringList();
    }
};

TEST(ChoosersTest, FolderChooserSaysWhatItIsForAndListsFoldersOnly) {
    Open open(Chooser::Kind::foldersToScan);
    EXPECT_EQ(open.chooser->message(), "Choose one or more folders or drives to scan together for "
                                       "duplicate photos and videos.");
    EXPECT_EQ(open.chooser->promptButton().text(), "Scan");
    EXPECT_EQ(open.chooser->panel().fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(open.chooser->panel().testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(testing::panelList(open.chooser->panel()).selectionMode(),
              QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(testing::panelEntry(open.chooser->panel(), "Alpha").isValid());
    EXPECT_TRUE(testing::panelEntry(open.chooser->panel(), "Gamma").isValid());
    EXPECT_FALSE(testing::listedEntry(open.chooser->panel(), "notes.txt").isValid());
}

TEST(ChoosersTest, FolderChooserPicksSeveralFoldersAtOnceInTheOrderPicked) {
    Open open(Chooser::Kind::foldersToScan);
    testing::pickEntries(open.chooser->panel(), {"Gamma", "Alpha"});
    EXPECT_EQ(open.confirm(), (QStringList{open.path("Gamma"), open.path("Alpha")}));
}

TEST(ChoosersTest, FolderChooserWithNothingPickedTakesTheFolderShown) {
    Open open(Chooser::Kind::foldersToScan);
    EXPECT_EQ(open.confirm(), QStringList{QString::fromStdString(open.dir.path())});
}

TEST(ChoosersTest, CancelledChooserChoosesNothing) {
    Open open(Chooser::Kind::foldersToScan);
    testing::pickEntries(open.chooser->panel(), {"Alpha"});
    for (auto* button : open.chooser->findChildren<QPushButton*>())
        if (button->text() == "Cancel" && button->isVisible())
            QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(testing::waitUntil([&] { return open.chooser.isNull(); }));
    EXPECT_TRUE(open.chosen->isEmpty());
}

TEST(ChoosersTest, ManifestChooserListsManifestsFirstAndStillOffersOtherFiles) {
    Open open(Chooser::Kind::manifest);
    EXPECT_EQ(open.chooser->message(), "Choose the drive you scanned, or a Quillmere manifest.");
    EXPECT_EQ(open.chooser->promptButton().text(), "Open");
    EXPECT_EQ(open.chooser->panel().nameFilters(),
              (QStringList{"All files (*)", "Quillmere manifests (*.json)"}));
    EXPECT_TRUE(
        testing::panelEntry(open.chooser->panel(), "_quillmere_manifest_20240501-101500.json")
            .isValid());
}

TEST(ChoosersTest, ManifestChooserTakesASelectedFolderRatherThanOpeningIt) {
    Open open(Chooser::Kind::manifest);
    testing::pickEntries(open.chooser->panel(), {"Beta"});
    EXPECT_EQ(open.confirm(), QStringList{open.path("Beta")});
}

TEST(ChoosersTest, ManifestChooserTakesASelectedFile) {
    Open open(Chooser::Kind::manifest);
    testing::pickEntries(open.chooser->panel(), {"_quillmere_manifest_20240501-101500.json"});
    EXPECT_EQ(open.confirm(), QStringList{open.path("_quillmere_manifest_20240501-101500.json")});
}

TEST(ChoosersTest, ManifestChooserWithNothingSelectedTakesTheFolderShown) {
    Open open(Chooser::Kind::manifest);
    EXPECT_EQ(open.confirm(), QStringList{QString::fromStdString(open.dir.path())});
}

} // namespace
} // namespace quillmere
