#include "export/avi/AviCodecs.h"

#include "export/MovieFrameConverter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>

namespace stillora {

namespace {

const QString kUncompressed = QStringLiteral("uncompressed");

struct CodecPlan {
    AVPixelFormat format;
    uint16_t bitCount;
};

CodecPlan planFor(const QString& encoder) {
    if (encoder == QLatin1String("cinepak")) return {AV_PIX_FMT_RGB24, 24};
    if (encoder == QLatin1String("mjpeg")) return {AV_PIX_FMT_YUV420P, 24}; // full range
    if (encoder == QLatin1String("huffyuv")) return {AV_PIX_FMT_BGRA, 32};
    if (encoder == QLatin1String("utvideo")) return {AV_PIX_FMT_GBRP, 24};
    if (encoder == QLatin1String("ffv1")) return {AV_PIX_FMT_BGR0, 32};
    return {AV_PIX_FMT_YUV420P, 24}; // mpeg4, libx264
}

QString avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

class LibavEncoder : public AviEncoder {
public:
    ~LibavEncoder() override {
        av_packet_free(&packet_);
        avcodec_free_context(&ctx_);
    }

    bool open(const AviCodecInfo& info, int width, int height, const AviEncoderOptions& o,
              QString* error) {
        const AVCodec* codec = avcodec_find_encoder_by_name(info.encoder.toLatin1().constData());
        if (!codec)
            return fail(error, QStringLiteral("this build has no %1 encoder").arg(info.encoder));
        const CodecPlan plan = planFor(info.encoder);
        bitCount_ = plan.bitCount;
        ctx_ = avcodec_alloc_context3(codec);
        packet_ = av_packet_alloc();
        if (!ctx_ || !packet_) return fail(error, QStringLiteral("out of memory"));
        ctx_->width = width;
        ctx_->height = height;
        ctx_->pix_fmt = plan.format;
        ctx_->time_base = AVRational{1, int(std::max<uint32_t>(1, o.rate))};
        ctx_->framerate = AVRational{int(std::max<uint32_t>(1, o.rate)), 1};
        ctx_->sample_aspect_ratio = AVRational{1, 1};
        // AVI keeps no time stamps: every frame goes out in the order it came.
        ctx_->max_b_frames = 0;
        ctx_->thread_count = 0;
        if (info.usesKeyFrames && o.keyFrameEvery > 0) {
            ctx_->gop_size = int(std::min<uint32_t>(o.keyFrameEvery, 10000));
            ctx_->keyint_min = info.encoder == QLatin1String("cinepak") ? ctx_->gop_size : 1;
        }
        const bool byRate = info.usesDataRate && o.bytesPerSecond > 0;
        if (byRate) {
            ctx_->bit_rate = int64_t(o.bytesPerSecond) * 8;
        } else if (info.encoder == QLatin1String("libx264")) {
            av_opt_set_int(ctx_->priv_data, "crf", QualityToCrf(o.quality), 0);
        } else if (info.usesQuality) {
            ctx_->flags |= AV_CODEC_FLAG_QSCALE;
            ctx_->global_quality = QualityToQScale(o.quality) * FF_QP2LAMBDA;
        }
        if (info.encoder == QLatin1String("mjpeg")) {
            // Full-range JPEG levels, as stills are written.
            ctx_->color_range = AVCOL_RANGE_JPEG;
        }
        if (info.encoder == QLatin1String("libx264")) {
            av_opt_set(ctx_->priv_data, "preset", "medium", 0);
            // Warnings and errors only; no statistics on standard error.
            av_opt_set(ctx_->priv_data, "x264-params", "log=1", 0);
        }

        // x264 refuses odd sizes for 4:2:0 itself, but leaks its parameter
        // strings on that path and prints a line of its own: refuse first.
        if (info.encoder == QLatin1String("libx264") && ((width | height) & 1))
            return fail(error, QStringLiteral("this codec needs an even width and height"));
        const int rc = avcodec_open2(ctx_, codec, nullptr);
        if (rc < 0) return fail(error, avError(rc));

        // BT.601, as AVI players assume; full range for JPEG frames.
        QString reason;
        if (!converter_.open(width, height, plan.format, MovieFrameConverter::Matrix::Bt601,
                             info.encoder == QLatin1String("mjpeg"), &reason))
            return fail(error, reason);
        return true;
    }

    bool encode(const QImage& image, std::vector<AviPacket>& out) override {
        if (!converter_.convert(image)) return false;
        AVFrame* frame_ = converter_.frame();
        frame_->pts = pts_++;
        frame_->pict_type = AV_PICTURE_TYPE_NONE;
        // A fixed quantiser is taken from each frame, not from the context.
        if (ctx_->flags & AV_CODEC_FLAG_QSCALE) frame_->quality = ctx_->global_quality;
        if (avcodec_send_frame(ctx_, frame_) < 0) return false;
        return drain(out);
    }

