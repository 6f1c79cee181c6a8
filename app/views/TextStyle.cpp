// Named text styles.
#include "views/TextStyle.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace quillmere::TextStyles {

int pointSize(TextStyle style) {
    switch (style) {
    case TextStyle::largeTitle:
        return 26;
    case TextStyle::title:
        return 22;
    case TextStyle::title2:
        return 17;
    case TextStyle::title3:
        return 15;
    case TextStyle::headline:
    case TextStyle::body:
        return 13;
    case TextStyle::callout:
        return 12;
    case TextStyle::subheadline:
        return 11;
    case TextStyle::footnote:
    case TextStyle::caption:
        return 10;
    case TextStyle::caption2:
        return 9;
    }
    return 13;
}

QFont font(TextStyle style, std::optional<QFont::Weight> weight, FontDesign design) {
    QFont font = design == FontDesign::monospaced
                     ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                     : QGuiApplication::font();
    font.setPixelSize(pointSize(style));
    font.setWeight(weight.value_or(style == TextStyle::headline ? QFont::Bold : QFont::Normal));
    return font;
}

} // namespace quillmere::TextStyles
