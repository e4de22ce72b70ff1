#include "analysis/VideoProfile.h"

#include "analysis/FrameMeasures.h"

#include <algorithm>
#include <deque>

namespace stillora {

namespace {
// Scene measures need little: a picture about this wide.
constexpr int kSceneWidth = 96;
// Sharpness needs detail: pictures about this wide.
constexpr int kSharpnessWidth = 480;
} // namespace

bool scanProfile(const ProfileRequest& request, VideoProfile* profile, const ScanProgress& progress,
                 std::string* error, FrameScanner* given) {
    FrameScanner own;
    FrameScanner& scanner = given ? *given : own;
    scanner.setMaxWidth(request.sharpness ? kSharpnessWidth : kSceneWidth);
    // Without sharpness to measure, deblocking does not change what a scene cut looks like.
    scanner.setFastDecode(!request.sharpness);
    if (!scanner.open(request.path, error)) return false;
    // A few frames before the first one asked for, so that a frame there can
    // be compared with the ones it follows (a flash may have begun before it).
    profile->first = std::max<int64_t>(0, request.first - FrameProfile::kLookBack);
    profile->frameRate = scanner.frameRate();
    profile->hasSharpness = request.sharpness;
    profile->frames.clear();

    int64_t total = request.frameCount > 0 ? request.frameCount : scanner.expectedFrames();
    if (request.last >= 0) total = std::min(total > 0 ? total : request.last + 1, request.last + 1);
    const int64_t span = std::max<int64_t>(1, total - profile->first);
    if (request.last >= 0) profile->frames.reserve(static_cast<size_t>(request.last - profile->first + 1));

    std::deque<LumaPlane> recent; // newest first, at most kLookBack
    int reported = -1;
    bool stopped = false;
    const bool ok = scanner.scan(
        profile->first, request.last,
        [&](const ScannedFrame& frame) {
            FrameProfile entry;
            entry.seconds = frame.seconds;
            LumaPlane small;
            if (request.sharpness) {
                entry.sharpness = static_cast<float>(laplacianVariance(frame.luma));
                small = shrinkPlane(frame.luma, std::max(1, frame.luma.width / kSceneWidth));
            } else {
                small = frame.luma;
            }
            entry.back.fill(-1.f);
            for (size_t k = 0; k < recent.size(); ++k)
                entry.back[k] = static_cast<float>(pictureDifference(small, recent[k]));
            recent.push_front(std::move(small));
            if (recent.size() > FrameProfile::kLookBack) recent.pop_back();
            profile->frames.push_back(entry);
            const int percent =
                static_cast<int>(std::min<int64_t>(99, (frame.number - profile->first + 1) * 100 / span));
            if (percent != reported && progress) {
                reported = percent;
                if (!progress(percent)) {
                    stopped = true;
                    return false;
                }
            }
            return true;
        },
        error);
    if (!ok) return false;
    if (stopped) {
        if (error) *error = "Cancelled.";
        return false;
    }
    if (profile->frames.empty()) {
        if (error) *error = "The video holds no frames in that stretch.";
        return false;
    }
    return true;
}

ProfileJob::~ProfileJob() {
    cancel();
    wait();
}

void ProfileJob::start(const ProfileRequest& request) {
    cancel();
    wait();
    cancelled_ = false;
    finished_ = false;
    percent_ = 0;
    succeeded_ = false;
    error_.clear();
    started_ = true;
    worker_ = std::thread([this, request] {
        succeeded_ = scanProfile(
            request, &profile_,
            [this](int percent) {
                percent_ = percent;
                return !cancelled_;
            },
            &error_, &scanner_);
        if (succeeded_) percent_ = 100;
        finished_ = true;
    });
}

void ProfileJob::cancel() {
    cancelled_ = true;
    scanner_.cancel();
}

void ProfileJob::wait() {
    if (worker_.joinable()) worker_.join();
}

} // namespace stillora
