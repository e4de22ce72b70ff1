#include "plugins/common/PluginBitmap.h"

#include "plugins/common/Vectorize.h"

#include <algorithm>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <cstring>
#include <istream>
#include <iterator>
#include <limits>
#include <new>
#include <ostream>
#include <utility>

namespace {

using stillora::kErrBadDimension;
using stillora::kErrInvalidBitmap;
using stillora::kErrInvalidPixelFormat;
using stillora::kErrOutOfMemory;
using stillora::kErrScanLine;

// Larger pictures are refused up front rather than asked of the allocator;
// this also keeps stride * height far from overflowing.
constexpr uint64_t kMaxImageBytes = uint64_t(1) << 36;

std::unique_ptr<uint8_t[]> Allocate(size_t bytes) {
    if (bytes == 0) return nullptr;
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[bytes]);
    if (!data) throw TPluginError(kErrOutOfMemory);
    return data;
}

inline uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

inline uint32_t Expand5(uint32_t v) {
    return (v << 3) | (v >> 2);
}
inline uint32_t Expand6(uint32_t v) {
    return (v << 2) | (v >> 4);
}

uint32_t ReadRgb(const uint8_t* row, int32_t x, TPixelFormat format,
                 const std::vector<uint32_t>& palette) {
    switch (format) {
    case TPixelFormat::pf32bit: {
        const uint8_t* p = row + 4 * size_t(x);
        return Rgb(p[2], p[1], p[0]);
    }
    case TPixelFormat::pf24bit: {
        const uint8_t* p = row + 3 * size_t(x);
        return Rgb(p[2], p[1], p[0]);
    }
    case TPixelFormat::pf16bit: {
        const uint32_t w = row[2 * size_t(x)] | (uint32_t(row[2 * size_t(x) + 1]) << 8);
        return Rgb(Expand5(w >> 11), Expand6((w >> 5) & 63), Expand5(w & 31));
    }
    case TPixelFormat::pf15bit: {
        const uint32_t w = row[2 * size_t(x)] | (uint32_t(row[2 * size_t(x) + 1]) << 8);
        return Rgb(Expand5((w >> 10) & 31), Expand5((w >> 5) & 31), Expand5(w & 31));
    }
    case TPixelFormat::pf8bit: {
        const uint8_t index = row[x];
        return index < palette.size() ? palette[index] & 0xFFFFFFu : 0;
    }
    }
    return 0;
}

// Writes every format but 8-bit, which needs the palette search.
void WriteRgb(uint8_t* row, int32_t x, TPixelFormat format, uint32_t rgb) {
    const uint32_t r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
    switch (format) {
    case TPixelFormat::pf32bit: {
        uint8_t* p = row + 4 * size_t(x);
        p[0] = uint8_t(b), p[1] = uint8_t(g), p[2] = uint8_t(r), p[3] = 0;
        break;
    }
    case TPixelFormat::pf24bit: {
        uint8_t* p = row + 3 * size_t(x);
        p[0] = uint8_t(b), p[1] = uint8_t(g), p[2] = uint8_t(r);
        break;
    }
    case TPixelFormat::pf16bit: {
        const uint32_t w = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        row[2 * size_t(x)] = uint8_t(w), row[2 * size_t(x) + 1] = uint8_t(w >> 8);
        break;
    }
    case TPixelFormat::pf15bit: {
        const uint32_t w = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        row[2 * size_t(x)] = uint8_t(w), row[2 * size_t(x) + 1] = uint8_t(w >> 8);
        break;
    }
    case TPixelFormat::pf8bit:
        break;
    }
}

STILLORA_VECTOR_CLONES
void Row32To24(const uint8_t* __restrict src, uint8_t* __restrict dst, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        dst[3 * x] = src[4 * x];
        dst[3 * x + 1] = src[4 * x + 1];
        dst[3 * x + 2] = src[4 * x + 2];
    }
}

void Row24To32Scalar(const uint8_t* __restrict src, uint8_t* __restrict dst, int32_t begin,
                     int32_t width) {
    for (int32_t x = begin; x < width; ++x) {
        dst[4 * x] = src[3 * x];
        dst[4 * x + 1] = src[3 * x + 1];
        dst[4 * x + 2] = src[3 * x + 2];
        dst[4 * x + 3] = 0;
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Four pixels per shuffle; the compiler does not find this one by itself.
__attribute__((target("ssse3"))) void Row24To32Ssse3(const uint8_t* __restrict src,
                                                     uint8_t* __restrict dst, int32_t width) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int32_t x = 0;
    // Each load reads 16 bytes from pixel x on: stay 6 pixels short of the end.
    for (; x + 6 <= width; x += 4) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), _mm_shuffle_epi8(in, spread));
    }
    Row24To32Scalar(src, dst, x, width);
}

