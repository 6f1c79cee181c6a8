// The application shell. Menu commands that only change the review call the session; those that
// need the review window's own panels go through the notifications it listens to.
#include "QuillmereApp.h"

#include "model/ReviewSession.h"
#include "model/Updater.h"
#include "views/AboutView.h"
#include "views/ContentView.h"
#include "views/Controls.h"
#include "views/HelpView.h"
#include "views/Notifications.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmere {

namespace {

using Decision = ReviewItem::Decision;

// The about and help windows take the size of their content and cannot be resized; Esc and the
// desktop's close-window keys close them.
QWidget* fixedWindow(QWidget* content, const QString& title) {
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(title);
    // One action holds every key, so that the desktop's own close keys, which may include
    // Ctrl+W, never make a second shortcut for the same key.
    QList<QKeySequence> keys{QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)};
    for (const QKeySequence& close : QKeySequence::keyBindings(QKeySequence::Close))
        if (!keys.contains(close))
            keys << close;
    auto* closing = new QAction(window);
    closing->setShortcuts(keys);
    QObject::connect(closing, &QAction::triggered, window, &QWidget::close);
    window->addAction(closing);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    content->setParent(window);
    layout->addWidget(content);
    return window;
}

} // namespace

QuillmereApp::QuillmereApp(ScanCoordinator::Engine scanEngine, QObject* parent)
    : QObject(parent), session_(std::make_unique<ReviewSession>()),
      updater_(std::make_unique<Updater>()), notifications_(std::make_unique<Notifications>()),
      scanEngine_(std::move(scanEngine)) {
    createCommands();
    openWindow(Window::review);
}

QuillmereApp::~QuillmereApp() {
    // Windows go before the session they show.
    for (QWidget* window : {static_cast<QWidget*>(review_), about_.data(), help_.data()})
        delete window;
}

QAction* QuillmereApp::addCommand(const QString& title, const QKeySequence& shortcut,
                                  std::function<void()> action) {
    auto* command = new QAction(title, this);
    command->setShortcut(shortcut);
    connect(command, &QAction::triggered, this, std::move(action));
    commands_ << command;
    return command;
}

void QuillmereApp::createCommands() {
    ReviewSession& session = *session_;
    addCommand(QStringLiteral("About Quillmere"), {}, [this] { openWindow(Window::about); });
    auto* check = addCommand(QStringLiteral("Check for Updates…"), {},
                             [this] { updater_->checkForUpdates(); });
    check->setEnabled(updater_->canCheckForUpdates());
    connect(updater_.get(), &Updater::canCheckForUpdatesChanged, check, &QAction::setEnabled);
    addCommand(QStringLiteral("Install Command Line Tool…"), {},
               [this] { installCommandLineTool(); });
    addCommand(QStringLiteral("Quit Quillmere"), QKeySequence::Quit,
               [] { QGuiApplication::quit(); });

    addCommand(QStringLiteral("Scan Folders…"), QKeySequence(Qt::CTRL | Qt::Key_O),
               [this] { emit notifications_->scanFolders(); });
    addCommand(QStringLiteral("Find Similar Photos…"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_O),
               [this] { emit notifications_->findSimilarPhotos(); });
    addCommand(QStringLiteral("Open an Earlier Scan's Manifest…"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
               [this] { emit notifications_->openManifest(); });

    auto* help =
        addCommand(QStringLiteral("Quillmere Help"), {}, [this] { openWindow(Window::help); });
    help->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Question), QKeySequence::HelpContents});

    // Review keys take no modifier. Text fields claim plain keys while they have focus, so these
    // never fire while the user types.
    addCommand(QStringLiteral("Mark for Trash"), QKeySequence(Qt::Key_D),
               [&session] { session.markSelectionAndAdvance(Decision::discard); });
    addCommand(QStringLiteral("Keep Both"), QKeySequence(Qt::Key_K),
               [&session] { session.markSelectionAndAdvance(Decision::keep); });
    addCommand(QStringLiteral("Clear Mark"), QKeySequence(Qt::Key_U), [&session] {
        if (session.selection())
            session.mark(*session.selection(), Decision::undecided);
    });
    addCommand(QStringLiteral("Next Pair"), QKeySequence(Qt::Key_Down),
               [&session] { session.selectNext(1); });
    addCommand(QStringLiteral("Previous Pair"), QKeySequence(Qt::Key_Up),
               [&session] { session.selectNext(-1); });
    auto* markAll = addCommand(QStringLiteral("Mark All Remaining for Trash"), {},
                               [&session] { session.markAllPending(Decision::discard); });
    connect(&session, &ReviewSession::sourceChanged, markAll,
            [markAll, &session] { markAll->setEnabled(session.marksAllForTrash()); });
    addCommand(QStringLiteral("Clear All Marks"), {},
               [&session] { session.markAllPending(Decision::undecided); });
}

