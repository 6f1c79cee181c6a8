// Controls the app's windows share beyond the labels of Labels.h: a spinning busy indicator, the
// two large button looks (prominent and bordered), and modal alerts.
#pragma once

#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QWidget>

class QMessageBox;
class QPainter;

namespace quillmere {

/// An indeterminate busy indicator: spokes that turn while it is shown.
class Spinner : public QWidget {
    Q_OBJECT

  public:
    /// Milliseconds from one spoke to the next.
    static constexpr int stepInterval = 80;

    /// `size` is the diameter in points.
    explicit Spinner(int size, QWidget* parent = nullptr);

    /// The animation runs only while the spinner is visible.
    bool isSpinning() const { return timer_.isActive(); }

    /// Draws the spinner's twelve spokes in `box`, the one at `step` darkest; for painted views
    /// that cannot hold a widget.
    static void paintSpokes(QPainter& painter, const QRectF& box, QColor colour, int step);

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

} // namespace Buttons

/// A window-modal alert over `parent` with the app's icon, a bold title and a message (plain
/// text, none when empty), named `name`; it deletes itself once closed. The caller adds the
/// buttons and opens it.
QMessageBox* makeAlert(QWidget* parent, const QString& name, const QString& title,
                       const QString& message);

} // namespace quillmere