    bool flush(std::vector<AviPacket>& out) override {
        if (flushed_) return true;
        flushed_ = true;
        if (avcodec_send_frame(ctx_, nullptr) < 0) return false;
        return drain(out);
    }

    uint16_t bitCount() const override { return bitCount_; }
    QByteArray extradata() const override {
        if (!ctx_->extradata || ctx_->extradata_size <= 0) return {};
        return QByteArray(reinterpret_cast<const char*>(ctx_->extradata), ctx_->extradata_size);
    }

private:
    bool fail(QString* error, const QString& reason) {
        if (error) *error = reason;
        return false;
    }

    bool drain(std::vector<AviPacket>& out) {
        for (;;) {
            const int rc = avcodec_receive_packet(ctx_, packet_);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) return false;
            out.push_back({QByteArray(reinterpret_cast<const char*>(packet_->data), packet_->size),
                           (packet_->flags & AV_PKT_FLAG_KEY) != 0});
            av_packet_unref(packet_);
        }
    }

    AVCodecContext* ctx_ = nullptr;
    AVPacket* packet_ = nullptr;
    MovieFrameConverter converter_;
    int64_t pts_ = 0;
    uint16_t bitCount_ = 24;
    bool flushed_ = false;
};

} // namespace

int QualityToQScale(uint32_t quality) {
    // Quadratic, so that the upper half of the range (where the visible
    // differences are) gets most of the quantiser steps.
    const double loss = 1.0 - std::min<uint32_t>(quality, 10000) / 10000.0;
    return std::clamp(int(std::lround(1 + 30 * loss * loss)), 1, 31);
}

int QualityToCrf(uint32_t quality) {
    return std::clamp(int(std::lround(51 - std::min<uint32_t>(quality, 10000) * 41 / 10000.0)), 10,
                      51);
}

const std::vector<AviCodecInfo>& KnownAviCodecs() {
    static const std::vector<AviCodecInfo> codecs = {
        {"DIB ", kUncompressed, "Full Frames (Uncompressed)", true, false, false, false},
        {"cvid", "cinepak", "Cinepak Codec", false, true, true, false},
        {"MJPG", "mjpeg", "Motion JPEG", false, true, false, false},
        {"FMP4", "mpeg4", "MPEG-4 Part 2", false, true, true, true},
        {"HFYU", "huffyuv", "HuffYUV (lossless)", true, false, false, false},
        {"ULRG", "utvideo", "Ut Video (lossless)", true, false, false, false},
        {"FFV1", "ffv1", "FFV1 (lossless)", true, false, false, false},
        {"H264", "libx264", "H.264", false, true, true, true},
    };
    return codecs;
}

std::vector<AviCodecInfo> AvailableAviCodecs() {
    std::vector<AviCodecInfo> result;
    for (const AviCodecInfo& c : KnownAviCodecs())
        if (c.encoder == kUncompressed ||
            avcodec_find_encoder_by_name(c.encoder.toLatin1().constData()))
            result.push_back(c);
    return result;
}

const AviCodecInfo* FindAviCodec(const QString& name) {
    const QString wanted = name.trimmed();
    if (wanted.isEmpty()) return nullptr;
    for (const AviCodecInfo& c : KnownAviCodecs()) {
        if (c.fourcc.trimmed().compare(wanted, Qt::CaseInsensitive) != 0 &&
            c.encoder.compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        if (c.encoder != kUncompressed &&
            !avcodec_find_encoder_by_name(c.encoder.toLatin1().constData()))
            return nullptr;
        return &c;
    }
    return nullptr;
}

QString DescribeAviCodecs() {
    QString text;
    for (const AviCodecInfo& c : AvailableAviCodecs())
        text += QStringLiteral("%1 %2 %3\n")
                    .arg(c.encoder, -13)
                    .arg(c.fourcc.trimmed(), -5)
                    .arg(c.description);
    return text;
}

std::unique_ptr<AviEncoder> AviEncoder::Create(const AviCodecInfo& codec, int width, int height,
                                               const AviEncoderOptions& options, QString* error) {
    if (codec.encoder == kUncompressed) {
        if (error) *error = QStringLiteral("full frames need no encoder");
        return nullptr;
    }
    auto encoder = std::make_unique<LibavEncoder>();
    if (!encoder->open(codec, width, height, options, error)) return nullptr;
    return encoder;
}

} // namespace stillora
