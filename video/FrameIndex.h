#pragma once
// Exact frame numbers for a video stream, from one pass over its packets.
//
// At open every packet of the video stream is read once without decoding and
// added here; finish() then orders the presentation times. The first frame the
// decoder yields anchors frame 0, and from then on a decoded frame's timestamp
// maps to its number. Two ways of mapping, chosen by what the container gives:
//   - every packet carries a presentation time: frame N is the N-th time in
//     presentation order after the anchor (exact for variable frame rates);
//   - otherwise (AVI with B-frames has decode times only, MPEG program streams
//     leave some frames without): frame N lies N frame durations after the
//     anchor, and the count is the number of packets.
// Numbers the container promises are "container numbers". Damaged data can
// make a sequential decode yield more or fewer frames than the container
// promised for a stretch; addDamage() records such stretches, and from then on
// numbers are those of the sequential decode: the frames after a damaged
// stretch shift, and the frames inside it are known to be damaged.

#include <cstdint>
#include <utility>
#include <vector>

namespace stillora {

class FrameIndex {
public:
    static constexpr int64_t kNoTime = INT64_MIN;

    // frameDuration: one frame in the stream's time base (at least 1).
    explicit FrameIndex(int64_t frameDuration = 1);

    // pts or dts may be kNoTime; position is the packet's byte position in
    // the input (-1 unknown).
    void addPacket(int64_t pts, int64_t dts, bool key, int64_t position = -1);
    // Packets added so far, and the byte position of the i-th (decode order).
    int64_t packetsAdded() const { return static_cast<int64_t>(packets_.size()); }
    int64_t packetPosition(int64_t i) const { return packets_[i].position; }
    // Forgets packets the decoder turned out to yield no picture for (indices
    // into the packets added so far, ascending). Call before finish().
    void dropPackets(const std::vector<int64_t>& indices);
    // Orders what addPacket collected; call once after the last packet.
    void finish();
    // Where frames are missing from an otherwise steady stream of times (a
    // demuxer that skipped damaged data): the time before each gap.
    const std::vector<int64_t>& timeGaps() const { return gaps_; }
    // Makes the frame with this timestamp (the first one decoded) frame 0.
    void anchor(int64_t firstTimestamp);
    bool anchored() const { return anchored_; }

    // Frames a sequential decode yields (0 before anchor()).
    int64_t count() const { return count_; }
    // Forgets frames from `frames` on, when decoding found the stream shorter.
    void truncate(int64_t frames);
    int64_t frameDuration() const { return duration_; }
    bool byPresentationTime() const { return byPts_; }
    // True when every packet carries a presentation time of its own: then a
    // packet's time alone tells which frame it gives.
    bool distinctPresentationTimes() const {
        return byPts_ && static_cast<int64_t>(times_.size()) == packetCount_;
    }
    // True when every packet carries a decode time, one frame after the
    // packet before it (AVI): then a packet that has a presentation time as
    // well (a B-frame there) is numbered by it before it is decoded.
    bool steadyDecodeTimes() const { return steadyDts_; }
    // True when no packet carried a presentation time: then the decoder's
    // guessed timestamps are all there is, and they are consistent.
    bool withoutPresentationTimes() const { return noPts_; }

    // Number of the frame with this timestamp (may be negative or beyond the
    // count for frames outside the index; -1 inside a damaged stretch).
    int64_t numberOf(int64_t timestamp) const;
    // The same before damage is accounted for.
    int64_t containerNumberOf(int64_t timestamp) const;
    // A timestamp of frame `number` in the terms the demuxer seeks by.
    int64_t seekTimestamp(int64_t number) const;
    int64_t containerSeekTimestamp(int64_t containerNumber) const;
    // Where a demuxer seek for frame `number` should go: where only some
    // packets carry presentation times and decode times are steady (AVI),
    // the decode time of the key frame at or before it (that demuxer seeks
    // by decode times, and a key frame's lies a frame or two before its
    // number's); otherwise seekTimestamp().
    int64_t keySeekTimestamp(int64_t number) const;

    // Records that the container's frames [first, first + promised) came out
    // of a sequential decode as `yielded` frames that cannot be trusted. Call
    // after anchor(), once per stretch, in ascending order of `first`, with
    // stretches that do not overlap.
    void addDamage(int64_t first, int64_t promised, int64_t yielded);
    // True for a frame (decode number) inside a damaged stretch.
    bool isDamaged(int64_t number) const;
    bool hasDamage() const { return !damage_.empty(); }
    // The damaged stretches as (first frame, frames) in decode numbers;
    // stretches the decode yielded no frame for are left out.
    std::vector<std::pair<int64_t, int64_t>> damagedFrames() const;
    // The container number of the last key frame before `containerNumber`,
    // or -1 when there is none.
    int64_t containerKeyFrameBefore(int64_t containerNumber) const;
    // Timestamp at or before every packet's: where the stream starts.
    int64_t startTimestamp() const { return start_; }
    bool isKeyFrame(int64_t number) const;
    // Number of the key frame that came from the packet at this byte
    // position, or -1: places key frames whose packets carry no presentation
    // time (AVI with B-frames).
    int64_t keyFrameAt(int64_t bytePosition) const;
    bool hasKeyFrames() const { return !keyPackets_.empty(); }
    // True when a key frame's number lies in (after, upTo].
    bool keyFrameBetween(int64_t after, int64_t upTo) const;

private:
    struct Packet {
        int64_t pts;
        int64_t dts;
        bool key;
        int64_t position;
    };
    int64_t rankOf(int64_t timestamp) const;
    void findGaps();
    // Container number to decode number (-1 inside a damaged stretch), and
    // back (a damaged frame gives its stretch's first container number).
    int64_t toDecodeNumber(int64_t containerNumber) const;
    int64_t toContainerNumber(int64_t number, bool* damaged = nullptr) const;
    // keys_ and keysByByte_ from containerKeys_ and the damage.
    void numberKeys();

    int64_t duration_;
    std::vector<Packet> packets_; // collected in decode order until finish()
    bool byPts_ = false;
    bool noPts_ = true;
    bool steadyDts_ = false;
    bool anchored_ = false;
    std::vector<int64_t> times_; // presentation times, ascending (byPts_)
    std::vector<int64_t> gaps_;
    struct KeyPacket {
        int64_t pts;
        int64_t dts;
        int64_t position; // in decode order
        int64_t bytePosition;
    };
    std::vector<KeyPacket> keyPackets_;
    struct Damage {
        int64_t first;    // container number
        int64_t promised; // container frames
        int64_t yielded;  // decoded frames
    };
    std::vector<Damage> damage_; // ascending
    std::vector<std::pair<int64_t, int64_t>> containerKeys_; // (container number, byte position)
    std::vector<std::pair<int64_t, int64_t>> keyDecodeTimes_; // (container number, dts), steadyDts_
    std::vector<int64_t> keys_;                           // key frames' numbers, ascending
    std::vector<std::pair<int64_t, int64_t>> keysByByte_; // (byte position, number), ascending
    int64_t packetCount_ = 0;
    int64_t start_ = 0;
    int64_t rank0_ = 0;  // byPts_: position of frame 0 in times_
    int64_t anchor_ = 0; // otherwise: timestamp of frame 0
    int64_t count_ = 0;
};

} // namespace stillora
