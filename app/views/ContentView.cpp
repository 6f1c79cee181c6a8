// The main window: composition, the choice of detail screen, the toolbar, the choosers, and the
// two alerts (apply confirmation, load error).
#include "views/ContentView.h"

#include "fs/FileSystem.h"
#include "model/ReviewSession.h"
#include "scan/Text.h"
#include "views/Choosers.h"
#include "views/ComparisonView.h"
#include "views/Controls.h"
#include "views/DetailScreens.h"
#include "views/Notifications.h"
#include "views/Palette.h"
#include "views/ReviewTexts.h"
#include "views/Sidebar.h"
#include "views/StatusBar.h"
#include "views/Symbols.h"
#include "views/TextStyle.h"

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace quillmere {

namespace {

std::vector<std::string> rootsOf(const QStringList& folders) {
    std::vector<std::string> roots;
    for (const auto& folder : folders)
        roots.push_back(folder.toStdString());
    return roots;
}

} // namespace

ContentView::ContentView(ReviewSession& session, Notifications& notifications, QWidget* parent,
                         ScanCoordinator::Engine scanEngine)
    : QMainWindow(parent), session_(session),
      scanner_(scanEngine ? new ScanCoordinator(std::move(scanEngine), this)
                          : new ScanCoordinator(this)),
      sidebar_(new Sidebar(session, this)), detail_(new QStackedWidget(this)),
      scanning_(new ScanningPanel(*scanner_, detail_)), welcome_(new WelcomeScreen(detail_)),
      nothingFound_(new NothingFoundScreen(session, detail_)),
      comparison_(new ComparisonView(session, detail_)),
      completion_(new CompletionSummary(session, detail_)), emptyFilter_(new NoticeScreen(detail_)),
      prompt_(new QLabel(QStringLiteral("Select a pair"), detail_)),
      statusBar_(new StatusBar(session, this)) {
    setWindowTitle(QStringLiteral("Quillmere Review"));
    setUnifiedTitleAndToolBarOnMac(true);
    setMinimumSize(minimumWindowWidth, minimumWindowHeight);
    resize(1200, 760);

    // Pages in the order of Screen.
    prompt_->setAlignment(Qt::AlignCenter);
    prompt_->setFont(TextStyles::font(TextStyle::body));
    Palette::setForeground(*prompt_, Palette::Role::secondary);
    for (QWidget* page : std::initializer_list<QWidget*>{
             scanning_, welcome_, nothingFound_, comparison_, completion_, emptyFilter_, prompt_})
        detail_->addWidget(page);
    detail_->setCurrentWidget(welcome_);

    sidebar_->setMinimumWidth(sidebarMinimumWidth);
    sidebar_->setMaximumWidth(sidebarMaximumWidth);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(sidebar_);
    splitter->addWidget(detail_);
    splitter->setCollapsible(0, false);
    splitter->setCollapsible(1, false);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({sidebarIdealWidth, width() - sidebarIdealWidth});

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(splitter, 1);
    layout->addWidget(statusBar_);
    setCentralWidget(central);
    buildToolbar();

    connect(welcome_, &WelcomeScreen::scanRequested, this, &ContentView::chooseFolderToScan);
    connect(welcome_, &WelcomeScreen::similarRequested, this,
            &ContentView::chooseFoldersForSimilar);
    connect(welcome_, &WelcomeScreen::openRequested, this, &ContentView::chooseFolder);
    connect(nothingFound_, &NothingFoundScreen::scanRequested, this, &ContentView::scanAgain);
    connect(completion_, &CompletionSummary::scanRequested, this, &ContentView::scanAgain);
    connect(statusBar_, &StatusBar::applyRequested, this, &ContentView::requestApply);
    connect(scanning_, &ScanningPanel::stopRequested, scanner_, &ScanCoordinator::cancel);

    // Menu commands are ignored while a scan runs, so at most one scan starts from here.
    connect(&notifications, &Notifications::scanFolders, this, [this] {
        if (!scanner_->isScanning())
            chooseFolderToScan();
    });
    connect(&notifications, &Notifications::findSimilarPhotos, this, [this] {
        if (!scanner_->isScanning())
            chooseFoldersForSimilar();
    });
    connect(&notifications, &Notifications::openManifest, this, [this] {
        if (!scanner_->isScanning())
            chooseFolder();
    });

    const auto reconcile = [this] { session_.reconcileSelection(); };
    connect(&session_, &ReviewSession::filterChanged, this, reconcile);
    connect(&session_, &ReviewSession::mediaFilterChanged, this, reconcile);
    connect(&session_, &ReviewSession::changed, this, &ContentView::scheduleRefresh);
    connect(scanner_, &ScanCoordinator::isScanningChanged, this, &ContentView::scheduleRefresh);
    refresh();
}

ContentView::~ContentView() = default;

void ContentView::buildToolbar() {
    auto* toolbar = addToolBar(QStringLiteral("Toolbar"));
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setEnabled(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::NoContextMenu);

    const QColor ink = palette().color(QPalette::ButtonText);
    const auto add = [&](const QString& label, const QString& symbol, const QString& help,
                         auto action) {
        auto* item = toolbar->addAction(Symbols::icon(symbol, ink), label, this, action);
        item->setToolTip(help);
        return item;
    };
    scanAction_ = add(QStringLiteral("Scan Folders"), QStringLiteral("magnifyingglass"),
                      QStringLiteral("Scan other folders for duplicates (Ctrl+O)"),
                      [this] { chooseFolderToScan(); });

    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);

    markAllAction_ = add(QStringLiteral("Mark All for Removal"), QStringLiteral("trash"),
                         QStringLiteral("Mark every remaining duplicate for removal"),
                         [this] { session_.markAllPending(ReviewItem::Decision::discard); });
    clearMarksAction_ = add(QStringLiteral("Clear Marks"), QStringLiteral("arrow.uturn.backward"),
                            QStringLiteral("Clear every mark and start the review over"),
                            [this] { session_.markAllPending(ReviewItem::Decision::undecided); });
    retryAction_ =
        add(QStringLiteral("Retry Failed"), QStringLiteral("exclamationmark.arrow.circlepath"),
            QStringLiteral("Put files that could not be removed back in the queue"),
            [this] { session_.retryFailed(); });
}

