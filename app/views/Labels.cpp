// Small text widgets shared by the views.
#include "views/Labels.h"

#include "views/Symbols.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QResizeEvent>
#include <QTextDocument>
#include <cmath>

namespace quillmere {

namespace {

/// A symbol beside text is a little taller than the text's pixel size, as in a symbol font.
int symbolSize(const QFont& font) {
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
    return static_cast<int>(std::lround(pixels * 1.25));
}

} // namespace

SymbolLabel::SymbolLabel(const QString& symbol, const QString& text, const QFont& font,
                         Palette::Role colour, QWidget* parent)
    : QWidget(parent), colour_(colour), icon_(new QLabel(this)), text_(new QLabel(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(icon_, 0, Qt::AlignVCenter);
    layout->addWidget(text_, 1, Qt::AlignVCenter);
    text_->setFont(font);
    set(symbol, text, colour);
}

void SymbolLabel::set(const QString& symbol, const QString& text, Palette::Role colour) {
    symbol_ = symbol;
    colour_ = colour;
    const QColor ink = Palette::color(colour, palette());
    if (symbol.isEmpty()) {
        icon_->clear();
        icon_->hide();
    } else {
        icon_->setPixmap(
            Symbols::pixmap(symbol, symbolSize(text_->font()), ink, devicePixelRatioF()));
        icon_->show();
    }
    text_->setText(text);
    Palette::setForeground(*text_, colour);
}

QString SymbolLabel::text() const {
    return text_->text();
}

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text) {
    fullText_ = text;
    elide();
    updateGeometry();
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(fullText_) + 2, metrics.height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QFontMetrics(font()).height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    setText(QFontMetrics(font()).elidedText(fullText_, mode_, std::max(0, contentsRect().width())));
}

SelectableText::SelectableText(const QString& text, const QFont& font, const QColor& colour,
                               QWidget* parent)
    : QTextEdit(parent) {
    setReadOnly(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Focus only when clicked, for copying: moving the focus along the window, or handing it
    // back after a dialog, must not park a blinking caret in a path.
    setFocusPolicy(Qt::ClickFocus);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    document()->setDocumentMargin(0);
    setFont(font);
    document()->setDefaultFont(font);
    QPalette colours = palette();
    colours.setColor(QPalette::Text, colour);
    setPalette(colours);
    setPlainText(text);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    fitHeight();
}

void SelectableText::setText(const QString& text) {
    setPlainText(text);
    fitHeight();
}

QSize SelectableText::sizeHint() const {
    return {static_cast<int>(std::ceil(document()->idealWidth())), height()};
}

QSize SelectableText::minimumSizeHint() const {
    return {0, height()};
}

void SelectableText::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fitHeight();
}

void SelectableText::fitHeight() {
    document()->setTextWidth(viewport()->width());
    const int height = static_cast<int>(std::ceil(document()->size().height()));
    if (height != this->height())
        setFixedHeight(height);
}

LinkButton::LinkButton(const QString& title, const QFont& font, QWidget* parent)
    : QPushButton(title, parent) {
    setFont(font);
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0px; color: palette(link); }"
                                 "QPushButton:hover { text-decoration: underline; }"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

} // namespace quillmere
