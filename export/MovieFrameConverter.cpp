#include "export/MovieFrameConverter.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

namespace stillora {

MovieFrameConverter::~MovieFrameConverter() {
    sws_freeContext(sws_);
    av_frame_free(&frame_);
}

bool MovieFrameConverter::open(int width, int height, AVPixelFormat format, Matrix matrix,
                          bool fullRange, QString* error) {
    const auto fail = [error](const char* reason) {
        if (error) *error = QString::fromLatin1(reason);
        return false;
    };
    sws_freeContext(sws_);
    sws_ = nullptr;
    av_frame_free(&frame_);
    width_ = width;
    height_ = height;
    frame_ = av_frame_alloc();
    if (!frame_) return fail("out of memory");
    frame_->format = format;
    frame_->width = width;
    frame_->height = height;
    if (av_frame_get_buffer(frame_, 0) < 0) return fail("out of memory");
    sws_ = sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, format, SWS_BICUBIC,
                          nullptr, nullptr, nullptr);
    if (!sws_) return fail("cannot convert the frames for this codec");
    const AVPixFmtDescriptor* described = av_pix_fmt_desc_get(format);
    if (described && !(described->flags & AV_PIX_FMT_FLAG_RGB)) {
        const int* coefficients =
            sws_getCoefficients(matrix == Matrix::Bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
        // Source: full-range RGB; destination: YUV in the range asked for.
        sws_setColorspaceDetails(sws_, coefficients, 1, coefficients, fullRange ? 1 : 0, 0,
                                 1 << 16, 1 << 16);
    }
    return true;
}

bool MovieFrameConverter::convert(const QImage& picture) {
    if (!frame_ || picture.width() != width_ || picture.height() != height_) return false;
    if (av_frame_make_writable(frame_) < 0) return false;
    const uint8_t* src[1] = {picture.constBits()};
    const int stride[1] = {int(picture.bytesPerLine())};
    sws_scale(sws_, src, stride, 0, picture.height(), frame_->data, frame_->linesize);
    return true;
}

QSize EvenSize(QSize size) {
    return QSize(size.width() + (size.width() & 1), size.height() + (size.height() & 1));
}

QImage EvenSizedFrame(const QImage& picture, QSize size) {
    QImage frame = picture;
    if (frame.size() != size)
        frame = frame.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (frame.format() != QImage::Format_RGB32 && frame.format() != QImage::Format_ARGB32)
        frame = frame.convertToFormat(QImage::Format_RGB32);
    const QSize even = EvenSize(size);
    if (even == size) return frame;
    QImage padded(even, QImage::Format_RGB32);
    for (int y = 0; y < even.height(); ++y) {
        const auto* from = reinterpret_cast<const uint32_t*>(
            frame.constScanLine(std::min(y, size.height() - 1)));
        auto* to = reinterpret_cast<uint32_t*>(padded.scanLine(y));
        std::memcpy(to, from, size_t(size.width()) * 4);
        if (even.width() > size.width()) to[size.width()] = from[size.width() - 1];
    }
    return padded;
}

} // namespace stillora
