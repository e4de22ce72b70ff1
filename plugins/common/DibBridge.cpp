#include "plugins/common/DibBridge.h"

#include <cstring>
#include <new>

namespace stillora {

void CheckSourceFormat(const TPluginBitmap& bitmap, TPixelFormat format) {
    if (bitmap.pixelFormat() != format) throw TPluginError(kErrInvalidPixelFormat);
}

TDIBReader::TDIBReader(const TPluginBitmap& source)
    : width_(source.width()), height_(source.height()) {
    if (source.empty()) return;
    rows_.resize(size_t(height_));
    for (int32_t r = 0; r < height_; ++r)
        rows_[size_t(r)] = source.scanLine(r);
}

const uint8_t* TDIBReader::row(int32_t r) const {
    if (rows_.empty()) throw TPluginError(kErrNoDib);
    if (r < 0 || r >= height_) throw TPluginError(kErrScanLine);
    return rows_[size_t(r)];
}

void TDIBReader::readPixel(int32_t row, int32_t column, uint8_t bgr[3]) const {
    if (rows_.empty() || row < 0 || row >= height_ || column < 0 || column >= width_) {
        bgr[0] = bgr[1] = bgr[2] = 0;
        return;
    }
    const uint8_t* p = rows_[size_t(row)] + 3 * size_t(column);
    bgr[0] = p[0], bgr[1] = p[1], bgr[2] = p[2];
}

TDIBWriter::TDIBWriter(TPluginBitmap& dest, int32_t width, int32_t height, TPixelFormat format,
                       bool inPlace)
    : dest_(&dest), width_(width), height_(height), stride_(0), inPlace_(inPlace) {
    if (format != TPixelFormat::pf24bit) throw TPluginError(kErrInvalidPixelFormat);
    if (width <= 0 || height <= 0) throw TPluginError(kErrBadDimension);
    stride_ = TPluginBitmap::StrideFor(width, format);
    TPluginBitmap::ImageBytes(width, height, format); // size check only
}

TDIBWriter::~TDIBWriter() {
    release();
}

uint8_t* TDIBWriter::row(int32_t r) {
    if (r < 0 || r >= height_) throw TPluginError(kErrScanLine);
    if (inPlace_) return dest_->scanLine(r);
    if (!buffer_) {
        const size_t bytes = stride_ * size_t(height_);
        buffer_.reset(new (std::nothrow) uint8_t[bytes]);
        if (!buffer_) throw TPluginError(kErrOutOfMemory);
        // Rows an interrupted effect never reaches come out black, padding zero.
        std::memset(buffer_.get(), 0, bytes);
    }
    return buffer_.get() + size_t(r) * stride_;
}

void TDIBWriter::release() noexcept {
    if (!buffer_) return;
    const size_t bytes = stride_ * size_t(height_);
    dest_->adoptPixels(width_, height_, TPixelFormat::pf24bit, std::move(buffer_), bytes);
}

TBitmapRun::TBitmapRun(TPluginBitmap& source, TPluginBitmap& dest, bool pointwise)
    : reader_((CheckSourceFormat(source, TPixelFormat::pf24bit), source)) {
    // Copy the shape: the destination takes the source's format and size
    // (a no-op when dest is the source).
    if (&dest != &source) {
        if (dest.pixelFormat() != source.pixelFormat()) dest.setPixelFormat(source.pixelFormat());
        dest.setSize(source.width(), source.height());
    }
    const bool inPlace = pointwise || &dest != &source;
    writer_ = std::make_unique<TDIBWriter>(dest, source.width(), source.height(),
                                           TPixelFormat::pf24bit, inPlace);
}

TBitmapRun::~TBitmapRun() {
    release();
}

void TBitmapRun::release() noexcept {
    if (writer_) writer_->release();
}

} // namespace stillora
