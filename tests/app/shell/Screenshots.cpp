// Renders every screen of the desktop app into a folder, driving the real application headless
// on a generated library of photos and videos: welcome, the folder chooser, scanning, nothing
// found, a photo pair, the apply confirmation, a video pair with its players, a failed pair, the
// empty-filter notice, the completion summary, and the help and about windows. Run through
// tools/screenshots; not installed.
#include "MediaFixtures.h"
#include "QuillmereApp.h"
#include "TempDir.h"
#include "model/ReviewSession.h"
#include "move/Mover.h"
#include "scan/DuplicateScanner.h"
#include "scan/SkipRules.h"
#include "views/Choosers.h"
#include "views/ComparisonView.h"
#include "views/ContentView.h"
#include "views/FilePane.h"
#include "views/PreviewImage.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QLocale>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <thread>

namespace quillmere {
namespace {

using testing::TempDir;
using Screen = ContentView::Screen;

/// A library with duplicates across two folders, and a folder without any.
struct Library {
    TempDir dir;
    std::string camera = dir.mkdir("Camera Roll");
    std::string backup = dir.mkdir("Backup/2024");
    std::string solo = dir.mkdir("Solo");

    Library() {
        using testing::twoHalves;
        testing::writeJpeg(path("Camera Roll/IMG_0042.JPG"),
                           twoHalves({1600, 1200}, QColor(40, 110, 200), QColor(250, 200, 60)),
                           {QStringLiteral("2024:05:01 10:15:00")});
        testing::writeJpeg(
            path("Camera Roll/IMG_0043.JPG"),
            twoHalves({1200, 1600}, QColor(30, 120, 60), QColor(180, 220, 120), Qt::Vertical));
        testing::writeJpeg(path("Camera Roll/IMG_0044.JPG"),
                           twoHalves({1600, 1067}, QColor(200, 60, 60), QColor(240, 240, 240)));
        testing::ClipSpec clip;
        clip.size = {640, 360};
        clip.frames = 75;
        clip.picture = [](int frame, QSize size) {
            return twoHalves(size, QColor::fromHsv(frame * 4 % 360, 180, 230), QColor(20, 20, 40));
        };
        testing::writeVideo(path("Camera Roll/Birthday.mp4"), clip);
        copy("Camera Roll/IMG_0042.JPG", "Backup/2024/IMG_0042 copy.JPG");
        copy("Camera Roll/IMG_0043.JPG", "Backup/2024/IMG_0043.JPG");
        copy("Camera Roll/IMG_0044.JPG", "Backup/2024/IMG_0044 (1).JPG");
        copy("Camera Roll/Birthday.mp4", "Backup/2024/Birthday.mp4");
        testing::writeJpeg(path("Solo/alone.jpg"), twoHalves({400, 300}, Qt::gray, Qt::white));
        testing::writePng(path("Solo/other.png"), twoHalves({300, 300}, Qt::cyan, Qt::white));
    }

