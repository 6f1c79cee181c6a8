// One side of the comparison: the role row, the preview or player or "File not found", and the
// details with the file's facts.
#include "views/FilePane.h"

#include "MediaFixtures.h"
#include "TempDir.h"
#include "model/ModelTestSupport.h"
#include "report/ReportWriter.h"
#include "views/Labels.h"
#include "views/PlayerView.h"
#include "views/PreviewImage.h"

#include <QLayout>
#include <QMediaPlayer>
#include <QPushButton>
#include <QSignalSpy>
#include <filesystem>

using namespace quillmere;
using namespace quillmere::testing;

namespace {

QString roleCaption(const FilePane& pane) {
    return pane.findChild<SymbolLabel*>("roleCaption")->text();
}

QColor pathColour(const FilePane& pane) {
    return pane.findChild<SelectableText*>("path")->palette().color(QPalette::Text);
}

/// Shows the pane and waits for its details.
void showAndLoad(FilePane& pane) {
    QSignalSpy loaded(&pane, &FilePane::metadataLoaded);
    pane.resize(600, 700);
    pane.show();
    ASSERT_TRUE(waitUntil([&] { return loaded.count() == 1; }));
}

QStringList facts(const FilePane& pane) {
    QStringList texts;
    for (const auto* label : pane.findChild<QWidget*>("facts")->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

} // namespace

TEST(FilePaneTest, RoleRowsNameTheSide) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.write("a.jpg", "x"));
    FilePane kept(path, FilePane::Kept{}, nullptr);
    EXPECT_EQ(roleCaption(kept), "Keeping this one");
    EXPECT_EQ(kept.findChild<SymbolLabel*>("roleCaption")->symbol(), "checkmark.circle.fill");
    EXPECT_EQ(kept.findChild<SymbolLabel*>("roleCaption")->colour(), Palette::Role::green);

    FilePane duplicate(path, FilePane::Duplicate{}, nullptr);
    EXPECT_EQ(roleCaption(duplicate), "Duplicate");
    EXPECT_EQ(duplicate.findChild<SymbolLabel*>("roleCaption")->symbol(), "doc.on.doc.fill");
    EXPECT_EQ(duplicate.findChild<SymbolLabel*>("roleCaption")->colour(), Palette::Role::orange);
    EXPECT_FALSE(duplicate.findChild<SelectableText*>("originalPath"));

    FilePane parked(path, FilePane::Duplicate{"/Volumes/Drive/Trip/a.jpg"}, nullptr);
    EXPECT_EQ(roleCaption(parked), "In the review folder");
    auto* original = parked.findChild<SelectableText*>("originalPath");
    ASSERT_TRUE(original);
    EXPECT_EQ(original->text(), "Originally at  /Volumes/Drive/Trip/a.jpg");
    EXPECT_EQ(original->palette().color(QPalette::Text),
              Palette::color(Palette::Role::tertiary, parked.palette()));
}

TEST(FilePaneTest, ReviewFolderIsAWholePathComponent) {
    EXPECT_TRUE(FilePane::isInReviewFolder("/Volumes/Drive/_duplicates_review/Trip/a.jpg"));
    EXPECT_FALSE(FilePane::isInReviewFolder("/Volumes/Drive/_duplicates_review_old/a.jpg"));
    EXPECT_FALSE(FilePane::isInReviewFolder("/Volumes/Drive/my_duplicates_review/a.jpg"));
    EXPECT_FALSE(FilePane::isInReviewFolder("/Volumes/Drive/Trip/_duplicates_review.jpg"));
}

TEST(FilePaneTest, PathIsOrangeInsideTheReviewFolder) {
    TempDir dir;
    const QString inReview =
        QString::fromStdString(dir.write("Drive/_duplicates_review/Trip/a.jpg", "x"));
    const QString elsewhere = QString::fromStdString(dir.write("Drive/Trip/a.jpg", "x"));
    FilePane parked(inReview, FilePane::Duplicate{elsewhere}, nullptr);
    FilePane plain(elsewhere, FilePane::Kept{}, nullptr);
    EXPECT_EQ(pathColour(parked), Palette::color(Palette::Role::orange, parked.palette()));
    EXPECT_EQ(pathColour(plain), Palette::color(Palette::Role::secondary, plain.palette()));
    EXPECT_EQ(plain.findChild<SelectableText*>("path")->text(), elsewhere);
    EXPECT_EQ(plain.findChild<ElidedLabel*>("fileName")->fullText(), "a.jpg");
}

