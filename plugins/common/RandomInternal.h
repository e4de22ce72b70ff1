#pragma once
// Kit-internal access to the shared random generator (not exported).

#include <cstddef>
#include <cstdint>

namespace stillora {
// The hash that turns draw n into its word: word = RandomMix(uint32_t(n) ^ key),
// where key depends on the seed and on the high half of n. Exposed so that a
// pass can compute its draws in the same loop that uses them.
constexpr uint32_t kRandomMixMul1 = 0x7feb352du;
constexpr uint32_t kRandomMixMul2 = 0x846ca68bu;

inline uint32_t RandomMix(uint32_t x) {
    x ^= x >> 16;
    x *= kRandomMixMul1;
    x ^= x >> 15;
    x *= kRandomMixMul2;
    x ^= x >> 16;
    return x;
}

// Takes the next count draws off the shared sequence without computing them:
// draw i of the request is RandomMix((low + i) ^ key). Returns false, and
// takes nothing, when the key would change within the request.
bool TakeDraws(size_t count, uint32_t* low, uint32_t* key);

// The next count draws (a multiple of 3), each group of three stored in
// reverse order, for effects whose pixels hold blue, green, red while the
// draws are taken red, green, blue.
void RandomWordsReversedTriples(uint32_t* out, size_t count);
} // namespace stillora