// ---- Commands

void ContentView::chooseFolderToScan() {
    auto* chooser = new Chooser(Chooser::Kind::foldersToScan, this);
    connect(chooser, &Chooser::chosen, this, &ContentView::scan);
    openChooser(chooser);
}

void ContentView::chooseFoldersForSimilar() {
    auto* chooser = new Chooser(Chooser::Kind::foldersForSimilar, this);
    connect(chooser, &Chooser::chosen, this, &ContentView::scanSimilar);
    openChooser(chooser);
}

void ContentView::scanAgain() {
    if (session_.kind() == ReviewSession::Kind::similar)
        chooseFoldersForSimilar();
    else
        chooseFolderToScan();
}

void ContentView::chooseFolder() {
    auto* chooser = new Chooser(Chooser::Kind::manifest, this);
    connect(chooser, &Chooser::chosen, this,
            [this](const QStringList& locations) { open(locations.front()); });
    openChooser(chooser);
}

void ContentView::openChooser(QDialog* chooser) {
    // The keys go back to this window once the chooser is gone, even where no window manager
    // hands the activation back.
    connect(chooser, &QDialog::finished, this, [this] { activateWindow(); });
    chooser->open();
}

void ContentView::scan(const QStringList& folders) {
    const std::vector<std::string> roots = rootsOf(folders);
    // A scan that is refused (one is running) or yields nothing leaves the review as it was.
    scanner_->scan(roots, [this, roots](ScanCoordinator::Outcome outcome) {
        session_.load(std::move(outcome.pairs),
                      {roots, outcome.result.filesScanned, outcome.result.duration});
    });
}

void ContentView::scanSimilar(const QStringList& folders) {
    const std::vector<std::string> roots = rootsOf(folders);
    scanner_->scanSimilar(roots, [this, roots](ScanCoordinator::SimilarOutcome outcome) {
        session_.loadSimilar(std::move(outcome.pairs),
                             {roots, outcome.result.photosScanned, outcome.result.duration});
    });
}

void ContentView::open(const QString& location) {
    const std::string path = location.toStdString();
    const std::string extension = Text::lowercased(FileSystem::extension(path));
    if (extension == "json" || extension == "jsonl")
        session_.load(path);
    else
        session_.loadManifest(path);
}

void ContentView::requestApply() {
    const auto discards = std::int64_t(session_.markedForDiscard().size());
    const auto keeps = session_.markedForKeep();
    if (discards == 0 && keeps.empty())
        return;
    alertOffersRemoval_ = discards > 0;
    showApplyConfirmation_ = true;
    const auto parked = std::count_if(keeps.begin(), keeps.end(),
                                      [](const ReviewItem& item) { return item.parkedRecord(); });
    const auto alert = ReviewTexts::applyAlert(
        alertOffersRemoval_, discards, session_.reclaimableBytes(), parked, session_.kind());

    auto* box = makeAlert(this, QStringLiteral("applyConfirmation"), alert.title, alert.message);
    auto* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    auto* confirm =
        box->addButton(alert.confirmButton,
                       alert.destructive ? QMessageBox::DestructiveRole : QMessageBox::AcceptRole);
    // Return confirms only what cannot lose anything; removal needs the button itself.
    box->setDefaultButton(alert.destructive ? cancel : confirm);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::finished, this, [this, box, confirm] {
        showApplyConfirmation_ = false;
        if (box->clickedButton() != confirm)
            return;
        const auto plan = session_.applyPlan();
        session_.apply(alertOffersRemoval_ && plan.removes);
    });
    box->open();
}

