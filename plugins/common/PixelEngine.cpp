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

inline uint8_t AddClamp(uint8_t c, int32_t n) {
    const int32_t v = c + n;
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
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

// Eight draws at once: RandomMix(counter ^ key) scaled to 0..A-1, with A
// in the low half of each 64-bit lane of k.
__attribute__((target("avx2"), always_inline)) inline __m256i ScaledDraws(__m256i counters,
                                                                          __m256i keys, __m256i k) {
    const __m256i mul1 = _mm256_set1_epi32(int32_t(kRandomMixMul1));
    const __m256i mul2 = _mm256_set1_epi32(int32_t(kRandomMixMul2));
    __m256i x = _mm256_xor_si256(counters, keys);
    x = _mm256_xor_si256(x, _mm256_srli_epi32(x, 16));
    x = _mm256_mullo_epi32(x, mul1);
    x = _mm256_xor_si256(x, _mm256_srli_epi32(x, 15));
    x = _mm256_mullo_epi32(x, mul2);
    x = _mm256_xor_si256(x, _mm256_srli_epi32(x, 16));
    // (word * A) >> 32 per lane: even lanes from one 32x32->64 product,
    // odd lanes from another.
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(x, k), 32);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(x, 32), k);
    return _mm256_blend_epi32(even, odd, 0xAA);
}

// Draw offsets of the bytes of a block of whole pixels: byte j takes draw
// j + 2 - 2 * (j % 3), as a pixel's bytes run blue, green, red while its
// draws run red, green, blue.
template <size_t N> struct TripleOffsets {
    alignas(64) int32_t v[N];
    constexpr TripleOffsets() : v() {
        for (size_t j = 0; j < N; ++j)
            v[j] = int32_t(j + 2 - 2 * (j % 3));
    }
};

// Colour noise on bytes from .. count - 1 one at a time: the remainder of a
// row after the whole blocks of the vector loops below.
void NoiseColourTail(const uint8_t* src, uint8_t* out, size_t from, size_t count, int32_t amount,
                     uint32_t low, uint32_t key) {
    for (size_t i = from; i < count; ++i) {
        const uint32_t draw = low + uint32_t(i) + 2 - 2 * uint32_t(i % 3);
        const int32_t n =
            int32_t(stillora_random_scale(RandomMix(draw ^ key), uint32_t(amount))) - amount / 2;
        out[i] = AddClamp(src[i], n);
    }
}

// Colour noise with the draws computed, scaled and added in one pass, for
// 0 < A <= 256 and draws low .. low + count - 1 all under one key. Gives the
// same bytes as drawing the words, scaling them and adding them in separate
// passes, without the words or the noise ever leaving the registers.
__attribute__((target("avx2"))) void NoiseColourFusedAvx2(const uint8_t* src, uint8_t* out,
                                                          size_t count, int32_t amount,
                                                          uint32_t low, uint32_t key) {
    static constexpr TripleOffsets<96> kOffset; // 32 pixels, three 32-byte stores
    const __m256i keys = _mm256_set1_epi32(int32_t(key));
    const __m256i k = _mm256_set1_epi64x(amount);
    const __m256i half = _mm256_set1_epi8(char(amount / 2));
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    size_t i = 0;
    for (; i + 96 <= count; i += 96) {
        const __m256i base = _mm256_set1_epi32(int32_t(low + uint32_t(i)));
        for (size_t s = 0; s < 3; ++s) {
            __m256i r[4];
            for (size_t v = 0; v < 4; ++v)
                r[v] = ScaledDraws(
                    _mm256_add_epi32(base, _mm256_load_si256(reinterpret_cast<const __m256i*>(
                                               kOffset.v + 32 * s + 8 * v))),
                    keys, k);
            // Thirty-two draws (each below 256) to bytes in draw order.
            const __m256i bytes =
                _mm256_permutevar8x32_epi32(_mm256_packus_epi16(_mm256_packus_epi32(r[0], r[1]),
                                                                _mm256_packus_epi32(r[2], r[3])),
                                            order);
            // With r = random(A) in 0..255: clamp(c + r - A/2, 0, 255) =
            // (c +sat max(r - A/2, 0)) -sat max(A/2 - r, 0) in unsigned
            // saturating byte arithmetic, as at most one of the two is non-zero.
            const __m256i up = _mm256_subs_epu8(bytes, half);
            const __m256i down = _mm256_subs_epu8(half, bytes);
            const __m256i c =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 32 * s));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 32 * s),
                                _mm256_subs_epu8(_mm256_adds_epu8(c, up), down));
        }
    }
    NoiseColourTail(src, out, i, count, amount, low, key);
}

