#include "video/FrameIndex.h"

#include <algorithm>

namespace stillora {

FrameIndex::FrameIndex(int64_t frameDuration) : duration_(std::max<int64_t>(1, frameDuration)) {}

void FrameIndex::addPacket(int64_t pts, int64_t dts, bool key, int64_t position) {
    packets_.push_back({pts, dts, key, position});
}

void FrameIndex::dropPackets(const std::vector<int64_t>& indices) {
    if (indices.empty()) return;
    std::vector<Packet> kept;
    kept.reserve(packets_.size() - std::min(packets_.size(), indices.size()));
    auto drop = indices.begin();
    for (int64_t i = 0; i < static_cast<int64_t>(packets_.size()); ++i) {
        while (drop != indices.end() && *drop < i)
            ++drop;
        if (drop != indices.end() && *drop == i) continue;
        kept.push_back(packets_[i]);
    }
    packets_.swap(kept);
}

void FrameIndex::finish() {
    packetCount_ = static_cast<int64_t>(packets_.size());
    byPts_ = !packets_.empty() && std::all_of(packets_.begin(), packets_.end(),
                                              [](const Packet& p) { return p.pts != kNoTime; });
    noPts_ = std::none_of(packets_.begin(), packets_.end(),
                          [](const Packet& p) { return p.pts != kNoTime; });
    steadyDts_ = !packets_.empty() && packets_.front().dts != kNoTime;
    for (size_t i = 1; steadyDts_ && i < packets_.size(); ++i)
        steadyDts_ = packets_[i].dts != kNoTime && packets_[i].dts == packets_[i - 1].dts + duration_;
    start_ = INT64_MAX;
    for (const Packet& p : packets_) {
        if (p.pts != kNoTime) start_ = std::min(start_, p.pts);
        if (p.dts != kNoTime) start_ = std::min(start_, p.dts);
    }
    if (start_ == INT64_MAX) start_ = 0;

    if (byPts_) {
        times_.reserve(packets_.size());
        for (const Packet& p : packets_)
            times_.push_back(p.pts);
        std::sort(times_.begin(), times_.end());
        times_.erase(std::unique(times_.begin(), times_.end()), times_.end());
    }
    // Where some packets carry presentation times and others do not (AVI with
    // B-frames: the B-frames have them), a reference frame shows when the
    // next reference frame is decoded, at that one's decode time.
    if (!byPts_ && !noPts_) {
        int64_t nextReference = kNoTime;
        int64_t lastDts = kNoTime;
        for (auto p = packets_.rbegin(); p != packets_.rend(); ++p) {
            if (lastDts == kNoTime) lastDts = p->dts;
            if (p->pts != kNoTime || p->dts == kNoTime) continue;
            if (p->key) p->pts = nextReference != kNoTime ? nextReference : lastDts + duration_;
            nextReference = p->dts;
        }
    }
    findGaps();
    for (size_t i = 0; i < packets_.size(); ++i)
        if (packets_[i].key)
            keyPackets_.push_back({packets_[i].pts, packets_[i].dts, static_cast<int64_t>(i),
                                   packets_[i].position});
    std::vector<Packet>().swap(packets_);
}

void FrameIndex::findGaps() {
    gaps_.clear();
    std::vector<int64_t> times;
    if (byPts_) {
        times = times_;
    } else {
        for (const Packet& p : packets_)
            if (p.dts != kNoTime) times.push_back(p.dts);
        std::sort(times.begin(), times.end());
        times.erase(std::unique(times.begin(), times.end()), times.end());
    }
    for (size_t i = 1; i < times.size(); ++i)
        if (times[i] - times[i - 1] > duration_ + duration_ / 2) gaps_.push_back(times[i - 1]);
    // Many gaps mean frames of varying length, not missing ones.
    const size_t allowed = std::max<size_t>(4, times.size() / 100);
    if (gaps_.size() > allowed) gaps_.clear();
}

int64_t FrameIndex::rankOf(int64_t timestamp) const {
    if (times_.empty()) return 0;
    auto it = std::lower_bound(times_.begin(), times_.end(), timestamp);
    if (it == times_.end()) return static_cast<int64_t>(times_.size()) - 1;
    if (it != times_.begin() && timestamp - *(it - 1) < *it - timestamp) --it;
    return it - times_.begin();
}

void FrameIndex::anchor(int64_t firstTimestamp) {
    anchored_ = true;
    damage_.clear();
    if (byPts_) {
        rank0_ = rankOf(firstTimestamp);
        count_ = static_cast<int64_t>(times_.size()) - rank0_;
    } else {
        anchor_ = firstTimestamp;
        count_ = packetCount_;
    }
    containerKeys_.clear();
    keyDecodeTimes_.clear();
    for (const KeyPacket& key : keyPackets_) {
        // Without presentation times at all, a key frame of a closed GOP
        // shows at its decode position; a key frame that lacks one otherwise
        // cannot be placed and is left out.
        const int64_t n =
            key.pts != kNoTime ? containerNumberOf(key.pts) : noPts_ ? key.position : -1;
        if (n >= 0) containerKeys_.emplace_back(n, key.bytePosition);
        // Where only some packets carry presentation times (AVI), the
        // demuxer seeks by decode times, which are steady there.
        if (n >= 0 && steadyDts_ && !byPts_ && !noPts_) keyDecodeTimes_.emplace_back(n, key.dts);
    }
    std::sort(containerKeys_.begin(), containerKeys_.end());
    std::sort(keyDecodeTimes_.begin(), keyDecodeTimes_.end());
    numberKeys();
}

void FrameIndex::numberKeys() {
    keys_.clear();
    keysByByte_.clear();
    for (const auto& [containerNumber, bytePosition] : containerKeys_) {
        const int64_t n = toDecodeNumber(containerNumber);
        if (n < 0) continue;
        keys_.push_back(n);
        if (bytePosition >= 0) keysByByte_.emplace_back(bytePosition, n);
    }
    std::sort(keysByByte_.begin(), keysByByte_.end());
    keys_.erase(std::unique(keys_.begin(), keys_.end()), keys_.end());
}

void FrameIndex::addDamage(int64_t first, int64_t promised, int64_t yielded) {
    if (promised < 0 || yielded < 0 || (promised == 0 && yielded == 0)) return;
    damage_.push_back({first, promised, yielded});
    count_ = std::max<int64_t>(0, count_ + yielded - promised);
    numberKeys();
}

int64_t FrameIndex::toDecodeNumber(int64_t containerNumber) const {
    int64_t shift = 0;
    for (const Damage& d : damage_) {
        if (containerNumber < d.first) break;
        if (containerNumber < d.first + d.promised) return -1;
        shift += d.yielded - d.promised;
    }
    return containerNumber + shift;
}

int64_t FrameIndex::toContainerNumber(int64_t number, bool* damaged) const {
    int64_t shift = 0;
    if (damaged) *damaged = false;
    for (const Damage& d : damage_) {
        const int64_t start = d.first + shift; // the stretch's first decode number
        if (number < start) break;
        if (number < start + d.yielded) {
            // A damaged frame is sought by the first frame of its stretch.
            if (damaged) *damaged = true;
            return d.first;
        }
        shift += d.yielded - d.promised;
    }
    return number - shift;
}

std::vector<std::pair<int64_t, int64_t>> FrameIndex::damagedFrames() const {
    std::vector<std::pair<int64_t, int64_t>> frames;
    int64_t shift = 0;
    for (const Damage& d : damage_) {
        if (d.yielded > 0) frames.emplace_back(d.first + shift, d.yielded);
        shift += d.yielded - d.promised;
    }
    return frames;
}

bool FrameIndex::isDamaged(int64_t number) const {
    bool damaged = false;
    if (!damage_.empty()) toContainerNumber(number, &damaged);
    return damaged;
}

int64_t FrameIndex::containerKeyFrameBefore(int64_t containerNumber) const {
    auto it = std::lower_bound(containerKeys_.begin(), containerKeys_.end(),
                               std::make_pair(containerNumber, INT64_MIN));
    return it == containerKeys_.begin() ? -1 : std::prev(it)->first;
}

void FrameIndex::truncate(int64_t frames) {
    count_ = std::max<int64_t>(0, std::min(count_, frames));
}

int64_t FrameIndex::numberOf(int64_t timestamp) const {
    const int64_t n = containerNumberOf(timestamp);
    return damage_.empty() || n < 0 ? n : toDecodeNumber(n);
}

int64_t FrameIndex::containerNumberOf(int64_t timestamp) const {
    if (byPts_) return rankOf(timestamp) - rank0_;
    const int64_t delta = timestamp - anchor_;
    // Round to the nearest frame, also for negative offsets.
    return delta >= 0 ? (delta + duration_ / 2) / duration_
                      : -((-delta + duration_ / 2) / duration_);
}

int64_t FrameIndex::seekTimestamp(int64_t number) const {
    return containerSeekTimestamp(toContainerNumber(number));
}

int64_t FrameIndex::containerSeekTimestamp(int64_t number) const {
    if (byPts_) {
        if (times_.empty()) return start_;
        const int64_t rank = std::clamp<int64_t>(rank0_ + number, 0, times_.size() - 1);
        return times_[rank];
    }
    // Decoded timestamps may be offset from the packets' decode times (AVI
    // with B-frames is one frame late), so count from the first packet.
    return start_ + number * duration_;
}

int64_t FrameIndex::keySeekTimestamp(int64_t number) const {
    const int64_t containerNumber = toContainerNumber(number);
    auto it = std::upper_bound(keyDecodeTimes_.begin(), keyDecodeTimes_.end(),
                               std::make_pair(containerNumber, INT64_MAX));
    if (it == keyDecodeTimes_.begin()) return containerSeekTimestamp(containerNumber);
    return std::prev(it)->second;
}

bool FrameIndex::isKeyFrame(int64_t number) const {
    return std::binary_search(keys_.begin(), keys_.end(), number);
}

int64_t FrameIndex::keyFrameAt(int64_t bytePosition) const {
    if (bytePosition < 0) return -1;
    auto it = std::lower_bound(keysByByte_.begin(), keysByByte_.end(),
                               std::make_pair(bytePosition, INT64_MIN));
    return it != keysByByte_.end() && it->first == bytePosition ? it->second : -1;
}

bool FrameIndex::keyFrameBetween(int64_t after, int64_t upTo) const {
    auto it = std::upper_bound(keys_.begin(), keys_.end(), after);
    return it != keys_.end() && *it <= upTo;
}

} // namespace stillora
