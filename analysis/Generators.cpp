#include "analysis/Generators.h"

#include <algorithm>
#include <cmath>

namespace stillora {

bool needsProfile(const GenerateSettings& settings) {
    return settings.mode == GenerateSettings::Scenes || needsSharpness(settings);
}

bool needsSharpness(const GenerateSettings& settings) {
    return settings.mode == GenerateSettings::SharpestFrames ||
           settings.mode == GenerateSettings::SharpestSeconds;
}

std::vector<FrameSpan> everyFrames(FrameSpan range, int64_t n) {
    std::vector<FrameSpan> spans;
    if (n < 1 || range.last < range.first) return spans;
    for (int64_t f = range.first; f <= range.last; f += n)
        spans.push_back({f, f});
    return spans;
}

namespace {

// Index of the time in `times` nearest t (the earlier one on a tie).
int64_t nearest(const std::vector<double>& times, double t) {
    auto it = std::lower_bound(times.begin(), times.end(), t);
    if (it == times.end()) return static_cast<int64_t>(times.size()) - 1;
    if (it != times.begin() && t - *(it - 1) <= *it - t) --it;
    return it - times.begin();
}

} // namespace

std::vector<FrameSpan> everySeconds(const std::vector<double>& times, FrameSpan range, double s) {
    std::vector<FrameSpan> spans;
    const int64_t count = static_cast<int64_t>(times.size());
    if (!(s > 0) || range.first < 0 || range.last >= count || range.last < range.first) return spans;
    const double start = times[static_cast<size_t>(range.first)];
    const double end = times[static_cast<size_t>(range.last)];
    // Counting steps (not adding s again and again) keeps long runs on time.
    for (int64_t k = 0;; ++k) {
        const double t = start + double(k) * s;
        if (t > end + 1e-9) break;
        const int64_t f = std::clamp(nearest(times, t), range.first, range.last);
        if (spans.empty() || spans.back().first != f) spans.push_back({f, f});
    }
    return spans;
}

std::vector<int64_t> findCuts(const VideoProfile& profile, int sensitivity) {
    std::vector<int64_t> cuts;
    const auto& frames = profile.frames;
    const int64_t count = static_cast<int64_t>(frames.size());
    const double s = std::clamp(sensitivity, 0, 100);
    // A cut must stand out absolutely (base) and against how much the shot
    // moves (ratio times the usual difference between its frames).
    const double base = 4.0 + (100.0 - s) * 0.24;
    const double ratio = 1.5 + (100.0 - s) / 20.0;
    constexpr int64_t kWindow = 24;
    constexpr int L = FrameProfile::kLookBack;
    int64_t shotStart = 0;
    std::vector<float> recent;
    for (int64_t i = 1; i < count; ++i) {
        const float d = frames[static_cast<size_t>(i)].back[0];
        if (d < 0) continue;
        recent.clear();
        for (int64_t j = std::max(shotStart + 1, i - kWindow); j < i; ++j)
            recent.push_back(frames[static_cast<size_t>(j)].back[0]);
        double level = 0;
        if (!recent.empty()) {
            std::nth_element(recent.begin(), recent.begin() + recent.size() / 2, recent.end());
            level = recent[recent.size() / 2];
        }
        const double threshold = std::max(base, ratio * level);
        if (d < threshold) continue;
        const double alike = 0.5 * threshold;
        bool flash = false;
        // The pictures come back to the frame before within a few frames:
        // this frame starts a flash.
        for (int64_t j = i + 1; j < std::min(count, i + L) && !flash; ++j) {
            const float back = frames[static_cast<size_t>(j)].back[static_cast<size_t>(j - i)];
            flash = back >= 0 && back < alike;
        }
        // This frame looks like one from before the frame before: a flash ends here.
        for (int k = 2; k <= L && !flash; ++k) {
            const float back = frames[static_cast<size_t>(i)].back[static_cast<size_t>(k - 1)];
            flash = back >= 0 && back < alike;
        }
        if (flash) continue;
        cuts.push_back(profile.first + i);
        shotStart = i;
    }
    return cuts;
}

std::vector<FrameSpan> sceneSpans(const std::vector<int64_t>& cuts, FrameSpan range, SceneStill still) {
    std::vector<FrameSpan> spans;
    if (range.last < range.first) return spans;
    std::vector<int64_t> starts{range.first};
    for (int64_t c : cuts)
        if (c > range.first && c <= range.last && c > starts.back()) starts.push_back(c);
    for (size_t i = 0; i < starts.size(); ++i) {
        const int64_t first = starts[i];
        const int64_t last = i + 1 < starts.size() ? starts[i + 1] - 1 : range.last;
        switch (still) {
        case SceneStill::Range: spans.push_back({first, last}); break;
        case SceneStill::First: spans.push_back({first, first}); break;
        case SceneStill::Middle: spans.push_back({first + (last - first) / 2, first + (last - first) / 2}); break;
        case SceneStill::Last: spans.push_back({last, last}); break;
        }
    }
    return spans;
}

namespace {

// The sharpest frame of each group; `groupOf` gives a frame's group number,
// which never falls along the range.
template <typename GroupOf>
std::vector<FrameSpan> sharpestByGroup(const VideoProfile& profile, FrameSpan range, GroupOf groupOf) {
    std::vector<FrameSpan> spans;
    if (!profile.hasSharpness || !profile.covers(range.first, range.last)) return spans;
    int64_t group = -1, best = -1;
    float bestValue = -1;
    for (int64_t f = range.first; f <= range.last; ++f) {
        const int64_t g = groupOf(f);
        const float value = profile.frames[static_cast<size_t>(f - profile.first)].sharpness;
        if (g != group) {
            if (best >= 0) spans.push_back({best, best});
            group = g;
            best = f;
            bestValue = value;
        } else if (value > bestValue) {
            best = f;
            bestValue = value;
        }
    }
    if (best >= 0) spans.push_back({best, best});
    return spans;
}

} // namespace

std::vector<FrameSpan> sharpestEveryFrames(const VideoProfile& profile, FrameSpan range, int64_t n) {
    if (n < 1) return {};
    return sharpestByGroup(profile, range, [&](int64_t f) { return (f - range.first) / n; });
}

std::vector<FrameSpan> sharpestEverySeconds(const VideoProfile& profile, FrameSpan range, double s) {
    if (!(s > 0) || !profile.covers(range.first, range.last)) return {};
    const double start = profile.frames[static_cast<size_t>(range.first - profile.first)].seconds;
    return sharpestByGroup(profile, range, [&](int64_t f) {
        const double t = profile.frames[static_cast<size_t>(f - profile.first)].seconds - start;
        return static_cast<int64_t>(std::floor(t / s + 1e-9));
    });
}

std::vector<FrameSpan> generateSpans(const GenerateSettings& settings, FrameSpan range,
                                     const std::vector<double>& times, const VideoProfile* profile) {
    switch (settings.mode) {
    case GenerateSettings::EveryFrames: return everyFrames(range, settings.frames);
    case GenerateSettings::EverySeconds: return everySeconds(times, range, settings.seconds);
    case GenerateSettings::Scenes:
        if (!profile || !profile->covers(range.first, range.last)) return {};
        return sceneSpans(findCuts(*profile, settings.sensitivity), range, settings.still);
    case GenerateSettings::SharpestFrames:
        return profile ? sharpestEveryFrames(*profile, range, settings.frames) : std::vector<FrameSpan>{};
    case GenerateSettings::SharpestSeconds:
        return profile ? sharpestEverySeconds(*profile, range, settings.seconds) : std::vector<FrameSpan>{};
    }
    return {};
}

SelectionList makeSelections(const std::vector<FrameSpan>& spans, int sourceKind) {
    SelectionList list;
    for (const FrameSpan& span : spans) {
        auto selection = std::make_unique<TSelection>(SelectionCaption(span.first, span.last));
        selection->StartFrame = span.first;
        selection->EndFrame = span.last;
        selection->Index = static_cast<int32_t>(span.first);
        selection->SourceKind = sourceKind;
        selection->frmLength = static_cast<int32_t>(span.last - span.first + 1);
        selection->RefreshChainCaption();
        list.push_back(std::move(selection));
    }
    return list;
}

} // namespace stillora
