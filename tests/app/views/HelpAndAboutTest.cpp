// The help and about windows: inline emphasis rendered, the sections, paragraphs and the key table
// in order; the about texts in order with the version line and its fallbacks.
#include "QtPrinting.h"
#include "views/AboutView.h"
#include "views/HelpView.h"

#include <QLabel>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace quillmere;

namespace {

QStringList labelTexts(const QWidget& view, const QString& name = {}) {
    QStringList texts;
    for (const auto* label : view.findChildren<QLabel*>(name))
        if (!label->text().isEmpty())
            texts << label->text();
    return texts;
}

} // namespace

TEST(HelpViewTest, InlineMarkdownBecomesEmphasisAndCode) {
    const std::pair<QString, QString> rows[] = {
        {"Choose **Scan Folders…** now", "Choose <b>Scan Folders…</b> now"},
        {"with `--move`, and `--undo`.", "with <code>--move</code>, and <code>--undo</code>."},
        {"`a*b*c` <x> & **y**", "<code>a*b*c</code> &lt;x&gt; &amp; <b>y</b>"},
        {"**bold with *italic* inside**", "<b>bold with <i>italic</i> inside</b>"},
        {"2 * 3", "2 * 3"},
        {"it`s", "it`s"},
        {"Photos' own \"x\"", "Photos' own &quot;x&quot;"},
    };
    for (const auto& [markdown, html] : rows)
        EXPECT_EQ(HelpView::inlineMarkdownToHtml(markdown), html);
}

TEST(HelpViewTest, SectionsParagraphsKeysAndCommandInOrder) {
    HelpView view;
    EXPECT_EQ(
        labelTexts(view, "sectionTitle"),
        QStringList({"Scanning", "How matches are found", "Finding similar photos",
                     "Reviewing pairs", "What happens when you apply",
                     "Photo libraries are left alone", "Your progress is saved", "Command line"}));
    // Every paragraph is rendered, none shows a marker.
    for (const auto* label : view.findChildren<QLabel*>("helpText"))
        EXPECT_FALSE(label->text().contains(QRegularExpression("[*`]")))
            << label->text().toStdString();
    EXPECT_EQ(labelTexts(*view.findChild<QWidget*>("shortcutTable")),
              QStringList({"D", "Mark the duplicate for removal", "K",
                           "Keep both, leave them where they are", "U",
                           "Clear the mark on this pair", "↓", "Next pair", "↑", "Previous pair"}));
    EXPECT_EQ(labelTexts(view, "codeBlock"),
              QStringList{"quillmere ~/Pictures \"/media/$USER/Extreme Pro\""});
}

TEST(AboutViewTest, TextsInOrderWithTheVersionLine) {
    const std::pair<Info::Bundle, QString> versions[] = {
        {{}, "Version dev (—)"},
        {{"1.4", "212", std::nullopt}, "Version 1.4 (212)"},
        {{"2.0", std::nullopt, std::nullopt}, "Version 2.0 (—)"},
    };
    for (const auto& [bundle, version] : versions) {
        AboutView view(bundle);
        EXPECT_EQ(labelTexts(view),
                  QStringList({"Quillmere", version,
                               "Finds duplicate photos and videos across any folders or drives "
                               "you choose, and shows you each pair side by side before anything "
                               "moves.",
                               "Every match is compared byte for byte", Info::copyright(bundle)}));
    }
    EXPECT_TRUE(labelTexts(AboutView()).contains(AboutView::versionText(Info::bundle())));
}
