// Renders every screen of the desktop app into a folder (tools/screenshots), driving the real
// application headless on a generated library of photos and videos.
#include "QuillmereApp.h"
#include "ShellTestSupport.h"
#include "model/ReviewSession.h"
#include "move/Mover.h"
#include "scan/DuplicateScanner.h"
#include "scan/SkipRules.h"
#include "views/ComparisonView.h"
#include "views/ContentView.h"
#include "views/FilePane.h"
#include "views/PreviewImage.h"

#include <QApplication>
#include <QLocale>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QThreadPool>
#include <atomic>
#include <iostream>
#include <thread>

namespace quillmere {
namespace {

using Screen = ContentView::Screen;

void run(const QDir& folder) {
    folder.mkpath(".");
    testing::MediaLibrary library;
    std::atomic<bool> release = false;
    QuillmereApp app([&](const ScanConfig& config, const ScanProgress& progress) {
        // Holds at a known point of the hashing phase until the scanning screen is saved.
        progress(scanphase::Hashing{40, 200});
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return DuplicateScanner(config).scan();
    });
    ContentView& window = *app.reviewWindow();
    ReviewSession& session = app.session();
    window.resize(1200, 760);
    // Waits for what is asked and for the pictures on screen, then saves the window.
    const auto save = [&](QWidget* shown, const QString& name, std::function<bool()> ready = {}) {
        if (!shown || !testing::waitUntil([&] {
                for (const auto* preview : shown->findChildren<PreviewImage*>())
                    if (preview->isVisible() && preview->isLoading())
                        return false;
                return !ready || ready();
            }))
            throw std::runtime_error("no " + name.toStdString() + " to save");
        QTest::qWait(400);
        if (!shown->grab().save(folder.filePath(name + ".png")))
            throw std::runtime_error("could not write " + name.toStdString());
        std::cout << folder.filePath(name + ".png").toStdString() << "\n";
    };
    const auto screen = [&](Screen expected) {
        return [&, expected] { return window.screen() == expected; };
    };
    const auto select = [&](const char* ending) {
        for (const auto& item : session.filtered())
            if (item.id.ends_with(ending))
                return session.setSelection(item.id);
        throw std::runtime_error(std::string("no pair ") + ending);
    };
    const auto apply = [&] {
        session.apply(true);
        testing::waitUntil([&] { return !session.isApplying(); });
    };

    save(&window, "welcome");
    window.chooseFolderToScan();
    Chooser* chooser = testing::visibleChild<Chooser>(window);
    chooser->panel().setDirectory(library.path(""));
    testing::pickEntries(chooser->panel(), {"Camera Roll", "Backup"});
    save(chooser, "folder-chooser");
    chooser->reject();
    window.scan({QString::fromStdString(library.solo)});
    testing::waitUntil(screen(Screen::scanning));
    QTest::qWait(2200); // the caption counts whole seconds
    save(&window, "scanning");
    release = true;
    save(&window, "nothing-found", screen(Screen::nothingFound));
    window.scan({QString::fromStdString(library.camera), QString::fromStdString(library.backup)});
    testing::waitUntil(screen(Screen::comparison));
    select("IMG_0042 copy.JPG");
    session.mark(*session.selection(), ReviewItem::Decision::discard);
    select("IMG_0043.JPG");
    save(&window, "photo-pair");
    window.requestApply();
    auto* confirmation = testing::visibleChild<QMessageBox>(window, "applyConfirmation");
    save(confirmation, "apply-confirmation");
    confirmation->reject();
    select(".mp4");
    const auto loaded = [](QMediaPlayer* player) {
        return player && player->mediaStatus() == QMediaPlayer::LoadedMedia;
    };
    save(&window, "video-pair", [&] {
        return loaded(window.comparison().leftPlayer()) &&
               loaded(window.comparison().rightPlayer());
    });

    // A pair whose kept copy went missing after the scan is left alone by apply.
    session.setFilter(ReviewSession::Filter::all);
    select("IMG_0044 (1).JPG");
    const std::string keeper = session.item(session.selection())->keepURL;
    session.mark(*session.selection(), ReviewItem::Decision::discard);
    std::filesystem::rename(keeper, keeper + ".moved");
    apply();
    std::filesystem::rename(keeper + ".moved", keeper);
    session.setFilter(ReviewSession::Filter::failed);
    save(&window, "failed-pair", screen(Screen::comparison));
    session.setFilter(ReviewSession::Filter::keep);
    save(&window, "empty-filter", screen(Screen::emptyFilter));
    session.markAllPending(ReviewItem::Decision::discard);
    apply();
    session.setFilter(ReviewSession::Filter::pending);
    save(&window, "completion", screen(Screen::completion));

    // A pair opened from a manifest whose set-aside copy has a 250-character path, in the smallest
    // window.
    std::string relative = "Drive";
    while (library.dir.path(relative).size() < 190)
        relative += "/Holiday Album " + std::to_string(relative.size() % 10);
    relative += "/" + std::string(250 - library.dir.path(relative).size() - 5, 'x') + ".JPG";
    const std::string photo = testing::readFile(library.dir.path("Camera Roll/IMG_0042.JPG"));
    DuplicateGroup group{MediaKind::photo,
                         std::int64_t(photo.size()),
                         library.dir.write("Drive/IMG_0042.JPG", photo),
                         {library.dir.write(relative, photo)}};
    const auto outcome =
        Mover({library.dir.path("Drive")}, std::string(SkipRules::reviewDirectoryName))
            .move({group});
    if (!outcome.manifestURL())
        throw std::runtime_error("the long-path pair could not be set aside");
    window.resize(window.minimumSize());
    window.open(QString::fromStdString(*outcome.manifestURL()));
    save(&window, "manifest-pair-long-path", [&] {
        return window.screen() == Screen::comparison && window.comparison().rightPane() &&
               window.comparison().rightPane()->metadata();
    });
    window.resize(1200, 760);

    // A review of similar photos: a photo beside a quarter-size PNG copy without a capture date.
    const std::string similar = library.dir.mkdir("Similar");
    std::filesystem::copy_file(library.camera + "/IMG_0042.JPG", similar + "/IMG_0042.JPG");
    QImage(library.path("Camera Roll/IMG_0042.JPG"))
        .scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(QString::fromStdString(similar + "/IMG_0042 small.png"));
    window.scanSimilar({QString::fromStdString(similar)});
    save(&window, "similar-pair", [&] {
        const ComparisonView& comparison = window.comparison();
        return !window.scanner().isScanning() && session.kind() == ReviewSession::Kind::similar &&
               window.screen() == Screen::comparison && comparison.leftPane() &&
               comparison.leftPane()->metadata() && comparison.rightPane()->metadata();
    });

    window.open(QString::fromStdString(library.dir.write("notes.json", "{ not a manifest")));
    auto* alert = testing::visibleChild<QMessageBox>(window, "errorAlert");
    save(alert, "error-alert");
    alert->reject();

    app.openWindow(QuillmereApp::Window::help);
    QWidget* help = app.window(QuillmereApp::Window::help);
    save(help, "help");
    auto* area = help->findChild<QScrollArea*>();
    if (auto* keys = help->findChild<QWidget*>(QStringLiteral("shortcutTable")); area && keys)
        area->ensureWidgetVisible(keys);
    save(help, "help-keys");
    for (auto* title : help->findChildren<QLabel*>(QStringLiteral("sectionTitle")))
        if (area && title->text() == QStringLiteral("Finding similar photos"))
            area->ensureWidgetVisible(title, 0, 0);
    save(help, "help-similar");
    app.openWindow(QuillmereApp::Window::about);
    save(app.window(QuillmereApp::Window::about), "about");
}

} // namespace
} // namespace quillmere

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: QuillmereScreenshots <folder>\n";
        return 2;
    }
    // A home of its own, so that nothing of the user's (Trash, saved marks, thumbnails) is used.
    QTemporaryDir home;
    const QByteArray path = home.path().toLocal8Bit();
    qputenv("HOME", path);
    for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
        qputenv(name, path + "/" + name);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QUILLMERE_MANIFEST");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quillmere");
    try {
        quillmere::run(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception& error) {
        std::cerr << "screenshots: " << error.what() << "\n";
        return 1;
    }
    QThreadPool::globalInstance()->waitForDone();
}
