#pragma once
// What one sequential decode of a stretch of video tells the generators:
// per frame its time, how it differs from the frames just before it, and how
// sharp it is. Scanning once and deciding afterwards lets the window show a
// new count for every change of a setting without decoding again.

#include "video/FrameScanner.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace stillora {

struct FrameProfile {
    // Frames before this one that it is compared with.
    static constexpr int kLookBack = 8;
    double seconds = 0; // after frame 0 of the video
    // back[k - 1]: pictureDifference() to the frame k before; -1 where that
    // frame lies before the scanned stretch.
    std::array<float, kLookBack> back;
    float sharpness = 0; // laplacianVariance(), when measured
};

struct VideoProfile {
    // Frame number of frames[0]: up to kLookBack frames before the first
    // frame asked for.
    int64_t first = 0;
    double frameRate = 0;
    bool hasSharpness = false;
    std::vector<FrameProfile> frames;
    int64_t last() const { return first + static_cast<int64_t>(frames.size()) - 1; }
    bool covers(int64_t from, int64_t to) const { return !frames.empty() && from >= first && to <= last(); }
};

struct ProfileRequest {
    std::string path;
    int64_t first = 0;
    int64_t last = -1; // -1: to the end
    bool sharpness = false;
    // For progress: frames the video has (0 unknown: the container's promise).
    int64_t frameCount = 0;
};

// Called with 0..100 as the scan goes; returns false to stop it.
using ScanProgress = std::function<bool(int percent)>;

// Decodes the requested stretch once and profiles it. False with *error
// when the video cannot be read or the scan was stopped.
bool scanProfile(const ProfileRequest& request, VideoProfile* profile, const ScanProgress& progress,
                 std::string* error, FrameScanner* scanner = nullptr);

// scanProfile() on a worker thread, so a window stays responsive.
// Threads: start(), cancel(), wait() and the getters are called from one
// thread (the window's); the scan runs on a thread of its own. percent() and
// finished() may be polled at any time; profile() and error() are read once
// finished() is true.
class ProfileJob {
public:
    ProfileJob() = default;
    ~ProfileJob();
    ProfileJob(const ProfileJob&) = delete;
    ProfileJob& operator=(const ProfileJob&) = delete;

    // Starts a scan; a scan still running is cancelled and waited for first.
    void start(const ProfileRequest& request);
    // Asks the scan to stop; finished() turns true soon after.
    void cancel();
    // Blocks until the scan has ended.
    void wait();
    bool started() const { return started_; }
    bool finished() const { return finished_; }
    int percent() const { return percent_; }
    // After finished(): true when the profile is complete.
    bool succeeded() const { return succeeded_; }
    const VideoProfile& profile() const { return profile_; }
    const std::string& error() const { return error_; }

private:
    std::thread worker_;
    FrameScanner scanner_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> percent_{0};
    bool started_ = false;
    bool succeeded_ = false; // written by the worker before finished_
    VideoProfile profile_;   // written by the worker before finished_
    std::string error_;
};

} // namespace stillora
