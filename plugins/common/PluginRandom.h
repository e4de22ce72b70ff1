#pragma once
// The process-wide pseudo-random generator shared by the host and every
// plug-in. It lives in libstillora_pluginkit.so, so there is exactly one
// instance per process. It is seeded from the clock once, when the kit is
// loaded; plug-ins never reseed it, so two noise runs on the same picture
// differ. Tests call stillora_random_seed() to make runs repeatable.
//
// Draw n of the sequence is a 32-bit integer hash of n combined with a key
// derived from the seed; random(k) scales one draw to 0..k-1. Draws do not
// depend on each other, so a whole row of them is computed in parallel.
// All functions are safe to call from any thread (one lock per call).

#include "plugins/common/PluginKitApi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Uniform integer in 0..k-1; 0 when k <= 0. Consumes one draw. */
STILLORA_KIT_API int32_t stillora_random(int32_t k);

/* Restarts the sequence from seed (tests and repeatable runs only). */
STILLORA_KIT_API void stillora_random_seed(uint64_t seed);

/* Writes the next count raw 32-bit draws to out, exactly the draws count
 * calls of stillora_random would consume; map each with
 * stillora_random_scale(). Lets effects draw a whole row at once. */
STILLORA_KIT_API void stillora_random_words(uint32_t* out, size_t count);

/* Maps one raw draw to 0..k-1 the way stillora_random does (0 when k == 0). */
static inline uint32_t stillora_random_scale(uint32_t word, uint32_t k) {
    return (uint32_t)(((uint64_t)word * k) >> 32);
}

#ifdef __cplusplus
}
#endif
