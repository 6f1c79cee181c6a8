// The sidebar: pickers with counts, and the list of pairs bound to the session's selection.
#include "views/Sidebar.h"

#include "views/FileManager.h"
#include "views/Palette.h"
#include "views/ReviewListModel.h"
#include "views/ReviewRowDelegate.h"
#include "views/ReviewTexts.h"
#include "views/Symbols.h"
#include "views/TextStyle.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QListView>
#include <QMenu>
#include <QScopedValueRollback>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillmere {

namespace {

// Segments drawn as one bar of joined buttons, the chosen one in the accent colour.
const QString segmentStyle = QStringLiteral(
    "QToolButton { border: 1px solid palette(mid); background: palette(button);"
    " padding: 3px 4px; }"
    "QToolButton:checked { background: palette(highlight); color: palette(highlighted-text); }"
    "QToolButton#first { border-top-left-radius: 5px; border-bottom-left-radius: 5px; }"
    "QToolButton#middle, QToolButton#last { border-left: none; }"
    "QToolButton#last { border-top-right-radius: 5px; border-bottom-right-radius: 5px; }");

QIcon segmentIcon(const QString& symbol, const QPalette& palette, qreal ratio) {
    constexpr int size = 14;
    QIcon icon;
    icon.addPixmap(Symbols::pixmap(symbol, size, palette.color(QPalette::ButtonText), ratio),
                   QIcon::Normal, QIcon::Off);
    icon.addPixmap(Symbols::pixmap(symbol, size, palette.color(QPalette::HighlightedText), ratio),
                   QIcon::Normal, QIcon::On);
    return icon;
}

} // namespace

Sidebar::Sidebar(ReviewSession& session, QWidget* parent)
    : QWidget(parent), session_(session), filterPicker_(new QComboBox(this)),
      mediaPicker_(new QButtonGroup(this)), list_(new QListView(this)),
      model_(new ReviewListModel(session, this)) {
    filterPicker_->setAccessibleName(QStringLiteral("Show"));
    filterPicker_->setFont(TextStyles::font(TextStyle::body));
    for (const auto filter : ReviewSession::filters)
        filterPicker_->addItem(ReviewTexts::filterChoice(filter, 0));
    connect(filterPicker_, &QComboBox::activated, this,
            [this](int index) { session_.setFilter(ReviewSession::filters[std::size_t(index)]); });

    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    for (std::size_t i = 0; i < ReviewSession::mediaFilters.size(); ++i) {
        const auto filter = ReviewSession::mediaFilters[i];
        auto* segment = new QToolButton(this);
        segment->setObjectName(i == 0                                        ? "first"
                               : i + 1 == ReviewSession::mediaFilters.size() ? "last"
                                                                             : "middle");
        segment->setCheckable(true);
        segment->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        segment->setIcon(
            segmentIcon(ReviewTexts::mediaSymbol(filter), palette(), devicePixelRatioF()));
        segment->setFont(TextStyles::font(TextStyle::subheadline));
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        segment->setStyleSheet(segmentStyle);
        mediaPicker_->addButton(segment, int(i));
        mediaSegments_[i] = segment;
        segments->addWidget(segment);
    }
    connect(mediaPicker_, &QButtonGroup::idClicked, this, [this](int id) {
        session_.setMediaFilter(ReviewSession::mediaFilters[std::size_t(id)]);
    });

    list_->setAccessibleName(QStringLiteral("Pairs"));
    list_->setModel(model_);
    list_->setItemDelegate(new ReviewRowDelegate(session_, list_));
    // Every row has the same height, which spares the view measuring 20,000 of them.
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Sidebar::takeSelection);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        const QModelIndex index = list_->indexAt(position);
        if (index.isValid())
            contextMenu(index.data(ReviewListModel::idRole).toString().toStdString())
                ->popup(list_->viewport()->mapToGlobal(position));
    });
    connect(model_, &ReviewListModel::synced, this, &Sidebar::showSelection);
    connect(&session_, &ReviewSession::selectionChanged, this, &Sidebar::showSelection);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* pickers = new QVBoxLayout;
    pickers->setContentsMargins(8, 8, 8, 8);
    pickers->setSpacing(6);
    pickers->addWidget(filterPicker_);
    pickers->addLayout(segments);
    layout->addLayout(pickers);
    layout->addWidget(list_, 1);
    refresh();
}

QAbstractButton& Sidebar::mediaSegment(ReviewSession::MediaFilter filter) {
    return *mediaPicker_->button(int(filter));
}

void Sidebar::refresh() {
    for (std::size_t i = 0; i < ReviewSession::filters.size(); ++i) {
        const auto filter = ReviewSession::filters[i];
        filterPicker_->setItemText(int(i),
                                   ReviewTexts::filterChoice(filter, session_.count(filter)));
        if (filter == session_.filter())
            filterPicker_->setCurrentIndex(int(i));
    }
    for (std::size_t i = 0; i < ReviewSession::mediaFilters.size(); ++i) {
        const auto filter = ReviewSession::mediaFilters[i];
        mediaSegments_[i]->setText(ReviewTexts::mediaChoice(filter, session_.mediaCount(filter)));
        mediaSegments_[i]->setChecked(filter == session_.mediaFilter());
    }
}

QMenu* Sidebar::contextMenu(const std::string& id) {
    auto* menu = new QMenu(list_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto mark = [this, id](ReviewItem::Decision decision) {
        return [this, id, decision] { session_.mark(id, decision); };
    };
    menu->addAction(QStringLiteral("Mark for removal"), this, mark(ReviewItem::Decision::discard));
    menu->addAction(QStringLiteral("Keep Both"), this, mark(ReviewItem::Decision::keep));
    menu->addAction(QStringLiteral("Clear Mark"), this, mark(ReviewItem::Decision::undecided));
    menu->addSeparator();
    const auto reveal = [this, id](bool duplicate) {
        return [this, id, duplicate] {
            if (const auto item = session_.item(id))
                FileManager::reveal(
                    QString::fromStdString(duplicate ? item->candidateURL : item->keepURL));
        };
    };
    menu->addAction(session_.kind() == ReviewSession::Kind::similar
                        ? QStringLiteral("Show Similar Photo in File Manager")
                        : QStringLiteral("Show Duplicate in File Manager"),
                    this, reveal(true));
    menu->addAction(QStringLiteral("Show Original in File Manager"), this, reveal(false));
    return menu;
}

void Sidebar::showSelection() {
    const QScopedValueRollback guard(showingSelection_, true);
    const auto& id = session_.selection();
    const int row = id ? model_->rowOf(*id) : -1;
    if (row < 0) {
        // A pair that is not listed yet is selected once the rows catch up (synced).
        list_->selectionModel()->clear();
        return;
    }
    const QModelIndex index = model_->index(row);
    list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    list_->scrollTo(index);
}

void Sidebar::takeSelection() {
    if (showingSelection_)
        return;
    // Rows leaving the list drop out of the selection; that is not a choice of the user's.
    const auto rows = list_->selectionModel()->selectedRows();
    if (!rows.isEmpty())
        session_.setSelection(rows.first().data(ReviewListModel::idRole).toString().toStdString());
}

} // namespace quillmere
