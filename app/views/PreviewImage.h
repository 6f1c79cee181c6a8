// A small picture of one file: a busy indicator while the picture loads, then the picture scaled
// into the view, or a faint question mark when no picture can be made.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

class QProgressBar;

namespace quillmere {

class ThumbnailLoader;

class PreviewImage : public QWidget {
    Q_OBJECT

  public:
    enum class ContentMode { fit, fill };

    /// Pictures are always made at twice the point size, whatever the screen, so that a list
    /// row and a pane on any display share one cached picture per size.
    static constexpr double scale = 2.0;

    /// `size` is the longest edge wanted, in points. The picture is asked for when the view
    /// first appears.
    PreviewImage(const QString& url, double size, ContentMode contentMode,
                 QWidget* parent = nullptr, ThumbnailLoader* loader = nullptr);

    const QString& url() const { return url_; }
    /// Shows another file; its picture is asked for at once if the view is visible.
    void setUrl(const QString& url);

    /// The longest edge asked for, in points.
    double pointSize() const { return pointSize_; }
    ContentMode contentMode() const { return contentMode_; }

    /// The loaded picture; null while loading and after a failure.
    const QImage& image() const { return image_; }
    /// The last load produced no picture.
    bool didFail() const { return didFail_; }
    bool isLoading() const { return loading_; }

  signals:
    /// A load ended, with a picture or without.
    void finished();

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void load();
    void showResult(const QImage& image);
    void paintPlaceholder(QPainter& painter);

    QString url_;
    double pointSize_;
    ContentMode contentMode_;
    ThumbnailLoader& loader_;
    QProgressBar* spinner_;
    QImage image_;
    bool didFail_ = false;
    bool loading_ = false;
    /// Counts loads, so that the answer for an earlier file is dropped.
    quint64 request_ = 0;
};

} // namespace quillmere
