#pragma once
// One sequential decode of a video file that hands every frame on as a small
// grey picture: the luma plane box-averaged down to at most a given width.
// Made for analysis over a whole file (scene changes, sharpness), where a
// forward decode without seeking is the fastest way through.
//
// Frames are numbered as everywhere in the media layer: frame N is the N-th
// frame the decode yields. Times are seconds after frame 0 by presentation
// time; a frame without a timestamp takes the previous one's plus one frame.
//
// Threads: an object is used by one thread at a time (typically a worker);
// cancel() may be called from any thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace stillora {

// A grey picture, one byte a pixel, rows back to back.
struct LumaPlane {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct ScannedFrame {
    int64_t number = 0;
    double seconds = 0;
    const LumaPlane& luma;
};

class FrameScanner {
public:
    FrameScanner();
    ~FrameScanner();
    FrameScanner(const FrameScanner&) = delete;
    FrameScanner& operator=(const FrameScanner&) = delete;

    // Planes come out at most this wide (default 480): the box factor is the
    // smallest whole number that brings the width down to it.
    void setMaxWidth(int width) { maxWidth_ = width < 8 ? 8 : width; }
    // Skips the deblocking filter while decoding: about a fifth faster on
    // H.264, pictures a little blockier; frame numbers are not affected.
    void setFastDecode(bool fast) { fastDecode_ = fast; }
    // Decoder threads; 0 (the default) lets libavcodec choose by the cores.
    void setDecoderThreads(int threads) { threads_ = threads < 0 ? 0 : threads; }

    // Opens the file's video stream. False with *error set on failure.
    bool open(const std::string& path, std::string* error);
    // Frames per second the stream promises (its average rate); 0 unknown.
    double frameRate() const { return rate_; }
    // Frames the container promises (0 when it does not say): for progress only.
    int64_t expectedFrames() const { return expected_; }

    // Decodes from the start and calls `each` for frames first..last
    // (last < 0: to the end); the decode stops after `last`. `each` returns
    // false to stop early. Returns false with *error when decoding could not
    // start or cancel() was called ("Cancelled."); reaching the end is success.
    using FrameHandler = std::function<bool(const ScannedFrame& frame)>;
    bool scan(int64_t first, int64_t last, const FrameHandler& each, std::string* error);

    // Any thread: makes a running scan() stop at the next frame.
    void cancel() { cancelled_ = true; }

private:
    struct Impl;
    Impl* impl_;
    int maxWidth_ = 480;
    bool fastDecode_ = false;
    int threads_ = 0;
    double rate_ = 0;
    int64_t expected_ = 0;
    std::atomic<bool> cancelled_{false};
};

// Box-averages a plane down by a whole factor in each direction (factor 1
// copies; every pixel counts); a partial box at the right or bottom edge is
// dropped.
LumaPlane shrinkPlane(const LumaPlane& plane, int factor);

} // namespace stillora