QAction* QuillmereApp::command(const QString& title) const {
    for (auto* command : commands_)
        if (command->text() == title)
            return command;
    return nullptr;
}

void QuillmereApp::installMenus(QMainWindow& window) const {
    QMenuBar* bar = window.menuBar();
    const auto fill = [this](QMenu* menu, const QStringList& titles) {
        for (const auto& title : titles)
            if (title.isEmpty())
                menu->addSeparator();
            else
                menu->addAction(command(title));
    };
    fill(bar->addMenu(QStringLiteral("Quillmere")), {QStringLiteral("About Quillmere"),
                                                     QStringLiteral("Check for Updates…"),
                                                     {},
                                                     QStringLiteral("Install Command Line Tool…"),
                                                     {},
                                                     QStringLiteral("Quit Quillmere")});
    fill(bar->addMenu(QStringLiteral("File")),
         {QStringLiteral("Scan Folders…"), QStringLiteral("Find Similar Photos…"),
          QStringLiteral("Open an Earlier Scan's Manifest…")});
    fill(bar->addMenu(QStringLiteral("Review")), {QStringLiteral("Mark for Trash"),
                                                  QStringLiteral("Keep Both"),
                                                  QStringLiteral("Clear Mark"),
                                                  {},
                                                  QStringLiteral("Next Pair"),
                                                  QStringLiteral("Previous Pair"),
                                                  {},
                                                  QStringLiteral("Mark All Remaining for Trash"),
                                                  QStringLiteral("Clear All Marks")});
    fill(bar->addMenu(QStringLiteral("Help")), {QStringLiteral("Quillmere Help")});
}

void QuillmereApp::openWindow(Window which) {
    QWidget* existing = window(which);
    if (!existing) {
        switch (which) {
        case Window::review:
            review_ = new ContentView(*session_, *notifications_, nullptr, scanEngine_);
            review_->setAttribute(Qt::WA_DeleteOnClose);
            installMenus(*review_);
            // Closing the review window ends the app, as closing a main window does on Linux
            // desktops; the help and about windows go with it.
            connect(review_, &QObject::destroyed, this, [this] {
                for (QWidget* window : {about_.data(), help_.data()})
                    if (window)
                        window->close();
            });
            existing = review_;
            break;
        case Window::about:
            about_ = fixedWindow(new AboutView, QStringLiteral("About Quillmere"));
            existing = about_;
            break;
        case Window::help:
            help_ = fixedWindow(new HelpView, QStringLiteral("Quillmere Help"));
            existing = help_;
            break;
        }
    }
    existing->show();
    existing->raise();
    existing->activateWindow();
}

QWidget* QuillmereApp::window(Window which) const {
    switch (which) {
    case Window::about:
        return about_;
    case Window::help:
        return help_;
    case Window::review:
        break;
    }
    return review_;
}

ContentView* QuillmereApp::reviewWindow() const {
    return review_;
}

void QuillmereApp::installCommandLineTool(const CommandLineTool::Locations& locations) {
    const auto alert = CommandLineTool::alertFor(CommandLineTool::install(locations));
    auto* box = makeAlert(review_, QStringLiteral("installAlert"), alert.title, alert.text);
    QPushButton* first = nullptr;
    for (const auto& title : alert.buttons) {
        const bool isFirst = first == nullptr;
        auto* button =
            box->addButton(title, isFirst ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        if (isFirst) {
            first = button;
            box->setDefaultButton(button);
        }
    }
    connect(box, &QMessageBox::finished, this, [box, first, command = alert.commandToCopy] {
        if (box->clickedButton() == first && !command.isEmpty())
            QGuiApplication::clipboard()->setText(command);
    });
    box->open();
}

} // namespace quillmere
