#include "plugins/toravine/LinearFilter.h"

#include "plugins/common/PixelEngine.h"
#include "plugins/common/Vectorize.h"

#include <algorithm>

#include <cstdlib>
#include <vector>

namespace stillora {

const TLinearFilter kGlowFilter = {
    1,
    3,
    {
        {0, 0, 0, 0, 0, 0, 0},
        {0, 1, 2, 2, 2, 1, 0},
        {0, 2, 0, 0, 0, 2, 0},
        {0, 2, 0, -20, 0, 2, 0},
        {0, 2, 0, 0, 0, 2, 0},
        {0, 1, 2, 2, 2, 1, 0},
        {0, 0, 0, 0, 0, 0, 0},
    },
    8,
    0,
    "Glow (Effects linear)",
};

namespace {

struct Tap {
    int32_t dy, dx, weight;
};

struct Plan {
    int32_t radius = 1;
    std::vector<Tap> taps; // non-zero weights only: zeros add nothing
    double scale = 1;      // 1 / divisor
    int32_t bias = 0;
    int shift = -1; // log2(divisor) when the integer path is exact, else -1
};

Plan MakePlan(const TLinearFilter& f) {
    Plan p;
    p.radius = (f.size >= 1 && f.size <= 3) ? f.size : 1;
    int64_t absSum = 0;
    for (int32_t dy = -p.radius; dy <= p.radius; ++dy)
        for (int32_t dx = -p.radius; dx <= p.radius; ++dx) {
            const int32_t w = f.kernel[3 + dy][3 + dx];
            if (w != 0) p.taps.push_back({dy, dx, w});
            absSum += std::llabs(int64_t(w));
        }
    const int32_t divisor = f.divisor == 0 ? 1 : f.divisor;
    p.scale = 1.0 / divisor;
    p.bias = f.bias;
    // A positive power-of-two divisor makes sum * (1 / divisor) exact, and an
    // arithmetic shift plus the bias then gives the same clamped result. The
    // fast path sums in 16 bits, so every partial sum must fit.
    if (divisor > 0 && (divisor & (divisor - 1)) == 0 && absSum * 255 <= INT16_MAX &&
        p.bias > -(1 << 20) && p.bias < (1 << 20)) {
        p.shift = 0;
        while ((1 << p.shift) < divisor)
            ++p.shift;
    }
    return p;
}

inline uint8_t Finish(const Plan& p, int64_t sum) {
    return uint8_t(ClampReal(0, 255, double(sum) * p.scale + p.bias));
}

// One pixel with the border mirroring; reads outside the picture count as 0.
void FilterPixel(const TDIBReader& reader, const Plan& p, int32_t y, int32_t x, uint8_t* out) {
    const int32_t w = reader.width(), h = reader.height(), k = p.radius;
    const uint8_t* const* rows = reader.rows();
    int64_t sum[3] = {0, 0, 0};
    for (const Tap& t : p.taps) {
        const int32_t rowSign = ((y < k && t.dy < 0) || (y > h - k - 1 && t.dy >= 1)) ? -1 : 1;
        const int32_t colSign = ((x < k && t.dx < 0) || (x > w - k - 1 && t.dx >= 1)) ? -1 : 1;
        const int32_t yy = y + rowSign * t.dy, xx = x + colSign * t.dx;
        if (yy < 0 || yy >= h || xx < 0 || xx >= w) continue;
        const uint8_t* s = rows[yy] + 3 * size_t(xx);
        sum[0] += int64_t(t.weight) * s[0];
        sum[1] += int64_t(t.weight) * s[1];
        sum[2] += int64_t(t.weight) * s[2];
    }
    out[0] = Finish(p, sum[0]);
    out[1] = Finish(p, sum[1]);
    out[2] = Finish(p, sum[2]);
}

// Columns radius..w-radius-1 of an interior row: no mirroring applies, so the
// row is one flat byte array and every tap is a shifted sweep over it, summed
// in 16 bits.
STILLORA_VECTOR_CLONES
void FilterInteriorSpan(const uint8_t* const* taps, const int16_t* weights, size_t tapCount,
                        size_t n, int shift, int32_t bias, int16_t* __restrict acc,
                        uint8_t* __restrict out) {
    for (size_t i = 0; i < n; ++i)
        acc[i] = 0;
    for (size_t t = 0; t < tapCount; ++t) {
        const uint8_t* __restrict s = taps[t];
        const int16_t weight = weights[t];
        for (size_t i = 0; i < n; ++i)
            acc[i] = int16_t(acc[i] + weight * s[i]);
    }
    for (size_t i = 0; i < n; ++i) {
        const int32_t v = (acc[i] >> shift) + bias;
        out[i] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
}

void FilterInteriorRow(const TDIBReader& reader, const Plan& p, int32_t y,
                       std::vector<const uint8_t*>& taps, const std::vector<int16_t>& weights,
                       std::vector<int16_t>& acc, uint8_t* out) {
    const size_t begin = 3 * size_t(p.radius);
    const size_t n = 3 * size_t(reader.width() - 2 * p.radius);
    for (size_t t = 0; t < p.taps.size(); ++t)
        taps[t] = reader.rows()[y + p.taps[t].dy] + (begin + 3 * p.taps[t].dx);
    FilterInteriorSpan(taps.data(), weights.data(), taps.size(), n, p.shift, p.bias, acc.data(),
                       out + begin);
}

} // namespace

void ApplyLinearFilter(TBitmapRun& run, const TLinearFilter& filter, const bool channels[4]) {
    const Plan plan = MakePlan(filter);
    const TDIBReader& reader = run.reader();
    TDIBWriter& writer = run.writer();
    const int32_t w = reader.width(), h = reader.height(), k = plan.radius;
    const bool on[3] = {channels[2], channels[1], channels[0]}; // blue, green, red bytes
    const bool allOn = on[0] && on[1] && on[2];
    std::vector<uint8_t> scratch(allOn ? 0 : 3 * size_t(w));
    std::vector<const uint8_t*> taps(plan.taps.size());
    std::vector<int16_t> weights;
    std::vector<int16_t> acc(3 * size_t(w));
    for (const Tap& t : plan.taps)
        weights.push_back(int16_t(plan.shift >= 0 ? t.weight : 0));

    for (int32_t y = 0; y < h; ++y) {
        uint8_t* dst = writer.row(y);
        const uint8_t* src = reader.row(y);
        uint8_t* out = allOn ? dst : scratch.data();
        const bool interiorRow = y >= k && y <= h - k - 1 && w > 2 * k && plan.shift >= 0;
        if (interiorRow) {
            FilterInteriorRow(reader, plan, y, taps, weights, acc, out);
            for (int32_t x = 0; x < k; ++x)
                FilterPixel(reader, plan, y, x, out + 3 * x);
            for (int32_t x = w - k; x < w; ++x)
                FilterPixel(reader, plan, y, x, out + 3 * x);
        } else {
            for (int32_t x = 0; x < w; ++x)
                FilterPixel(reader, plan, y, x, out + 3 * x);
        }
        if (!allOn) {
            for (size_t i = 0; i < 3 * size_t(w); i += 3)
                for (size_t c = 0; c < 3; ++c)
                    dst[i + c] = on[c] ? out[i + c] : src[i + c];
        }
    }
}

} // namespace stillora
