// Symbols drawn with QPainter on a 24 × 24 grid. Filled symbols cut their inner mark out of the
// fill (transparent), as symbol fonts do, so a symbol reads on any background.
#include "views/Symbols.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>

namespace quillmere::Symbols {

namespace {

/// Symbols are designed on this grid.
constexpr double grid = 24.0;
/// Line width of outlined symbols, in grid units.
constexpr double line = 1.8;
/// Opacity of a symbol shown disabled.
constexpr double disabledOpacity = 0.35;

/// One drawing pass on the symbol's layer: paints in the ink colour, cuts with clear().
class Pen {
  public:
    Pen(QPainter& painter, const QColor& ink) : painter_(painter), ink_(ink) {}

    void stroke(const QPainterPath& path, double width = line) {
        painter_.strokePath(path, QPen(ink_, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    void fill(const QPainterPath& path) { painter_.fillPath(path, ink_); }
    /// Fills with rounded corners: the outline stroked wide with round joins.
    void fillRounded(const QPainterPath& path, double rounding = 1.6) {
        fill(path);
        stroke(path, rounding);
    }
    void dot(QPointF centre, double radius) {
        QPainterPath path;
        path.addEllipse(centre, radius, radius);
        fill(path);
    }

    /// Makes what is drawn inside `draw` transparent.
    void cut(const std::function<void()>& draw) {
        painter_.save();
        painter_.setCompositionMode(QPainter::CompositionMode_Clear);
        draw();
        painter_.restore();
    }
    /// Draws scaled about the grid's centre, for marks inside a circle or seal.
    void scaled(double factor, const std::function<void()>& draw) {
        painter_.save();
        painter_.translate(grid / 2, grid / 2);
        painter_.scale(factor, factor);
        painter_.translate(-grid / 2, -grid / 2);
        draw();
        painter_.restore();
    }

  private:
    QPainter& painter_;
    QColor ink_;
};

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    auto it = points.begin();
    path.moveTo(*it);
    for (++it; it != points.end(); ++it)
        path.lineTo(*it);
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath path = polyline(points);
    path.closeSubpath();
    return path;
}

QPainterPath roundedRect(double x, double y, double w, double h, double radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
    return path;
}

QPainterPath circle(double radius = 9.5) {
    QPainterPath path;
    path.addEllipse(QPointF(grid / 2, grid / 2), radius, radius);
    return path;
}

QPainterPath checkmark() {
    return polyline({{6.5, 12.5}, {10.3, 16.3}, {17.5, 7.5}});
}

QPainterPath minus() {
    return polyline({{7.5, 12}, {16.5, 12}});
}

QPainterPath triangle() {
    return polygon({{12, 3.2}, {21.6, 19.8}, {2.4, 19.8}});
}

void exclamation(Pen& pen, double top, double bottom, double dotY) {
    pen.stroke(polyline({{12, top}, {12, bottom}}), 2.3);
    pen.dot({12, dotY}, 1.35);
}

QPainterPath trashBody() {
    return polygon({{6.8, 7.8}, {17.2, 7.8}, {16.2, 20.2}, {7.8, 20.2}});
}

QPainterPath trashLid() {
    QPainterPath path = polyline({{4.8, 6}, {19.2, 6}});
    path.addPath(polyline({{9.8, 6}, {10.3, 3.6}, {13.7, 3.6}, {14.2, 6}}));
    return path;
}

QPainterPath trashStripes() {
    QPainterPath path = polyline({{10.2, 10.5}, {10.5, 17.5}});
    path.addPath(polyline({{13.8, 10.5}, {13.5, 17.5}}));
    return path;
}

void trashOutline(Pen& pen) {
    pen.stroke(trashLid());
    pen.stroke(trashBody());
    pen.stroke(trashStripes(), 1.4);
}

void trashFilled(Pen& pen) {
    pen.stroke(trashLid(), 2.0);
    pen.fillRounded(trashBody());
    pen.cut([&] { pen.stroke(trashStripes(), 1.5); });
}

/// A scalloped seal: a twelve-pointed star with rounded points.
QPainterPath seal() {
    QPainterPath path;
    constexpr int points = 12;
    for (int i = 0; i < points * 2; ++i) {
        const double angle = std::numbers::pi * i / points;
        const double radius = i % 2 == 0 ? 10.2 : 8.8;
        const QPointF point(12 + radius * std::cos(angle), 12 + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

QPainterPath questionMark() {
    QPainterPath path;
    path.arcMoveTo(QRectF(8.8, 6.2, 6.4, 6.4), 160);
    path.arcTo(QRectF(8.8, 6.2, 6.4, 6.4), 160, -250);
    path.lineTo(12, 14.3);
    return path;
}

/// An arc of the circle around the centre, in degrees counter-clockwise from three o'clock, with an
/// arrowhead at its end.
void arrowArc(Pen& pen, double radius, double start, double span) {
    const QRectF bounds(12 - radius, 12 - radius, 2 * radius, 2 * radius);
    QPainterPath arc;
    arc.arcMoveTo(bounds, start);
    arc.arcTo(bounds, start, span);
    pen.stroke(arc);
    const double end = (start + span) * std::numbers::pi / 180;
    const QPointF tip(12 + radius * std::cos(end), 12 - radius * std::sin(end));
    // Direction of travel at the end of a counter-clockwise arc (y grows downwards).
    const double direction = span > 0 ? 1 : -1;
    const QPointF along(-std::sin(end) * direction, -std::cos(end) * direction);
    const QPointF across(along.y(), -along.x());
    constexpr double size = 3.2;
    pen.stroke(
        polyline({tip - along * size + across * size, tip, tip - along * size - across * size}));
}

using Drawing = std::function<void(Pen&)>;

const std::map<QString, Drawing>& drawings() {
    static const std::map<QString, Drawing> table{
        {"checkmark", [](Pen& pen) { pen.stroke(checkmark(), 2.2); }},
        {"checkmark.circle",
         [](Pen& pen) {
             pen.stroke(circle());
             pen.scaled(0.72, [&] { pen.stroke(checkmark(), 2.4); });
         }},
        {"checkmark.circle.fill",
         [](Pen& pen) {
             pen.fill(circle(10));
             pen.cut([&] { pen.scaled(0.66, [&] { pen.stroke(checkmark(), 3.0); }); });
         }},
        {"checkmark.seal.fill",
         [](Pen& pen) {
             pen.fillRounded(seal(), 2.4);
             pen.cut([&] { pen.scaled(0.62, [&] { pen.stroke(checkmark(), 3.2); }); });
         }},
        {"exclamationmark.triangle",
         [](Pen& pen) {
             pen.stroke(triangle());
             exclamation(pen, 9.3, 13.8, 16.9);
         }},
        {"exclamationmark.triangle.fill",
         [](Pen& pen) {
             pen.fillRounded(triangle(), 2.2);
             pen.cut([&] { exclamation(pen, 9.3, 13.8, 16.9); });
         }},
        {"exclamationmark.arrow.circlepath",
         [](Pen& pen) {
             arrowArc(pen, 8.8, 20, 140);
             arrowArc(pen, 8.8, 200, 140);
             pen.scaled(0.7, [&] { exclamation(pen, 7.0, 13.4, 17.2); });
         }},
        {"minus.circle",
         [](Pen& pen) {
             pen.stroke(circle());
             pen.stroke(minus(), 2.0);
         }},
        {"trash", [](Pen& pen) { trashOutline(pen); }},
        {"trash.fill", [](Pen& pen) { trashFilled(pen); }},
        {"trash.circle.fill",
         [](Pen& pen) {
             pen.fill(circle(10));
             pen.cut([&] { pen.scaled(0.58, [&] { trashFilled(pen); }); });
             // The cut lid and body leave the stripes as ink again.
             pen.scaled(0.58, [&] { pen.stroke(trashStripes(), 1.5); });
         }},
        {"film",
         [](Pen& pen) {
             pen.stroke(roundedRect(3.5, 3.5, 17, 17, 2.5));
             pen.stroke(polyline({{7.8, 3.5}, {7.8, 20.5}}), 1.4);
             pen.stroke(polyline({{16.2, 3.5}, {16.2, 20.5}}), 1.4);
             for (const double y : {8.0, 12.0, 16.0}) {
                 pen.stroke(polyline({{3.5, y}, {7.8, y}}), 1.2);
                 pen.stroke(polyline({{16.2, y}, {20.5, y}}), 1.2);
             }
         }},
        {"photo",
         [](Pen& pen) {
             pen.stroke(roundedRect(2.5, 4.5, 19, 15, 2.5));
             pen.fillRounded(polygon({{5.5, 17}, {10, 11}, {13.2, 14.6}, {15.4, 12.4}, {18.5, 17}}),
                             1.0);
             pen.dot({16.2, 8.6}, 1.7);
         }},
        {"magnifyingglass",
         [](Pen& pen) {
             pen.stroke(circle(6.2).translated(-2, -2));
             pen.stroke(polyline({{14.6, 14.6}, {20.2, 20.2}}), 2.4);
         }},
        {"arrow.uturn.backward",
         [](Pen& pen) {
             QPainterPath path;
             path.moveTo(4.5, 8);
             path.lineTo(14, 8);
             path.arcTo(QRectF(8.5, 8, 11, 11), 90, -180);
             path.lineTo(8.5, 19);
             pen.stroke(path);
             pen.stroke(polyline({{8.5, 4}, {4.5, 8}, {8.5, 12}}));
         }},
        {"questionmark.square.dashed",
         [](Pen& pen) {
             QPen dashed(Qt::black, 1.6, Qt::CustomDashLine, Qt::FlatCap, Qt::RoundJoin);
             dashed.setDashPattern({2.0, 1.6});
             QPainterPathStroker stroker(dashed);
             pen.fill(stroker.createStroke(roundedRect(3.5, 3.5, 17, 17, 3.5)));
             pen.stroke(questionMark(), 2.0);
             pen.dot({12, 17.3}, 1.25);
         }},
        {"tray",
         [](Pen& pen) {
             pen.stroke(
                 polygon({{3.5, 13}, {6.5, 5}, {17.5, 5}, {20.5, 13}, {20.5, 19}, {3.5, 19}}));
             pen.stroke(polyline(
                 {{3.5, 13}, {8.5, 13}, {9.8, 15.3}, {14.2, 15.3}, {15.5, 13}, {20.5, 13}}));
         }},
        {"play.fill",
         [](Pen& pen) {
             pen.fillRounded(polygon({{7, 4.5}, {19, 12}, {7, 19.5}}), 2.0);
         }},
        {"pause.fill",
         [](Pen& pen) {
             pen.fill(roundedRect(6, 4.5, 4.2, 15, 1.2));
             pen.fill(roundedRect(13.8, 4.5, 4.2, 15, 1.2));
         }},
        {"doc.on.doc.fill",
         [](Pen& pen) {
             pen.fill(roundedRect(8.5, 2.5, 12, 15, 2));
             pen.cut([&] { pen.fill(roundedRect(2.5, 5.5, 14, 17, 3)); });
             pen.fill(roundedRect(3.5, 6.5, 12, 15, 2));
         }},
        {"square.on.square",
         [](Pen& pen) {
             pen.stroke(roundedRect(8.5, 3.5, 12, 12, 2));
             pen.cut([&] { pen.fill(roundedRect(2.5, 7.5, 14, 14, 3)); });
             pen.stroke(roundedRect(3.5, 8.5, 12, 12, 2));
         }},
        {"line.3.horizontal.decrease.circle",
         [](Pen& pen) {
             pen.stroke(circle());
             pen.stroke(polyline({{7.2, 8.8}, {16.8, 8.8}}), 1.6);
             pen.stroke(polyline({{9, 12.2}, {15, 12.2}}), 1.6);
             pen.stroke(polyline({{10.8, 15.6}, {13.2, 15.6}}), 1.6);
         }},
    };
    return table;
}

const Drawing& drawing(const QString& name) {
    const auto& table = drawings();
    const auto found = table.find(name);
    return found != table.end() ? found->second : table.at("questionmark.square.dashed");
}

/// The symbol on a transparent square layer of `pixels` device pixels.
QImage render(const QString& name, int pixels, const QColor& colour) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(pixels / grid, pixels / grid);
    QColor opaque = colour;
    opaque.setAlpha(255);
    Pen pen(painter, opaque);
    drawing(name)(pen);
    painter.end();
    // Cuts need an opaque ink; the colour's own transparency is applied to the finished layer.
    if (colour.alpha() < 255) {
        QImage faded(image.size(), QImage::Format_ARGB32_Premultiplied);
        faded.fill(Qt::transparent);
        QPainter fader(&faded);
        fader.setOpacity(colour.alphaF());
        fader.drawImage(0, 0, image);
        return faded;
    }
    return image;
}

class SymbolEngine : public QIconEngine {
  public:
    SymbolEngine(QString name, QColor colour) : name_(std::move(name)), colour_(colour) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        Symbols::paint(*painter, rect, name_, colourFor(mode));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const int edge = std::min(size.width(), size.height());
        QPixmap result(size);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        painter.drawImage((size.width() - edge) / 2, (size.height() - edge) / 2,
                          render(name_, edge, colourFor(mode)));
        return result;
    }
    QIconEngine* clone() const override { return new SymbolEngine(name_, colour_); }
    QString key() const override { return QStringLiteral("QuillmereSymbol"); }
    QString iconName() override { return name_; }

  private:
    QColor colourFor(QIcon::Mode mode) const {
        QColor colour = colour_;
        if (mode == QIcon::Disabled)
            colour.setAlphaF(colour.alphaF() * disabledOpacity);
        return colour;
    }

    QString name_;
    QColor colour_;
};

} // namespace

bool contains(const QString& name) {
    return drawings().contains(name);
}

QIcon icon(const QString& name, const QColor& colour) {
    return QIcon(new SymbolEngine(name, colour));
}

QPixmap pixmap(const QString& name, int size, const QColor& colour, qreal devicePixelRatio) {
    QPixmap result = QPixmap::fromImage(
        render(name, static_cast<int>(std::lround(size * devicePixelRatio)), colour));
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& colour) {
    const double edge = std::min(rect.width(), rect.height());
    const QRectF square(rect.center().x() - edge / 2, rect.center().y() - edge / 2, edge, edge);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int pixels = static_cast<int>(std::lround(edge * ratio));
    if (pixels <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(square, render(name, pixels, colour));
    painter.restore();
}

} // namespace quillmere::Symbols
