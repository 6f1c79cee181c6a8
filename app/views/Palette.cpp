// Semantic colours derived from the widget palette.
#include "views/Palette.h"

#include <QWidget>

namespace quillmere::Palette {

namespace {

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

/// Blends `over` onto `under` so that the result is opaque, for backgrounds.
QColor blend(const QColor& under, const QColor& over, double amount) {
    const auto mix = [amount](int a, int b) {
        return static_cast<int>(a + (b - a) * amount + 0.5);
    };
    return QColor(mix(under.red(), over.red()), mix(under.green(), over.green()),
                  mix(under.blue(), over.blue()));
}

} // namespace

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() <
           palette.color(QPalette::WindowText).lightness();
}

QColor color(Role role, const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const bool dark = isDark(palette);
    switch (role) {
    case Role::primary:
        return text;
    case Role::secondary:
        return withAlpha(text, dark ? 0.60 : 0.55);
    case Role::tertiary:
        return withAlpha(text, dark ? 0.30 : 0.27);
    // Signal colours are a shade deeper on light windows so that small text stays legible.
    case Role::green:
        return dark ? QColor(50, 215, 75) : QColor(30, 160, 60);
    case Role::orange:
        return dark ? QColor(255, 159, 10) : QColor(225, 120, 0);
    case Role::red:
        return dark ? QColor(255, 69, 58) : QColor(220, 40, 30);
    }
    return text;
}

QColor separator(const QPalette& palette) {
    return blend(palette.color(QPalette::Window), palette.color(QPalette::WindowText),
                 isDark(palette) ? 0.22 : 0.16);
}

QColor windowBackground(const QPalette& palette) {
    return palette.color(QPalette::Window);
}

QColor textBackground(const QPalette& palette) {
    return palette.color(QPalette::Base);
}

QColor bar(const QPalette& palette) {
    return blend(palette.color(QPalette::Window), palette.color(QPalette::WindowText),
                 isDark(palette) ? 0.07 : 0.04);
}

void setForeground(QWidget& widget, Role role) {
    // The text colour the widget had before its first tint is what every role derives from, so
    // tinting again starts from it rather than from the last tint.
    static constexpr const char* untinted = "quillmereUntintedText";
    QPalette palette = widget.palette();
    if (!widget.property(untinted).isValid())
        widget.setProperty(untinted, palette.color(QPalette::WindowText));
    QPalette base = palette;
    base.setColor(QPalette::WindowText, widget.property(untinted).value<QColor>());
    const QColor colour = color(role, base);
    for (const auto part : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(part, colour);
    widget.setPalette(palette);
}

void setBackground(QWidget& widget, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

} // namespace quillmere::Palette
