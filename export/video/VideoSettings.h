#pragma once
// The video exporter's options, as read from the Config page or the
// settings store and handed over in RenderSettings.

namespace stillora {

struct VideoSettings {};

} // namespace stillora
