// Shared small controls of the main window.
#include "views/Controls.h"

#include "views/Symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QtMath>

namespace quillmere {

// ---- ElidedLabel

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QWidget(parent), mode_(mode) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    if (text_ == text)
        return;
    text_ = text;
    setToolTip(text);
    updateGeometry();
    update();
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text_, mode_, width());
}

QSize ElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text_), fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")) * 3, fontMetrics().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

// ---- SymbolLabel

SymbolLabel::SymbolLabel(const QString& symbol, const QString& text, Palette::Role role,
                         const QFont& font, QWidget* parent)
    : QWidget(parent), symbol_(symbol), role_(role), icon_(new QLabel(this)),
      text_(new QLabel(text, this)) {
    text_->setFont(font);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(icon_);
    layout->addWidget(text_);
    redraw();
}

QString SymbolLabel::text() const {
    return text_->text();
}

void SymbolLabel::setText(const QString& text) {
    text_->setText(text);
}

void SymbolLabel::setSymbol(const QString& symbol) {
    if (symbol_ == symbol)
        return;
    symbol_ = symbol;
    redraw();
}

void SymbolLabel::setRole(Palette::Role role) {
    if (role_ == role)
        return;
    role_ = role;
    redraw();
}

void SymbolLabel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        redraw();
}

void SymbolLabel::redraw() {
    // The symbol is as tall as the text's capitals and descenders, like a glyph of the font.
    const int size = QFontMetrics(text_->font()).height();
    icon_->setVisible(!symbol_.isEmpty());
    icon_->setPixmap(Symbols::pixmap(symbol_, size, Palette::color(role_, palette()),
                                     devicePixelRatioF()));
    Palette::setForeground(*text_, role_);
}

// ---- Spinner

Spinner::Spinner(int size, QWidget* parent) : QWidget(parent) {
    setFixedSize(size, size);
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = width() / 2.0;
    painter.translate(radius, radius);
    QColor colour = palette().color(QPalette::WindowText);
    QPen pen;
    pen.setWidthF(std::max(1.5, radius / 5));
    pen.setCapStyle(Qt::RoundCap);
    for (int spoke = 0; spoke < 12; ++spoke) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = (step_ - spoke + 12) % 12;
        colour.setAlphaF(float(1.0 - age / 13.0) * 0.8f);
        pen.setColor(colour);
        painter.setPen(pen);
        painter.save();
        painter.rotate(spoke * 30.0);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius + pen.widthF() / 2));
        painter.restore();
    }
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void Spinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

// ---- Buttons

namespace Buttons {

QPushButton* prominent(const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setFont(TextStyles::font(TextStyle::body, QFont::Medium));
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: palette(highlight); color: palette(highlighted-text);"
        " border: none; border-radius: 6px; padding: 7px 20px; }"
        "QPushButton:pressed { background: palette(dark); }"
        "QPushButton:disabled { background: palette(midlight); color: palette(mid); }"));
    return button;
}

QPushButton* large(const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setFont(TextStyles::font(TextStyle::body));
    button->setMinimumHeight(30);
    button->setStyleSheet(QStringLiteral("QPushButton { padding: 6px 18px; }"));
    return button;
}

QPushButton* link(const QString& title, TextStyle style, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setFont(TextStyles::font(style));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { border: none; background: transparent; color: palette(link);"
        " padding: 0; text-align: left; }"
        "QPushButton:hover { text-decoration: underline; }"));
    return button;
}

} // namespace Buttons
} // namespace quillmere
