#include "plugins/common/PixelEngine.h"

#include "plugins/common/PluginFrame.h"
#include "plugins/common/PluginRandom.h"
#include "plugins/common/RandomInternal.h"
#include "plugins/common/Vectorize.h"

#include <algorithm>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <cmath>
#include <vector>

namespace stillora {

namespace {

constexpr double kPi = 3.14159265358979323846;

inline int32_t Grey(int32_t a, int32_t b, int32_t c) {
    return (std::max({a, b, c}) + std::min({a, b, c})) / 2;
}

// ---- pointwise kinds: out may be the same memory as src --------------------

STILLORA_VECTOR_CLONES
void LightnessRow(const uint8_t* src, uint8_t* out, size_t n, int32_t amount) {
    // c + amount, 255 at or above 255, 0 below 0 (amount limited so the sum
    // cannot overflow; the limit does not change any result).
    const int32_t a = int32_t(Clamp(-256, 256, amount));
    for (size_t i = 0; i < n; ++i) {
        const int32_t v = src[i] + a;
        out[i] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
}

STILLORA_VECTOR_CLONES
void NegativeRow(const uint8_t* src, uint8_t* out, size_t n, int32_t threshold) {
    if (threshold <= 0) {
        for (size_t i = 0; i < n; ++i)
            out[i] = uint8_t(255 - src[i]);
    } else if (threshold > 255) {
        for (size_t i = 0; i < n; ++i)
            out[i] = src[i];
    } else {
        const uint8_t t = uint8_t(threshold);
        for (size_t i = 0; i < n; ++i)
            out[i] = src[i] < t ? src[i] : uint8_t(255 - src[i]);
    }
}

STILLORA_VECTOR_CLONES
void GreyRow(const uint8_t* src, uint8_t* out, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = src + 3 * x;
        const uint8_t g = uint8_t(Grey(p[0], p[1], p[2]));
        uint8_t* q = out + 3 * x;
        q[0] = q[1] = q[2] = g;
    }
}

STILLORA_VECTOR_CLONES
void OldAspectRow(const uint8_t* src, uint8_t* out, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        const int32_t b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
        // Each grey is taken of the pixel as updated by the previous step.
        const int32_t g1 = Grey(r, g, b);
        const int32_t g2 = Grey(g1, g, b);
        const int32_t g3 = Grey(g1, g2, b);
        out[3 * x] = uint8_t(g3);
        out[3 * x + 1] = uint8_t(g2);
        out[3 * x + 2] = uint8_t(g1);
    }
}

// Noise draws random(A) - A / 2, limited to -256..256 (a larger shift clamps
// to 0 or 255 all the same), with random(A) = (word * A) >> 32.
void NoiseDrawsScalar(const uint32_t* words, int16_t* noise, size_t count, int32_t amount) {
    const uint32_t k = amount > 0 ? uint32_t(amount) : 0u;
    for (size_t j = 0; j < count; ++j) {
        const int64_t n = int64_t(stillora_random_scale(words[j], k)) - amount / 2;
        noise[j] = int16_t(n < -256 ? -256 : (n > 256 ? 256 : n));
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same for 0 < A <= 256, sixteen draws at a time in 16-bit lanes. With
// w = hi * 2^16 + lo: (w * A) >> 32 = H1 + carry(H0 + L1), where hi * A =
// H1 * 2^16 + H0 and L1 = (lo * A) >> 16.
__attribute__((target("avx2"))) void NoiseDrawsAvx2(const uint32_t* words, int16_t* noise,
                                                    size_t count, int32_t amount) {
    const __m256i k = _mm256_set1_epi16(int16_t(amount));
    const __m256i half = _mm256_set1_epi16(int16_t(amount / 2));
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    size_t j = 0;
    for (; j + 16 <= count; j += 16) {
        const __m256i w0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + j));
        const __m256i w1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + j + 8));
        // Pack the halves of 16 draws into 16-bit lanes, in draw order.
        const __m256i lo = _mm256_permute4x64_epi64(
            _mm256_packus_epi32(_mm256_and_si256(w0, low16), _mm256_and_si256(w1, low16)), 0xD8);
        const __m256i hi = _mm256_permute4x64_epi64(
            _mm256_packus_epi32(_mm256_srli_epi32(w0, 16), _mm256_srli_epi32(w1, 16)), 0xD8);
        const __m256i h1 = _mm256_mulhi_epu16(hi, k);
        const __m256i h0 = _mm256_mullo_epi16(hi, k);
        const __m256i sum = _mm256_add_epi16(h0, _mm256_mulhi_epu16(lo, k));
        // Carry when the 16-bit sum wrapped, that is when h0 > sum (unsigned).
        const __m256i noCarry = _mm256_cmpeq_epi16(_mm256_max_epu16(sum, h0), sum);
        const __m256i r = _mm256_sub_epi16(_mm256_add_epi16(h1, _mm256_set1_epi16(1)),
                                           _mm256_and_si256(noCarry, _mm256_set1_epi16(1)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(noise + j), _mm256_sub_epi16(r, half));
    }
    NoiseDrawsScalar(words + j, noise + j, count - j, amount);
}

