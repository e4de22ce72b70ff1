#pragma once
// Colour reduction for GIF frames: a histogram of the pixels to be encoded,
// a palette chosen for it (median cut, refined by a few k-means passes, or
// the exact colours when there are few enough), and a nearest-colour search
// with a cache for mapping pixels. Plain C++; one thread at a time per object.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace stillora {

struct PaletteColor {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const PaletteColor& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const PaletteColor& o) const { return !(*this == o); }
};

// Pixels counted in bins of 5 bits per channel, with the exact mean of each
// bin, plus the exact colours while there are at most kExactLimit of them.
class ColorHistogram {
public:
    static constexpr int kExactLimit = 255;

    ColorHistogram();
    void clear();
    // `rgb` as 0x00RRGGBB (the low three bytes of a 32-bit frame pixel).
    void add(uint32_t rgb) {
        const uint32_t bin = ((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x03E0) | ((rgb >> 3) & 0x001F);
        Bin& b = bins_[bin];
        if (b.count++ == 0) used_.push_back(bin);
        ++total_;
        b.r += (rgb >> 16) & 0xFF;
        b.g += (rgb >> 8) & 0xFF;
        b.b += rgb & 0xFF;
        if (exactOk_ && (rgb & 0xFFFFFF) != lastExact_) noteExact(rgb & 0xFFFFFF);
    }
    int64_t total() const { return total_; }

    struct Entry {
        float r, g, b;
        uint32_t weight;
    };
    // One entry per occupied bin: its mean colour and pixel count.
    std::vector<Entry> entries() const;
    // The distinct colours, when there are at most kExactLimit; else empty.
    const std::vector<PaletteColor>& exactColors() const { return exactOk_ ? exact_ : none_; }
    bool hasExactColors() const { return exactOk_ && !exact_.empty(); }

private:
    struct Bin {
        uint32_t count = 0, r = 0, g = 0, b = 0;
    };
    void noteExact(uint32_t rgb);

    std::vector<Bin> bins_;
    std::vector<uint32_t> used_;
    int64_t total_ = 0;
    bool exactOk_ = true;
    uint32_t lastExact_ = 0xFFFFFFFF;
    std::vector<PaletteColor> exact_;
    std::vector<uint32_t> exactKeys_; // sorted, for the look-up
    std::vector<PaletteColor> none_;
};

// Up to `maxColors` colours for the histogram: its exact colours when they
// fit, otherwise median cut refined by `refinePasses` k-means passes.
std::vector<PaletteColor> ChoosePalette(const ColorHistogram& histogram, int maxColors,
                                        int refinePasses = 3);

// Nearest palette colour by squared RGB distance. Look-ups through find()
// are cached per cell of 7 bits per channel, so a cell answers with the
// colour found for the first value that fell into it (deterministic for a
// given order of look-ups).
class NearestColor {
public:
    explicit NearestColor(const std::vector<PaletteColor>& palette);
    const std::vector<PaletteColor>& palette() const { return palette_; }

    int find(int r, int g, int b) {
        if (cache_.empty()) cache_.assign(size_t(1) << 21, int16_t(-1));
        const uint32_t key = uint32_t((r >> 1) << 14 | (g >> 1) << 7 | (b >> 1));
        int16_t& slot = cache_[key];
        if (slot < 0) slot = int16_t(exact(r, g, b));
        return slot;
    }
    // The true nearest colour, not cached.
    int exact(int r, int g, int b, int* distance = nullptr) const;
    // Weighted mean squared distance of the histogram's entries to the palette.
    double meanError(const std::vector<ColorHistogram::Entry>& entries) const;

private:
    std::vector<PaletteColor> palette_;
    std::vector<uint8_t> byGreen_; // palette indexes sorted by green
    std::vector<int16_t> cache_; // made at the first find(): 4 MB
};

} // namespace stillora
