#include "plugins/common/PluginRandom.h"
#include "plugins/common/RandomInternal.h"

#include "plugins/common/Vectorize.h"

#include <chrono>
#include <mutex>

namespace {

// Draw n is a 32-bit mix of (n XOR a key); the key depends on the seed and on
// the high half of n. Draws do not depend on each other, so a row's worth can
// be computed in parallel.

inline uint32_t Mix(uint32_t x) {
    return stillora::RandomMix(x);
}

std::mutex g_lock;
uint64_t g_counter = 0; // index of the next draw
uint32_t g_seedKey = 0;

inline uint32_t KeyFor(uint32_t high) {
    return Mix(high * 0x9e3779b9u + g_seedKey);
}

void Seed(uint64_t seed) {
    g_seedKey = Mix(uint32_t(seed) ^ Mix(uint32_t(seed >> 32) + 0x632be5abu));
    g_counter = 0;
}

const bool g_seededFromClock = [] {
    Seed(uint64_t(std::chrono::system_clock::now().time_since_epoch().count()));
    return true;
}();

STILLORA_VECTOR_CLONES
void Fill(uint32_t* out, size_t count, uint32_t low, uint32_t key) {
    for (size_t i = 0; i < count; ++i)
        out[i] = Mix((low + uint32_t(i)) ^ key);
}

// The same draws as Fill, with every three consecutive draws stored in
// reverse order (count is a multiple of 3).
STILLORA_VECTOR_CLONES
void FillReversedTriples(uint32_t* out, size_t count, uint32_t low, uint32_t key) {
    constexpr size_t kBlock = 24;
    static constexpr uint32_t kOffset[kBlock] = {2,  1,  0,  5,  4,  3,  8,  7,  6,  11, 10, 9,
                                                 14, 13, 12, 17, 16, 15, 20, 19, 18, 23, 22, 21};
    size_t i = 0;
    for (; i + kBlock <= count; i += kBlock)
        for (size_t l = 0; l < kBlock; ++l)
            out[i + l] = Mix((low + uint32_t(i) + kOffset[l]) ^ key);
    for (; i < count; ++i) {
        const uint32_t first = uint32_t(i - i % 3);
        out[i] = Mix((low + first + 2 - uint32_t(i % 3)) ^ key);
    }
}

} // namespace

namespace stillora {
bool TakeDraws(size_t count, uint32_t* low, uint32_t* key) {
    std::lock_guard<std::mutex> guard(g_lock);
    const uint32_t l = uint32_t(g_counter);
    if ((uint64_t(1) << 32) - l < count) return false;
    *low = l;
    *key = KeyFor(uint32_t(g_counter >> 32));
    g_counter += count;
    return true;
}

void RandomWordsReversedTriples(uint32_t* out, size_t count) {
    std::lock_guard<std::mutex> guard(g_lock);
    const uint32_t low = uint32_t(g_counter);
    if ((uint64_t(1) << 32) - low < count) {
        // The key changes within this request: take the plain route.
        for (size_t i = 0; i + 2 < count; i += 3) {
            uint32_t triple[3];
            for (uint32_t& t : triple) {
                t = Mix(uint32_t(g_counter) ^ KeyFor(uint32_t(g_counter >> 32)));
                ++g_counter;
            }
            out[i] = triple[2], out[i + 1] = triple[1], out[i + 2] = triple[0];
        }
        return;
    }
    FillReversedTriples(out, count, low, KeyFor(uint32_t(g_counter >> 32)));
    g_counter += count;
}
} // namespace stillora

extern "C" int32_t stillora_random(int32_t k) {
    std::lock_guard<std::mutex> guard(g_lock);
    const uint32_t word = Mix(uint32_t(g_counter) ^ KeyFor(uint32_t(g_counter >> 32)));
    ++g_counter;
    return k <= 0 ? 0 : static_cast<int32_t>(stillora_random_scale(word, static_cast<uint32_t>(k)));
}

extern "C" void stillora_random_seed(uint64_t seed) {
    std::lock_guard<std::mutex> guard(g_lock);
    Seed(seed);
}

extern "C" void stillora_random_words(uint32_t* out, size_t count) {
    std::lock_guard<std::mutex> guard(g_lock);
    while (count > 0) {
        // Split where the low half of the counter wraps and the key changes.
        const uint32_t low = uint32_t(g_counter);
        const uint64_t untilWrap = (uint64_t(1) << 32) - low;
        const size_t n = size_t(count < untilWrap ? count : untilWrap);
        Fill(out, n, low, KeyFor(uint32_t(g_counter >> 32)));
        g_counter += n;
        out += n;
        count -= n;
    }
}