TEST(FilePaneTest, PhotoShowsItsPictureAndDetails) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.path("IMG_0001.jpg"));
    writeJpeg(path, twoHalves({400, 300}, Qt::red, Qt::green),
              ExifTags{.dateTimeOriginal = "2024:01:05 15:04:00"});
    FilePane pane(path, FilePane::Kept{}, nullptr);
    EXPECT_FALSE(pane.metadata());
    EXPECT_TRUE(facts(pane).isEmpty());
    showAndLoad(pane);

    EXPECT_TRUE(pane.exists());
    auto* preview = pane.findChild<PreviewImage*>();
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->pointSize(), 900);
    EXPECT_EQ(preview->contentMode(), PreviewImage::ContentMode::fit);
    EXPECT_EQ(preview->parentWidget()->layout()->contentsMargins(), QMargins(8, 8, 8, 8));
    EXPECT_FALSE(pane.findChild<QWidget*>("fileNotFound"));

    ASSERT_TRUE(pane.metadata());
    const QString size =
        QString::fromStdString(ReportWriter::humanSize(pane.metadata()->sizeBytes));
    EXPECT_EQ(facts(pane), QStringList({size, QString::fromUtf8("400 × 300")}));
    auto* captured = pane.findChild<QLabel*>("captured");
    EXPECT_TRUE(captured->isVisible());
    EXPECT_TRUE(captured->text().startsWith("Captured Jan 5, 2024 at 3:04"))
        << captured->text().toStdString();
    EXPECT_EQ(pane.findChild<QWidget*>("details")->height(), 132);

    QStringList links;
    for (const auto* button : pane.findChildren<LinkButton*>())
        links << button->text();
    EXPECT_EQ(links, QStringList({"Show in File Manager", "Open"}));
}

TEST(FilePaneTest, UnreadableFileShowsItsSizeOnly) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.write("noise.jpg", randomBytes(4096, 3)));
    FilePane pane(path, FilePane::Duplicate{}, nullptr);
    showAndLoad(pane);
    EXPECT_EQ(facts(pane), QStringList({QString::fromStdString(ReportWriter::humanSize(4096))}));
    EXPECT_FALSE(pane.findChild<QLabel*>("captured")->isVisible());
}

TEST(FilePaneTest, MissingFileShowsFileNotFound) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.path("gone.jpg"));
    FilePane pane(path, FilePane::Kept{}, nullptr);
    EXPECT_TRUE(pane.exists());
    showAndLoad(pane);
    EXPECT_FALSE(pane.exists());
    auto* notice = pane.findChild<QWidget*>("fileNotFound");
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->findChild<QLabel*>("title")->text(), "File not found");
    EXPECT_EQ(notice->findChild<QLabel*>("description")->text(),
              "It may have been moved or deleted outside Quillmere.");
    EXPECT_FALSE(pane.findChild<PreviewImage*>());
    // No size is claimed for a file that is not there.
    EXPECT_TRUE(facts(pane).isEmpty());
    // The name and path still say which file it was.
    EXPECT_EQ(pane.findChild<SelectableText*>("path")->text(), path);
}

TEST(FilePaneTest, ExistenceIsCheckedWhenThePaneIsFirstShown) {
    TempDir dir;
    const std::string path = dir.write("a.jpg", "x");
    FilePane pane(QString::fromStdString(path), FilePane::Kept{}, nullptr);
    showAndLoad(pane);
    std::filesystem::remove(path);
    pane.hide();
    pane.show();
    EXPECT_TRUE(pane.exists());
    EXPECT_FALSE(pane.findChild<QWidget*>("fileNotFound"));
}

TEST(FilePaneTest, PlayerIsShownInsteadOfAPicture) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.write("clip.mov", "x"));
    QMediaPlayer player;
    FilePane pane(path, FilePane::Duplicate{}, &player);
    showAndLoad(pane);
    auto* view = pane.findChild<PlayerView*>();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->player(), &player);
    EXPECT_TRUE(view->isVisible());
    // The only picture is the player's own stand-in until the clip plays.
    EXPECT_EQ(pane.findChild<PreviewImage*>(), view->poster());
}
