#include "MediaFixtures.h"

#include <QFile>
#include <QPainter>
#include <stdexcept>

#pragma GCC diagnostic push
// Exiv2 0.27 hands images out in std::auto_ptr.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace quillmere::testing {

static void check(bool ok, const char* what, const QString& path) {
    if (!ok)
        throw std::runtime_error(std::string("could not ") + what + " " + path.toStdString());
}

QImage twoHalves(QSize size, QColor first, QColor second) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(second);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), first);
    return image;
}

void writeJpeg(const QString& path, const QImage& image, const ExifTags& tags) {
    check(image.save(path, "JPEG", 95), "write", path);
    if (!tags.dateTimeOriginal && !tags.orientation)
        return;
    auto file = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    file->readMetadata();
    if (tags.dateTimeOriginal)
        file->exifData()["Exif.Photo.DateTimeOriginal"] = tags.dateTimeOriginal->toStdString();
    if (tags.orientation)
        file->exifData()["Exif.Image.Orientation"] = static_cast<uint16_t>(*tags.orientation);
    file->writeMetadata();
}

void writePng(const QString& path, const QImage& image) {
    check(image.save(path, "PNG"), "write", path);
}

void writeVideo(const QString& path, const ClipSpec& clip) {
    av_log_set_level(AV_LOG_ERROR);
    const QByteArray name = QFile::encodeName(path);
    AVFormatContext* format = nullptr;
    check(avformat_alloc_output_context2(&format, nullptr, nullptr, name.constData()) >= 0,
          "choose a container for", path);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec)
        codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVStream* stream = avformat_new_stream(format, nullptr);
    check(codec && stream, "find an encoder for", path);

    AVCodecContext* encoder = avcodec_alloc_context3(codec);
    encoder->width = clip.size.width();
    encoder->height = clip.size.height();
    encoder->time_base = AVRational{1, clip.framesPerSecond};
    encoder->framerate = AVRational{clip.framesPerSecond, 1};
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->gop_size = clip.framesPerSecond / 2;
    encoder->max_b_frames = 0;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(encoder->priv_data, "preset", "ultrafast", 0);
    check(avcodec_open2(encoder, codec, nullptr) >= 0 &&
              avcodec_parameters_from_context(stream->codecpar, encoder) >= 0,
          "open the encoder for", path);
    stream->time_base = encoder->time_base;
    if (clip.rotation != 0) {
        auto* matrix = reinterpret_cast<int32_t*>(
            av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        check(matrix != nullptr, "rotate", path);
        av_display_rotation_set(matrix, clip.rotation); // clockwise degrees
    }
    if (clip.creationTime)
        av_dict_set(&format->metadata, "creation_time", clip.creationTime->toUtf8().constData(), 0);
    check(avio_open(&format->pb, name.constData(), AVIO_FLAG_WRITE) >= 0 &&
              avformat_write_header(format, nullptr) >= 0,
          "start", path);

    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    frame->format = encoder->pix_fmt;
    frame->width = encoder->width;
    frame->height = encoder->height;
    check(av_frame_get_buffer(frame, 0) >= 0, "allocate a frame for", path);
    SwsContext* converter =
        sws_getContext(encoder->width, encoder->height, AV_PIX_FMT_RGB32, encoder->width,
                       encoder->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    // A null frame flushes the encoder.
    for (int i = 0; i <= clip.frames; ++i) {
        if (i < clip.frames) {
            check(av_frame_make_writable(frame) >= 0, "reuse a frame for", path);
            const QImage picture =
                clip.picture(i, clip.size).convertToFormat(QImage::Format_RGB32).scaled(clip.size);
            const uint8_t* planes[1] = {picture.constBits()};
            const int strides[1] = {static_cast<int>(picture.bytesPerLine())};
            sws_scale(converter, planes, strides, 0, encoder->height, frame->data, frame->linesize);
            frame->pts = i;
        }
        check(avcodec_send_frame(encoder, i < clip.frames ? frame : nullptr) >= 0, "encode", path);
        while (avcodec_receive_packet(encoder, packet) == 0) {
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            check(av_interleaved_write_frame(format, packet) >= 0, "write", path);
        }
    }
    check(av_write_trailer(format) >= 0, "close", path);
    // Freed only on success: a clip that cannot be written fails its test anyway.
    sws_freeContext(converter);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&encoder);
    avio_closep(&format->pb);
    avformat_free_context(format);
}

bool near(QColor actual, QColor expected, int tolerance) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

} // namespace quillmere::testing
