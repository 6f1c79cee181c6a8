// Helpers of the window tests: waiting on the real event loop, finding and answering the alerts
// the windows open, and a small library of real photos and videos with duplicates across two
// folders.
#pragma once

#include "MediaFixtures.h"
#include "TempDir.h"
#include "views/Choosers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillmere::testing {

/// Runs the event loop until `condition` holds. The minute is a guard against a hang, not a
/// speed requirement.
inline bool waitUntil(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 60000);
}

/// The visible message box named `name` among the children of `parent`, or null.
inline QMessageBox* openAlert(const QWidget& parent, const QString& name) {
    for (auto* box : parent.findChildren<QMessageBox*>(name))
        if (box->isVisible())
            return box;
    return nullptr;
}

/// Waits for the alert and returns it, or null when none came.
inline QMessageBox* awaitAlert(const QWidget& parent, const QString& name) {
    QMessageBox* box = nullptr;
    waitUntil([&] { return (box = openAlert(parent, name)) != nullptr; });
    return box;
}

/// The titles of an alert's buttons, in the order it holds them.
inline QStringList buttonTitles(const QMessageBox& box) {
    QStringList titles;
    for (auto* button : box.buttons())
        titles << button->text();
    return titles;
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

/// The open chooser among the children of `parent`, once it is up; null when none came.
inline Chooser* awaitChooser(const QWidget& parent) {
    Chooser* chooser = nullptr;
    waitUntil([&] {
        for (auto* candidate : parent.findChildren<Chooser*>())
            if (candidate->isVisible())
                chooser = candidate;
        return chooser != nullptr;
    });
    return chooser;
}

/// The list of the panel's folder; the rows fill in once the folder has been read.
inline QListView& panelList(QFileDialog& panel) {
    return *panel.findChild<QListView*>(QStringLiteral("listView"));
}

/// The row of `name` in the folder the panel shows as listed now; invalid when it is not.
inline QModelIndex listedEntry(QFileDialog& panel, const QString& name) {
    QListView& list = panelList(panel);
    const QAbstractItemModel& model = *list.model();
    for (int row = 0; row < model.rowCount(list.rootIndex()); ++row) {
        const QModelIndex index = model.index(row, 0, list.rootIndex());
        if (index.data().toString() == name)
            return index;
    }
    return {};
}

/// The row of `name`, once the folder has been read far enough to list it.
inline QModelIndex panelEntry(QFileDialog& panel, const QString& name) {
    QModelIndex found;
    waitUntil([&] { return (found = listedEntry(panel, name)).isValid(); });
    return found;
}

/// Clicks the entries one after the other, holding Ctrl from the second on, as a user picks
/// several at once.
inline void pickEntries(QFileDialog& panel, const QStringList& names) {
    QListView& list = panelList(panel);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QModelIndex index = panelEntry(panel, names[i]);
        QTest::mouseClick(list.viewport(), Qt::LeftButton,
                          i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                          list.visualRect(index).center());
    }
}

/// Picks the folders under `folder` in the open folder chooser of `window` and presses "Scan".
inline void chooseFoldersToScan(const QWidget& window, const QString& folder,
                                const QStringList& names) {
    Chooser* chooser = awaitChooser(window);
    ASSERT_NE(chooser, nullptr);
    chooser->panel().setDirectory(folder);
    pickEntries(chooser->panel(), names);
    QTest::mouseClick(&chooser->promptButton(), Qt::LeftButton);
}

inline bool exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

/// Where the files in the Trash of the test's data folder came from, as the Trash's info files
/// record it (freedesktop.org Trash specification: a percent-encoded Path= line).
inline std::vector<std::string> trashedPaths() {
    const std::string folder = qEnvironmentVariable("XDG_DATA_HOME").toStdString() + "/Trash/info";
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::ifstream info(entry.path());
        for (std::string line; std::getline(info, line);)
            if (line.starts_with("Path="))
                paths.push_back(QUrl::fromPercentEncoding(QByteArray::fromStdString(line.substr(5)))
                                    .toStdString());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

/// Two folders "Camera" and "Backup" under a temporary folder: three photos and a clip in Camera,
/// and in Backup a byte-identical copy of two photos and of the clip, plus a photo of its own.
/// So a scan of both finds three pairs: two photos and one video.
struct MediaLibrary {
    TempDir dir;
    std::string camera = dir.mkdir("Camera");
    std::string backup = dir.mkdir("Backup");

    MediaLibrary() {
        writeJpeg(path("Camera/beach.jpg"), twoHalves({640, 480}, Qt::blue, Qt::yellow));
        writeJpeg(path("Camera/forest.jpg"), twoHalves({480, 640}, Qt::darkGreen, Qt::green));
        writePng(path("Camera/unique.png"), twoHalves({200, 200}, Qt::red, Qt::white));
        ClipSpec clip;
        clip.frames = 25;
        clip.picture = [](int frame, QSize size) {
            return twoHalves(size, QColor::fromHsv(frame * 10 % 360, 200, 220), Qt::black);
        };
        writeVideo(path("Camera/clip.mp4"), clip);
        copy("Camera/beach.jpg", "Backup/beach copy.jpg");
        copy("Camera/forest.jpg", "Backup/forest.jpg");
        copy("Camera/clip.mp4", "Backup/clip.mp4");
        writePng(path("Backup/other.png"), twoHalves({200, 200}, Qt::cyan, Qt::white));
    }

    QString path(const std::string& relative) const {
        return QString::fromStdString(dir.path(relative));
    }

    void copy(const std::string& from, const std::string& to) const {
        std::filesystem::copy_file(dir.path(from), dir.path(to));
    }
};

} // namespace quillmere::testing
