#pragma once
// The gallery exporter's options, as read from the Config page or the
// settings store and handed over in RenderSettings.

namespace stillora {

struct GallerySettings {};

} // namespace stillora
