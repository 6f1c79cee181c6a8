// Busy indicator and large buttons of the main window.
#include "views/Controls.h"

#include "views/Info.h"
#include "views/Palette.h"
#include "views/TextStyle.h"

#include <QMessageBox>
#include <QPainter>

namespace quillmere {

// ---- Spinner

Spinner::Spinner(int size, QWidget* parent) : QWidget(parent) {
    setFixedSize(size, size);
    timer_.setInterval(stepInterval);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintSpokes(painter, QRectF(rect()), palette().color(QPalette::WindowText), step_);
}

void Spinner::paintSpokes(QPainter& painter, const QRectF& box, QColor colour, int step) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = std::min(box.width(), box.height()) / 2.0;
    painter.translate(box.center());
    QPen pen;
    pen.setWidthF(std::max(1.5, radius / 5));
    pen.setCapStyle(Qt::RoundCap);
    for (int spoke = 0; spoke < 12; ++spoke) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = (step - spoke + 12) % 12;
        colour.setAlphaF(float(1.0 - age / 13.0) * 0.8f);
        pen.setColor(colour);
        painter.setPen(pen);
        painter.save();
        painter.rotate(spoke * 30.0);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius + pen.widthF() / 2));
        painter.restore();
    }
    painter.restore();
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
    // Disabled, it is a plain bordered button with the secondary text colour, still readable.
    const QColor disabledText = Palette::color(Palette::Role::secondary, button->palette());
    button->setStyleSheet(
        QStringLiteral(
            "QPushButton { background: palette(highlight); color: palette(highlighted-text);"
            " border: none; border-radius: 6px; padding: 7px 20px; }"
            "QPushButton:pressed { background: palette(dark); }"
            "QPushButton:disabled { background: palette(button); color: rgba(%1, %2, %3, %4);"
            " border: 1px solid palette(mid); padding: 6px 19px; }")
            .arg(disabledText.red())
            .arg(disabledText.green())
            .arg(disabledText.blue())
            .arg(disabledText.alpha()));
    return button;
}

QPushButton* large(const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setFont(TextStyles::font(TextStyle::body));
    button->setMinimumHeight(30);
    button->setStyleSheet(QStringLiteral("QPushButton { padding: 6px 18px; }"));
    return button;
}

} // namespace Buttons

QMessageBox* makeAlert(QWidget* parent, const QString& name, const QString& title,
                       const QString& message) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(name);
    box->setWindowTitle(title);
    box->setIconPixmap(Info::applicationIcon().pixmap(64, 64));
    box->setTextFormat(Qt::PlainText);
    box->setText(title);
    box->setInformativeText(message);
    // A bold title over a message wide enough to read as a paragraph, not a column.
    box->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { font-weight: bold; }"
                                      "QLabel#qt_msgbox_informativelabel { min-width: 380px; }"));
    return box;
}

} // namespace quillmere