const bool g_hasSsse3 = __builtin_cpu_supports("ssse3");
#endif

void Row24To32(const uint8_t* __restrict src, uint8_t* __restrict dst, int32_t width) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (g_hasSsse3) return Row24To32Ssse3(src, dst, width);
#endif
    Row24To32Scalar(src, dst, 0, width);
}

std::vector<uint32_t> ColourCube332() {
    std::vector<uint32_t> entries(256);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t r = (i >> 5) & 7, g = (i >> 2) & 7, b = i & 3;
        entries[i] = Rgb(r * 255 / 7, g * 255 / 7, b * 255 / 3);
    }
    return entries;
}

// Little-endian field access for BMP headers.
inline uint32_t U16(const uint8_t* p) {
    return p[0] | (uint32_t(p[1]) << 8);
}
inline uint32_t U32(const uint8_t* p) {
    return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF), Put16(out, v >> 16);
}

} // namespace

int TPluginBitmap::BitsPerPixel(TPixelFormat format) {
    switch (format) {
    case TPixelFormat::pf8bit:
        return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
        return 16;
    case TPixelFormat::pf24bit:
        return 24;
    case TPixelFormat::pf32bit:
        return 32;
    }
    return 0;
}

bool TPluginBitmap::IsValidFormat(TPixelFormat format) {
    return BitsPerPixel(format) != 0;
}

size_t TPluginBitmap::StrideFor(int32_t width, TPixelFormat format) {
    if (width < 0) throw TPluginError(kErrBadDimension);
    if (!IsValidFormat(format)) throw TPluginError(kErrInvalidPixelFormat);
    const uint64_t bits = uint64_t(width) * uint64_t(BitsPerPixel(format));
    return size_t(((bits + 31) & ~uint64_t(31)) / 8);
}

size_t TPluginBitmap::ImageBytes(int32_t width, int32_t height, TPixelFormat format) {
    if (height < 0) throw TPluginError(kErrBadDimension);
    const uint64_t stride = StrideFor(width, format);
    if (height > 0 && stride > kMaxImageBytes / uint64_t(height))
        throw TPluginError(kErrOutOfMemory);
    return size_t(stride * uint64_t(height));
}

TPluginBitmap::TPluginBitmap(int32_t width, int32_t height, TPixelFormat format) {
    reallocate(width, height, format);
}

TPluginBitmap::TPluginBitmap(const TPluginBitmap& other)
    : width_(other.width_), height_(other.height_), format_(other.format_), stride_(other.stride_),
      palette_(other.palette_) {
    const size_t bytes = stride_ * size_t(height_);
    data_ = Allocate(bytes);
    capacity_ = bytes;
    if (bytes) std::memcpy(data_.get(), other.data_.get(), bytes);
}

TPluginBitmap::TPluginBitmap(TPluginBitmap&& other) noexcept {
    *this = std::move(other);
}

TPluginBitmap& TPluginBitmap::operator=(const TPluginBitmap& other) {
    if (this == &other) return *this;
    const size_t bytes = other.stride_ * size_t(other.height_);
    if (bytes > capacity_) {
        data_ = Allocate(bytes);
        capacity_ = bytes;
    }
    width_ = other.width_;
    height_ = other.height_;
    format_ = other.format_;
    stride_ = other.stride_;
    palette_ = other.palette_;
    if (bytes) std::memcpy(data_.get(), other.data_.get(), bytes);
    return *this;
}

