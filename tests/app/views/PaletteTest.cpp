// Semantic colours: derived from the palette they are asked with, readable on light and dark
// windows.
#include "views/Palette.h"

#include <QLabel>
#include <gtest/gtest.h>

using namespace quillmere;
using Role = Palette::Role;

namespace {

QPalette lightPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(236, 236, 236));
    palette.setColor(QPalette::WindowText, QColor(20, 20, 20));
    palette.setColor(QPalette::Base, Qt::white);
    return palette;
}

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(40, 40, 40));
    palette.setColor(QPalette::WindowText, QColor(235, 235, 235));
    palette.setColor(QPalette::Base, QColor(28, 28, 28));
    return palette;
}

} // namespace

TEST(PaletteTest, TellsDarkFromLight) {
    EXPECT_FALSE(Palette::isDark(lightPalette()));
    EXPECT_TRUE(Palette::isDark(darkPalette()));
}

TEST(PaletteTest, ForegroundStrengthsFadeTheTextColour) {
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        const QColor text = palette.color(QPalette::WindowText);
        const QColor primary = Palette::color(Role::primary, palette);
        const QColor secondary = Palette::color(Role::secondary, palette);
        const QColor tertiary = Palette::color(Role::tertiary, palette);
        EXPECT_EQ(primary, text);
        EXPECT_EQ(secondary.rgb(), text.rgb());
        EXPECT_EQ(tertiary.rgb(), text.rgb());
        EXPECT_LT(secondary.alphaF(), primary.alphaF());
        EXPECT_LT(tertiary.alphaF(), secondary.alphaF());
        EXPECT_GT(tertiary.alphaF(), 0.1);
    }
}

TEST(PaletteTest, SignalColoursAreDistinctHuesAndBrighterOnDark) {
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        const QColor green = Palette::color(Role::green, palette);
        const QColor orange = Palette::color(Role::orange, palette);
        const QColor red = Palette::color(Role::red, palette);
        EXPECT_GT(green.green(), green.red());
        EXPECT_GT(red.red(), red.green() * 2);
        EXPECT_GT(orange.red(), orange.green());
        EXPECT_GT(orange.green(), orange.blue());
    }
    for (const Role role : {Role::green, Role::orange, Role::red})
        EXPECT_GT(Palette::color(role, darkPalette()).lightness(),
                  Palette::color(role, lightPalette()).lightness());
}

TEST(PaletteTest, BackgroundsFollowThePalette) {
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        EXPECT_EQ(Palette::windowBackground(palette), palette.color(QPalette::Window));
        EXPECT_EQ(Palette::textBackground(palette), palette.color(QPalette::Base));
        const int window = palette.color(QPalette::Window).lightness();
        // The bar and the separator stand out from the window, towards the text colour.
        EXPECT_NE(Palette::bar(palette).lightness(), window);
        EXPECT_GT(std::abs(Palette::separator(palette).lightness() - window),
                  std::abs(Palette::bar(palette).lightness() - window));
        EXPECT_EQ(Palette::separator(palette).alpha(), 255);
    }
}

TEST(PaletteTest, SetForegroundTintsTheWidgetsOwnTexts) {
    QLabel label;
    label.setPalette(darkPalette());
    Palette::setForeground(label, Role::secondary);
    EXPECT_EQ(label.palette().color(QPalette::WindowText),
              Palette::color(Role::secondary, darkPalette()));
    EXPECT_EQ(label.palette().color(QPalette::Text), label.palette().color(QPalette::WindowText));
}

TEST(PaletteTest, TintingAgainStartsFromTheUntintedText) {
    QLabel label;
    label.setPalette(lightPalette());
    Palette::setForeground(label, Role::green);
    Palette::setForeground(label, Role::secondary);
    EXPECT_EQ(label.palette().color(QPalette::WindowText),
              Palette::color(Role::secondary, lightPalette()));
    Palette::setForeground(label, Role::primary);
    EXPECT_EQ(label.palette().color(QPalette::WindowText),
              lightPalette().color(QPalette::WindowText));
}
