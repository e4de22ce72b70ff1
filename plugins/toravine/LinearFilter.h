#pragma once
// Linear convolution filters over a 24-bit bitmap pass, with the kernel
// mirrored at the picture's borders: a pixel within the kernel radius of an
// edge turns every offset that points toward that edge around, so it samples
// the inside of the picture instead.

#include "plugins/common/DibBridge.h"

#include <cstdint>

namespace stillora {

// One filter description. Only the convolution kind (1) exists.
struct TLinearFilter {
    uint8_t kind;         // 1 = convolution kernel
    uint8_t size;         // kernel radius 1, 2 or 3 (3 x 3 to 7 x 7); other values count as 1
    int32_t kernel[7][7]; // weights by row; the centre is [3][3]
    int32_t divisor;      // the weighted sum is divided by it; 0 counts as 1
    int32_t bias;         // added after the division
    char name[129];
};

// The glow: a ring of positive weights around a strongly negative centre,
// adding up to the divisor so that flat areas keep their value.
extern const TLinearFilter kGlowFilter;

// Convolves the run's source into its destination in the red-green-blue
// colour model. channels[0..2] enable red, green and blue; channels[3] is the
// fourth channel, which this model does not have. Disabled channels keep the
// source value. Each result is the weighted sum / divisor + bias, 255 at or
// above 255, 0 below 0, otherwise truncated.
void ApplyLinearFilter(TBitmapRun& run, const TLinearFilter& filter, const bool channels[4]);

} // namespace stillora
