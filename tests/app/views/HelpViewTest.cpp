// The help page: inline emphasis rendered, the seven sections in order, the key table, the
// selectable code line and the page size.
#include "views/HelpView.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace quillmere;

namespace {

QString plain(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

QStringList labelTexts(const QWidget& view, const QString& name) {
    QStringList result;
    for (const auto* label : view.findChildren<QLabel*>(name))
        result << label->text();
    return result;
}

} // namespace

TEST(HelpViewTest, InlineMarkdownBecomesEmphasisAndCode) {
    EXPECT_EQ(HelpView::inlineMarkdownToHtml("Choose **Scan Folders…** now"),
              QString::fromUtf8("Choose <b>Scan Folders…</b> now"));
    EXPECT_EQ(HelpView::inlineMarkdownToHtml("finds duplicates *across* all"),
              "finds duplicates <i>across</i> all");
    EXPECT_EQ(HelpView::inlineMarkdownToHtml("with `--move`, and `--undo`."),
              "with <code>--move</code>, and <code>--undo</code>.");
    // Markers inside code stay literal, and markup characters are escaped.
    EXPECT_EQ(HelpView::inlineMarkdownToHtml("`a*b*c` <x> & **y**"),
              "<code>a*b*c</code> &lt;x&gt; &amp; <b>y</b>");
    EXPECT_EQ(HelpView::inlineMarkdownToHtml("**bold with *italic* inside**"),
              "<b>bold with <i>italic</i> inside</b>");
}

TEST(HelpViewTest, UnmatchedMarkersStayAsTheyAre) {
    EXPECT_EQ(HelpView::inlineMarkdownToHtml("2 * 3"), "2 * 3");
    EXPECT_EQ(HelpView::inlineMarkdownToHtml("a ** b"), "a ** b");
    EXPECT_EQ(HelpView::inlineMarkdownToHtml("it`s"), "it`s");
    EXPECT_EQ(HelpView::inlineMarkdownToHtml("Photos' own \"x\""), "Photos' own &quot;x&quot;");
}

TEST(HelpViewTest, EveryParagraphRendersWithoutLiteralMarkers) {
    HelpView view;
    const auto paragraphs = view.findChildren<QLabel*>("helpText");
    ASSERT_EQ(paragraphs.size(), 18);
    int emphasised = 0;
    for (const auto* label : paragraphs) {
        EXPECT_EQ(label->textFormat(), Qt::RichText);
        const QString shown = plain(label->text());
        EXPECT_FALSE(shown.contains("**")) << shown.toStdString();
        EXPECT_FALSE(shown.contains('*')) << shown.toStdString();
        EXPECT_FALSE(shown.contains('`')) << shown.toStdString();
        if (label->text().contains("<b>") || label->text().contains("<i>") ||
            label->text().contains("<code>"))
            ++emphasised;
    }
    EXPECT_EQ(emphasised, 11);
    const QString shown = plain(paragraphs.at(0)->text());
    EXPECT_EQ(shown, QString::fromUtf8(
                         "Choose Scan Folders… and pick one or more folders or drives. To select "
                         "several at once, open a folder that contains them — your home folder, "
                         "for example — then Ctrl-click each one before choosing Scan."));
    EXPECT_EQ(plain(paragraphs.last()->text()),
              "Run quillmere --help for the full list of options.");
}

TEST(HelpViewTest, HeaderAndSevenSectionsInOrder) {
    HelpView view;
    EXPECT_EQ(view.findChild<QLabel*>("helpTitle")->text(), "Quillmere Help");
    EXPECT_TRUE(labelTexts(view, QString())
                    .contains("Finding and removing duplicate photos and videos, safely."));
    EXPECT_EQ(labelTexts(view, "sectionTitle"),
              QStringList({"Scanning", "How matches are found", "Reviewing pairs",
                           "What happens when you apply", "Photo libraries are left alone",
                           "Your progress is saved", "Command line"}));
}

TEST(HelpViewTest, ShortcutTableListsTheReviewKeys) {
    HelpView view;
    auto* table = view.findChild<QWidget*>("shortcutTable");
    ASSERT_TRUE(table);
    auto* grid = qobject_cast<QGridLayout*>(table->layout());
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->rowCount(), 5);
    EXPECT_EQ(grid->horizontalSpacing(), 14);
    EXPECT_EQ(grid->verticalSpacing(), 7);
    const std::vector<std::pair<QString, QString>> expected = {
        {"D", "Mark the duplicate for removal"},
        {"K", "Keep both, leave them where they are"},
        {"U", "Clear the mark on this pair"},
        {QString::fromUtf8("↓"), "Next pair"},
        {QString::fromUtf8("↑"), "Previous pair"}};
    for (int row = 0; row < 5; ++row) {
        auto* key = qobject_cast<QLabel*>(grid->itemAtPosition(row, 0)->widget());
        auto* meaning = qobject_cast<QLabel*>(grid->itemAtPosition(row, 1)->widget());
        EXPECT_EQ(key->text(), expected[row].first);
        EXPECT_EQ(key->width(), 26);
        const QFontMetrics metrics(key->font());
        EXPECT_EQ(metrics.horizontalAdvance("i"), metrics.horizontalAdvance("W"));
        EXPECT_EQ(meaning->text(), expected[row].second);
    }
    // The table follows the second paragraph of "Reviewing pairs".
    auto* section = table->parentWidget();
    EXPECT_EQ(section->findChild<QLabel*>("sectionTitle")->text(), "Reviewing pairs");
}

TEST(HelpViewTest, CodeBlockCanBeSelectedAndCopiedWithItsQuotes) {
    HelpView view;
    view.show();
    auto* code = view.findChild<QLabel*>("codeBlock");
    ASSERT_TRUE(code);
    const QString command = "quillmere ~/Pictures \"/Volumes/Extreme Pro\"";
    EXPECT_EQ(code->text(), command);
    EXPECT_TRUE(code->textInteractionFlags() & Qt::TextSelectableByMouse);

    QApplication::clipboard()->clear();
    code->setFocus();
    QTest::keyClick(code, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(code->selectedText(), command);
    QTest::keyClick(code, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), command);
}

TEST(HelpViewTest, PageIsFixedSizeAndScrolls) {
    HelpView view;
    view.show();
    EXPECT_EQ(view.size(), QSize(620, 560));
    EXPECT_EQ(view.minimumSize(), view.maximumSize());
    EXPECT_GT(view.widget()->height(), 560);
    EXPECT_GT(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    EXPECT_EQ(view.size(), QSize(620, 560));
}
