// The app's type scale: named text styles at fixed sizes (one point is one pixel), so every view
// sizes its texts the same way.
#pragma once

#include <QFont>
#include <optional>

namespace quillmere {

enum class TextStyle {
    largeTitle,  ///< 26
    title,       ///< 22
    title2,      ///< 17
    title3,      ///< 15
    headline,    ///< 13, bold
    body,        ///< 13
    callout,     ///< 12
    subheadline, ///< 11
    footnote,    ///< 10
    caption,     ///< 10
    caption2,    ///< 10, the smallest
};

enum class FontDesign { standard, monospaced };

namespace TextStyles {

/// Size of a style in points.
int pointSize(TextStyle style);

/// The font of a style; `weight` overrides the style's own (bold for headline, normal otherwise).
QFont font(TextStyle style, std::optional<QFont::Weight> weight = std::nullopt,
           FontDesign design = FontDesign::standard);

} // namespace TextStyles
} // namespace quillmere
