// The sidebar of the main window: the "Show" status picker and the segmented media picker, each
// choice with its count, above the list of pairs with its context menu. The list's selection is
// the session's selection.
#pragma once

#include "model/ReviewSession.h"

#include <QWidget>
#include <array>

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QListView;
class QMenu;

namespace quillmere {

class ReviewListModel;

class Sidebar : public QWidget {
    Q_OBJECT

  public:
    Sidebar(ReviewSession& session, QWidget* parent = nullptr);

    /// Redraws the counts of the pickers and shows the session's filters.
    void refresh();

    QComboBox& filterPicker() { return *filterPicker_; }
    QAbstractButton& mediaSegment(ReviewSession::MediaFilter filter);
    QListView& list() { return *list_; }
    ReviewListModel& model() { return *model_; }

    /// The context menu of a row, as the list shows it on a right click. Deleted when closed.
    QMenu* contextMenu(const std::string& id);

  private:
    /// Selects the session's selection in the list, once the rows are up to date.
    void showSelection();
    /// Takes the list's selection into the session.
    void takeSelection();

    ReviewSession& session_;
    QComboBox* filterPicker_;
    QButtonGroup* mediaPicker_;
    std::array<QAbstractButton*, ReviewSession::mediaFilters.size()> mediaSegments_{};
    QListView* list_;
    ReviewListModel* model_;
    /// The list is being brought in line with the session; its selection signals are ours.
    bool showingSelection_ = false;
};

} // namespace quillmere
