#include "export/video/VideoWriter.h"

#include "export/MovieFrameConverter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace stillora {

namespace {

QString avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

} // namespace

int VideoCrf(int format, int quality) {
    quality = std::clamp(quality, 0, 51);
    if (format == VideoWebm) return int(std::lround(quality * 63.0 / 51.0));
    return quality;
}

struct VideoMovieWriter::State {
    QString finalPath, partPath;
    QSize size;     // of the stills (the first one's)
    QSize even;     // of the movie's frames
    int hold = 1;
    int64_t pts = 0;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVPacket* packet = nullptr;
    MovieFrameConverter converter;
    bool headerWritten = false;

    ~State() {
        avcodec_free_context(&codec);
        av_packet_free(&packet);
        if (format) {
            if (format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
            format = nullptr;
        }
    }

    // Hands every finished packet to the muxer.
    int drain() {
        for (;;) {
            int rc = avcodec_receive_packet(codec, packet);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return 0;
            if (rc < 0) return rc;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            rc = av_interleaved_write_frame(format, packet);
            if (rc < 0) return rc;
        }
    }
};

VideoMovieWriter::VideoMovieWriter() = default;

VideoMovieWriter::~VideoMovieWriter() {
    discard();
}

bool VideoMovieWriter::isOpen() const {
    return state_ != nullptr;
}

int64_t VideoMovieWriter::frameCount() const {
    return state_ ? state_->pts : 0;
}

QSize VideoMovieWriter::frameSize() const {
    return state_ ? state_->even : QSize();
}

bool VideoMovieWriter::fail(QString* error, const QString& reason) {
    if (error) *error = reason;
    discard();
    return false;
}

void VideoMovieWriter::discard() {
    if (!state_) return;
    const QString part = state_->partPath;
    state_.reset();
    if (!part.isEmpty()) QFile::remove(part);
}

bool VideoMovieWriter::open(const QString& path, QSize size, const VideoSettings& settings,
                            QString* error) {
    discard();
    if (size.width() < 1 || size.height() < 1)
        return fail(error, QStringLiteral("the frames have no pixels"));
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.finalPath = path;
    s.size = size;
    s.even = EvenSize(size);
    s.hold = std::clamp(settings.hold, 1, 9999);
    const bool webm = settings.format == VideoWebm;
    const int rate = std::clamp(settings.frameRate, 1, 60);

    // The part file: beside the final name, hidden, unique.
    const QFileInfo target(path);
    {
        QTemporaryFile part(target.absoluteDir().filePath(QLatin1Char('.') + target.fileName() +
                                                          QStringLiteral(".XXXXXX.part")));
        part.setAutoRemove(false);
        if (!part.open()) return fail(error, part.errorString());
        s.partPath = part.fileName();
    }
    const QByteArray partName = QFile::encodeName(s.partPath);

    // The encoders and muxers tell their settings and versions at the
    // information level; only warnings and errors reach standard error.
    if (av_log_get_level() > AV_LOG_WARNING) av_log_set_level(AV_LOG_WARNING);
    const AVCodec* encoder = avcodec_find_encoder_by_name(webm ? "libvpx-vp9" : "libx264");
    if (!encoder)
        return fail(error, QStringLiteral("this build has no %1 encoder")
                               .arg(webm ? QStringLiteral("VP9") : QStringLiteral("H.264")));
    int rc = avformat_alloc_output_context2(&s.format, nullptr, webm ? "webm" : "mp4",
                                            partName.constData());
    if (rc < 0 || !s.format) return fail(error, avError(rc));
    s.codec = avcodec_alloc_context3(encoder);
    s.packet = av_packet_alloc();
    if (!s.codec || !s.packet) return fail(error, QStringLiteral("out of memory"));
    AVCodecContext* c = s.codec;
    c->width = s.even.width();
    c->height = s.even.height();
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, rate};
    c->framerate = AVRational{rate, 1};
    c->sample_aspect_ratio = AVRational{1, 1};
    c->thread_count = 0;
    // BT.709 in video range, said in the stream so that players convert back alike.
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = AVCOL_SPC_BT709;
    c->color_primaries = AVCOL_PRI_BT709;
    c->color_trc = AVCOL_TRC_BT709;
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int crf = VideoCrf(settings.format, settings.quality);
    if (webm) {
        c->bit_rate = 0; // constant quality
        av_opt_set_int(c->priv_data, "crf", crf, 0);
        av_opt_set(c->priv_data, "deadline", "good", 0);
        av_opt_set_int(c->priv_data, "cpu-used", 4, 0);
        av_opt_set_int(c->priv_data, "row-mt", 1, 0);
    } else {
        av_opt_set_int(c->priv_data, "crf", crf, 0);
        av_opt_set(c->priv_data, "preset", "medium", 0);
        // Warnings and errors only; no statistics on standard error.
        av_opt_set(c->priv_data, "x264-params", "log=1", 0);
    }
    rc = avcodec_open2(c, encoder, nullptr);
    if (rc < 0) return fail(error, avError(rc));
    s.stream = avformat_new_stream(s.format, nullptr);
    if (!s.stream) return fail(error, QStringLiteral("out of memory"));
    s.stream->time_base = c->time_base;
    s.stream->avg_frame_rate = c->framerate;
    rc = avcodec_parameters_from_context(s.stream->codecpar, c);
    if (rc < 0) return fail(error, avError(rc));

