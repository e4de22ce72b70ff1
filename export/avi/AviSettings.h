#pragma once
// The avi exporter's options, as read from the Config page or the
// settings store and handed over in RenderSettings.

namespace stillora {

struct AviSettings {};

} // namespace stillora
