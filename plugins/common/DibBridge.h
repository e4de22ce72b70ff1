#pragma once
// The bitmap bridge: turns the two bitmaps handed to RunProcBMP into plain
// 24-bit pixel rows (blue, green, red; rows padded to four bytes; row 0 at the
// top) for one effect pass.
//
// A pass reads the source through TDIBReader and writes the destination
// through TDIBWriter; TBitmapRun ties the two together. Nothing writes the
// source while a pass runs, so the reader reads the source's rows in place
// instead of copying them. The writer writes straight into the destination's
// pixels when that cannot disturb the reads (a distinct destination, or an
// effect whose output pixel depends only on the same input pixel); otherwise
// it fills a buffer of its own that replaces the destination's pixels when the
// pass is released.

#include "plugins/common/PluginBitmap.h"
#include "plugins/common/PluginKitApi.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace stillora {

// Raises "Invalid Pixelformat" unless the bitmap is in the given format.
STILLORA_KIT_API void CheckSourceFormat(const TPluginBitmap& bitmap, TPixelFormat format);

class STILLORA_KIT_API TDIBReader {
public:
    // The source must outlive the reader and keep its pixels while it is read.
    explicit TDIBReader(const TPluginBitmap& source);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // Row r, 0 = top. Raises "No DIB" when the source has no pixels and
    // "Scan line index out of range" for r outside 0..height-1.
    const uint8_t* row(int32_t r) const;
    // Unchecked row table, one pointer per row (empty when there are no pixels).
    const uint8_t* const* rows() const { return rows_.data(); }
    // Pixel (row, column) as blue, green, red; black outside the picture.
    void readPixel(int32_t row, int32_t column, uint8_t bgr[3]) const;

private:
    std::vector<const uint8_t*> rows_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

class STILLORA_KIT_API TDIBWriter {
public:
    // Raises "Invalid Pixelformat" unless format is 24-bit (the only format the
    // effects write) and "Bad dimension" when width or height is zero.
    // inPlace: write straight into dest, which must already have this size and
    // format; otherwise a private buffer is allocated at the first row request
    // ("DIB out of memory" on failure).
    TDIBWriter(TPluginBitmap& dest, int32_t width, int32_t height, TPixelFormat format,
               bool inPlace);
    ~TDIBWriter();
    TDIBWriter(const TDIBWriter&) = delete;
    TDIBWriter& operator=(const TDIBWriter&) = delete;

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // Row r of the result, 0 = top; same errors as TDIBReader::row.
    uint8_t* row(int32_t r);
    // Hands a private buffer, if any was started, to the destination.
    void release() noexcept;

private:
    TPluginBitmap* dest_;
    int32_t width_;
    int32_t height_;
    size_t stride_;
    bool inPlace_;
    std::unique_ptr<uint8_t[]> buffer_;
};

// One effect pass from source to dest (which may be the same bitmap).
class STILLORA_KIT_API TBitmapRun {
public:
    // Checks that the source is 24-bit ("Invalid Pixelformat", dest untouched),
    // gives dest the source's format and size, and creates the writer ("Bad
    // dimension" for an empty source). pointwise: every output pixel depends
    // only on the input pixel at the same place, so source == dest may be
    // written in place.
    TBitmapRun(TPluginBitmap& source, TPluginBitmap& dest, bool pointwise = false);
    ~TBitmapRun();
    TBitmapRun(const TBitmapRun&) = delete;
    TBitmapRun& operator=(const TBitmapRun&) = delete;

    int32_t width() const { return reader_.width(); }
    int32_t height() const { return reader_.height(); }
    const TDIBReader& reader() const { return reader_; }
    TDIBWriter& writer() { return *writer_; }
    // Finishes the pass: the destination now holds every row written.
    void release() noexcept;

private:
    TDIBReader reader_;
    std::unique_ptr<TDIBWriter> writer_;
};

} // namespace stillora
