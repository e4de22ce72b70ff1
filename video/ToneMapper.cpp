#include "video/ToneMapper.h"

#include <cstdint>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include <string>

namespace stillora {

ToneMapper::~ToneMapper() {
    reset();
    av_frame_free(&output_);
    av_frame_free(&input_);
}

bool ToneMapper::isHdr(const AVFrame& frame) {
    return frame.color_trc == AVCOL_TRC_SMPTE2084 || frame.color_trc == AVCOL_TRC_ARIB_STD_B67;
}

void ToneMapper::reset() {
    avfilter_graph_free(&graph_);
    source_ = sink_ = nullptr;
    width_ = height_ = 0;
    format_ = transfer_ = -1;
}

bool ToneMapper::build(const AVFrame& frame) {
    reset();
    graph_ = avfilter_graph_alloc();
    if (!graph_) return false;
    const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame.format));
    if (!name) return false;
    const std::string args = "video_size=" + std::to_string(frame.width) + "x" +
                             std::to_string(frame.height) + ":pix_fmt=" + name +
                             ":time_base=1/25:pixel_aspect=1/1";
    if (avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in", args.c_str(),
                                     nullptr, graph_) < 0 ||
        avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph_) < 0)
        return false;
    // To linear light (100 nits as reference white), to BT.709 primaries,
    // compress the highlights, then back to a BT.709 transfer and matrix.
    const std::string transfer = frame.color_trc == AVCOL_TRC_ARIB_STD_B67 ? "arib-std-b67"
                                                                            : "smpte2084";
    const std::string range = frame.color_range == AVCOL_RANGE_JPEG ? "pc" : "tv";
    const std::string chain =
        "zscale=tin=" + transfer + ":pin=bt2020:min=bt2020nc:rin=" + range +
        ":t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=hable:desat=0,"
        "zscale=t=bt709:m=bt709:r=tv,format=yuv420p";
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    bool ok = outputs && inputs;
    if (ok) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source_;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink_;
        ok = avfilter_graph_parse_ptr(graph_, chain.c_str(), &inputs, &outputs, nullptr) >= 0 &&
             avfilter_graph_config(graph_, nullptr) >= 0;
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (!ok) {
        reset();
        return false;
    }
    width_ = frame.width;
    height_ = frame.height;
    format_ = frame.format;
    transfer_ = frame.color_trc;
    return true;
}

const AVFrame* ToneMapper::map(const AVFrame& frame) {
    if (!graph_ || frame.width != width_ || frame.height != height_ || frame.format != format_ ||
        frame.color_trc != transfer_) {
        if (!build(frame)) return nullptr;
    }
    if (!output_) output_ = av_frame_alloc();
    if (!input_) input_ = av_frame_alloc();
    if (!output_ || !input_ || av_frame_ref(input_, &frame) < 0) return nullptr;
    av_frame_unref(output_);
    // One frame in, one out: the filters hold none back.
    if (av_buffersrc_add_frame(source_, input_) < 0) {
        av_frame_unref(input_);
        return nullptr;
    }
    if (av_buffersink_get_frame(sink_, output_) < 0) {
        reset(); // a graph that kept the frame would be out of step from now on
        return nullptr;
    }
    return output_;
}

} // namespace stillora
