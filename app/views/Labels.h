// The small text widgets the views are built from: a text with a symbol in front, a one-line text
// truncated to fit, a selectable text that wraps anywhere (paths have no spaces to wrap at) and a
// link-style button.
#pragma once

#include "views/Palette.h"

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QWidget>

namespace quillmere {

/// A symbol followed by a text, both in one colour. Without a symbol name only the text shows.
class SymbolLabel : public QWidget {
    Q_OBJECT

  public:
    SymbolLabel(const QString& symbol, const QString& text, const QFont& font, Palette::Role colour,
                QWidget* parent = nullptr);

    /// Changes what is shown; the font stays.
    void set(const QString& symbol, const QString& text, Palette::Role colour);

    QString text() const;
    const QString& symbol() const { return symbol_; }
    Palette::Role colour() const { return colour_; }
    /// The label holding the text, for its font and colour.
    QLabel& textLabel() const { return *text_; }

  private:
    QString symbol_;
    Palette::Role colour_;
    QLabel* icon_;
    QLabel* text_;
};

/// One line of text, truncated with "…" when it does not fit; the whole text stays available.
class ElidedLabel : public QLabel {
    Q_OBJECT

  public:
    explicit ElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return fullText_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide();

    Qt::TextElideMode mode_;
    QString fullText_;
};

/// Read-only text that can be selected and copied, wrapping anywhere so that a long path breaks
/// onto as many lines as it needs. Its height follows its text.
class SelectableText : public QTextEdit {
    Q_OBJECT

  public:
    SelectableText(const QString& text, const QFont& font, const QColor& colour,
                   QWidget* parent = nullptr);

    QString text() const { return toPlainText(); }
    void setText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fitHeight();
};

/// A button that looks like a link: no frame, the palette's link colour, a pointing hand.
class LinkButton : public QPushButton {
    Q_OBJECT

  public:
    LinkButton(const QString& title, const QFont& font, QWidget* parent = nullptr);
};

} // namespace quillmere