    QString reason;
    if (!s.converter.open(c->width, c->height, AV_PIX_FMT_YUV420P, MovieFrameConverter::Matrix::Bt709,
                          false, &reason))
        return fail(error, reason);

    rc = avio_open(&s.format->pb, partName.constData(), AVIO_FLAG_WRITE);
    if (rc < 0) return fail(error, avError(rc));
    AVDictionary* options = nullptr;
    // The index goes to the front once the movie is complete.
    if (!webm) av_dict_set(&options, "movflags", "+faststart", 0);
    rc = avformat_write_header(s.format, &options);
    av_dict_free(&options);
    if (rc < 0) return fail(error, avError(rc));
    s.headerWritten = true;
    return true;
}

bool VideoMovieWriter::addFrame(const QImage& picture, QString* error) {
    if (!state_) {
        if (error) *error = QStringLiteral("the movie is not open");
        return false;
    }
    State& s = *state_;
    if (!s.converter.convert(EvenSizedFrame(picture, s.size)))
        return fail(error, QStringLiteral("out of memory"));
    AVFrame* frame = s.converter.frame();
    for (int i = 0; i < s.hold; ++i) {
        frame->pts = s.pts++;
        int rc = avcodec_send_frame(s.codec, frame);
        if (rc < 0) return fail(error, avError(rc));
        rc = s.drain();
        if (rc < 0) return fail(error, avError(rc));
    }
    return true;
}

bool VideoMovieWriter::close(QString* error) {
    if (!state_) {
        if (error) *error = QStringLiteral("the movie is not open");
        return false;
    }
    State& s = *state_;
    if (s.pts == 0) return fail(error, QStringLiteral("the movie has no frames"));
    int rc = avcodec_send_frame(s.codec, nullptr);
    if (rc >= 0) rc = s.drain();
    if (rc < 0) return fail(error, avError(rc));
    rc = av_write_trailer(s.format);
    if (rc < 0) return fail(error, avError(rc));
    const int written = s.format->pb->error;
    rc = avio_closep(&s.format->pb);
    if (written < 0) return fail(error, avError(written));
    if (rc < 0) return fail(error, avError(rc));
    // rename() replaces an older movie in one step.
    if (std::rename(QFile::encodeName(s.partPath).constData(),
                    QFile::encodeName(s.finalPath).constData()) != 0)
        return fail(error, QString::fromLocal8Bit(std::strerror(errno)));
    s.partPath.clear();
    state_.reset();
    return true;
}

} // namespace stillora
