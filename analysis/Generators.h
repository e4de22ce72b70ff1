#pragma once
// Selections made for the user: marks every N frames or S seconds, one per
// scene, or the sharpest frame of each stretch. The functions here only
// compute frame spans; makeSelections() turns them into selections captioned
// as hand-made ones are.

#include "analysis/VideoProfile.h"
#include "selection/Selection.h"

#include <cstdint>
#include <vector>

namespace stillora {

// Frames first..last, both included.
struct FrameSpan {
    int64_t first = 0;
    int64_t last = 0;
    bool operator==(const FrameSpan& o) const { return first == o.first && last == o.last; }
};

// What one scene gives. Stored in settings: new values only at the end.
enum class SceneStill : int { Range = 0, First = 1, Middle = 2, Last = 3 };

struct GenerateSettings {
    // Stored in settings: new modes only at the end.
    enum Mode : int { EveryFrames = 0, EverySeconds = 1, Scenes = 2, SharpestFrames = 3, SharpestSeconds = 4 };
    Mode mode = EveryFrames;
    int64_t frames = 250;  // EveryFrames, SharpestFrames: the step / interval in frames
    double seconds = 10;   // EverySeconds, SharpestSeconds: the step / interval in seconds
    int sensitivity = 50;  // Scenes: 0 (only the plainest cuts) .. 100 (the faintest)
    SceneStill still = SceneStill::Range;
};

inline constexpr int kDefaultSensitivity = 50;

// True when the mode needs a decode of the video (a profile) to decide.
bool needsProfile(const GenerateSettings& settings);
// True when it needs the sharpness measured in that profile.
bool needsSharpness(const GenerateSettings& settings);

// Frames first, first + n, ... up to last (n < 1 gives nothing).
std::vector<FrameSpan> everyFrames(FrameSpan range, int64_t n);

// The frame nearest each of the times t0, t0 + s, t0 + 2s, ... up to the
// time of `last`, where t0 is the time of `first`. `times` holds the time of
// every frame of the video (seconds, ascending, frame 0 first). A frame
// nearest two times is taken once.
std::vector<FrameSpan> everySeconds(const std::vector<double>& times, FrameSpan range, double s);

// First frames of new shots inside the profile (never its first frame), in
// ascending order. A cut is a frame that differs from the one before much
// more than the frames before it differ among themselves; a frame that the
// pictures a few frames later come back to (a flash) is no cut, nor is the
// frame where they come back. Gradual changes (fades) stay below the
// threshold, as each step is small.
std::vector<int64_t> findCuts(const VideoProfile& profile, int sensitivity);

// The scenes of `range` that `cuts` divide it into: each from its first frame
// to the frame before the next cut, or one frame of each.
std::vector<FrameSpan> sceneSpans(const std::vector<int64_t>& cuts, FrameSpan range, SceneStill still);

// The sharpest frame of each interval of n frames from range.first (the
// last interval may be shorter). The profile must cover the range and hold
// sharpness; the earliest frame wins a tie.
std::vector<FrameSpan> sharpestEveryFrames(const VideoProfile& profile, FrameSpan range, int64_t n);
// The same for intervals of s seconds from the time of range.first.
std::vector<FrameSpan> sharpestEverySeconds(const VideoProfile& profile, FrameSpan range, double s);

// What the settings give over `range`. `times` is needed for EverySeconds,
// `profile` (covering the range) for the modes needsProfile() names;
// without them the result is empty.
std::vector<FrameSpan> generateSpans(const GenerateSettings& settings, FrameSpan range,
                                     const std::vector<double>& times, const VideoProfile* profile);

// Selections for the spans, captioned by SelectionCaption(), of a source of
// `sourceKind` (not live: live selections are made from the capture ring).
SelectionList makeSelections(const std::vector<FrameSpan>& spans, int sourceKind);

} // namespace stillora
