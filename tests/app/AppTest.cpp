// The app's services on real files: the command-line tool's link, and facts and pictures of media.
#include "MediaFixtures.h"
#include "QtPrinting.h"
#include "QtTestEnvironment.h"
#include "TempDir.h"
#include "model/CommandLineTool.h"
#include "model/FileMetadata.h"
#include "model/SystemThumbnails.h"
#include "model/ThumbnailLoader.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSemaphore>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillmere;
using namespace quillmere::testing;
using namespace quillmere::CommandLineTool;
namespace fs = std::filesystem;

TEST(CommandLineToolTest, InstallReplacesOnlyLinksOrOffersACommandThatSurvivesQuotesAndSpaces) {
    // What is at the link path, the outcome (installed, already there, failed), what it holds
    // after.
    const std::vector<std::tuple<std::string, std::size_t, std::string>> rows = {
        {"", 0, "tool"},
        {"App/quillmere-cli", 1, "tool"},
        {"Old/quillmere-cli", 0, "tool"},
        {"App/../App/quillmere-cli", 0, "tool"}, // resolves to the tool, but is spelled otherwise
        {"file", 2, "mine"},
        {"folder", 2, "mine"},
        {"tool not executable", 2, ""},
    };
    for (const auto& [before, outcome, left] : rows) {
        SCOPED_TRACE(before);
        TempDir dir;
        const std::string tool = dir.write("App/quillmere-cli", "tool");
        const std::string link = dir.path("bin/quillmere"),
                          older = dir.write("Old/quillmere-cli", "older");
        fs::permissions(tool, fs::perms(before == "tool not executable" ? 0644 : 0755));
        if (before == "file" || before == "folder")
            dir.write(before == "file" ? "bin/quillmere" : "bin/quillmere/inside", "mine");
        else if (before.find('/') != std::string::npos)
            fs::create_symlink(dir.path(before), dir.mkdir("bin") + "/quillmere");
        const auto at = [&](const char* name) { return QString::fromStdString(dir.path(name)); };
        EXPECT_EQ(install({at("App"), at("bin")}).index(), outcome);
        EXPECT_EQ(readFile(fs::is_directory(link) ? link + "/inside" : link), left);
        EXPECT_EQ(fs::is_symlink(link) ? fs::read_symlink(link) : "", outcome < 2 ? tool : "");
        EXPECT_EQ(readFile(older), "older");
    }

    // Without permission for the link folder, the alert offers a command to run instead.
    TempDir dir;
    const std::string tool = dir.write("Bob's Apps/quillmere-cli", "tool");
    fs::permissions(tool, fs::perms(0755));
    dir.write("blocked", "a file where a folder would have to be");
    Locations at{QString::fromStdString(dir.path("Bob's Apps")),
                 QString::fromStdString(dir.path("blocked/bin"))};
    const QString command = fallbackCommand(at);
    EXPECT_EQ(alertFor(install(at)),
              (Alert{"Quillmere cannot install it for you",
                     at.linkDirectory +
                         " needs administrator permission.\n\nRun this in Terminal:\n\n" + command,
                     {"Copy Command", "Cancel"},
                     command}));
    // The user pastes the command into a shell; here sudo just runs what it is given.
    at.linkDirectory = QString::fromStdString(dir.path("local bin"));
    QProcess shell;
    shell.start("/bin/sh", {"-c", "sudo() { \"$@\"; }; " + fallbackCommand(at)});
    ASSERT_TRUE(shell.waitForFinished(-1));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_EQ(fs::read_symlink(dir.path("local bin/quillmere")), tool);
}

