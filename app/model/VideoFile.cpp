#include "model/VideoFile.h"

#include <QFile>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

namespace quillmere {

namespace {

/// Timestamps are rounded to the stream's time base, so a frame meant for 1.0 s may sit a hair
/// before it.
constexpr double timeSlack = 0.001;

/// A frame that has not shown up this far past the wanted time is not coming; stops a damaged
/// stream from being read to its end.
constexpr double giveUpAfter = 10.0;

struct FreePacket {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FreeFrame {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct FreeScaler {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

/// Clockwise degrees that turn the stored picture upright, from the stream's display matrix.
double uprightRotation(const AVStream& stream) {
    const auto* matrix = reinterpret_cast<const int32_t*>(
        av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    if (!matrix)
        return 0;
    // The matrix holds the counter-clockwise angle that displays the picture.
    const double degrees = -av_display_rotation_get(matrix);
    if (!std::isfinite(degrees))
        return 0;
    return std::fmod(std::round(degrees) + 360.0, 360.0);
}

} // namespace

void VideoFile::CloseFormat::operator()(AVFormatContext* format) const {
    avformat_close_input(&format);
}

void VideoFile::FreeCodec::operator()(AVCodecContext* codec) const {
    avcodec_free_context(&codec);
}

std::optional<VideoFile> VideoFile::open(const QString& path) {
    // FFmpeg's complaints about damaged files mean nothing to the app's user; an unreadable
    // file simply has no details or frame.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return std::nullopt;
    VideoFile video;
    video.format_.reset(raw);
    // Some containers only know their durations and sizes after a look at the packets; a failure
    // here leaves whatever the header told.
    avformat_find_stream_info(raw, nullptr);
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVStream* stream = raw->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            video.videoStream_ = static_cast<int>(i);
            break;
        }
    }
    return video;
}

std::optional<double> VideoFile::duration() const {
    if (format_->duration != AV_NOPTS_VALUE)
        return static_cast<double>(format_->duration) / AV_TIME_BASE;
    if (videoStream_ >= 0) {
        const AVStream* stream = format_->streams[videoStream_];
        if (stream->duration != AV_NOPTS_VALUE)
            return static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    }
    return std::nullopt;
}

std::optional<QSizeF> VideoFile::naturalSize() const {
    if (videoStream_ < 0)
        return std::nullopt;
    const AVCodecParameters* parameters = format_->streams[videoStream_]->codecpar;
    return QSizeF(parameters->width, parameters->height);
}

std::optional<QDateTime> VideoFile::creationTime() const {
    const AVDictionaryEntry* entry = av_dict_get(format_->metadata, "creation_time", nullptr, 0);
    if (!entry)
        return std::nullopt;
    const QDateTime time =
        QDateTime::fromString(QString::fromUtf8(entry->value), Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

bool VideoFile::openDecoder() {
    if (decoder_)
        return true;
    if (videoStream_ < 0)
        return false;
    const AVCodecParameters* parameters = format_->streams[videoStream_]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec)
        return false;
    std::unique_ptr<AVCodecContext, FreeCodec> context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), parameters) < 0)
        return false;
    // Frames are decoded on the app's worker threads, already one per core.
    context->thread_count = 1;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return false;
    decoder_ = std::move(context);
    return true;
}

QImage VideoFile::frameAt(double seconds, int maxPixel) {
    if (maxPixel < 1 || !openDecoder())
        return {};
    AVStream* stream = format_->streams[videoStream_];
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const int64_t target = start + av_rescale_q(std::llround(seconds * AV_TIME_BASE),
                                                AV_TIME_BASE_Q, stream->time_base);
    // From the key frame at or before the wanted time; a file that cannot seek is read from
    // where it stands.
    av_seek_frame(format_.get(), videoStream_, target, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(decoder_.get());

    const auto timeOf = [&](int64_t timestamp) {
        return static_cast<double>(timestamp - start) * av_q2d(stream->time_base);
    };
    std::unique_ptr<AVPacket, FreePacket> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FreeFrame> frame(av_frame_alloc());
    if (!packet || !frame)
        return {};

    // Takes every frame the decoder has ready; true once one at or after the wanted time came.
    const auto receive = [&]() {
        while (avcodec_receive_frame(decoder_.get(), frame.get()) == 0) {
            const int64_t timestamp = frame->best_effort_timestamp;
            if (timestamp == AV_NOPTS_VALUE || timeOf(timestamp) >= seconds - timeSlack)
                return true;
            av_frame_unref(frame.get());
        }
        return false;
    };

    while (av_read_frame(format_.get(), packet.get()) >= 0) {
        const bool ours = packet->stream_index == videoStream_;
        const int64_t timestamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        // A damaged packet is skipped; the ones after it may still decode.
        if (ours)
            avcodec_send_packet(decoder_.get(), packet.get());
        av_packet_unref(packet.get());
        if (!ours)
            continue;
        if (receive())
            return toImage(*frame, maxPixel);
        if (timestamp != AV_NOPTS_VALUE && timeOf(timestamp) > seconds + giveUpAfter)
            return {};
    }
    avcodec_send_packet(decoder_.get(), nullptr);
    if (receive())
        return toImage(*frame, maxPixel);
    return {};
}

QImage VideoFile::toImage(const AVFrame& frame, int maxPixel) const {
    if (frame.width < 1 || frame.height < 1)
        return {};
    // The picture as displayed: wide pixels widen it.
    double width = frame.width;
    const AVRational aspect = frame.sample_aspect_ratio;
    if (aspect.num > 0 && aspect.den > 0)
        width *= av_q2d(aspect);
    const double height = frame.height;
    const double factor = std::min(1.0, maxPixel / std::max(width, height));
    const int outWidth = std::max(1, static_cast<int>(std::lround(width * factor)));
    const int outHeight = std::max(1, static_cast<int>(std::lround(height * factor)));

    std::unique_ptr<SwsContext, FreeScaler> scaler(
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
                       outWidth, outHeight, AV_PIX_FMT_RGB32, SWS_AREA, nullptr, nullptr, nullptr));
    if (!scaler)
        return {};
    QImage image(outWidth, outHeight, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) <= 0)
        return {};

    const double rotation = uprightRotation(*format_->streams[videoStream_]);
    if (rotation != 0)
        image = image.transformed(QTransform().rotate(rotation));
    return image;
}

} // namespace quillmere
