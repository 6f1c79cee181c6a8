// The help and about windows: inline emphasis rendered, every paragraph without a marker left; the
// about window's version line and its fallbacks.
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

TEST(HelpViewTest, InlineMarkdownBecomesEmphasisAndCodeAndNoParagraphShowsAMarker) {
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
    HelpView view;
    EXPECT_FALSE(labelTexts(view, "helpText").isEmpty());
    for (const auto& text : labelTexts(view, "helpText"))
        EXPECT_FALSE(text.contains(QRegularExpression("[*`]"))) << text.toStdString();
}

TEST(AboutViewTest, VersionLineAndItsFallbacks) {
    const std::pair<Info::Bundle, QString> versions[] = {
        {{}, "Version dev (—)"},
        {{"1.4", "212", std::nullopt}, "Version 1.4 (212)"},
        {{"2.0", std::nullopt, std::nullopt}, "Version 2.0 (—)"},
    };
    for (const auto& [bundle, version] : versions) {
        const QStringList texts = labelTexts(AboutView(bundle));
        EXPECT_TRUE(texts.contains(version) && texts.contains(Info::copyright(bundle)))
            << version.toStdString();
    }
    EXPECT_TRUE(labelTexts(AboutView()).contains(AboutView::versionText(Info::bundle())));
}
