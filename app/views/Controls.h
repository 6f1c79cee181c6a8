// Small controls the main window's screens share: one-line labels cut with an ellipsis, a symbol
// beside a text, a spinning busy indicator, and the three button looks (prominent, large, link).
#pragma once

#include "views/Palette.h"
#include "views/TextStyle.h"

#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;

namespace quillmere {

/// One line of text that is cut with an ellipsis (at the head, middle or tail) where it does not
/// fit, drawn in the widget's foreground colour.
class ElidedLabel : public QWidget {
    Q_OBJECT

  public:
    explicit ElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);
    /// The text as shown at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Qt::TextElideMode mode_;
    QString text_;
};

/// A symbol followed by a text, both in the colour of one role.
class SymbolLabel : public QWidget {
    Q_OBJECT

  public:
    SymbolLabel(const QString& symbol, const QString& text, Palette::Role role, const QFont& font,
                QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);
    Palette::Role role() const { return role_; }
    void setRole(Palette::Role role);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void redraw();

    QString symbol_;
    Palette::Role role_;
    QLabel* icon_;
    QLabel* text_;
};

/// An indeterminate busy indicator: spokes that turn while it is shown.
class Spinner : public QWidget {
    Q_OBJECT

  public:
    /// `size` is the diameter in points.
    explicit Spinner(int size, QWidget* parent = nullptr);

    /// The animation runs only while the spinner is visible.
    bool isSpinning() const { return timer_.isActive(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTimer timer_;
    int step_ = 0;
};

namespace Buttons {

/// The large button filled with the accent colour, for a screen's main action.
QPushButton* prominent(const QString& title, QWidget* parent = nullptr);
/// A large bordered button.
QPushButton* large(const QString& title, QWidget* parent = nullptr);
/// A borderless button drawn as a link, in the given text style.
QPushButton* link(const QString& title, TextStyle style, QWidget* parent = nullptr);

} // namespace Buttons
} // namespace quillmere
