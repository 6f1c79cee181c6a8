// The small text widgets: symbol labels, truncated lines, wrapping selectable text and links.
#include "views/Labels.h"

#include "views/TextStyle.h"

#include <QApplication>
#include <QClipboard>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace quillmere;

TEST(LabelsTest, SymbolLabelShowsItsSymbolOnlyWhenNamed) {
    SymbolLabel label("checkmark", "Done", TextStyles::font(TextStyle::callout),
                      Palette::Role::green);
    label.show();
    auto* icon = label.findChildren<QLabel*>().at(0);
    EXPECT_TRUE(icon->isVisible());
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_EQ(label.text(), "Done");
    EXPECT_EQ(label.textLabel().palette().color(QPalette::WindowText),
              Palette::color(Palette::Role::green, label.palette()));

    label.set(QString(), "Not yet", Palette::Role::secondary);
    EXPECT_FALSE(icon->isVisible());
    EXPECT_EQ(label.text(), "Not yet");
    EXPECT_EQ(label.colour(), Palette::Role::secondary);
    EXPECT_EQ(label.textLabel().palette().color(QPalette::WindowText),
              Palette::color(Palette::Role::secondary, label.palette()));
}

TEST(LabelsTest, ElidedLabelTruncatesInTheMiddleAndKeepsTheWholeText) {
    ElidedLabel label(Qt::ElideMiddle);
    const QString name = "a-very-long-file-name-that-cannot-fit-in-the-space-given-IMG_0001.jpg";
    label.setFullText(name);
    label.resize(120, 20);
    label.show();
    EXPECT_EQ(label.fullText(), name);
    EXPECT_TRUE(label.text().contains(QChar(0x2026)));
    EXPECT_TRUE(label.text().startsWith("a-"));
    EXPECT_TRUE(label.text().endsWith(".jpg"));
    label.resize(2000, 20);
    EXPECT_EQ(label.text(), name);
    // It may shrink to nothing in a layout, and asks for its whole text otherwise.
    EXPECT_EQ(label.minimumSizeHint().width(), 0);
    EXPECT_GE(label.sizeHint().width(), QFontMetrics(label.font()).horizontalAdvance(name));
}

TEST(LabelsTest, SelectableTextWrapsALongPathAnywhereAndGrows) {
    const QString path = "/Volumes/Backup/" + QString(60, 'x') + "/" + QString(60, 'y') + ".jpg";
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* text = new SelectableText(path, TextStyles::font(TextStyle::caption), Qt::gray);
    layout->addWidget(text);
    window.resize(2000, 300);
    window.show();
    const int oneLine = text->height();
    window.resize(200, 300);
    QApplication::processEvents();
    EXPECT_GT(text->height(), 2 * oneLine);
    EXPECT_EQ(text->text(), path);

    text->selectAll();
    text->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), path);
    EXPECT_TRUE(text->isReadOnly());
}
