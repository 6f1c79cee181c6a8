// The bar along the bottom of the main window: how many pairs are left to review, to delete and
// to keep, the space that removal would free, and the apply button.
#pragma once

#include <QWidget>

class QPushButton;

namespace quillmere {

class ReviewSession;
class Spinner;
class SymbolLabel;

class StatusBar : public QWidget {
    Q_OBJECT

  public:
    StatusBar(const ReviewSession& session, QWidget* parent = nullptr);

    void refresh();

    QPushButton& applyButton() { return *apply_; }

  signals:
    /// The apply button was pressed.
    void applyRequested();

  private:
    const ReviewSession& session_;
    SymbolLabel* toReview_;
    SymbolLabel* toDelete_;
    SymbolLabel* toKeep_;
    SymbolLabel* reclaimable_;
    Spinner* spinner_;
    QPushButton* apply_;
};

} // namespace quillmere
