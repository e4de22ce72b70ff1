#include "video/MediaSource.h"
#include "video/NullMediaSource.h"

namespace stillora {

std::unique_ptr<MediaSource> createMediaSource() { return std::make_unique<NullMediaSource>(); }

} // namespace stillora
