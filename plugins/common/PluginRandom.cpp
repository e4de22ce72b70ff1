#include "plugins/common/PluginRandom.h"

#include <chrono>
#include <mutex>

namespace {

constexpr uint64_t kMul = 6364136223846793005ull;
constexpr uint64_t kInc = 1442695040888963407ull;

// Four steps at once: x(n+4) = kMul4 * x(n) + kInc4, so four interleaved lanes
// give the same sequence as single steps while the multiplies overlap.
constexpr uint64_t kMul2 = kMul * kMul;
constexpr uint64_t kInc2 = kInc * kMul + kInc;
constexpr uint64_t kMul4 = kMul2 * kMul2;
constexpr uint64_t kInc4 = kInc2 * kMul2 + kInc2;

std::mutex g_lock;
uint64_t g_state =
    static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());

inline uint32_t Step(uint64_t& state) {
    state = state * kMul + kInc;
    return static_cast<uint32_t>(state >> 32);
}

} // namespace

extern "C" int32_t stillora_random(int32_t k) {
    std::lock_guard<std::mutex> guard(g_lock);
    const uint32_t word = Step(g_state);
    return k <= 0 ? 0 : static_cast<int32_t>(stillora_random_scale(word, static_cast<uint32_t>(k)));
}

extern "C" void stillora_random_seed(uint64_t seed) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_state = seed;
}

extern "C" void stillora_random_words(uint32_t* out, size_t count) {
    std::lock_guard<std::mutex> guard(g_lock);
    size_t i = 0;
    if (count >= 8) {
        uint64_t lane[4];
        uint64_t s = g_state;
        for (int j = 0; j < 4; ++j) {
            s = s * kMul + kInc;
            lane[j] = s;
        }
        uint64_t last = s;
        for (; i + 4 <= count; i += 4) {
            last = lane[3];
            for (int j = 0; j < 4; ++j) {
                out[i + j] = static_cast<uint32_t>(lane[j] >> 32);
                lane[j] = lane[j] * kMul4 + kInc4;
            }
        }
        g_state = last; // the state that produced the last word written
    }
    for (; i < count; ++i)
        out[i] = Step(g_state);
}
