#include "video/FrameScanner.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

namespace stillora {

struct FrameScanner::Impl {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* sws = nullptr;
    std::vector<uint8_t> grey; // whole-size grey picture for formats without a luma plane
    int stream = -1;
    AVRational timeBase{1, 25};
    int64_t frameDuration = 1;

    ~Impl() {
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

namespace {

bool fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// Averages factor x factor boxes of an 8- or 16-bit plane into `out`. Large
// boxes read every fourth of their rows: the mean barely changes, and a
// scan of big pictures spends its time here once the decoder is done.
template <typename Sample>
void boxAverage(const uint8_t* data, int stride, int factor, int shift, LumaPlane& out) {
    std::vector<uint32_t> sums(static_cast<size_t>(out.width));
    const int rowStep = factor >= 8 ? 4 : 1;
    const uint32_t area = static_cast<uint32_t>(factor * ((factor + rowStep - 1) / rowStep));
    for (int y = 0; y < out.height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int row = 0; row < factor; row += rowStep) {
            const Sample* line =
                reinterpret_cast<const Sample*>(data + static_cast<ptrdiff_t>(y * factor + row) * stride);
            for (int x = 0; x < out.width; ++x) {
                const Sample* box = line + x * factor;
                uint32_t s = 0;
                for (int k = 0; k < factor; ++k)
                    s += box[k];
                sums[static_cast<size_t>(x)] += s;
            }
        }
        uint8_t* target = out.pixels.data() + static_cast<size_t>(y) * out.width;
        for (int x = 0; x < out.width; ++x)
            target[x] = static_cast<uint8_t>((sums[static_cast<size_t>(x)] / area) >> shift);
    }
}

} // namespace

LumaPlane shrinkPlane(const LumaPlane& plane, int factor) {
    factor = std::max(1, factor);
    LumaPlane out;
    out.width = plane.width / factor;
    out.height = plane.height / factor;
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    if (out.width > 0 && out.height > 0)
        boxAverage<uint8_t>(plane.pixels.data(), plane.width, factor, 0, out);
    return out;
}

FrameScanner::FrameScanner() : impl_(new Impl) {}

FrameScanner::~FrameScanner() { delete impl_; }

bool FrameScanner::open(const std::string& path, std::string* error) {
    delete impl_;
    impl_ = new Impl;
    Impl& d = *impl_;
    if (avformat_open_input(&d.format, path.c_str(), nullptr, nullptr) < 0)
        return fail(error, "Cannot open " + path + ".");
    if (avformat_find_stream_info(d.format, nullptr) < 0)
        return fail(error, "Cannot read the streams of " + path + ".");
    const AVCodec* decoder = nullptr;
    d.stream = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (d.stream < 0 || !decoder) return fail(error, "The source has no video.");
    for (unsigned i = 0; i < d.format->nb_streams; ++i)
        d.format->streams[i]->discard = int(i) == d.stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    AVStream* stream = d.format->streams[d.stream];
    d.codec = avcodec_alloc_context3(decoder);
    if (!d.codec || avcodec_parameters_to_context(d.codec, stream->codecpar) < 0)
        return fail(error, "Out of memory.");
    d.codec->pkt_timebase = stream->time_base;
    d.codec->thread_count = threads_; // 0: as many as libavcodec finds cores for
    d.codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (fastDecode_) d.codec->skip_loop_filter = AVDISCARD_ALL;
    if (avcodec_open2(d.codec, decoder, nullptr) < 0) return fail(error, "Cannot open the video decoder.");
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    if (!d.packet || !d.frame) return fail(error, "Out of memory.");
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    rate_ = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
    if (rate.num <= 0 || rate.den <= 0) rate = AVRational{25, 1};
    d.timeBase = stream->time_base;
    d.frameDuration = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), stream->time_base));
    expected_ = std::max<int64_t>(0, stream->nb_frames);
    if (expected_ == 0 && d.format->duration > 0)
        expected_ = static_cast<int64_t>(d.format->duration / double(AV_TIME_BASE) * av_q2d(rate));
    cancelled_ = false;
    return true;
}

