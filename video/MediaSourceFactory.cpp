#include "video/FfmpegMediaSource.h"
#include "video/MediaSource.h"

namespace stillora {

std::unique_ptr<MediaSource> createMediaSource() {
    return std::make_unique<FfmpegMediaSource>();
}

} // namespace stillora
