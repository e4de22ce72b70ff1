#include "video/FrameConverter.h"

#include <algorithm>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace stillora {

namespace {

// The deprecated "J" formats mean full range; swscale wants the plain format
// and the range given separately.
AVPixelFormat plainFormat(AVPixelFormat format, bool* fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        *fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        *fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        *fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        *fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        *fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

// Untagged material: HD sizes are normally BT.709, smaller ones BT.601.
int matrixOf(const AVFrame& frame) {
    switch (frame.colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        return (frame.width >= 1280 || frame.height > 576) ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

} // namespace

FrameConverter::~FrameConverter() {
    sws_freeContext(context_);
}

namespace {

// Writes `from` turned clockwise by `degrees` into `to` (of the turned size),
// in tiles so that both images are walked through the cache.
void turn(const QImage& from, QImage& to, int degrees) {
    constexpr int kTile = 64;
    const int w = from.width(), h = from.height();
    const auto* src = reinterpret_cast<const QRgb*>(from.constBits());
    const qsizetype srcStride = from.bytesPerLine() / 4;
    for (int ty = 0; ty < to.height(); ty += kTile) {
        for (int tx = 0; tx < to.width(); tx += kTile) {
            const int yEnd = std::min(ty + kTile, to.height());
            const int xEnd = std::min(tx + kTile, to.width());
            for (int y = ty; y < yEnd; ++y) {
                auto* row = reinterpret_cast<QRgb*>(to.scanLine(y));
                for (int x = tx; x < xEnd; ++x) {
                    int sx, sy;
                    if (degrees == 90) {
                        sx = y;
                        sy = h - 1 - x;
                    } else if (degrees == 270) {
                        sx = w - 1 - y;
                        sy = x;
                    } else {
                        sx = w - 1 - x;
                        sy = h - 1 - y;
                    }
                    row[x] = src[sy * srcStride + sx];
                }
            }
        }
    }
}

} // namespace

QImage FrameConverter::convert(const AVFrame& frame, QImage reuse) {
    if (rotation_ != 90 && rotation_ != 180 && rotation_ != 270)
        return convertUpright(frame, std::move(reuse));
    unturned_ = convertUpright(frame, std::move(unturned_));
    if (unturned_.isNull()) return {};
    const QSize size = rotation_ == 180 ? unturned_.size() : unturned_.size().transposed();
    QImage image = std::move(reuse);
    if (image.size() != size || image.format() != QImage::Format_RGB32 || !image.isDetached())
        image = QImage(size, QImage::Format_RGB32);
    if (image.isNull()) return {};
    turn(unturned_, image, rotation_);
    return image;
}

QImage FrameConverter::convertUpright(const AVFrame& source, QImage reuse) {
    // HDR pictures are tone-mapped first; SDR ones go straight to swscale.
    const AVFrame* mapped = ToneMapper::isHdr(source) ? toneMapper_.map(source) : &source;
    if (!mapped) return {};
    const AVFrame& frame = *mapped;
    if (frame.width <= 0 || frame.height <= 0 || frame.format < 0) return {};
    bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = plainFormat(static_cast<AVPixelFormat>(frame.format), &fullRange);
    const int matrix = matrixOf(frame);
    if (!context_ || frame.width != width_ || frame.height != height_ || format != format_ ||
        matrix != matrix_ || int(fullRange) != fullRange_) {
        sws_freeContext(context_);
        context_ = sws_getContext(frame.width, frame.height, format, frame.width, frame.height,
                                  AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!context_) return {};
        width_ = frame.width;
        height_ = frame.height;
        format_ = format;
        matrix_ = matrix;
        fullRange_ = fullRange;
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
        if (desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB)) {
            // Output is full-range RGB; brightness and contrast stay neutral.
            sws_setColorspaceDetails(context_, sws_getCoefficients(matrix), fullRange,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        }
    }
    // BGRA from a source without alpha is written opaque, which is what
    // Format_RGB32 (0xffRRGGBB in memory as B, G, R, 0xff) requires.
    QImage image = std::move(reuse);
    if (image.size() != QSize(frame.width, frame.height) ||
        image.format() != QImage::Format_RGB32 || !image.isDetached())
        image = QImage(frame.width, frame.height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    const int rows =
        sws_scale(context_, frame.data, frame.linesize, 0, frame.height, planes, strides);
    if (rows != frame.height) return {};
    return image;
}

} // namespace stillora
