// Semantic colours of the app's views, taken from the widget palette so that the same code reads
// well on a light and on a dark palette.
#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

class QWidget;

namespace quillmere::Palette {

/// Foreground styles: three strengths of the text colour, and three signal colours.
enum class Role { primary, secondary, tertiary, green, orange, red };

/// The palette has light text on a dark window.
bool isDark(const QPalette& palette = QGuiApplication::palette());

/// The colour of a role in the given palette.
QColor color(Role role, const QPalette& palette = QGuiApplication::palette());

/// Thin lines between regions.
QColor separator(const QPalette& palette = QGuiApplication::palette());
/// Behind the window's content.
QColor windowBackground(const QPalette& palette = QGuiApplication::palette());
/// Behind text fields, previews and code: the palette's base.
QColor textBackground(const QPalette& palette = QGuiApplication::palette());
/// Behind header, playback and decision bars: a shade set off from the window background.
QColor bar(const QPalette& palette = QGuiApplication::palette());

/// Draws the widget's text (labels, buttons, fields) in a role's colour of its own palette.
void setForeground(QWidget& widget, Role role);
/// Fills the widget's background with a colour.
void setBackground(QWidget& widget, const QColor& colour);

} // namespace quillmere::Palette
