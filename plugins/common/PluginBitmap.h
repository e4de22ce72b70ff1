#pragma once
// TPluginBitmap: the device-independent bitmap shared by the host and the
// plug-ins. It lives in libstillora_pluginkit.so and links nothing but the C++
// runtime, so a plug-in can be built without Qt.
//
// Pixels are stored top row first; every row is padded to a multiple of four
// bytes (stride = ((width * bits per pixel + 31) & ~31) / 8), and padding
// bytes are kept zero. Byte order within a pixel:
//   32 bits: blue, green, red, reserved      24 bits: blue, green, red
//   16 bits: 5-6-5 little-endian word         15 bits: x-5-5-5 little-endian word
//    8 bits: index into the palette
//
// How the host hands a 32-bit frame (QImage::Format_RGB32 rows) to a plug-in
// and back:
//   TPluginBitmap bmp;
//   bmp.assignBGRX(img.width(), img.height(), img.constBits(), img.bytesPerLine());
//   run(&bmp, &dest);
//   QImage out(dest.width(), dest.height(), QImage::Format_RGB32);
//   dest.copyToBGRX(out.bits(), out.bytesPerLine());
//
// Errors are raised as TPluginError (PluginError.h).

#include "plugins/common/PluginError.h"
#include "plugins/common/PluginKitApi.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

// Pixel-format codes; the numbers are part of the interface.
enum class TPixelFormat : int32_t {
    pf8bit = 3,
    pf15bit = 4,
    pf16bit = 5,
    pf24bit = 6,
    pf32bit = 7,
};

class STILLORA_KIT_API TPluginBitmap {
public:
    // An empty (0 x 0) 32-bit bitmap.
    TPluginBitmap() = default;
    // A zero-filled bitmap; raises "Bad dimension" for negative sizes and
    // "DIB out of memory" when the pixels cannot be allocated.
    TPluginBitmap(int32_t width, int32_t height, TPixelFormat format = TPixelFormat::pf32bit);
    TPluginBitmap(const TPluginBitmap& other);
    TPluginBitmap(TPluginBitmap&& other) noexcept;
    // Full assignment: size, pixel format, palette and pixels.
    TPluginBitmap& operator=(const TPluginBitmap& other);
    TPluginBitmap& operator=(TPluginBitmap&& other) noexcept;
    ~TPluginBitmap();

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    TPixelFormat pixelFormat() const { return format_; }
    int bitsPerPixel() const { return BitsPerPixel(format_); }
    // Bytes per row, padding included.
    size_t stride() const { return stride_; }

    // Changes the size, keeping the pixel format; when the size changes the
    // pixels become zero (black, or palette index 0).
    void setSize(int32_t width, int32_t height);
    // Converts the pixels in place to another format. Converting to 8 bits
    // maps every pixel to the nearest palette entry; an empty palette is first
    // filled with a 3-3-2 colour cube. Unknown codes raise "Invalid Pixelformat".
    void setPixelFormat(TPixelFormat format);

    // Pixel row access, row 0 at the top; raises "Scan line index out of range"
    // for rows outside 0..height-1.
    uint8_t* scanLine(int32_t row);
    const uint8_t* scanLine(int32_t row) const;

    // Palette entries as 0x00RRGGBB (used by the 8-bit format).
    const std::vector<uint32_t>& palette() const { return palette_; }
    void setPalette(std::vector<uint32_t> entries);

    // One pixel as 0x00RRGGBB in any format; (0, 0, 0) outside the bitmap.
    uint32_t pixel(int32_t x, int32_t y) const;
    // Writes one pixel given as 0x00RRGGBB; ignored outside the bitmap. In the
    // 8-bit format the nearest palette entry is stored.
    void setPixel(int32_t x, int32_t y, uint32_t rgb);

    // Host hand-over: becomes a 32-bit copy of rows of blue, green, red,
    // reserved bytes, srcStride bytes apart (top row first).
    void assignBGRX(int32_t width, int32_t height, const uint8_t* rows, ptrdiff_t srcStride);
    // Writes the picture as 32-bit blue, green, red, 0 rows, dstStride bytes
    // apart, whatever the current format. dst must hold height rows.
    void copyToBGRX(uint8_t* dst, ptrdiff_t dstStride) const;

    // BMP files: 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed or with
    // bit-field masks, bottom-up or top-down. Loading replaces size, format,
    // palette and pixels; a malformed stream raises "Bitmap image is not valid"
    // and leaves the bitmap unchanged.
    void loadFromBMP(const uint8_t* data, size_t size);
    void loadFromStream(std::istream& in);
    std::vector<uint8_t> saveToBMP() const;
    void saveToStream(std::ostream& out) const;

    // Replaces size, format and pixels with a buffer of stride * height bytes
    // laid out as described above (the bitmap takes ownership; capacity is the
    // buffer's real size). Used by the bitmap bridge to hand over its result
    // without copying.
    void adoptPixels(int32_t width, int32_t height, TPixelFormat format,
                     std::unique_ptr<uint8_t[]> data, size_t capacity);

    static int BitsPerPixel(TPixelFormat format);
    static bool IsValidFormat(TPixelFormat format);
    // Row stride in bytes; raises "DIB out of memory" when stride * height
    // would not fit into memory.
    static size_t StrideFor(int32_t width, TPixelFormat format);
    static size_t ImageBytes(int32_t width, int32_t height, TPixelFormat format);

private:
    void reallocate(int32_t width, int32_t height, TPixelFormat format);
    uint8_t nearestIndex(uint32_t rgb) const;
    void convertGeneric(TPixelFormat format);

    int32_t width_ = 0;
    int32_t height_ = 0;
    TPixelFormat format_ = TPixelFormat::pf32bit;
    size_t stride_ = 0;
    size_t capacity_ = 0; // bytes allocated in data_
    std::unique_ptr<uint8_t[]> data_;
    std::vector<uint32_t> palette_;
};
