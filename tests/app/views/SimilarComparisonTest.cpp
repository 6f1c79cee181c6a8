// The comparison of a pair of similar photos: it never claims identity, and each pane lists what
// tells the two apart.
#include "model/ReviewSession.h"
#include "report/ReportWriter.h"
#include "shell/ShellTestSupport.h"
#include "views/ComparisonView.h"
#include "views/FilePane.h"

#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::testing;

namespace {

/// The texts of the pane's facts row, left to right.
QStringList factsOf(const FilePane& pane) {
    QStringList texts;
    for (const auto* label : pane.findChild<QWidget*>("facts")->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

} // namespace

TEST(SimilarComparisonTest, SaysSimilarNotIdenticalAndListsWhatTellsTheTwoApart) {
    TempDir dir;
    const QImage picture = twoHalves({64, 48}, Qt::red, Qt::blue);
    const std::string keep = dir.path("IMG_1.jpg"), copy = dir.path("IMG_1.png");
    writeJpeg(QString::fromStdString(keep), picture, {.dateTimeOriginal = "2023:07:14 18:05:09"});
    writePng(QString::fromStdString(copy), picture.scaled(32, 24));
    ReviewItem pair;
    pair.id = pair.candidateURL = copy;
    pair.keepURL = keep;
    pair.origin = ReviewItem::Similar{};
    ReviewSession session;
    session.loadSimilar(ReviewSession::Pairs({pair}), {{dir.path()}, 2, 0});

    ComparisonView view{session};
    view.resize(1000, 700);
    view.show();
    view.showItem(session.items().front());
    EXPECT_EQ(textOf(view, "name"), "IMG_1.png") << "the photo whose size the header shows";
    EXPECT_EQ(textOf(view, "verified"), "Similar, not identical");
    EXPECT_EQ(view.findChild<SymbolLabel*>("verified")->colour(), Palette::Role::orange);
    EXPECT_EQ(textOf(*view.rightPane(), "roleCaption"), "Similar photo");

    const auto size = [](const std::string& path) {
        return QString::fromStdString(ReportWriter::humanSize(std::filesystem::file_size(path)));
    };
    ASSERT_TRUE(
        waitUntil([&] { return view.leftPane()->metadata() && view.rightPane()->metadata(); }));
    EXPECT_EQ(factsOf(*view.leftPane()), (QStringList{size(keep), "64 × 48", "JPEG"}));
    EXPECT_EQ(factsOf(*view.rightPane()), (QStringList{size(copy), "32 × 24", "PNG"}));
    EXPECT_TRUE(textOf(*view.leftPane(), "captured").startsWith("Captured "));
    EXPECT_EQ(textOf(*view.rightPane(), "captured"), "No capture date recorded");
}
