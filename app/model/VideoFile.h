// One video opened through FFmpeg: its running time, the stored size of its first video stream,
// the container's creation time, and single frames with the stream's rotation applied.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <memory>
#include <optional>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;

namespace quillmere {

class VideoFile {
  public:
    /// Opens the file as a media container; absent when FFmpeg cannot read it.
    static std::optional<VideoFile> open(const QString& path);

    /// The container's running time in seconds, as FFmpeg reports it (not checked for sense).
    std::optional<double> duration() const;

    /// Coded width and height of the first video stream; its rotation is not applied, so a clip
    /// recorded in portrait can report a landscape size.
    std::optional<QSizeF> naturalSize() const;

    /// The container's "creation_time" metadata.
    std::optional<QDateTime> creationTime() const;

    /// The first frame at or after `seconds`, rotated upright and fitted into a square of
    /// `maxPixel` pixels (never enlarged); null when there is no such frame or it cannot be
    /// decoded.
    QImage frameAt(double seconds, int maxPixel);

  private:
    struct CloseFormat {
        void operator()(AVFormatContext* format) const;
    };
    struct FreeCodec {
        void operator()(AVCodecContext* codec) const;
    };

    VideoFile() = default;
    bool openDecoder();
    QImage toImage(const AVFrame& frame, int maxPixel) const;

    std::unique_ptr<AVFormatContext, CloseFormat> format_;
    std::unique_ptr<AVCodecContext, FreeCodec> decoder_;
    /// Index of the first video stream that is not cover art; -1 when there is none.
    int videoStream_ = -1;
};

} // namespace quillmere
