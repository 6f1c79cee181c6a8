// Helpers of the window tests (shell/ and views/) and of the screenshots: waiting on the event
// loop, the texts, alerts and choosers of the windows, the test home's Trash, small pairs of files,
// and a library of real photos and videos with duplicates across two folders.
#pragma once

#include "MediaFixtures.h"
#include "QtPrinting.h"
#include "QtTestEnvironment.h"
#include "TempDir.h"
#include "scan/ScanResult.h"
#include "views/Choosers.h"
#include "views/Labels.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QListView>
#include <QMessageBox>
#include <QTest>
#include <fstream>
#include <functional>

namespace quillmere::testing {

/// The visible child of `parent` of this type (and name, when given), once it is up; or null.
template <typename T> T* visibleChild(const QWidget& parent, const QString& name = {}) {
    T* found = nullptr;
    waitUntil([&] {
        for (auto* child : parent.findChildren<T*>(name))
            found = child->isVisible() ? child : found;
        return found != nullptr;
    });
    return found;
}

/// The text that the child named `name` shows, whatever widget shows it.
inline QString textOf(const QWidget& in, const char* name) {
    const QObject* child = in.findChild<QObject*>(name);
    if (const auto* label = qobject_cast<const ElidedLabel*>(child))
        return label->fullText();
    if (const auto* label = qobject_cast<const QLabel*>(child))
        return label->text();
    if (const auto* label = qobject_cast<const SymbolLabel*>(child))
        return label->text();
    const auto* text = qobject_cast<const SelectableText*>(child);
    return text ? text->text() : "(no " + QString(name) + ")";
}

/// Clicks the alert's button with this title; false when it has none.
inline bool clickButton(QMessageBox& box, const QString& title) {
    for (auto* button : box.buttons())
        if (button->text() == title) {
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        }
    return false;
}

/// Clicks the entries of the folder the panel shows, once listed, one after the other and
/// holding Ctrl from the second on, as a user picks several at once.
inline void pickEntries(QFileDialog& panel, const QStringList& names) {
    QListView& list = *panel.findChild<QListView*>("listView");
    for (qsizetype i = 0; i < names.size(); ++i) {
        QModelIndex entry;
        waitUntil([&] {
            for (int row = 0; row < list.model()->rowCount(list.rootIndex()); ++row)
                if ((entry = list.model()->index(row, 0, list.rootIndex())).data() == names[i])
                    return true;
            return false;
        });
        QTest::mouseClick(list.viewport(), Qt::LeftButton, i ? Qt::ControlModifier : Qt::NoModifier,
                          list.visualRect(entry).center());
    }
}

inline bool exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

/// Where the files in the test home's Trash came from, sorted, as the percent-encoded Path= lines
/// of the Trash's info files (freedesktop.org) record it.
inline std::vector<std::string> trashedPaths() {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(
             qEnvironmentVariable("XDG_DATA_HOME").toStdString() + "/Trash/info", error)) {
        std::ifstream info(entry.path());
        for (std::string line; std::getline(info, line);)
            if (line.starts_with("Path="))
                paths.push_back(QUrl::fromPercentEncoding(line.substr(5).c_str()).toStdString());
    }
    std::ranges::sort(paths);
    return paths;
}

/// `count` pairs of small identical files under `dir`: dup<i>.jpg, kept as keep<i>.jpg.
inline ScanResult smallPairs(const TempDir& dir, int count) {
    ScanResult result;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i) + ".jpg", content = "content " + n;
        result.groups.push_back({MediaKind::photo,
                                 std::int64_t(content.size()),
                                 dir.write("keep" + n, content),
                                 {dir.write("dup" + n, content)}});
    }
    return result;
}

/// "Camera Roll" and "Backup/2024" with three photos and a clip each, byte for byte the same, so
/// a scan of both finds four pairs (three photos, one video); and "Solo" without duplicates.
struct MediaLibrary {
    TempDir dir;
    std::string camera = dir.mkdir("Camera Roll"), backup = dir.mkdir("Backup/2024"),
                solo = dir.mkdir("Solo");

    MediaLibrary() {
        const std::tuple<const char*, QSize, int, const char*> photos[] = {
            {"IMG_0042.JPG", {1600, 1200}, 210, "IMG_0042 copy.JPG"},
            {"IMG_0043.JPG", {1200, 1600}, 130, "IMG_0043.JPG"},
            {"IMG_0044.JPG", {1600, 1067}, 0, "IMG_0044 (1).JPG"}};
        for (const auto& [name, size, hue, copy] : photos) {
            writeJpeg(path("Camera Roll/") + name,
                      twoHalves(size, QColor::fromHsv(hue, 160, 200), QColor(250, 200, 60)),
                      {QStringLiteral("2024:05:01 10:15:00")});
            std::filesystem::copy_file(camera + "/" + name, backup + "/" + copy);
        }
        ClipSpec clip;
        clip.size = {640, 360};
        clip.picture = [](int frame, QSize size) {
            return twoHalves(size, QColor::fromHsv(frame * 4 % 360, 180, 230), QColor(20, 20, 40));
        };
        writeVideo(path("Camera Roll/Birthday.mp4"), clip);
        std::filesystem::copy_file(camera + "/Birthday.mp4", backup + "/Birthday.mp4");
        writeJpeg(path("Solo/alone.jpg"), twoHalves({400, 300}, Qt::gray, Qt::white));
        writePng(path("Solo/other.png"), twoHalves({300, 300}, Qt::cyan, Qt::white));
    }

    QString path(const std::string& relative) const {
        return QString::fromStdString(dir.path(relative));
    }
};

} // namespace quillmere::testing
