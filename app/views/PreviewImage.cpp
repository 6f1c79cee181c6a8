#include "views/PreviewImage.h"

#include "model/ThumbnailLoader.h"

#include <QGridLayout>
#include <QPainter>
#include <QProgressBar>

namespace quillmere {

namespace {

/// The placeholder symbol's edge, in points.
constexpr int placeholderSize = 28;

/// The faintest foreground style: the text colour at a quarter strength.
QColor tertiary(const QPalette& palette) {
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(0.25f);
    return colour;
}

} // namespace

PreviewImage::PreviewImage(const QString& url, double size, ContentMode contentMode,
                           QWidget* parent, ThumbnailLoader* loader)
    : QWidget(parent), url_(url), pointSize_(size), contentMode_(contentMode),
      loader_(loader ? *loader : ThumbnailLoader::shared()), spinner_(new QProgressBar(this)) {
    spinner_->setRange(0, 0);
    spinner_->setTextVisible(false);
    spinner_->setMaximumSize(48, 6);
    spinner_->hide();
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(spinner_, 0, 0, Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PreviewImage::setUrl(const QString& url) {
    if (url == url_)
        return;
    url_ = url;
    ++request_;
    image_ = QImage();
    didFail_ = false;
    loading_ = false;
    spinner_->hide();
    update();
    if (isVisible())
        load();
}

void PreviewImage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A picture that failed before is tried again each time the view appears.
    if (image_.isNull() && !loading_)
        load();
}

void PreviewImage::load() {
    const quint64 request = ++request_;
    image_ = QImage();
    didFail_ = false;
    loading_ = true;
    spinner_->show();
    update();
    loader_.image(url_, pointSize_, scale, this, [this, request](const QImage& image) {
        if (request == request_)
            showResult(image);
    });
}

void PreviewImage::showResult(const QImage& image) {
    image_ = image;
    didFail_ = image.isNull();
    loading_ = false;
    spinner_->hide();
    update();
    emit finished();
}

void PreviewImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!image_.isNull()) {
        const QSizeF bounds = QSizeF(size());
        const QSizeF scaled =
            QSizeF(image_.size())
                .scaled(bounds, contentMode_ == ContentMode::fit ? Qt::KeepAspectRatio
                                                                 : Qt::KeepAspectRatioByExpanding);
        const QRectF target(
            QPointF((bounds.width() - scaled.width()) / 2, (bounds.height() - scaled.height()) / 2),
            scaled);
        painter.setClipRect(rect());
        painter.drawImage(target, image_);
    } else if (didFail_) {
        paintPlaceholder(painter);
    }
}

void PreviewImage::paintPlaceholder(QPainter& painter) {
    const QRectF box(QPointF((width() - placeholderSize) / 2.0, (height() - placeholderSize) / 2.0),
                     QSizeF(placeholderSize, placeholderSize));
    const QColor colour = tertiary(palette());
    QPen pen(colour, 1.5, Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box.adjusted(1, 1, -1, -1), 5, 5);
    QFont font = painter.font();
    font.setPixelSize(placeholderSize * 2 / 3);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
}

} // namespace quillmere