TPluginBitmap& TPluginBitmap::operator=(TPluginBitmap&& other) noexcept {
    if (this == &other) return *this;
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    format_ = other.format_;
    stride_ = std::exchange(other.stride_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    data_ = std::move(other.data_);
    palette_ = std::move(other.palette_);
    other.palette_.clear();
    return *this;
}

TPluginBitmap::~TPluginBitmap() = default;

void TPluginBitmap::reallocate(int32_t width, int32_t height, TPixelFormat format) {
    if (width < 0 || height < 0) throw TPluginError(kErrBadDimension);
    const size_t bytes = ImageBytes(width, height, format);
    if (bytes > capacity_) {
        data_ = Allocate(bytes);
        capacity_ = bytes;
    }
    if (bytes) std::memset(data_.get(), 0, bytes);
    width_ = width;
    height_ = height;
    format_ = format;
    stride_ = StrideFor(width, format);
}

void TPluginBitmap::setSize(int32_t width, int32_t height) {
    if (width == width_ && height == height_) return;
    reallocate(width, height, format_);
}

void TPluginBitmap::setPalette(std::vector<uint32_t> entries) {
    if (entries.size() > 256) entries.resize(256);
    palette_ = std::move(entries);
}

uint8_t* TPluginBitmap::scanLine(int32_t row) {
    if (row < 0 || row >= height_) throw TPluginError(kErrScanLine);
    return data_ ? data_.get() + size_t(row) * stride_ : nullptr;
}

const uint8_t* TPluginBitmap::scanLine(int32_t row) const {
    if (row < 0 || row >= height_) throw TPluginError(kErrScanLine);
    return data_ ? data_.get() + size_t(row) * stride_ : nullptr;
}

uint32_t TPluginBitmap::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return ReadRgb(data_.get() + size_t(y) * stride_, x, format_, palette_);
}

void TPluginBitmap::setPixel(int32_t x, int32_t y, uint32_t rgb) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* row = data_.get() + size_t(y) * stride_;
    if (format_ == TPixelFormat::pf8bit)
        row[x] = nearestIndex(rgb);
    else
        WriteRgb(row, x, format_, rgb);
}

uint8_t TPluginBitmap::nearestIndex(uint32_t rgb) const {
    const int r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (size_t i = 0; i < palette_.size(); ++i) {
        const int pr = (palette_[i] >> 16) & 255, pg = (palette_[i] >> 8) & 255,
                  pb = palette_[i] & 255;
        const long d = long(pr - r) * (pr - r) + long(pg - g) * (pg - g) + long(pb - b) * (pb - b);
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
            if (d == 0) break;
        }
    }
    return uint8_t(best);
}

void TPluginBitmap::setPixelFormat(TPixelFormat format) {
    if (!IsValidFormat(format)) throw TPluginError(kErrInvalidPixelFormat);
    if (format == format_) return;
    if (format == TPixelFormat::pf8bit && palette_.empty()) palette_ = ColourCube332();
    if (empty()) {
        stride_ = StrideFor(width_, format);
        format_ = format;
        return;
    }
    const size_t newStride = StrideFor(width_, format);
    const size_t newBytes = ImageBytes(width_, height_, format);
    uint8_t* base = data_.get();

    if (format_ == TPixelFormat::pf32bit && format == TPixelFormat::pf24bit) {
        // Compact in place, top row first: row r of the result ends before
        // row r + 1 of the original starts. Rows whose old and new places
        // overlap go through a copy.
        std::vector<uint8_t> temp(stride_);
        for (int32_t r = 0; r < height_; ++r) {
            const uint8_t* src = base + size_t(r) * stride_;
            uint8_t* dst = base + size_t(r) * newStride;
            if (dst + newStride > src) {
                std::memcpy(temp.data(), src, stride_);
                src = temp.data();
            }
            Row32To24(src, dst, width_);
            std::memset(dst + 3 * size_t(width_), 0, newStride - 3 * size_t(width_));
        }
    } else if (format_ == TPixelFormat::pf24bit && format == TPixelFormat::pf32bit) {
        if (newBytes > capacity_) {
            std::unique_ptr<uint8_t[]> fresh = Allocate(newBytes);
            for (int32_t r = 0; r < height_; ++r)
                Row24To32(base + size_t(r) * stride_, fresh.get() + size_t(r) * newStride, width_);
            data_ = std::move(fresh);
            capacity_ = newBytes;
        } else {
            // Expand in place, bottom row first: row r of the result starts
            // after row r - 1 of the original ends.
            std::vector<uint8_t> temp(stride_);
            for (int32_t r = height_ - 1; r >= 0; --r) {
                const uint8_t* src = base + size_t(r) * stride_;
                uint8_t* dst = base + size_t(r) * newStride;
                if (dst < src + stride_) {
                    std::memcpy(temp.data(), src, stride_);
                    src = temp.data();
                }
                Row24To32(src, dst, width_);
            }
        }
    } else {
        convertGeneric(format);
        return;
    }
    format_ = format;
    stride_ = newStride;
}

