#pragma once
// The avi exporter's options, as read from the Config page or the
// settings store and handed over in RenderSettings: the codec and options
// chosen last time in the compression dialog (or given to the batch tool),
// proposed again for the next movie.

#include <QString>

#include <cstdint>

namespace stillora {

struct AviSettings {
    // FourCC or encoder name of the codec; empty: nothing chosen yet, the
    // defaults (Cinepak) are proposed.
    QString handler;
    uint32_t quality = 5000; // 0 .. 10000
    uint32_t keyFrameEvery = 18;
    uint32_t bytesPerSecond = 153600;
    uint32_t flags = 6; // key frames (4) and data rate (2) in use
};

} // namespace stillora
