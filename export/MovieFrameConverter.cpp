#include "export/MovieFrameConverter.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

namespace stillora {

MovieFrameConverter::~MovieFrameConverter() {
    sws_freeContext(sws_);
    av_frame_free(&source_);
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
    av_frame_free(&source_);
    av_frame_free(&frame_);
    width_ = width;
    height_ = height;
    frame_ = av_frame_alloc();
    if (!frame_) return fail("out of memory");
    frame_->format = format;
    frame_->width = width;
    frame_->height = height;
    if (av_frame_get_buffer(frame_, 0) < 0) return fail("out of memory");
    // The conversion runs in slices on every core: on a 1080p frame it costs
    // more than a Motion JPEG encode.
    sws_ = sws_alloc_context();
    source_ = av_frame_alloc();
    if (!sws_ || !source_) return fail("out of memory");
    av_opt_set_int(sws_, "srcw", width, 0);
    av_opt_set_int(sws_, "srch", height, 0);
    av_opt_set_int(sws_, "src_format", AV_PIX_FMT_BGR0, 0);
    av_opt_set_int(sws_, "dstw", width, 0);
    av_opt_set_int(sws_, "dsth", height, 0);
    av_opt_set_int(sws_, "dst_format", format, 0);
    av_opt_set_int(sws_, "sws_flags", SWS_BICUBIC, 0);
    av_opt_set_int(sws_, "threads", 0, 0); // one slice per core
    if (sws_init_context(sws_, nullptr, nullptr) < 0)
        return fail("cannot convert the frames for this codec");
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
    // The source frame borrows the picture's rows for the call, uncopied.
    source_->format = AV_PIX_FMT_BGR0;
    source_->width = picture.width();
    source_->height = picture.height();
    source_->data[0] = const_cast<uint8_t*>(picture.constBits());
    source_->linesize[0] = int(picture.bytesPerLine());
    source_->buf[0] = av_buffer_create(source_->data[0], int(picture.sizeInBytes()),
                                       [](void*, uint8_t*) {}, nullptr, AV_BUFFER_FLAG_READONLY);
    if (!source_->buf[0]) return false;
    const int rc = sws_scale_frame(sws_, frame_, source_);
    av_frame_unref(source_);
    return rc >= 0;
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
