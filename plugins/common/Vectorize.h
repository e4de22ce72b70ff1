#pragma once
// STILLORA_VECTOR_CLONES marks a hot pixel loop to be compiled twice, for the
// baseline instruction set and for AVX2, with the better one chosen when the
// kit is loaded. The loops use integer arithmetic only, so both versions give
// the same pixels.
//
// Not under ThreadSanitizer: the loader runs the clones' resolvers while it
// relocates the kit, before the sanitizer's runtime is set up, and an
// instrumented resolver crashes the program there.

#if defined(__x86_64__) && defined(__GNUC__) && defined(__ELF__) && !defined(__SANITIZE_THREAD__)
#define STILLORA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define STILLORA_VECTOR_CLONES
#endif