void TPluginBitmap::convertGeneric(TPixelFormat format) {
    const size_t newStride = StrideFor(width_, format);
    const size_t newBytes = ImageBytes(width_, height_, format);
    std::unique_ptr<uint8_t[]> fresh = Allocate(newBytes);
    std::memset(fresh.get(), 0, newBytes);
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* src = data_.get() + size_t(y) * stride_;
        uint8_t* dst = fresh.get() + size_t(y) * newStride;
        for (int32_t x = 0; x < width_; ++x) {
            const uint32_t rgb = ReadRgb(src, x, format_, palette_);
            if (format == TPixelFormat::pf8bit)
                dst[x] = nearestIndex(rgb);
            else
                WriteRgb(dst, x, format, rgb);
        }
    }
    data_ = std::move(fresh);
    capacity_ = newBytes;
    format_ = format;
    stride_ = newStride;
}

void TPluginBitmap::adoptPixels(int32_t width, int32_t height, TPixelFormat format,
                                std::unique_ptr<uint8_t[]> data, size_t capacity) {
    const size_t bytes = ImageBytes(width, height, format);
    if (bytes > capacity || (bytes && !data)) throw TPluginError(kErrOutOfMemory);
    data_ = std::move(data);
    capacity_ = capacity;
    width_ = width;
    height_ = height;
    format_ = format;
    stride_ = StrideFor(width, format);
}

void TPluginBitmap::assignBGRX(int32_t width, int32_t height, const uint8_t* rows,
                               ptrdiff_t srcStride) {
    const size_t bytes = ImageBytes(width, height, TPixelFormat::pf32bit);
    if (bytes > capacity_) {
        data_ = Allocate(bytes);
        capacity_ = bytes;
    }
    width_ = width;
    height_ = height;
    format_ = TPixelFormat::pf32bit;
    stride_ = StrideFor(width, format_);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(data_.get() + size_t(y) * stride_, rows + y * srcStride, 4 * size_t(width));
}

void TPluginBitmap::copyToBGRX(uint8_t* dst, ptrdiff_t dstStride) const {
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* src = data_.get() + size_t(y) * stride_;
        uint8_t* out = dst + y * dstStride;
        if (format_ == TPixelFormat::pf32bit) {
            for (int32_t x = 0; x < width_; ++x) {
                out[4 * x] = src[4 * x];
                out[4 * x + 1] = src[4 * x + 1];
                out[4 * x + 2] = src[4 * x + 2];
                out[4 * x + 3] = 255;
            }
        } else if (format_ == TPixelFormat::pf24bit) {
            for (int32_t x = 0; x < width_; ++x) {
                out[4 * x] = src[3 * x];
                out[4 * x + 1] = src[3 * x + 1];
                out[4 * x + 2] = src[3 * x + 2];
                out[4 * x + 3] = 255;
            }
        } else {
            for (int32_t x = 0; x < width_; ++x) {
                const uint32_t rgb = ReadRgb(src, x, format_, palette_);
                out[4 * x] = uint8_t(rgb), out[4 * x + 1] = uint8_t(rgb >> 8);
                out[4 * x + 2] = uint8_t(rgb >> 16), out[4 * x + 3] = 255;
            }
        }
    }
}