    QString path(const std::string& relative) const {
        return QString::fromStdString(dir.path(relative));
    }
    void copy(const std::string& from, const std::string& to) const {
        std::filesystem::copy_file(dir.path(from), dir.path(to));
    }
};

bool waitFor(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 30000);
}

/// Waits for the pictures on screen to arrive, then saves the window.
void save(QWidget& window, const QDir& folder, const QString& name) {
    waitFor([&] {
        for (const auto* preview : window.findChildren<PreviewImage*>())
            if (preview->isVisible() && preview->isLoading())
                return false;
        return true;
    });
    QTest::qWait(400);
    const QString file = folder.filePath(name + QStringLiteral(".png"));
    if (!window.grab().save(file))
        throw std::runtime_error("could not write " + file.toStdString());
    std::cout << file.toStdString() << "\n";
}

void select(ReviewSession& session, const std::function<bool(const ReviewItem&)>& which) {
    for (const auto& item : session.filtered())
        if (which(item)) {
            session.setSelection(item.id);
            return;
        }
    throw std::runtime_error("no such pair");
}

void applyAndWait(ReviewSession& session) {
    session.apply(true);
    waitFor([&] { return !session.isApplying(); });
}

/// A pair opened from a manifest whose set-aside copy has a 250-character path, in the smallest
/// window.
void saveLongPathManifestPair(ContentView& window, const Library& library, const QDir& folder) {
    std::string relative = "Drive";
    while (library.dir.path(relative).size() < 190)
        relative += "/Holiday Album " + std::to_string(relative.size() % 10);
    relative += "/";
    relative += std::string(250 - library.dir.path(relative).size() - 4, 'x') + ".JPG";
    library.dir.mkdir("Drive");
    library.copy("Camera Roll/IMG_0042.JPG", "Drive/IMG_0042.JPG");
    std::filesystem::create_directories(
        std::filesystem::path(library.dir.path(relative)).parent_path());
    library.copy("Camera Roll/IMG_0042.JPG", relative);
    const std::string root = library.dir.path("Drive");
    const DuplicateGroup group{MediaKind::photo,
                               std::int64_t(std::filesystem::file_size(library.dir.path(relative))),
                               library.dir.path("Drive/IMG_0042.JPG"),
                               {library.dir.path(relative)}};
    const auto outcome = Mover({root}, std::string(SkipRules::reviewDirectoryName)).move({group});
    if (!outcome.manifestURL())
        throw std::runtime_error("the long-path pair could not be set aside");
    const QSize size = window.size();
    window.resize(window.minimumSize());
    window.open(QString::fromStdString(*outcome.manifestURL()));
    waitFor([&] {
        return window.screen() == Screen::comparison && window.comparison().rightPane() &&
               window.comparison().rightPane()->metadata();
    });
    save(window, folder, QStringLiteral("manifest-pair-long-path"));
    window.resize(size);
}

/// The help page scrolled to its table of keys.
void saveHelpKeys(QWidget& help, const QDir& folder) {
    auto* area = help.findChild<QScrollArea*>();
    auto* table = help.findChild<QWidget*>(QStringLiteral("shortcutTable"));
    if (!area || !table)
        throw std::runtime_error("the help window has no table of keys");
    area->ensureWidgetVisible(table);
    save(help, folder, QStringLiteral("help-keys"));
}

/// The alert for a file that is not a manifest.
void saveErrorAlert(ContentView& window, const Library& library, const QDir& folder) {
    window.open(QString::fromStdString(library.dir.write("notes.json", "{ not a manifest")));
    QMessageBox* alert = nullptr;
    waitFor([&] {
        alert = window.findChild<QMessageBox*>(QStringLiteral("errorAlert"));
        return alert && alert->isVisible();
    });
    save(*alert, folder, QStringLiteral("error-alert"));
    alert->reject();
}

int run(const QDir& folder) {
    Library library;
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
    if (!QTest::qWaitForWindowExposed(&window))
        throw std::runtime_error("the review window did not show");
    const auto shows = [&](Screen screen) {
        return waitFor([&] { return window.screen() == screen; });
    };

    save(window, folder, QStringLiteral("welcome"));

    // The folder chooser with two folders picked.
    window.chooseFolderToScan();
    Chooser* chooser = nullptr;
    waitFor([&] { return (chooser = window.findChild<Chooser*>()) && chooser->isVisible(); });
    chooser->panel().setDirectory(QString::fromStdString(library.dir.path()));
    QListView& entries = *chooser->panel().findChild<QListView*>(QStringLiteral("listView"));
    waitFor([&] { return entries.model()->rowCount(entries.rootIndex()) >= 3; });
    for (int row = 0; row < entries.model()->rowCount(entries.rootIndex()); ++row) {
        const QModelIndex index = entries.model()->index(row, 0, entries.rootIndex());
        if (index.data().toString() != QStringLiteral("Solo"))
            entries.selectionModel()->select(index, QItemSelectionModel::Select);
    }
    save(*chooser, folder, QStringLiteral("folder-chooser"));
    chooser->reject();

    window.scan({QString::fromStdString(library.solo)});
    shows(Screen::scanning);
    QTest::qWait(2200); // the caption counts whole seconds
    save(window, folder, QStringLiteral("scanning"));
    release = true;
    shows(Screen::nothingFound);
    save(window, folder, QStringLiteral("nothing-found"));

    window.scan({QString::fromStdString(library.camera), QString::fromStdString(library.backup)});
    shows(Screen::comparison);
    select(session, [](const ReviewItem& item) { return item.id.ends_with("IMG_0042 copy.JPG"); });
    session.mark(*session.selection(), ReviewItem::Decision::discard);
    select(session, [](const ReviewItem& item) { return item.id.ends_with("IMG_0043.JPG"); });
    save(window, folder, QStringLiteral("photo-pair"));

    window.requestApply();
    QMessageBox* confirmation = nullptr;
    waitFor([&] {
        confirmation = window.findChild<QMessageBox*>(QStringLiteral("applyConfirmation"));
        return confirmation && confirmation->isVisible();
    });
    save(*confirmation, folder, QStringLiteral("apply-confirmation"));
    confirmation->reject();

    select(session, [](const ReviewItem& item) { return item.id.ends_with(".mp4"); });
    waitFor([&] {
        const auto* left = window.comparison().leftPlayer();
        const auto* right = window.comparison().rightPlayer();
        return left && right && left->mediaStatus() == QMediaPlayer::LoadedMedia &&
               right->mediaStatus() == QMediaPlayer::LoadedMedia;
    });
    save(window, folder, QStringLiteral("video-pair"));

    // A pair whose kept copy went missing after the scan is left alone by apply.
    session.setFilter(ReviewSession::Filter::all);
    select(session, [](const ReviewItem& item) { return item.id.ends_with("IMG_0044 (1).JPG"); });
    const std::string keeper = session.item(session.selection())->keepURL;
    session.mark(*session.selection(), ReviewItem::Decision::discard);
    std::filesystem::rename(keeper, keeper + ".moved");
    applyAndWait(session);
    std::filesystem::rename(keeper + ".moved", keeper);
    session.setFilter(ReviewSession::Filter::failed);
    shows(Screen::comparison);
    save(window, folder, QStringLiteral("failed-pair"));

    session.setFilter(ReviewSession::Filter::keep);
    shows(Screen::emptyFilter);
    save(window, folder, QStringLiteral("empty-filter"));

    session.markAllPending(ReviewItem::Decision::discard);
    applyAndWait(session);
    session.setFilter(ReviewSession::Filter::pending);
    shows(Screen::completion);
    save(window, folder, QStringLiteral("completion"));
    saveLongPathManifestPair(window, library, folder);
    saveErrorAlert(window, library, folder);

    app.openWindow(QuillmereApp::Window::help);
    save(*app.window(QuillmereApp::Window::help), folder, QStringLiteral("help"));
    saveHelpKeys(*app.window(QuillmereApp::Window::help), folder);
    app.openWindow(QuillmereApp::Window::about);
    save(*app.window(QuillmereApp::Window::about), folder, QStringLiteral("about"));
    return 0;
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
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QUILLMERE_MANIFEST");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::cerr << "cannot make " << argv[1] << "\n";
        return 2;
    }
    int result = 1;
    try {
        result = quillmere::run(folder);
    } catch (const std::exception& error) {
        std::cerr << "screenshots: " << error.what() << "\n";
    }
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
