#include "video/DisplayRotation.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <cmath>

namespace stillora {

int displayRotation(const AVStream& stream) {
    size_t size = 0;
    const uint8_t* matrix =
        av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t)) return 0;
    // The matrix gives the counter-clockwise angle of the stored picture.
    const double angle = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(angle)) return 0;
    const long quarter = std::lround(-angle / 90.0);
    return static_cast<int>(((quarter % 4) + 4) % 4) * 90;
}

} // namespace stillora