// ---- Drawing

void ContentView::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    // The manifest named at start opens once the window is up, as its own task.
    QTimer::singleShot(0, this, [this] {
        session_.loadStartupManifest(QProcessEnvironment::systemEnvironment());
    });
}

bool ContentView::hasReview() const {
    return session_.isLoaded() && !session_.items().empty();
}

void ContentView::scheduleRefresh() {
    if (refreshQueued_)
        return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        refresh();
    });
}

ContentView::Screen ContentView::currentScreen() const {
    if (scanner_->isScanning())
        return Screen::scanning;
    if (!session_.isLoaded())
        return Screen::welcome;
    if (session_.items().empty())
        return Screen::nothingFound;
    if (session_.item(session_.selection()))
        return Screen::comparison;
    if (session_.isComplete())
        return Screen::completion;
    if (session_.count(session_.filter()) == 0)
        return Screen::emptyFilter;
    return Screen::prompt;
}

void ContentView::showScreen(Screen screen) {
    if (screen_ == Screen::comparison && screen != Screen::comparison) {
        // No clip keeps playing once its pair is no longer shown.
        comparison_->stopPlayers();
        compared_.reset();
    }
    screen_ = screen;
    switch (screen) {
    case Screen::scanning:
        scanning_->refresh();
        detail_->setCurrentWidget(scanning_);
        break;
    case Screen::welcome:
        detail_->setCurrentWidget(welcome_);
        break;
    case Screen::nothingFound:
        nothingFound_->refresh();
        detail_->setCurrentWidget(nothingFound_);
        break;
    case Screen::comparison: {
        const auto item = session_.item(session_.selection());
        if (item != compared_) {
            compared_ = item;
            comparison_->showItem(*item);
        }
        detail_->setCurrentWidget(comparison_);
        break;
    }
    case Screen::completion:
        completion_->refresh();
        detail_->setCurrentWidget(completion_);
        break;
    case Screen::emptyFilter: {
        const auto mediaFilter = session_.mediaFilter();
        const bool mediaResponsible =
            mediaFilter != ReviewSession::MediaFilter::all && session_.mediaCount(mediaFilter) == 0;
        emptyFilter_->setNotice(ReviewTexts::emptyFilterNotice(
            mediaFilter, mediaResponsible, std::int64_t(session_.items().size()),
            session_.undecidedCount(), session_.kind()));
        detail_->setCurrentWidget(emptyFilter_);
        break;
    }
    case Screen::prompt:
        detail_->setCurrentWidget(prompt_);
        break;
    }
}

void ContentView::refresh() {
    const bool scanning = scanner_->isScanning();
    // The sidebar shows only while there are pairs to list; when it appears, the keys walk it.
    const bool listAppears = hasReview() && sidebar_->isHidden();
    sidebar_->setVisible(hasReview());
    if (listAppears)
        sidebar_->list().setFocus();
    sidebar_->refresh();
    statusBar_->setVisible(hasReview() && !scanning);
    statusBar_->refresh();
    showScreen(currentScreen());

    scanAction_->setEnabled(!scanning);
    markAllAction_->setEnabled(!session_.items().empty() && session_.marksAllForTrash());
    clearMarksAction_->setEnabled(!session_.items().empty());
    retryAction_->setEnabled(session_.failedCount() > 0);
    showErrorAlert();
}

void ContentView::showErrorAlert() {
    const auto& message = session_.errorMessage();
    if (!message) {
        if (errorAlert_)
            errorAlert_->close();
        return;
    }
    if (!errorAlert_) {
        errorAlert_ = makeAlert(this, QStringLiteral("errorAlert"),
                                QStringLiteral("Something went wrong"), {});
        // A warning, not the app's icon, whose check mark would read as success.
        errorAlert_->setIconPixmap(
            Symbols::pixmap(QStringLiteral("exclamationmark.triangle.fill"), 64,
                            Palette::color(Palette::Role::orange, palette()), devicePixelRatioF()));
        errorAlert_->setEscapeButton(
            errorAlert_->addButton(QStringLiteral("OK"), QMessageBox::RejectRole));
        // Dismissing the alert is what clears the message.
        connect(errorAlert_, &QMessageBox::finished, this,
                [this] { session_.setErrorMessage(std::nullopt); });
        errorAlert_->open();
    }
    errorAlert_->setInformativeText(QString::fromStdString(*message));
}

} // namespace quillmere
