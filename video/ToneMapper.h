#pragma once
// Brings HDR frames (PQ or HLG transfer, BT.2020) down to SDR BT.709 with
// libavfilter's zscale and tonemap, so that stills look right on an ordinary
// screen. SDR frames are not touched.
//
// Threads: one at a time (the FrameConverter that owns it).

struct AVFilterGraph;
struct AVFilterContext;
struct AVFrame;

namespace stillora {

class ToneMapper {
public:
    ToneMapper() = default;
    ~ToneMapper();
    ToneMapper(const ToneMapper&) = delete;
    ToneMapper& operator=(const ToneMapper&) = delete;

    // True for a frame with a PQ or HLG transfer.
    static bool isHdr(const AVFrame& frame);
    // The frame tone-mapped to 8-bit 4:2:0 BT.709 (limited range); null when
    // the filters fail. Valid until the next call.
    const AVFrame* map(const AVFrame& frame);

private:
    bool build(const AVFrame& frame);
    void reset();

    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    AVFrame* output_ = nullptr;
    AVFrame* input_ = nullptr;
    int width_ = 0, height_ = 0, format_ = -1, transfer_ = -1;
};

} // namespace stillora
