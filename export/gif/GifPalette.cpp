#include "export/gif/GifPalette.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace stillora {

namespace {

int clampByte(double v) {
    return std::clamp(int(std::lround(v)), 0, 255);
}

// A box of median cut: a run of histogram entries with its statistics.
struct Box {
    size_t begin = 0, end = 0;
    double weight = 0;
    double mean[3] = {0, 0, 0};
    double variance[3] = {0, 0, 0};
    double error = 0; // weight times the summed variances
};

float channel(const ColorHistogram::Entry& e, int axis) {
    return axis == 0 ? e.r : axis == 1 ? e.g : e.b;
}

void measure(Box& box, const std::vector<ColorHistogram::Entry>& entries) {
    double w = 0, s[3] = {0, 0, 0}, q[3] = {0, 0, 0};
    for (size_t i = box.begin; i < box.end; ++i) {
        const ColorHistogram::Entry& e = entries[i];
        const double ew = e.weight;
        const double c[3] = {e.r, e.g, e.b};
        w += ew;
        for (int a = 0; a < 3; ++a) {
            s[a] += ew * c[a];
            q[a] += ew * c[a] * c[a];
        }
    }
    box.weight = w;
    box.error = 0;
    for (int a = 0; a < 3; ++a) {
        box.mean[a] = w > 0 ? s[a] / w : 0;
        box.variance[a] = w > 0 ? std::max(0.0, q[a] / w - box.mean[a] * box.mean[a]) : 0;
        box.error += w * box.variance[a];
    }
}

} // namespace

ColorHistogram::ColorHistogram() : bins_(1 << 15) {
    used_.reserve(1 << 15);
}

void ColorHistogram::clear() {
    for (uint32_t bin : used_)
        bins_[bin] = Bin{};
    used_.clear();
    total_ = 0;
    exactOk_ = true;
    lastExact_ = 0xFFFFFFFF;
    exact_.clear();
    exactKeys_.clear();
}

