#pragma once
// Measures on small grey pictures that the selection generators decide by.

#include "video/FrameScanner.h"

namespace stillora {

// How different two pictures of the same size look, from 0 (alike) to 255:
// the mean of the per-pixel luma difference and of the difference of their
// luma histograms (32 bins, scaled to the same range). The histogram half
// keeps motion inside a shot low; the pixel half keeps two shots with the
// same tones apart. Pictures of different sizes count as 255.
double pictureDifference(const LumaPlane& a, const LumaPlane& b);

// Variance of the 4-neighbour Laplacian over the inner pixels: high for a
// sharp picture, low for a blurred one. 0 for pictures smaller than 3 x 3.
double laplacianVariance(const LumaPlane& plane);

} // namespace stillora
