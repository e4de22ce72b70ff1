#pragma once
// The per-pixel engine shared by the effect plug-ins: numbered effect kinds
// that compute each destination pixel from the source of a TBitmapRun.
//
// For every pixel the engine applies the kind's rule to the enabled channels;
// disabled channels keep the source value, and kinds without a rule (0, 1, 10)
// leave enabled channels at 0. Kinds 3, 6, 7, 12 and 14 are not provided and
// raise an error, as do numbers outside 0..15.

#include "plugins/common/DibBridge.h"
#include "plugins/common/PluginKitApi.h"
#include "plugins/common/StilloraPlugin.h"

#include <cstdint>

namespace stillora {

enum TEffectKind : int32_t {
    ekNoise = 2,      // value: amount; mono: one draw per pixel
    ekGrey = 4,       // (largest + smallest) / 2 in every channel
    ekOldAspect = 5,  // successive greys per channel: a faint tint
    ekCircle = 8,     // value: radius of the spiral twist
    ekNegative = 9,   // value: threshold; channels at or above it are inverted
    ekSpray = 11,     // value: amount of random displacement
    ekAntialias = 13, // mean of the four direct neighbours
    ekLightness = 15, // value: amount added to each channel
};

// Optional progress report: (low, high, position) once per row.
using TProgressProc = void (*)(int32_t low, int32_t high, int32_t position);

struct TEngineArgs {
    int32_t kind = 0;
    bool red = true;
    bool green = true;
    bool blue = true;
    TPluginVariant value{}; // read as an integer
    bool mono = false;
    TProgressProc progress = nullptr;
};

// clamp for integers: high when v > high, low when v < low, else v.
constexpr int64_t Clamp(int64_t low, int64_t high, int64_t v) {
    return v > high ? high : (v < low ? low : v);
}
// clamp real: high when v >= high, low when v < low, else v truncated toward 0.
constexpr int32_t ClampReal(int32_t low, int32_t high, double v) {
    return v >= high ? high : (v < low ? low : static_cast<int32_t>(v));
}

// True for kinds whose output pixel depends only on the input pixel at the
// same place, so that a pass may write its source in place.
STILLORA_KIT_API bool IsPointwiseKind(int32_t kind);

// Runs the engine over a prepared pass. Errors propagate; the caller releases
// the run (its destructor does).
STILLORA_KIT_API void RunEngine(TBitmapRun& run, const TEngineArgs& args);

// One complete pass: check that the source is 24-bit ("Invalid Pixelformat"),
// create the run, run the engine and release the run, also when the engine
// raised an error, so that the destination receives the rows written.
STILLORA_KIT_API void RunEffectPass(TPluginBitmap& source, TPluginBitmap& dest,
                                    const TEngineArgs& args);

} // namespace stillora