void ColorHistogram::noteExact(uint32_t rgb) {
    lastExact_ = rgb;
    const auto at = std::lower_bound(exactKeys_.begin(), exactKeys_.end(), rgb);
    if (at != exactKeys_.end() && *at == rgb) return;
    if (exactKeys_.size() >= size_t(kExactLimit)) {
        exactOk_ = false;
        return;
    }
    exactKeys_.insert(at, rgb);
    exact_.push_back({uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
}

std::vector<ColorHistogram::Entry> ColorHistogram::entries() const {
    std::vector<Entry> out;
    out.reserve(used_.size());
    for (uint32_t bin : used_) {
        const Bin& b = bins_[bin];
        const float n = float(b.count);
        out.push_back({float(b.r) / n, float(b.g) / n, float(b.b) / n, b.count});
    }
    // Bins in a fixed order, so that the palette does not depend on the
    // order in which colours first appeared.
    std::sort(out.begin(), out.end(), [](const Entry& x, const Entry& y) {
        if (x.r != y.r) return x.r < y.r;
        if (x.g != y.g) return x.g < y.g;
        return x.b < y.b;
    });
    return out;
}

std::vector<PaletteColor> ChoosePalette(const ColorHistogram& histogram, int maxColors,
                                        int refinePasses) {
    maxColors = std::clamp(maxColors, 1, 256);
    if (histogram.hasExactColors() && int(histogram.exactColors().size()) <= maxColors) {
        std::vector<PaletteColor> exact = histogram.exactColors();
        std::sort(exact.begin(), exact.end(), [](const PaletteColor& x, const PaletteColor& y) {
            return (x.r << 16 | x.g << 8 | x.b) < (y.r << 16 | y.g << 8 | y.b);
        });
        return exact;
    }
    std::vector<ColorHistogram::Entry> entries = histogram.entries();
    if (entries.empty()) return {PaletteColor{}};

    // Median cut: split the box with the largest error along its widest
    // axis at the weighted median, until there are enough boxes.
    std::vector<Box> boxes(1);
    boxes[0].end = entries.size();
    measure(boxes[0], entries);
    while (int(boxes.size()) < maxColors) {
        int pick = -1;
        for (size_t i = 0; i < boxes.size(); ++i)
            if (boxes[i].end - boxes[i].begin > 1 && boxes[i].error > 0 &&
                (pick < 0 || boxes[i].error > boxes[size_t(pick)].error))
                pick = int(i);
        if (pick < 0) break;
        Box& box = boxes[size_t(pick)];
        int axis = 0;
        for (int a = 1; a < 3; ++a)
            if (box.variance[a] > box.variance[axis]) axis = a;
        std::sort(entries.begin() + long(box.begin), entries.begin() + long(box.end),
                  [axis](const ColorHistogram::Entry& x, const ColorHistogram::Entry& y) {
                      return channel(x, axis) < channel(y, axis);
                  });
        double half = box.weight / 2, run = 0;
        size_t cut = box.begin;
        while (cut < box.end - 1 && run + entries[cut].weight <= half)
            run += entries[cut++].weight;
        if (cut == box.begin) ++cut;
        Box upper;
        upper.begin = cut;
        upper.end = box.end;
        box.end = cut;
        measure(box, entries);
        measure(upper, entries);
        boxes.push_back(upper);
    }

    std::vector<PaletteColor> palette;
    palette.reserve(boxes.size());
    for (const Box& box : boxes)
        palette.push_back(
            {uint8_t(clampByte(box.mean[0])), uint8_t(clampByte(box.mean[1])),
             uint8_t(clampByte(box.mean[2]))});

    // k-means: move each colour to the mean of the entries nearest to it.
    for (int pass = 0; pass < refinePasses; ++pass) {
        const NearestColor nearest(palette);
        std::vector<double> sums(palette.size() * 4, 0.0);
        for (const ColorHistogram::Entry& e : entries) {
            const int i = nearest.exact(clampByte(e.r), clampByte(e.g), clampByte(e.b));
            double* s = &sums[size_t(i) * 4];
            s[0] += double(e.weight) * e.r;
            s[1] += double(e.weight) * e.g;
            s[2] += double(e.weight) * e.b;
            s[3] += e.weight;
        }
        bool moved = false;
        for (size_t i = 0; i < palette.size(); ++i) {
            const double* s = &sums[i * 4];
            if (s[3] <= 0) continue;
            const PaletteColor c{uint8_t(clampByte(s[0] / s[3])), uint8_t(clampByte(s[1] / s[3])),
                                 uint8_t(clampByte(s[2] / s[3]))};
            moved = moved || c != palette[i];
            palette[i] = c;
        }
        if (!moved) break;
    }
    // Two colours may have met.
    std::sort(palette.begin(), palette.end(), [](const PaletteColor& x, const PaletteColor& y) {
        return (x.r << 16 | x.g << 8 | x.b) < (y.r << 16 | y.g << 8 | y.b);
    });
    palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
    return palette;
}

NearestColor::NearestColor(const std::vector<PaletteColor>& palette)
    : palette_(palette) {
    if (palette_.empty()) palette_.push_back(PaletteColor{});
    if (palette_.size() > 256) palette_.resize(256);
    byGreen_.resize(palette_.size());
    for (size_t i = 0; i < palette_.size(); ++i)
        byGreen_[i] = uint8_t(i);
    std::stable_sort(byGreen_.begin(), byGreen_.end(),
                     [this](uint8_t x, uint8_t y) { return palette_[x].g < palette_[y].g; });
}

int NearestColor::exact(int r, int g, int b, int* distance) const {
    // Walk outwards from the first colour with this green, in both
    // directions, until the green difference alone exceeds the best match.
    const auto start = std::lower_bound(byGreen_.begin(), byGreen_.end(), g,
                                        [this](uint8_t i, int v) { return palette_[i].g < v; });
    long up = long(start - byGreen_.begin()), down = up - 1;
    const long n = long(byGreen_.size());
    int best = INT_MAX, bestIndex = byGreen_[size_t(std::min(up, n - 1))];
    while (up < n || down >= 0) {
        if (up < n) {
            const PaletteColor& c = palette_[byGreen_[size_t(up)]];
            const int dg = c.g - g;
            if (dg * dg >= best) {
                up = n;
            } else {
                const int dr = c.r - r, db = c.b - b;
                const int d = dr * dr + dg * dg + db * db;
                if (d < best || (d == best && byGreen_[size_t(up)] < bestIndex)) {
                    best = d;
                    bestIndex = byGreen_[size_t(up)];
                }
                ++up;
            }
        }
        if (down >= 0) {
            const PaletteColor& c = palette_[byGreen_[size_t(down)]];
            const int dg = c.g - g;
            if (dg * dg >= best) {
                down = -1;
            } else {
                const int dr = c.r - r, db = c.b - b;
                const int d = dr * dr + dg * dg + db * db;
                if (d < best || (d == best && byGreen_[size_t(down)] < bestIndex)) {
                    best = d;
                    bestIndex = byGreen_[size_t(down)];
                }
                --down;
            }
        }
    }
    if (distance) *distance = best;
    return bestIndex;
}

double NearestColor::meanError(const std::vector<ColorHistogram::Entry>& entries) const {
    double sum = 0, weight = 0;
    for (const ColorHistogram::Entry& e : entries) {
        int d = 0;
        exact(clampByte(e.r), clampByte(e.g), clampByte(e.b), &d);
        sum += double(d) * e.weight;
        weight += e.weight;
    }
    return weight > 0 ? sum / weight : 0;
}

} // namespace stillora