// The same with 512-bit vectors, where the processor has them. (GCC 12's
// AVX-512 headers set off a false "may be used uninitialized" warning for
// their undefined-vector placeholders; it is silenced here only.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
__attribute__((target("avx512f,avx512bw"))) void
NoiseColourFusedAvx512(const uint8_t* src, uint8_t* out, size_t count, int32_t amount, uint32_t low,
                       uint32_t key) {
    static constexpr TripleOffsets<192> kOffset; // 64 pixels, three 64-byte stores
    const __m512i mul1 = _mm512_set1_epi32(int32_t(kRandomMixMul1));
    const __m512i mul2 = _mm512_set1_epi32(int32_t(kRandomMixMul2));
    const __m512i keys = _mm512_set1_epi32(int32_t(key));
    const __m512i k = _mm512_set1_epi64(amount);
    const __m512i half = _mm512_set1_epi8(char(amount / 2));
    const __m512i order = _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    size_t i = 0;
    for (; i + 192 <= count; i += 192) {
        const __m512i base = _mm512_set1_epi32(int32_t(low + uint32_t(i)));
        for (size_t s = 0; s < 3; ++s) {
            __m512i r[4];
            for (size_t v = 0; v < 4; ++v) {
                __m512i x = _mm512_xor_si512(
                    _mm512_add_epi32(base, _mm512_load_si512(kOffset.v + 64 * s + 16 * v)), keys);
                x = _mm512_xor_si512(x, _mm512_srli_epi32(x, 16));
                x = _mm512_mullo_epi32(x, mul1);
                x = _mm512_xor_si512(x, _mm512_srli_epi32(x, 15));
                x = _mm512_mullo_epi32(x, mul2);
                x = _mm512_xor_si512(x, _mm512_srli_epi32(x, 16));
                // (word * A) >> 32: even lanes from one 32x32->64 product, odd
                // lanes from another.
                const __m512i even = _mm512_srli_epi64(_mm512_mul_epu32(x, k), 32);
                const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(x, 32), k);
                r[v] = _mm512_mask_blend_epi32(__mmask16(0xAAAA), even, odd);
            }
            const __m512i bytes = _mm512_permutexvar_epi32(
                order, _mm512_packus_epi16(_mm512_packus_epi32(r[0], r[1]),
                                           _mm512_packus_epi32(r[2], r[3])));
            // The clamped sum as in the AVX2 loop.
            const __m512i up = _mm512_subs_epu8(bytes, half);
            const __m512i down = _mm512_subs_epu8(half, bytes);
            const __m512i c = _mm512_loadu_si512(src + i + 64 * s);
            _mm512_storeu_si512(out + i + 64 * s, _mm512_subs_epu8(_mm512_adds_epu8(c, up), down));
        }
    }
    NoiseColourTail(src, out, i, count, amount, low, key);
}
#pragma GCC diagnostic pop

const bool g_hasAvx2 = __builtin_cpu_supports("avx2");
const bool g_hasAvx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#endif

void NoiseDraws(const uint32_t* words, int16_t* noise, size_t count, int32_t amount) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (g_hasAvx2 && amount > 0 && amount <= 256)
        return NoiseDrawsAvx2(words, noise, count, amount);
#endif
    NoiseDrawsScalar(words, noise, count, amount);
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
#if defined(__x86_64__) && defined(__GNUC__)
    // Colour mode in one pass, so the draws never leave the registers.
    uint32_t low = 0, key = 0;
    if (g_hasAvx2 && !mono && amount > 0 && amount <= 256 && TakeDraws(count, &low, &key)) {
        if (g_hasAvx512) return NoiseColourFusedAvx512(src, out, count, amount, low, key);
        return NoiseColourFusedAvx2(src, out, count, amount, low, key);
    }
#endif
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
