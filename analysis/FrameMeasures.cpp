#include "analysis/FrameMeasures.h"

#include <array>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace stillora {

double pictureDifference(const LumaPlane& a, const LumaPlane& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 255.0;
    std::array<int64_t, 32> ha{}, hb{};
    int64_t sum = 0;
    const size_t n = a.pixels.size();
    for (size_t i = 0; i < n; ++i) {
        const int pa = a.pixels[i], pb = b.pixels[i];
        sum += std::abs(pa - pb);
        ++ha[static_cast<size_t>(pa >> 3)];
        ++hb[static_cast<size_t>(pb >> 3)];
    }
    int64_t histogram = 0;
    for (size_t i = 0; i < ha.size(); ++i)
        histogram += std::abs(ha[i] - hb[i]);
    const double pixel = double(sum) / double(n);
    // Half the L1 distance of two histograms lies in 0..1.
    const double tones = 0.5 * double(histogram) / double(n) * 255.0;
    const double plain = 0.5 * (pixel + tones);
    // A fade scales the picture's tones: what the best straight-line fit of
    // one picture's pixels on the other's leaves unexplained stays small
    // then, and is large between two shots. Two nearly flat pictures have no
    // shape to compare: there the plain difference decides.
    double ma = 0, mb = 0;
    for (size_t i = 0; i < n; ++i) {
        ma += a.pixels[i];
        mb += b.pixels[i];
    }
    ma /= double(n);
    mb /= double(n);
    double va = 0, vb = 0, cov = 0;
    for (size_t i = 0; i < n; ++i) {
        const double da = a.pixels[i] - ma, db = b.pixels[i] - mb;
        va += da * da;
        vb += db * db;
        cov += da * db;
    }
    va /= double(n);
    vb /= double(n);
    cov /= double(n);
    constexpr double kFlat = 4.0; // variance of a picture without shape
    if (va < kFlat && vb < kFlat) return plain;
    const double r2 = va < kFlat || vb < kFlat ? 0.0 : std::min(1.0, cov * cov / (va * vb));
    const double unexplained = std::sqrt((1.0 - r2) * std::max(va, vb));
    return std::min(plain, unexplained);
}

double laplacianVariance(const LumaPlane& plane) {
    if (plane.width < 3 || plane.height < 3) return 0;
    double sum = 0, squares = 0;
    const int w = plane.width;
    const uint8_t* p = plane.pixels.data();
    for (int y = 1; y + 1 < plane.height; ++y) {
        const uint8_t* row = p + static_cast<size_t>(y) * w;
        for (int x = 1; x + 1 < w; ++x) {
            const int v = 4 * row[x] - row[x - 1] - row[x + 1] - row[x - w] - row[x + w];
            sum += v;
            squares += double(v) * v;
        }
    }
    const double count = double(w - 2) * double(plane.height - 2);
    const double mean = sum / count;
    return squares / count - mean * mean;
}

} // namespace stillora