const bool g_hasAvx2 = __builtin_cpu_supports("avx2");
#endif

void NoiseDraws(const uint32_t* words, int16_t* noise, size_t count, int32_t amount) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (g_hasAvx2 && amount > 0 && amount <= 256)
        return NoiseDrawsAvx2(words, noise, count, amount);
#endif
    NoiseDrawsScalar(words, noise, count, amount);
}

inline uint8_t AddClamp(uint8_t c, int32_t n) {
    const int32_t v = c + n;
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

STILLORA_VECTOR_CLONES
void NoiseApply(const uint8_t* src, uint8_t* out, int32_t width, bool mono, const int16_t* n) {
    if (mono) {
        for (int32_t x = 0; x < width; ++x) {
            out[3 * x] = AddClamp(src[3 * x], n[x]);
            out[3 * x + 1] = AddClamp(src[3 * x + 1], n[x]);
            out[3 * x + 2] = AddClamp(src[3 * x + 2], n[x]);
        }
    } else {
        // The draws arrive in byte order already (blue, green, red).
        for (size_t i = 0; i < 3 * size_t(width); ++i) {
            const int16_t v = int16_t(src[i] + n[i]);
            out[i] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
}

struct NoiseScratch {
    std::vector<uint32_t> words;
    std::vector<int16_t> noise;
};

void NoiseRow(const uint8_t* src, uint8_t* out, int32_t width, int32_t amount, bool mono,
              NoiseScratch& scratch) {
    // Each pixel consumes its draws in the order red, green, blue; pixels
    // left to right. In colour mode the draws of a pixel are fetched in
    // reverse, matching the blue, green, red bytes.
    const size_t count = size_t(width) * (mono ? 1 : 3);
    scratch.words.resize(count);
    scratch.noise.resize(count);
    if (mono)
        stillora_random_words(scratch.words.data(), count);
    else
        RandomWordsReversedTriples(scratch.words.data(), count);
    NoiseDraws(scratch.words.data(), scratch.noise.data(), count, amount);
    NoiseApply(src, out, width, mono, scratch.noise.data());
}

// ---- neighbourhood kinds: out never aliases the source ---------------------

STILLORA_VECTOR_CLONES
void AntialiasRow(const TDIBReader& reader, int32_t y, const uint8_t* zeros,
                  uint8_t* __restrict out) {
    const int32_t w = reader.width(), h = reader.height();
    const int32_t yu = y < 1 ? y + 1 : y - 1;
    const int32_t yd = y >= h - 1 ? y - 1 : y + 1;
    const uint8_t* __restrict c = reader.row(y);
    const uint8_t* __restrict up = (yu >= 0 && yu < h) ? reader.row(yu) : zeros;
    const uint8_t* __restrict down = (yd >= 0 && yd < h) ? reader.row(yd) : zeros;
    // Interior columns 1..w-2: left and right neighbours are x-1 and x+1.
    const size_t end = w >= 2 ? 3 * size_t(w - 1) : 0;
    for (size_t i = 3; i < end; ++i)
        out[i] = uint8_t((unsigned(c[i - 3]) + c[i + 3] + up[i] + down[i]) >> 2);
    // Edge columns take the inner neighbour twice; outside the picture reads 0.
    const auto at = [&](int32_t x, int ch) -> unsigned {
        return (x >= 0 && x < w) ? c[3 * size_t(x) + size_t(ch)] : 0u;
    };
    for (int32_t x : {int32_t(0), w - 1}) {
        if (x < 0) continue;
        const int32_t left = x < 1 ? x + 1 : x - 1;
        const int32_t right = x >= w - 1 ? x - 1 : x + 1;
        for (int ch = 0; ch < 3; ++ch) {
            const size_t i = 3 * size_t(x) + size_t(ch);
            out[i] = uint8_t((at(left, ch) + at(right, ch) + up[i] + down[i]) / 4);
        }
    }
}

struct CircleState {
    int32_t rowLimit = 0;
    int32_t columnLimit = 0;
    int32_t radius = 1;
};

CircleState PrepareCircle(int32_t w, int32_t h, int32_t radius) {
    CircleState s;
    const double d = std::sqrt(double(w - 1) * (w - 1) + double(h - 1) * (h - 1));
    const double rounded = std::nearbyint(d);
    s.columnLimit = int32_t(Clamp(0, w - 1, int64_t(rounded)));
    s.rowLimit = int32_t(Clamp(0, h - 1, int64_t(rounded)));
    s.radius = radius == 0 ? 1 : radius;
    return s;
}

void CircleRow(const TDIBReader& reader, int32_t y, const CircleState& s, uint8_t* __restrict out) {
    const int32_t w = reader.width(), h = reader.height();
    const uint8_t* const* rows = reader.rows();
    for (int32_t x = 0; x < w; ++x) {
        uint8_t* q = out + 3 * size_t(x);
        if (y >= s.rowLimit || x >= s.columnLimit) {
            q[0] = q[1] = q[2] = 0;
            continue;
        }
        const double dx = x - w / 2;
        const double dy = y - h / 2;
        const double r = std::sqrt(dx * dx + dy * dy);
        double sx = 0, sy = 0;
        if (r != 0) {
            const double theta = std::atan2(dx, dy) - r / s.radius + kPi / 2;
            sx = r * std::cos(theta);
            sy = r * std::sin(theta);
        }
        const int64_t row = Clamp(0, h - 1, int64_t(std::trunc(h / 2 + sy)));
        const int64_t col = Clamp(0, w - 1, int64_t(std::trunc(w / 2 + sx)));
        const uint8_t* p = rows[row] + 3 * col;
        q[0] = p[0], q[1] = p[1], q[2] = p[2];
    }
}

void SprayRow(const TDIBReader& reader, int32_t y, int32_t amount, std::vector<uint32_t>& words,
              uint8_t* __restrict out) {
    const int32_t w = reader.width(), h = reader.height();
    const uint8_t* const* rows = reader.rows();
    // Three draws per pixel: the offset z, then the column, then the row.
    words.resize(3 * size_t(w));
    stillora_random_words(words.data(), words.size());
    const uint32_t k = amount > 0 ? uint32_t(amount) : 0u;
    for (int32_t x = 0; x < w; ++x) {
        const uint32_t* d = words.data() + 3 * size_t(x);
        const int64_t z = stillora_random_scale(d[0], k);
        const uint32_t span = uint32_t(2 * z);
        const int64_t sx = x + z - stillora_random_scale(d[1], span);
        const int64_t sy = y + z - stillora_random_scale(d[2], span);
        uint8_t* q = out + 3 * size_t(x);
        if (sx < 0 || sx >= w - 1 || sy < 0 || sy >= h - 1) {
            q[0] = q[1] = q[2] = 0;
        } else {
            const uint8_t* p = rows[sy] + 3 * sx;
            q[0] = p[0], q[1] = p[1], q[2] = p[2];
        }
    }
}

} // namespace

bool IsPointwiseKind(int32_t kind) {
    switch (kind) {
    case 0:
    case 1:
    case 10:
    case ekNoise:
    case ekGrey:
    case ekOldAspect:
    case ekNegative:
    case ekLightness:
        return true;
    default:
        return false;
    }
}

void RunEngine(TBitmapRun& run, const TEngineArgs& args) {
    switch (args.kind) {
    case 0:
    case 1:
    case 10:
    case ekNoise:
    case ekGrey:
    case ekOldAspect:
    case ekCircle:
    case ekNegative:
    case ekSpray:
    case ekAntialias:
    case ekLightness:
        break;
    default:
        throw TPluginError("Effect kind not available");
    }
    const TDIBReader& reader = run.reader();
    TDIBWriter& writer = run.writer();
    const int32_t w = reader.width(), h = reader.height();
    const size_t rowBytes = 3 * size_t(w);
    const int32_t value = VariantToInt(args.value);
    const bool allOn = args.red && args.green && args.blue;
    const bool on[3] = {args.blue, args.green, args.red}; // byte order in a pixel

    // With a channel disabled the rule writes to a scratch row first and the
    // source value is merged back afterwards.
    std::vector<uint8_t> scratch(allOn ? 0 : rowBytes);
    std::vector<uint8_t> zeros(args.kind == ekAntialias ? rowBytes : 0);
    std::vector<uint32_t> words;
    NoiseScratch noise;
    CircleState circle;
    if (args.kind == ekCircle) circle = PrepareCircle(w, h, value);

    for (int32_t y = 0; y < h; ++y) {
        if (args.progress) args.progress(0, 100, int32_t(std::nearbyint(double(y) / h * 100)));
        uint8_t* dst = writer.row(y);
        const uint8_t* src = reader.row(y);
        uint8_t* out = allOn ? dst : scratch.data();
        switch (args.kind) {
        case ekLightness:
            LightnessRow(src, out, rowBytes, value);
            break;
        case ekNegative:
            NegativeRow(src, out, rowBytes, value);
            break;
        case ekGrey:
            GreyRow(src, out, w);
            break;
        case ekOldAspect:
            OldAspectRow(src, out, w);
            break;
        case ekNoise:
            NoiseRow(src, out, w, value, args.mono, noise);
            break;
        case ekAntialias:
            AntialiasRow(reader, y, zeros.data(), out);
            break;
        case ekCircle:
            CircleRow(reader, y, circle, out);
            break;
        case ekSpray:
            SprayRow(reader, y, value, words, out);
            break;
        default: // kinds without a rule
            std::fill(out, out + rowBytes, uint8_t(0));
            break;
        }
        if (!allOn) {
            for (size_t i = 0; i < rowBytes; i += 3)
                for (size_t c = 0; c < 3; ++c)
                    dst[i + c] = on[c] ? out[i + c] : src[i + c];
        }
    }
}

void RunEffectPass(TPluginBitmap& source, TPluginBitmap& dest, const TEngineArgs& args) {
    TBitmapRun run(source, dest, IsPointwiseKind(args.kind));
    RunEngine(run, args);
    // run's destructor releases it, also when RunEngine raised an error
}

} // namespace stillora
