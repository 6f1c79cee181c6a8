// One side of the comparison: which copy this is, a large preview or the video player, and the
// file's name, full path and details, with buttons to show it in the file manager or open it.
#pragma once

#include "model/FileMetadata.h"

#include <QMediaPlayer>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <variant>

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace quillmere {

class FilePane : public QWidget {
    Q_OBJECT

  public:
    /// The copy that is kept (the left pane).
    struct Kept {
        friend bool operator==(const Kept&, const Kept&) = default;
    };
    /// The duplicate under judgement (the right pane); for a pair set aside by an earlier run,
    /// the path the file had before it was moved.
    struct Duplicate {
        std::optional<QString> originalPath;
        friend bool operator==(const Duplicate&, const Duplicate&) = default;
    };
    /// A photo that shows the same picture as the kept one but is another file (the right pane).
    struct Similar {
        friend bool operator==(const Similar&, const Similar&) = default;
    };
    using Role = std::variant<Kept, Duplicate, Similar>;

    /// Which facts the details list.
    enum class Facts {
        /// Size, pixel size or running time, capture date.
        standard,
        /// The same with the file's format and a line for a missing capture date, for telling
        /// apart two photos of one picture.
        forComparingPictures
    };

    /// The pane refreshes (existence check, then details) when it is first shown. `player`, when
    /// given, is shown instead of a picture and is not owned.
    FilePane(const QString& url, Role role, QMediaPlayer* player, QWidget* parent = nullptr,
             Facts facts = Facts::standard);

    const QString& url() const { return url_; }
    const Role& role() const { return role_; }
    QMediaPlayer* player() const { return player_; }
    /// Shows `player` (not owned) in place of the picture, once the pane has been shown.
    void setPlayer(QMediaPlayer* player);
    /// The details, once loaded.
    const std::optional<FileMetadata>& metadata() const { return metadata_; }
    /// Whether the file was on disk at the last check.
    bool exists() const { return exists_; }

    /// Whether a component of the path is the review folder's name.
    static bool isInReviewFolder(const QString& path);

  signals:
    /// The details of the file have arrived and are shown.
    void metadataLoaded();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* roleRow();
    QWidget* details();
    void refresh();
    void showPreview();
    void showMetadata();
    /// Gives the details the height of their lines, or what is left above the preview's
    /// minimum, after which they scroll.
    void fitDetails();

    QString url_;
    Role role_;
    Facts facts_;
    QPointer<QMediaPlayer> player_;
    std::optional<FileMetadata> metadata_;
    bool exists_ = true;
    bool refreshed_ = false;

    QWidget* roleRow_ = nullptr;
    QScrollArea* detailsArea_ = nullptr;
    QWidget* preview_;
    QVBoxLayout* previewLayout_;
    QWidget* previewContent_ = nullptr;
    QWidget* factsRow_ = nullptr;
    QLabel* captured_ = nullptr;
};

} // namespace quillmere
