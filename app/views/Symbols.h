// The app's symbols, drawn in code from their names ("trash.circle.fill", "film", ...) so that
// they look the same everywhere and need no installed icon theme. Each is drawn in one colour.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QPainter;
class QRectF;

namespace quillmere::Symbols {

/// Whether a symbol of this name is drawn; any other name draws as "questionmark.square.dashed".
bool contains(const QString& name);

/// An icon of the symbol in a colour, sharp at any size; faded when shown disabled.
QIcon icon(const QString& name, const QColor& colour);

/// The symbol as a square picture `size` points wide.
QPixmap pixmap(const QString& name, int size, const QColor& colour, qreal devicePixelRatio = 1.0);

/// Draws the symbol into the largest square centred in `rect`.
void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& colour);

} // namespace quillmere::Symbols