void TPluginBitmap::loadFromBMP(const uint8_t* data, size_t size) {
    const auto fail = [] { throw TPluginError(kErrInvalidBitmap); };
    if (!data || size < 14 + 12 || data[0] != 'B' || data[1] != 'M') fail();
    const uint64_t pixelOffset = U32(data + 10);
    const uint8_t* info = data + 14;
    const uint32_t headerSize = U32(info);
    if (headerSize < 12 || 14 + uint64_t(headerSize) > size) fail();

    int64_t width, height;
    uint32_t bpp, compression = 0, coloursUsed = 0;
    size_t paletteEntrySize = 4;
    uint32_t masks[3] = {0, 0, 0};
    uint64_t paletteOffset = 14 + uint64_t(headerSize);
    if (headerSize == 12) {
        width = U16(info + 4);
        height = int16_t(U16(info + 6));
        bpp = U16(info + 10);
        paletteEntrySize = 3;
    } else {
        if (headerSize < 40) fail();
        width = int32_t(U32(info + 4));
        height = int32_t(U32(info + 8));
        bpp = U16(info + 14);
        compression = U32(info + 16);
        coloursUsed = U32(info + 32);
        if (compression == 3) {
            const uint8_t* m = info + 40;
            if (headerSize == 40) {
                if (14 + 40 + 12 > size) fail();
                paletteOffset += 12;
            }
            masks[0] = U32(m), masks[1] = U32(m + 4), masks[2] = U32(m + 8);
        } else if (compression != 0) {
            fail();
        }
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) fail();

    TPixelFormat format;
    switch (bpp) {
    case 1:
    case 4:
    case 8:
        format = TPixelFormat::pf8bit;
        if (compression != 0) fail();
        break;
    case 16:
        if (compression == 0 || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F))
            format = TPixelFormat::pf15bit;
        else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
            format = TPixelFormat::pf16bit;
        else
            fail();
        break;
    case 24:
        format = TPixelFormat::pf24bit;
        if (compression != 0) fail();
        break;
    case 32:
        if (compression == 3 && !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
            fail();
        format = TPixelFormat::pf32bit;
        break;
    default:
        fail();
    }

    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        uint64_t count = coloursUsed ? coloursUsed : (uint64_t(1) << bpp);
        if (count > 256) fail();
        if (paletteOffset + count * paletteEntrySize > size) fail();
        for (uint64_t i = 0; i < count; ++i) {
            const uint8_t* p = data + paletteOffset + i * paletteEntrySize;
            palette.push_back(Rgb(p[2], p[1], p[0]));
        }
    }

    const uint64_t srcStride = ((uint64_t(width) * bpp + 31) & ~uint64_t(31)) / 8;
    if (srcStride > kMaxImageBytes / uint64_t(height)) fail();
    if (pixelOffset > size || srcStride * uint64_t(height) > size - pixelOffset) fail();

    TPluginBitmap result(int32_t(width), int32_t(height), format);
    result.palette_ = std::move(palette);
    const size_t copyBytes = std::min<size_t>(result.stride_, size_t(srcStride));
    for (int32_t y = 0; y < result.height_; ++y) {
        const int64_t stored = topDown ? y : height - 1 - y;
        const uint8_t* src = data + pixelOffset + uint64_t(stored) * srcStride;
        uint8_t* dst = result.data_.get() + size_t(y) * result.stride_;
        if (bpp >= 8) {
            // Copy the pixels only; the padding of the result stays zero.
            std::memcpy(dst, src, std::min(copyBytes, size_t(width) * (bpp / 8)));
        } else {
            const int perByte = 8 / int(bpp);
            const uint32_t mask = (1u << bpp) - 1;
            for (int32_t x = 0; x < result.width_; ++x) {
                const int shift = 8 - int(bpp) * (x % perByte + 1);
                dst[x] = uint8_t((src[x / perByte] >> shift) & mask);
            }
        }
    }
    *this = std::move(result);
}

void TPluginBitmap::loadFromStream(std::istream& in) {
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    loadFromBMP(bytes.data(), bytes.size());
}

std::vector<uint8_t> TPluginBitmap::saveToBMP() const {
    const bool masks = format_ == TPixelFormat::pf16bit;
    const size_t paletteCount =
        format_ == TPixelFormat::pf8bit ? (palette_.empty() ? 256 : palette_.size()) : 0;
    const size_t headerBytes = 40 + (masks ? 12 : 0) + 4 * paletteCount;
    const size_t imageBytes = stride_ * size_t(height_);
    const size_t fileBytes = 14 + headerBytes + imageBytes;
    if (fileBytes > UINT32_MAX) throw TPluginError(kErrOutOfMemory);

    std::vector<uint8_t> out;
    out.reserve(fileBytes);
    Put16(out, 19778); // "BM"
    Put32(out, uint32_t(fileBytes));
    Put32(out, 0);
    Put32(out, uint32_t(14 + headerBytes));
    Put32(out, 40);
    Put32(out, uint32_t(width_));
    Put32(out, uint32_t(height_)); // positive: rows stored bottom-up
    Put16(out, 1);
    Put16(out, uint32_t(BitsPerPixel(format_)));
    Put32(out, masks ? 3 : 0);
    Put32(out, uint32_t(imageBytes));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, uint32_t(paletteCount));
    Put32(out, 0);
    if (masks) Put32(out, 0xF800), Put32(out, 0x07E0), Put32(out, 0x001F);
    for (size_t i = 0; i < paletteCount; ++i)
        Put32(out, i < palette_.size() ? palette_[i] : 0);
    for (int32_t y = height_ - 1; y >= 0; --y) {
        const uint8_t* row = data_.get() + size_t(y) * stride_;
        out.insert(out.end(), row, row + stride_);
    }
    return out;
}

void TPluginBitmap::saveToStream(std::ostream& out) const {
    const std::vector<uint8_t> bytes = saveToBMP();
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