bool FrameScanner::scan(int64_t first, int64_t last, const FrameHandler& each, std::string* error) {
    Impl& d = *impl_;
    if (!d.codec) return fail(error, "No video is open.");
    LumaPlane plane;
    int64_t number = 0;
    int64_t firstTs = AV_NOPTS_VALUE;
    int64_t lastTs = AV_NOPTS_VALUE;
    bool inputEnded = false;
    int failures = 0;
    for (;;) {
        if (cancelled_) return fail(error, "Cancelled.");
        int result = avcodec_receive_frame(d.codec, d.frame);
        if (result == AVERROR(EAGAIN)) {
            if (inputEnded) return true;
            result = av_read_frame(d.format, d.packet);
            if (result < 0) {
                inputEnded = true;
                avcodec_send_packet(d.codec, nullptr);
                continue;
            }
            if (d.packet->stream_index == d.stream) avcodec_send_packet(d.codec, d.packet);
            av_packet_unref(d.packet);
            continue;
        }
        if (result == AVERROR_EOF) return true;
        if (result < 0) {
            // A frame the decoder fails on is skipped, as a sequential decode skips it.
            if (++failures > 64) return true;
            continue;
        }
        failures = 0;
        const int64_t n = number++;
        int64_t ts = d.frame->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE || (lastTs != AV_NOPTS_VALUE && ts <= lastTs))
            ts = lastTs == AV_NOPTS_VALUE ? 0 : lastTs + d.frameDuration;
        if (firstTs == AV_NOPTS_VALUE) firstTs = ts;
        lastTs = ts;
        if (n < first) {
            av_frame_unref(d.frame);
            continue;
        }
        if (last >= 0 && n > last) return true;

        const AVFrame* f = d.frame;
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
        const int factor = std::max(1, (f->width + maxWidth_ - 1) / maxWidth_);
        plane.width = f->width / factor;
        plane.height = f->height / factor;
        plane.pixels.resize(static_cast<size_t>(plane.width) * plane.height);
        const bool lumaPlane = desc && !(desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL |
                                                       AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM)) &&
                               desc->comp[0].plane == 0 && desc->comp[0].shift == 0 &&
                               desc->comp[0].offset == 0 &&
                               ((desc->comp[0].depth == 8 && desc->comp[0].step == 1) ||
                                (desc->comp[0].depth > 8 && desc->comp[0].depth <= 16 &&
                                 desc->comp[0].step == 2 && !(desc->flags & AV_PIX_FMT_FLAG_BE)));
        if (plane.width > 0 && plane.height > 0) {
            if (lumaPlane && desc->comp[0].depth == 8) {
                boxAverage<uint8_t>(f->data[0], f->linesize[0], factor, 0, plane);
            } else if (lumaPlane) {
                boxAverage<uint16_t>(f->data[0], f->linesize[0], factor, desc->comp[0].depth - 8, plane);
            } else {
                // Packed and RGB formats: swscale makes a whole-size grey picture first.
                d.sws = sws_getCachedContext(d.sws, f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                             f->width, f->height, AV_PIX_FMT_GRAY8, SWS_POINT, nullptr,
                                             nullptr, nullptr);
                if (!d.sws) return fail(error, "Cannot convert the video's pictures.");
                d.grey.resize(static_cast<size_t>(f->width) * f->height);
                uint8_t* planes[4] = {d.grey.data(), nullptr, nullptr, nullptr};
                int strides[4] = {f->width, 0, 0, 0};
                sws_scale(d.sws, f->data, f->linesize, 0, f->height, planes, strides);
                boxAverage<uint8_t>(d.grey.data(), f->width, factor, 0, plane);
            }
        }
        const double seconds = double(ts - firstTs) * av_q2d(d.timeBase);
        av_frame_unref(d.frame);
        if (!each(ScannedFrame{n, seconds, plane})) return true;
        if (last >= 0 && n >= last) return true;
    }
}

} // namespace stillora
