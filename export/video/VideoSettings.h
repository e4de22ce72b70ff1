#pragma once
// The MP4 / WebM movie's options, as read from the Config page ("MP4 / WebM
// Video") or the settings store and handed over in RenderSettings.

namespace stillora {

// Item indexes of rgVideoFormat; stored in settings, so new ones go at the end.
enum VideoFormat : int { VideoMp4 = 0, VideoWebm = 1 };

struct VideoSettings {
    int format = VideoMp4; // H.264 in MP4, or VP9 in WebM
    int frameRate = 25;    // spinVideoFrameRate, 1 to 60 frames per second
    int hold = 1;          // spinVideoHold: each still lasts this many frames, 1 to 9999
    int quality = 23;      // spinVideoQuality: constant rate factor 0 (best) to 51
};

} // namespace stillora