TEST(MediaFilesTest, FactsAndUprightPicturesOfRealFilesAndTheThumbnailCacheForDamagedOnes) {
    TempDir dir;
    const auto at = [&](const char* name) { return QString::fromStdString(dir.path(name)); };
    // Stored landscape, left red and right blue, and shown turned a quarter clockwise. The video's
    // first second is upside down, so only the frame at one second shows red at the top.
    writeJpeg(at("shot.jpg"), twoHalves({800, 600}, Qt::red, Qt::blue), {"2023:07:14 18:05:09", 6});
    const auto clip = [](int frame, QSize size) {
        return frame < 25 ? twoHalves(size, Qt::blue, Qt::red) : twoHalves(size, Qt::red, Qt::blue);
    };
    writeVideo(at("clip.MOV"),
               {.picture = clip, .rotation = 90, .creationTime = "2023-07-14T15:05:09Z"});
    const QString broken = QString::fromStdString(dir.write("broken.jpg", "\xFF\xD8 noise"));
    // EXIF dates are in the user's time zone, three hours east of UTC here (QtTestMain.cpp).
    const QDateTime taken(QDate(2023, 7, 14), QTime(15, 5, 9), Qt::UTC);
    // The stored size is reported; pictures are upright and never larger than the file's pixels.
    for (const auto& [name, pixels, duration, size, picture] :
         {std::tuple("shot.jpg", QSizeF(800, 600), std::optional<QString>(), 128, QSize(192, 256)),
          std::tuple("shot.jpg", QSizeF(800, 600), std::optional<QString>(), 900, QSize(600, 800)),
          std::tuple("clip.MOV", QSizeF(320, 240), std::optional<QString>("0:02"), 128,
                     QSize(192, 256))}) {
        SCOPED_TRACE(name);
        const FileMetadata facts = FileMetadata::load(at(name)).result();
        EXPECT_EQ(facts.sizeBytes, QFileInfo(at(name)).size());
        EXPECT_EQ(facts.pixelSize, pixels);
        EXPECT_EQ(facts.captured, taken);
        EXPECT_EQ(facts.durationText(), duration);
        const QImage shown = ThumbnailLoader::generate(at(name), size, 2.0);
        ASSERT_EQ(shown.size(), picture);
        const int x = picture.width() / 2, y = picture.height() / 10;
        EXPECT_TRUE(near(shown.pixelColor(x, y), Qt::red));
        EXPECT_TRUE(near(shown.pixelColor(x, picture.height() - y), Qt::blue));
    }
    const FileMetadata damaged = FileMetadata::load(broken).result();
    EXPECT_EQ(damaged.sizeBytes, QFileInfo(broken).size());
    EXPECT_FALSE(damaged.pixelSize || damaged.captured || damaged.duration);
    EXPECT_EQ(FileMetadata::load(at("gone.mov")).result(), FileMetadata{});

    // Cache files are named by the MD5 of the file's URI, as in the freedesktop.org example.
    EXPECT_TRUE(SystemThumbnails::candidates("/home/jens/photos/me.png")[0].endsWith(
        "/thumbnails/large/c6ee772d9e49320e97ec29a7eb5b1697.png"));
    // What cannot be decoded falls back to the thumbnail cache, passing stale entries.
    EXPECT_TRUE(ThumbnailLoader::generate(broken, 128, 2.0).isNull());
    const qint64 modified = QFileInfo(broken).lastModified().toSecsSinceEpoch();
    for (const auto& [candidate, colour, stamp] :
         {std::tuple(1, Qt::blue, modified), std::tuple(0, Qt::red, modified - 1)}) {
        QImage thumbnail = twoHalves({512, 384}, colour, colour);
        thumbnail.setText("Thumb::MTime", QString::number(stamp));
        const QString file = SystemThumbnails::candidates(broken).at(candidate);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()) && thumbnail.save(file, "PNG"));
    }
    const QImage fallback = ThumbnailLoader::generate(broken, 128, 2.0);
    EXPECT_EQ(fallback.size(), QSize(256, 192));
    EXPECT_EQ(fallback.pixelColor(5, 5), QColor(Qt::blue));
}

TEST(ThumbnailLoaderTest, RequestsShareOneGenerationAndOnlySuccessesAreCached) {
    std::atomic<int> generated = 0;
    QSemaphore gate;
    ThumbnailLoader loader([&](const QString& path, double, double) {
        ++generated;
        gate.acquire();
        if (path == "/throws.jpg")
            throw std::runtime_error("decoder blew up");
        return path == "/broken.jpg" ? QImage() : twoHalves({4, 4}, Qt::red, Qt::red);
    });
    QList<QImage> images;
    QObject receiver;
    auto gone = std::make_unique<QObject>();
    const auto request = [&](const char* path, double size, QObject* to = nullptr) {
        loader.image(path, size, 2.0, to ? to : &receiver, [&](const QImage& i) { images << i; });
    };
    const auto expect = [&](qsizetype delivered, int generations) {
        gate.release(10);
        EXPECT_TRUE(waitUntil([&] { return images.size() >= delivered; }));
        EXPECT_EQ(images.size(), delivered);
        EXPECT_EQ(generated, generations);
    };
    request("/a.jpg", 900);
    request("/a.jpg", 900.5, gone.get());
    request("/a.jpg", 900);
    gone.reset(); // nothing is delivered to a receiver that is gone
    expect(2, 1);
    request("/a.jpg", 900);
    EXPECT_EQ(images.size(), 3) << "answered from the cache at once";
    request("/a.jpg", 128);
    expect(4, 2);
    // Failures, thrown ones too, are not cached: the next request tries again.
    for (const auto* path : {"/broken.jpg", "/broken.jpg", "/throws.jpg", "/throws.jpg"}) {
        const auto before = std::pair(images.size(), generated.load()); // it may answer at once
        request(path, 128);
        expect(before.first + 1, before.second + 1);
        EXPECT_TRUE(images.last().isNull());
    }
}
