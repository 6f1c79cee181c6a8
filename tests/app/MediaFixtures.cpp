#include "MediaFixtures.h"

#include <QFile>
#include <QPainter>
#include <memory>
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

namespace {

void check(bool ok, const char* what, const QString& path) {
    if (!ok)
        throw std::runtime_error(std::string("could not ") + what + " " + path.toStdString());
}

void check(int result, const char* what, const QString& path) {
    check(result >= 0, what, path);
}

} // namespace

QImage twoHalves(QSize size, QColor first, QColor second, Qt::Orientation split) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(second);
    QPainter painter(&image);
    if (split == Qt::Horizontal)
        painter.fillRect(0, 0, size.width() / 2, size.height(), first);
    else
        painter.fillRect(0, 0, size.width(), size.height() / 2, first);
    return image;
}

void writeJpeg(const QString& path, const QImage& image, const ExifTags& tags) {
    check(image.save(path, "JPEG", 95), "write", path);
    if (!tags.dateTimeOriginal && !tags.orientation)
        return;
    auto file = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    file->readMetadata();
    Exiv2::ExifData& exif = file->exifData();
    if (tags.dateTimeOriginal)
        exif["Exif.Photo.DateTimeOriginal"] = tags.dateTimeOriginal->toStdString();
    if (tags.orientation)
        exif["Exif.Image.Orientation"] = static_cast<uint16_t>(*tags.orientation);
    file->writeMetadata();
}

void writePng(const QString& path, const QImage& image) {
    check(image.save(path, "PNG"), "write", path);
}

void writeCorruptJpeg(const QString& path) {
    QFile file(path);
    check(file.open(QIODevice::WriteOnly), "create", path);
    QByteArray bytes("\xFF\xD8\xFF\xE0", 4);
    for (int i = 0; i < 4096; ++i)
        bytes.append(static_cast<char>((i * 7919) % 251));
    check(file.write(bytes) == bytes.size(), "write", path);
}

void writeVideo(const QString& path, const ClipSpec& clip) {
    av_log_set_level(AV_LOG_ERROR);
    const QByteArray name = QFile::encodeName(path);
    AVFormatContext* format = nullptr;
    check(avformat_alloc_output_context2(&format, nullptr, nullptr, name.constData()),
          "choose a container for", path);
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> formatOwner(
        format, [](AVFormatContext* f) {
            if (f->pb)
                avio_closep(&f->pb);
            avformat_free_context(f);
        });

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec)
        codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    check(codec != nullptr, "find an encoder for", path);
    AVStream* stream = avformat_new_stream(format, nullptr);
    check(stream != nullptr, "add a stream to", path);

    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> encoder(
        avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
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
    check(avcodec_open2(encoder.get(), codec, nullptr), "open the encoder for", path);
    check(avcodec_parameters_from_context(stream->codecpar, encoder.get()), "describe", path);
    stream->time_base = encoder->time_base;

    if (clip.rotation != 0) {
        auto* matrix = reinterpret_cast<int32_t*>(
            av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        check(matrix != nullptr, "rotate", path);
        av_display_rotation_set(matrix, clip.rotation); // clockwise degrees
    }
    if (clip.creationTime)
        av_dict_set(&format->metadata, "creation_time", clip.creationTime->toUtf8().constData(), 0);

    check(avio_open(&format->pb, name.constData(), AVIO_FLAG_WRITE), "create", path);
    check(avformat_write_header(format, nullptr), "start", path);

    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                       [](AVFrame* f) { av_frame_free(&f); });
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                          [](AVPacket* p) { av_packet_free(&p); });
    frame->format = encoder->pix_fmt;
    frame->width = encoder->width;
    frame->height = encoder->height;
    check(av_frame_get_buffer(frame.get(), 0), "allocate a frame for", path);
    std::unique_ptr<SwsContext, void (*)(SwsContext*)> converter(
        sws_getContext(encoder->width, encoder->height, AV_PIX_FMT_RGB32, encoder->width,
                       encoder->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr),
        sws_freeContext);

    const auto drain = [&] {
        while (avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
            av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            check(av_interleaved_write_frame(format, packet.get()), "write a packet to", path);
        }
    };
    for (int i = 0; i < clip.frames; ++i) {
        check(av_frame_make_writable(frame.get()), "reuse a frame for", path);
        const QImage picture =
            clip.picture(i, clip.size).convertToFormat(QImage::Format_RGB32).scaled(clip.size);
        const uint8_t* planes[1] = {picture.constBits()};
        const int strides[1] = {static_cast<int>(picture.bytesPerLine())};
        sws_scale(converter.get(), planes, strides, 0, encoder->height, frame->data,
                  frame->linesize);
        frame->pts = i;
        check(avcodec_send_frame(encoder.get(), frame.get()), "encode", path);
        drain();
    }
    check(avcodec_send_frame(encoder.get(), nullptr), "finish", path);
    drain();
    check(av_write_trailer(format), "close", path);
}

bool near(QColor actual, QColor expected, int tolerance) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

} // namespace quillmere::testing
