// The about window: its texts in order, the version line with its fallbacks, the links.
#include "views/AboutView.h"

#include "views/Labels.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillmere;

namespace {

QStringList texts(const QWidget& view) {
    QStringList result;
    for (const auto* label : view.findChildren<QLabel*>())
        if (!label->text().isEmpty())
            result << label->text();
    return result;
}

} // namespace

TEST(AboutViewTest, WithoutVersionKeysShowsVersionDevAndDash) {
    AboutView view(Info::Bundle{});
    auto* version = view.findChild<QLabel*>("version");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->text(), QString::fromUtf8("Version dev (\u2014)"));
}

TEST(AboutViewTest, StampedVersionAndBuild) {
    AboutView view(Info::Bundle{"1.4", "212", std::nullopt});
    EXPECT_EQ(view.findChild<QLabel*>("version")->text(), "Version 1.4 (212)");
    EXPECT_EQ(AboutView::versionText(Info::Bundle{"2.0", std::nullopt, std::nullopt}),
              QString::fromUtf8("Version 2.0 (\u2014)"));
    // The plain constructor shows this build's own version.
    AboutView own;
    EXPECT_EQ(own.findChild<QLabel*>("version")->text(), AboutView::versionText(Info::bundle()));
}

TEST(AboutViewTest, TextsInOrder) {
    AboutView view(Info::Bundle{});
    view.show();
    const QStringList shown = texts(view);
    const QStringList expected = {
        "Quillmere", QString::fromUtf8("Version dev (\u2014)"),
        "Finds duplicate photos and videos across any folders or drives you choose, and shows you "
        "each pair side by side before anything moves.",
        "Every match is compared byte for byte", Info::copyright(Info::Bundle{})};
    qsizetype from = 0;
    for (const QString& text : expected) {
        const qsizetype at = shown.indexOf(text, from);
        EXPECT_GE(at, from) << text.toStdString();
        from = at + 1;
    }
    auto* promise = view.findChild<SymbolLabel*>();
    ASSERT_TRUE(promise);
    EXPECT_EQ(promise->symbol(), "checkmark.seal.fill");
    EXPECT_EQ(promise->colour(), Palette::Role::green);
    EXPECT_EQ(promise->textLabel().font().weight(), QFont::Medium);
}

TEST(AboutViewTest, SizeIconAndLinks) {
    AboutView view;
    view.show();
    EXPECT_EQ(view.width(), 380);
    // The window takes the size of its content and cannot be resized.
    EXPECT_EQ(view.minimumSize(), view.maximumSize());
    auto* icon = view.findChild<QLabel*>("applicationIcon");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->size(), QSize(96, 96));
    EXPECT_FALSE(icon->pixmap().isNull());
    QStringList links;
    for (const auto* button : view.findChildren<QPushButton*>())
        links << button->text();
    EXPECT_EQ(links, QStringList({"Website", "Support"}));
    auto* notice = view.findChild<QLabel*>("copyright");
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->font().pixelSize(), 10);
}
