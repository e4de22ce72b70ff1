#pragma once
// The animated GIF's options, as read from the Config page ("Animated GIF")
// or the settings store and handed over in RenderSettings.

namespace stillora {

struct GifSettings {
    int frameDurationMs = 1000; // spinGIFFrameDuration, 0 to 99999
    bool loop = false;          // chkGIFLoop: play forever, else once
};

} // namespace stillora
