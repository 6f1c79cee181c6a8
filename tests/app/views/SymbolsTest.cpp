// Drawn symbols: every name the views use is drawn in the colour asked for, at any size, and an
// unknown name still shows something.
#include "views/Symbols.h"

#include <QImage>
#include <QPainter>
#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

using namespace quillmere;

namespace {

const QStringList usedNames = {"trash.circle.fill",
                               "checkmark.circle.fill",
                               "exclamationmark.triangle.fill",
                               "film",
                               "photo",
                               "magnifyingglass",
                               "arrow.uturn.backward",
                               "questionmark.square.dashed",
                               "checkmark.seal.fill",
                               "tray",
                               "trash",
                               "play.fill",
                               "pause.fill",
                               "doc.on.doc.fill",
                               "checkmark",
                               "minus.circle",
                               "square.on.square",
                               "line.3.horizontal.decrease.circle",
                               "exclamationmark.arrow.circlepath",
                               "checkmark.circle",
                               "exclamationmark.triangle",
                               "trash.fill"};

struct Coverage {
    int inked = 0;
    int otherColour = 0;
};

Coverage coverage(const QImage& image, const QColor& colour) {
    Coverage result;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 128)
                continue;
            ++result.inked;
            // Edge pixels blend; only fully covered ones must be exactly the colour.
            if (pixel.alpha() == 255 && (std::abs(pixel.red() - colour.red()) > 2 ||
                                         std::abs(pixel.green() - colour.green()) > 2 ||
                                         std::abs(pixel.blue() - colour.blue()) > 2))
                ++result.otherColour;
        }
    return result;
}

} // namespace

TEST(SymbolsTest, EveryUsedNameIsDrawnInItsColour) {
    const QColor red(220, 40, 30);
    for (const QString& name : usedNames) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(Symbols::contains(name));
        const QImage image = Symbols::pixmap(name, 48, red).toImage();
        ASSERT_EQ(image.size(), QSize(48, 48));
        const Coverage drawn = coverage(image, red);
        // Something visible, far from a filled square, and nothing but the one colour.
        EXPECT_GT(drawn.inked, 48 * 48 / 30);
        EXPECT_LT(drawn.inked, 48 * 48 * 9 / 10);
        EXPECT_EQ(drawn.otherColour, 0);
    }
}

TEST(SymbolsTest, SymbolsAreDistinct) {
    QSet<QByteArray> pictures;
    for (const QString& name : usedNames) {
        const QImage image = Symbols::pixmap(name, 32, Qt::black).toImage();
        pictures.insert(
            QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(pictures.size(), usedNames.size());
}

TEST(SymbolsTest, FilledSymbolsCutTheirMarkOutOfTheFill) {
    // The check in the middle of a filled circle is transparent, not painted white.
    const QImage image = Symbols::pixmap("checkmark.circle.fill", 48, Qt::black).toImage();
    EXPECT_EQ(image.pixelColor(24, 6).alpha(), 255);
    EXPECT_EQ(image.pixelColor(10, 24).alpha(), 255);
    // The check's corner, scaled about the centre of the 24-point grid.
    EXPECT_LT(image.pixelColor(22, 29).alpha(), 64);
}

TEST(SymbolsTest, UnknownNamesDrawTheQuestionMark) {
    EXPECT_FALSE(Symbols::contains("no.such.symbol"));
    EXPECT_EQ(Symbols::pixmap("no.such.symbol", 24, Qt::black).toImage(),
              Symbols::pixmap("questionmark.square.dashed", 24, Qt::black).toImage());
}

TEST(SymbolsTest, TranslucentColoursKeepTheirAlpha) {
    QColor faint(0, 0, 0);
    faint.setAlphaF(0.25f);
    const QImage image = Symbols::pixmap("pause.fill", 48, faint).toImage();
    // Inside a bar of the pause symbol.
    const QColor inside = image.pixelColor(16, 24);
    EXPECT_NEAR(inside.alphaF(), 0.25, 0.02);
}

TEST(SymbolsTest, IconsScaleAndFadeWhenDisabled) {
    const QIcon icon = Symbols::icon("trash", Qt::black);
    for (const int size : {16, 24, 64}) {
        const QImage normal = icon.pixmap(size, size).toImage();
        EXPECT_EQ(normal.size(), QSize(size, size));
    }
    const QImage normal = icon.pixmap(64, 64).toImage();
    const QImage disabled = icon.pixmap(QSize(64, 64), QIcon::Disabled).toImage();
    int strongest = 0, strongestDisabled = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            strongest = std::max(strongest, normal.pixelColor(x, y).alpha());
            strongestDisabled = std::max(strongestDisabled, disabled.pixelColor(x, y).alpha());
        }
    EXPECT_EQ(strongest, 255);
    EXPECT_LT(strongestDisabled, 128);
    EXPECT_GT(strongestDisabled, 0);
}

TEST(SymbolsTest, PaintCentresASquareSymbolInAWideRect) {
    QImage canvas(100, 20, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    Symbols::paint(painter, QRectF(0, 0, 100, 20), "pause.fill", Qt::black);
    painter.end();
    // Nothing is drawn outside the centred 20 × 20 square.
    for (int y = 0; y < 20; ++y)
        for (const int x : {0, 20, 39, 61, 80, 99})
            EXPECT_EQ(canvas.pixelColor(x, y).alpha(), 0) << x << "," << y;
    EXPECT_EQ(canvas.pixelColor(46, 10).alpha(), 255);
}
