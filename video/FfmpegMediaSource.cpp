#include "video/FfmpegMediaSource.h"

#include "video/CaptureDevices.h"
#include "video/DisplayRotation.h"
#include "video/DvdTitle.h"
#include "video/MediaLog.h"
#include "video/PacketCheck.h"
#include "video/StreamUrl.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace stillora {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kOpenTimeoutSeconds = 15;
constexpr int kReadTimeoutSeconds = 10;
// Connecting to a server and reading a stream's header: a server that
// accepts and never answers is given up after this long.
constexpr int kConnectTimeoutSeconds = 10;
// A live stream whose timestamps run this far from the wall clock (a jump,
// a burst after a stall) is followed from its newest frame on.
constexpr double kLiveResyncSeconds = 1.0;
// How long stopping playback waits for the playback thread to end by itself
// before a blocking network read is aborted (which costs a reconnect).
constexpr auto kStopGrace = std::chrono::milliseconds(200);
// A frame at most this far ahead of the decoder is reached by decoding
// forward, even when a key frame lies in between.
constexpr int64_t kForwardFrames = 16;
// The first step back when a seek lands past its target; it doubles on each
// further miss until the seek goes to the start.
constexpr int64_t kFirstStepBack = 8;
// Frames in a row, clean and numbered as the container says, after which a
// decode through damaged data counts as recovered.
constexpr int64_t kSettleFrames = 8;
// The source whose progress handler runs on this thread, if any.
thread_local const FfmpegMediaSource* reportingSource = nullptr;
// How often an open reports its progress: the caller's event loop runs in
// the reports, so this and the longest single step of an open bound its stalls.
constexpr auto kReportInterval = std::chrono::milliseconds(25);

const char* const kOpenCancelled = "Opening was cancelled.";
// What a call made from inside a progress report is told.
const char* const kBusy = "The source is waiting for its server.";

bool fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

std::string describe(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

int64_t toIndexTime(int64_t t) {
    return t == AV_NOPTS_VALUE ? FrameIndex::kNoTime : t;
}

} // namespace

FfmpegMediaSource::FfmpegMediaSource() : current_(av_frame_alloc()) {
    installMediaLog();
}

FfmpegMediaSource::~FfmpegMediaSource() {
    close();
    av_frame_free(&current_);
}

int FfmpegMediaSource::interruptCallback(void* opaque) {
    auto* self = static_cast<FfmpegMediaSource*>(opaque);
    if (self->abortIo_) return 1;
    // While a stream opens, one deadline covers every step of the open, and
    // once it has passed no later step waits on the server again.
    const int64_t openDeadline = self->openDeadline_;
    if (openDeadline != 0 && self->timedOut_) return 1;
    const int64_t deadline = openDeadline != 0 ? openDeadline : self->ioDeadline_.load();
    if (deadline == 0 || Clock::now().time_since_epoch().count() <= deadline) return 0;
    self->timedOut_ = true;
    return 1;
}

void FfmpegMediaSource::armDeadline(int seconds) {
    ioDeadline_ = (Clock::now() + std::chrono::seconds(seconds)).time_since_epoch().count();
}

void FfmpegMediaSource::serverAnswered() {
    if (openDeadline_ != 0)
        openDeadline_ = (Clock::now() + std::chrono::seconds(kConnectTimeoutSeconds))
                            .time_since_epoch()
                            .count();
}

std::string FfmpegMediaSource::stalledReason(const std::string& otherwise) const {
    return timedOut_ ? "The server stopped sending in the middle of the video." : otherwise;
}

// ---------------------------------------------------------------- opening

bool FfmpegMediaSource::open(SourceKind kind, const std::string& name, std::string* error) {
    close();
    // A cancel belongs to the open it came in.
    cancelRequested_ = false;
    switch (kind) {
    case SourceKind::File: {
        if (name.empty()) return fail(error, "No file name given.");
        // The file: prefix keeps a name with a colon from being read as a protocol.
        if (!openInput("file:" + name, nullptr, error)) return false;
        if (!buildIndex(error)) {
            close();
            return false;
        }
        break;
    }
    case SourceKind::Stream: {
        if (name.empty()) return fail(error, "No URL given.");
        std::string why;
        if (!isStreamUrl(name, &why)) return fail(error, why);
        return openStream(name, error);
    }
    case SourceKind::Live: {
        for (const CaptureDevice& device : listCaptureDevices()) {
            if (device.name == name) return openLive("video4linux2", device.path, error);
        }
        return fail(error, "No capture device named \"" + name + "\".");
    }
    case SourceKind::Dvd: {
        std::shared_ptr<DvdTitle> title = DvdTitle::open(QString::fromStdString(name), error);
        if (!title) return false;
        // The volume is there; whatever fails from here is the title's stream.
        if (!openReader(kind, title, name, "mpeg", nullptr)) return fail(error, kDvdStreamFailed);
        return true;
    }
    default:
        return fail(error, "Unknown source kind.");
    }
    return finishOpen(kind, error);
}

bool FfmpegMediaSource::openReader(SourceKind kind, std::shared_ptr<InputReader> reader,
                                   const std::string& name, const char* format,
                                   std::string* error) {
    close();
    cancelRequested_ = false;
    reader_ = std::move(reader);
    if (!openInput(name, format, error)) {
        close();
        return false;
    }
    if (!buildIndex(error)) {
        close();
        return false;
    }
    return finishOpen(kind, error);
}

bool FfmpegMediaSource::finishOpen(SourceKind kind, std::string* error) {
    // Decode the first frame: it fixes frame 0's timestamp and gives grab()
    // something to show right after the open.
    int64_t number = -1;
    if (decodeNext(&number) <= 0) {
        close();
        return fail(error, "No video frame could be decoded.");
    }
    for (int64_t time : index_.timeGaps())
        damagedPackets_.emplace_back(time + index_.frameDuration(), AV_NOPTS_VALUE);
    if (!damagedPackets_.empty()) {
        scanDamage();
        if (openCancelled_) {
            close();
            return fail(error, kOpenCancelled);
        }
        if (!rewind() || decodeNext(&number) <= 0) {
            close();
            return fail(error, "No video frame could be decoded.");
        }
    }
    kind_ = kind;
    open_ = true;
    state_ = MediaState::Stopped;
    present(0, false);
    {
        std::lock_guard<std::mutex> lock(frameLock_);
        if (size_.isEmpty()) size_ = uprightSize(current_->width, current_->height);
    }
    return true;
}

bool FfmpegMediaSource::openLive(const std::string& format, const std::string& url,
                                 std::string* error) {
    close();
    static std::once_flag devicesRegistered;
    std::call_once(devicesRegistered, [] { avdevice_register_all(); });
    if (!openInput(url, format.c_str(), error)) return false;
    kind_ = SourceKind::Live;
    open_ = true;
    state_ = MediaState::Stopped;
    return true;
}

bool FfmpegMediaSource::openStream(const std::string& url, std::string* error) {
    network_ = true;
    timedOut_ = false;
    cancelRequested_ = false;
    // The open gives up once the server has sent nothing for this long,
    // whichever step it is in: connecting, the header, the index pass.
    openDeadline_ = (Clock::now() + std::chrono::seconds(kConnectTimeoutSeconds))
                        .time_since_epoch()
                        .count();
    openPhase_ = Connecting;
    bytesIndexed_ = 0;
    indexSize_ = -1;
    std::string failure;
    bool opened = false;
    // The connect, the header and the index pass may each wait on the
    // server for seconds.
    reportWhile([&] { opened = connectStream(url, &failure); });
    openDeadline_ = 0;
    timedOut_ = false;
    if (cancelRequested_) {
        close();
        return fail(error, kOpenCancelled);
    }
    if (!opened) {
        close();
        return fail(error, failure);
    }
    return true;
}

void FfmpegMediaSource::reportWhile(const std::function<void()>& work) {
    if (!openProgress_) {
        work();
        return;
    }
    // The work runs on a thread of its own; this thread reports every 25 ms
    // and passes a cancel on as an abort of the work's reads.
    pumpOutside_ = true;
    reporting_ = true;
    bool done = false;
    std::thread worker([&] {
        work();
        std::lock_guard<std::mutex> lock(waitLock_);
        done = true;
        wake_.notify_all();
    });
    std::unique_lock<std::mutex> lock(waitLock_);
    while (!done) {
        wake_.wait_for(lock, kReportInterval, [&] { return done; });
        if (done) break;
        int percent = MediaSource::kConnecting;
        if (openPhase_ == Finishing) {
            percent = 99;
        } else if (openPhase_ == Indexing) {
            const int64_t size = indexSize_;
            percent = size > 0 ? int(std::clamp<int64_t>(bytesIndexed_ * 100 / size, 0, 99)) : -1;
        }
        lock.unlock();
        if (!cancelRequested_ && !reportOpen(percent)) {
            cancelRequested_ = true;
            abortIo_ = true;
        }
        lock.lock();
    }
    lock.unlock();
    worker.join();
    abortIo_ = false;
    pumpOutside_ = false;
    reporting_ = false;
}

bool FfmpegMediaSource::connectStream(const std::string& url, std::string* error) {
    if (!openInput(url, nullptr, error)) return false;
    // A remote file can be read again from any byte and has a length; an
    // HLS playlist that ends (video on demand) is sought by its segments.
    const bool seekable = format_->pb && (format_->pb->seekable & AVIO_SEEKABLE_NORMAL);
    const bool playlist = std::strcmp(format_->iformat->name, "hls") == 0;
    const bool known = format_->duration != AV_NOPTS_VALUE && format_->duration > 0;
    if (!known || !(seekable || playlist)) {
        liveStream_ = true;
        kind_ = SourceKind::Stream;
        open_ = true;
        state_ = MediaState::Stopped;
        return true;
    }
    openPhase_ = Indexing;
    indexSize_ = format_->pb ? avio_size(format_->pb) : -1;
    if (!buildIndex(error)) {
        if (error) *error = stalledReason(*error);
        closeInput();
        return false;
    }
    openPhase_ = Finishing;
    if (!finishOpen(SourceKind::Stream, error)) {
        if (error) *error = stalledReason(*error);
        return false;
    }
    return true;
}

bool FfmpegMediaSource::recoverInput(std::string* error) {
    if (!inputInterrupted_) return true;
    if (!network_) {
        if (!reopen(error)) return false;
        inputInterrupted_ = false;
        return true;
    }
    // Reconnecting waits on the server as an open does: on a thread of its
    // own while this one reports, under one deadline, and it can be cancelled.
    timedOut_ = false;
    cancelRequested_ = false;
    openPhase_ = Connecting;
    openDeadline_ = (Clock::now() + std::chrono::seconds(kConnectTimeoutSeconds))
                        .time_since_epoch()
                        .count();
    std::string failure;
    bool reconnected = false;
    reportWhile([&] { reconnected = reopen(&failure); });
    openDeadline_ = 0;
    timedOut_ = false;
    if (cancelRequested_) {
        cancelRequested_ = false;
        // The reconnect may have got through before the cancel came.
        if (reconnected) inputInterrupted_ = false;
        return fail(error, "Reconnecting was cancelled.");
    }
    if (!reconnected) return fail(error, failure);
    inputInterrupted_ = false;
    return true;
}

bool FfmpegMediaSource::openInput(const std::string& url, const char* format, std::string* error) {
    const AVInputFormat* inputFormat = nullptr;
    if (format) {
        inputFormat = av_find_input_format(format);
        if (!inputFormat)
            return fail(error, std::string("The input \"") + format + "\" is not available.");
    }
    format_ = avformat_alloc_context();
    if (!format_) return fail(error, "Out of memory.");
    format_->interrupt_callback.callback = &FfmpegMediaSource::interruptCallback;
    format_->interrupt_callback.opaque = this;
    if (reader_ && !attachReader()) {
        avformat_free_context(format_);
        format_ = nullptr;
        return fail(error, "Out of memory.");
    }

    AVDictionary* options = nullptr;
    if (url.rfind("file:", 0) == 0) {
        // A local file may not make the demuxer reach out to other protocols
        // (playlists and references inside containers).
        av_dict_set(&options, "protocol_whitelist", "file", 0);
    } else if (!format) {
        av_dict_set(&options, "rw_timeout", std::to_string(kReadTimeoutSeconds * 1000000LL).c_str(),
                    0);
    }
    // A stream and whatever it opens underneath (segments, data channels,
    // references in a container) stay on the network.
    if (network_) av_dict_set(&options, "protocol_whitelist", streamProtocolWhitelist(), 0);
    const int openSeconds = network_ ? kConnectTimeoutSeconds : kOpenTimeoutSeconds;
    armDeadline(openSeconds);
    int result = avformat_open_input(&format_, url.c_str(), inputFormat, &options);
    av_dict_free(&options);
    if (result < 0) {
        format_ = nullptr; // freed by avformat_open_input
        return fail(error, network_ ? streamFailureReason(result, timedOut_) : describe(result));
    }
    armDeadline(openSeconds);
    result = avformat_find_stream_info(format_, nullptr);
    // A server that sent the header and then nothing more: some demuxers
    // make do with what came, but the open has run out of time.
    if (result < 0 || (openDeadline_ != 0 && timedOut_)) {
        closeInput();
        return fail(error, network_ ? stalledReason(streamFailureReason(result, false))
                                    : describe(result));
    }

    // The best video stream that is not a cover picture.
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream_ >= 0 && (format_->streams[stream_]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        stream_ = -1;
        for (unsigned i = 0; i < format_->nb_streams; ++i) {
            const AVStream* s = format_->streams[i];
            if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
                decoder = avcodec_find_decoder(s->codecpar->codec_id);
                stream_ = static_cast<int>(i);
                break;
            }
        }
    }
    if (stream_ < 0) {
        const bool none = stream_ == AVERROR_STREAM_NOT_FOUND || stream_ == -1;
        closeInput();
        return fail(error, none ? "The source has no video." : "No decoder for the video.");
    }
    if (!decoder) {
        closeInput();
        return fail(error, "No decoder for the video.");
    }
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        format_->streams[i]->discard = int(i) == stream_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    AVStream* stream = format_->streams[stream_];
    codec_ = avcodec_alloc_context3(decoder);
    if (!codec_ || avcodec_parameters_to_context(codec_, stream->codecpar) < 0) {
        closeInput();
        return fail(error, "Out of memory.");
    }
    codec_->pkt_timebase = stream->time_base;
    codec_->thread_count = threads_;
    codec_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    result = avcodec_open2(codec_, decoder, nullptr);
    if (result < 0) {
        closeInput();
        return fail(error, "Cannot open the video decoder: " + describe(result));
    }
    packet_ = av_packet_alloc();
    decoded_ = av_frame_alloc();
    if (!packet_ || !decoded_) {
        closeInput();
        return fail(error, "Out of memory.");
    }

    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    rate_ = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
    if (rate.num <= 0 || rate.den <= 0) rate = AVRational{25, 1};
    frameDuration_ = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), stream->time_base));
    timeBase_ = av_q2d(stream->time_base);
    // Pictures come out upright, as players show them.
    {
        std::lock_guard<std::mutex> lock(frameLock_);
        converter_.setRotation(displayRotation(*stream));
        size_ = uprightSize(stream->codecpar->width, stream->codecpar->height);
    }
    url_ = url;
    inputFormat_ = format ? format : "";
    resetDecoder();
    return true;
}

void FfmpegMediaSource::closeInput() {
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    // A reader's context is ours, not the demuxer's, to free.
    if (io_) av_freep(&io_->buffer);
    avio_context_free(&io_);
    av_packet_free(&packet_);
    av_frame_free(&decoded_);
    stream_ = -1;
    ioDeadline_ = 0;
}

bool FfmpegMediaSource::buildIndex(std::string* error) {
    index_ = FrameIndex(frameDuration_);
    packedPictures_ = false;
    damagedPackets_.clear();
    timesByPosition_.clear();
    const AVStream* stream = format_->streams[stream_];
    const PacketCheck check(*stream->codecpar);
    // The demuxer's own index (an AVI's idx1, an MP4's sample table), as the
    // header gave it: entries the reading skips over lie in damaged data.
    std::vector<int64_t> listed;
    for (int i = 0; i < avformat_index_get_entries_count(stream); ++i)
        listed.push_back(avformat_index_get_entry(const_cast<AVStream*>(stream), i)->pos);
    std::sort(listed.begin(), listed.end());

    // Every packet is read once. With a progress handler the reading runs on
    // a thread of its own while this one reports how far it got, every 50 ms,
    // and stops it when the handler says so.
    int readResult = 0;
    std::atomic<bool> done{false};
    auto readAll = [&] {
        readResult = readPackets(check, listed);
        std::lock_guard<std::mutex> lock(waitLock_);
        done = true;
        wake_.notify_all();
    };
    bool cancelled = false;
    if (pumpOutside_ || !openProgress_) {
        readAll();
    } else {
        const int64_t size = format_->pb ? avio_size(format_->pb) : -1;
        bytesIndexed_ = 0;
        std::thread reader(readAll);
        std::unique_lock<std::mutex> lock(waitLock_);
        while (!done) {
            wake_.wait_for(lock, kReportInterval, [&] { return done.load(); });
            if (done) break;
            const int percent =
                size > 0 ? int(std::clamp<int64_t>(bytesIndexed_ * 100 / size, 0, 99)) : -1;
            lock.unlock();
            if (!cancelled && !reportOpen(percent)) {
                cancelled = true;
                abortIo_ = true;
            }
            lock.lock();
        }
        lock.unlock();
        reader.join();
        abortIo_ = false;
    }
    if (cancelled || cancelRequested_) return fail(error, kOpenCancelled);
    if (network_ && readResult < 0)
        return fail(error, timedOut_ || readResult == AVERROR_EXIT || readResult == AVERROR(EIO)
                               ? "The server stopped sending in the middle of the video."
                               : streamFailureReason(readResult, false));
    if (readResult == AVERROR_EXIT) return fail(error, "Reading the source timed out.");
    // Packets at the start may yield no picture (a recording cut mid-GOP,
    // leading frames whose references were cut off): only a decode tells.
    openCancelled_ = false;
    if (!reopen(error)) return false;
    keepResponsive();
    const std::vector<int64_t> dropped = packetsWithoutPicture();
    if (openCancelled_) return fail(error, kOpenCancelled);
    startsUndecodable_ = !dropped.empty();
    index_.dropPackets(dropped);
    index_.finish();
    indexed_ = true;
    // Open afresh rather than seek: not every demuxer lands exactly on the
    // first packet, and frame 0 is defined by what comes first.
    keepResponsive();
    if (!reopen(error)) return false;
    keepResponsive();
    return !openCancelled_ || fail(error, kOpenCancelled);
}

bool FfmpegMediaSource::reportOpen(int percent) {
    reportingSource = this;
    const bool goOn = openProgress_(percent);
    reportingSource = nullptr;
    lastReport_ = Clock::now();
    return goOn && !closeRequested_;
}

void FfmpegMediaSource::keepResponsive() {
    // Decoding at open runs on the caller's thread: it still reports, so
    // that a window's event loop is never held up for long. A stream that
    // opens on a thread of its own is reported on by the caller's thread.
    if (pumpOutside_) {
        if (cancelRequested_) openCancelled_ = true;
        return;
    }
    if (!openProgress_ || openCancelled_) return;
    if (Clock::now() - lastReport_ < kReportInterval) return;
    if (!reportOpen(99)) openCancelled_ = true;
}

int FfmpegMediaSource::readPackets(const PacketCheck& check, const std::vector<int64_t>& listed) {
    bool ascending = true;
    int64_t lastPosition = -1;
    // The deadline runs from the last packet that came, so that a demuxer
    // that keeps retrying a silent input cannot wait on it for ever.
    armDeadline(kReadTimeoutSeconds);
    for (;;) {
        const int result = av_read_frame(format_, packet_);
        if (result == AVERROR(EAGAIN)) continue;
        if (abortIo_) return AVERROR_EXIT;
        if (result < 0) {
            if (result == AVERROR_EXIT || timedOut_) return AVERROR_EXIT;
            // A connection that fails is no end of the video.
            if (network_ && format_->pb && format_->pb->error < 0) return format_->pb->error;
            break; // the end, or damaged data from here on: index what was read
        }
        armDeadline(kReadTimeoutSeconds);
        serverAnswered();
        if (packet_->pos > 0) bytesIndexed_ = packet_->pos;
        // Packets an edit list cuts off are dropped by the decoder, so they are no frames.
        if (packet_->stream_index == stream_ && packet_->size > 0 &&
            !(packet_->flags & AV_PKT_FLAG_DISCARD)) {
            const int64_t pos = packet_->pos;
            index_.addPacket(toIndexTime(packet_->pts), toIndexTime(packet_->dts),
                             packet_->flags & AV_PKT_FLAG_KEY, pos);
            bool damaged = (packet_->flags & AV_PKT_FLAG_CORRUPT) ||
                           !check.looksIntact(packet_->data, packet_->size);
            // An encoder that packs pictures does so from the first GOPs on.
            constexpr int64_t kPackedLookPackets = 64;
            if (index_.packetsAdded() <= kPackedLookPackets &&
                check.holdsSeveralPictures(packet_->data, packet_->size))
                packedPictures_ = true;
            if (ascending && pos >= 0 && pos > lastPosition) {
                if (lastPosition >= 0) {
                    auto skipped = std::upper_bound(listed.begin(), listed.end(), lastPosition);
                    damaged = damaged || (skipped != listed.end() && *skipped < pos);
                }
                timesByPosition_.push_back({pos, packet_->pts, packet_->dts});
                lastPosition = pos;
            } else {
                ascending = false;
            }
            if (damaged) damagedPackets_.emplace_back(packet_->pts, packet_->dts);
        }
        av_packet_unref(packet_);
    }
    if (!ascending) timesByPosition_.clear();
    return 0;
}

std::vector<int64_t> FfmpegMediaSource::packetsWithoutPicture() {
    // Decoding goes on this many packets past the first picture: leading
    // frames that cannot be decoded come right after the first key frame.
    constexpr int64_t kSettlePackets = 32;
    // A file with no picture this far in is left to the ordinary decode.
    constexpr int64_t kMaxPackets = 3000;
    const int64_t indexed = index_.packetsAdded();
    // The indexed packets sent and the pictures they gave, by byte position
    // and by presentation time.
    std::vector<int64_t> fedPositions, fedTimes, shownPositions, shownTimes;
    int64_t firstShown = -1;
    bool differs = false;
    auto fed = [&] { return static_cast<int64_t>(fedPositions.size()); };
    // Whether a packet yields a picture does not depend on the deblocking
    // filter (the scene scanner numbers its frames without it too); leaving
    // it out makes this decode, which is thrown away, a quarter cheaper.
    // The decoder is opened afresh afterwards.
    codec_->skip_loop_filter = AVDISCARD_ALL;
    auto receive = [&] {
        while (avcodec_receive_frame(codec_, decoded_) == 0) {
            shownPositions.push_back(decoded_->pkt_pos);
            shownTimes.push_back(decoded_->pts);
            if (firstShown < 0) firstShown = fed();
            av_frame_unref(decoded_);
        }
    };
    while (!differs && fed() < std::min(indexed, kMaxPackets) &&
           (firstShown < 0 || fed() < firstShown + kSettlePackets)) {
        keepResponsive();
        armDeadline(kReadTimeoutSeconds);
        const int result = av_read_frame(format_, packet_);
        if (result == AVERROR(EAGAIN)) continue;
        if (result < 0) break;
        serverAnswered();
        if (packet_->stream_index != stream_) {
            av_packet_unref(packet_);
            continue;
        }
        // The same packets the index holds; the others still go to the decoder.
        if (packet_->size > 0 && !(packet_->flags & AV_PKT_FLAG_DISCARD)) {
            // The input reads differently the second time: trust neither.
            if (packet_->pos != index_.packetPosition(fed())) differs = true;
            fedPositions.push_back(packet_->pos);
            fedTimes.push_back(packet_->pts);
        }
        while (avcodec_send_packet(codec_, packet_) == AVERROR(EAGAIN))
            receive();
        av_packet_unref(packet_);
        receive();
    }
    avcodec_send_packet(codec_, nullptr);
    receive();
    resetDecoder();
    codec_->skip_loop_filter = AVDISCARD_DEFAULT;

    std::vector<int64_t> dropped;
    if (differs || firstShown < 0) return dropped;
    // Tell the packets apart by position where every one has its own, else by
    // presentation time; else only the number of pictures is known, and the
    // packets that gave none are taken to be the first.
    auto known = [](const std::vector<int64_t>& v, int64_t none) {
        return std::none_of(v.begin(), v.end(), [none](int64_t x) { return x == none; });
    };
    const std::vector<int64_t>* fedKeys = nullptr;
    std::vector<int64_t>* shownKeys = nullptr;
    if (known(fedPositions, -1)) {
        fedKeys = &fedPositions;
        shownKeys = &shownPositions;
    } else if (known(fedTimes, AV_NOPTS_VALUE)) {
        fedKeys = &fedTimes;
        shownKeys = &shownTimes;
    }
    if (!fedKeys) {
        const int64_t missing = fed() - static_cast<int64_t>(shownPositions.size());
        for (int64_t i = 0; i < missing; ++i)
            dropped.push_back(i);
        return dropped;
    }
    std::sort(shownKeys->begin(), shownKeys->end());
    for (int64_t i = 0; i < fed(); ++i)
        if (!std::binary_search(shownKeys->begin(), shownKeys->end(), (*fedKeys)[i]))
            dropped.push_back(i);
    return dropped;
}

void FfmpegMediaSource::scanDamage() {
    // Bounds on the work at open, for a file damaged all over (or packets a
    // check takes for damaged wrongly): the rest is left to the plain index.
    constexpr int64_t kScanBudgetFrames = 6000;
    constexpr int kMaxStretches = 200;
    std::vector<int64_t> spots;
    for (const auto& [pts, dts] : damagedPackets_) {
        const int64_t t = pts != AV_NOPTS_VALUE ? pts : dts;
        if (t != AV_NOPTS_VALUE) spots.push_back(std::max<int64_t>(0, index_.containerNumberOf(t)));
    }
    std::sort(spots.begin(), spots.end());
    std::vector<Damage> found;
    int64_t budget = kScanBudgetFrames;
    size_t i = 0;
    for (int stretches = 0; i < spots.size() && budget > 0 && stretches < kMaxStretches;
         ++stretches) {
        const int64_t first = spots[i];
        int64_t last = first;
        while (i < spots.size() && spots[i] <= last + kSettleFrames)
            last = spots[i++];
        Damage damage;
        int64_t reached = last;
        if (scanStretch(first, last, &damage, &reached, &budget) &&
            (found.empty() || damage.first >= found.back().first + found.back().promised))
            found.push_back(damage);
        while (i < spots.size() && spots[i] <= reached)
            ++i;
    }
    for (const Damage& d : found)
        index_.addDamage(d.first, d.promised, d.yielded);
}

bool FfmpegMediaSource::scanStretch(int64_t first, int64_t last, Damage* found, int64_t* reached,
                                    int64_t* budget) {
    // Two GOPs back: the frames of the GOP right before the damage can come
    // after it in decode order. Further back each time a seek lands too late.
    const int64_t latest = index_.containerKeyFrameBefore(index_.containerKeyFrameBefore(first));
    int64_t key = latest;
    for (int attempt = 0;; ++attempt) {
        const Reach start = scanFrom(key, latest, budget);
        if (start == Reach::Reached) break;
        if (start != Reach::Overshot || key <= 0) return false;
        key = attempt < 3 ? index_.containerKeyFrameBefore(key) : 0;
    }
    // From a clean key frame, through what does not decode as the container
    // says, to a clean run again; frames numbered from their timestamps are
    // checked, the others (-1) are taken to follow on.
    enum class Phase { Clean, Damaged, Settling } phase = Phase::Clean;
    int64_t before = scanStart_, after = -1, lastClean = -1, yielded = 0, settled = 0;
    for (;;) {
        keepResponsive();
        if (openCancelled_ || (*budget)-- <= 0) return false;
        int64_t n = -1;
        const int result = decodeNext(&n);
        if (result < 0) return false;
        if (result == 0) break;
        const int64_t stamped = lastTimestampNumber_;
        const bool clean =
            decoded_->decode_error_flags == 0 && !(decoded_->flags & AV_FRAME_FLAG_CORRUPT);
        av_frame_unref(decoded_);
        switch (phase) {
        case Phase::Clean:
            if (clean && (stamped < 0 || stamped == before + 1)) {
                if (++before > last + kSettleFrames) {
                    *reached = before;
                    return false; // nothing went wrong here
                }
            } else {
                phase = Phase::Damaged;
                yielded = 1;
            }
            break;
        case Phase::Damaged:
            if (clean && stamped > before) {
                phase = Phase::Settling;
                after = lastClean = stamped;
                settled = 1;
            } else {
                ++yielded;
            }
            break;
        case Phase::Settling:
            if (clean && (stamped < 0 || stamped == lastClean + 1)) {
                ++lastClean;
                if (++settled >= kSettleFrames) {
                    *found = {before + 1, after - before - 1, yielded};
                    *reached = lastClean;
                    return true;
                }
            } else {
                phase = Phase::Damaged;
                yielded += settled + 1;
            }
            break;
        }
    }
    // The data ended inside the damage, or while the decode settled after it.
    if (phase == Phase::Settling) {
        *found = {before + 1, after - before - 1, yielded};
    } else if (phase == Phase::Damaged) {
        *found = {before + 1, std::max<int64_t>(0, index_.count() - before - 1), yielded};
    } else {
        return false;
    }
    *reached = INT64_MAX;
    return true;
}

FfmpegMediaSource::Reach FfmpegMediaSource::scanFrom(int64_t key, int64_t latest,
                                                     int64_t* budget) {
    if (key <= 0) {
        if (!rewind()) return Reach::Interrupted;
    } else if (!demuxerSeek(index_.containerSeekTimestamp(key))) {
        return Reach::Interrupted;
    }
    // Up to the first clean key frame, which must be no later than `latest`:
    // demuxers of MPEG streams seek only roughly.
    for (;;) {
        keepResponsive();
        if (openCancelled_ || (*budget)-- <= 0) return Reach::Interrupted;
        int64_t n = -1;
        const int result = decodeNext(&n);
        if (result <= 0) return Reach::Interrupted;
        const int64_t stamped = lastTimestampNumber_;
        const bool clean =
            decoded_->decode_error_flags == 0 && !(decoded_->flags & AV_FRAME_FLAG_CORRUPT);
        const bool isKey = decoded_->key_frame && stamped >= 0 && index_.isKeyFrame(stamped);
        av_frame_unref(decoded_);
        if (stamped > std::max<int64_t>(latest, 0)) return Reach::Overshot;
        if (clean && isKey) {
            scanStart_ = stamped;
            return Reach::Reached;
        }
    }
}

void FfmpegMediaSource::restoreTimes(AVPacket* packet) const {
    auto it = std::lower_bound(
        timesByPosition_.begin(), timesByPosition_.end(), packet->pos,
        [](const PacketTimes& times, int64_t position) { return times.position < position; });
    if (it == timesByPosition_.end() || it->position != packet->pos) return;
    packet->pts = it->pts;
    packet->dts = it->dts;
}

void FfmpegMediaSource::close() {
    // Called from a progress handler while an open runs: the open is
    // cancelled, and it closes the source itself when it has stopped.
    if (reportingSource == this) {
        closeRequested_ = true;
        return;
    }
    stopWorker();
    closeInput();
    {
        std::lock_guard<std::mutex> lock(frameLock_);
        av_frame_unref(current_);
        currentImage_ = QImage();
        imagePool_ = {};
        hasFrame_ = false;
        currentNumber_ = 0;
        currentTs_ = 0;
        size_ = QSize();
    }
    open_ = false;
    indexed_ = false;
    startsUndecodable_ = false;
    packedPictures_ = false;
    network_ = false;
    liveStream_ = false;
    inputInterrupted_ = false;
    damagedPackets_.clear();
    timesByPosition_.clear();
    openCancelled_ = false;
    closeRequested_ = false;
    index_ = FrameIndex();
    state_ = MediaState::None;
    stopFrame_ = -1;
    demuxerSeeks_ = 0;
    decodedFrames_ = 0;
    lastDelivered_ = -1;
    url_.clear();
    inputFormat_.clear();
    reader_.reset();
}

// ---------------------------------------------------------------- readers

bool FfmpegMediaSource::attachReader() {
    constexpr int kBufferSize = 64 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer) return false;
    // Every open reads from the start, as a file open would.
    reader_->seek(0);
    io_ = avio_alloc_context(buffer, kBufferSize, 0, reader_.get(), &FfmpegMediaSource::readerRead,
                             nullptr, &FfmpegMediaSource::readerSeek);
    if (!io_) {
        av_free(buffer);
        return false;
    }
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    return true;
}

int FfmpegMediaSource::readerRead(void* opaque, uint8_t* buffer, int size) {
    const int n = static_cast<InputReader*>(opaque)->read(buffer, size);
    return n > 0 ? n : n == 0 ? AVERROR_EOF : AVERROR(EIO);
}

int64_t FfmpegMediaSource::readerSeek(void* opaque, int64_t offset, int whence) {
    auto* reader = static_cast<InputReader*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return reader->size();
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += reader->position();
        break;
    case SEEK_END:
        offset += reader->size();
        break;
    default:
        return AVERROR(EINVAL);
    }
    return reader->seek(offset) ? offset : AVERROR(EINVAL);
}

// ---------------------------------------------------------------- decoding

void FfmpegMediaSource::resetDecoder() {
    if (codec_) avcodec_flush_buffers(codec_);
    if (packet_) av_packet_unref(packet_);
    pendingPacket_ = false;
    inputEnded_ = false;
    decoderEnded_ = false;
    failuresInARow_ = 0;
    lastTsKnown_ = false;
    lastNumber_ = -1;
    atStart_ = false;
    skipped_.clear();
}

int FfmpegMediaSource::decodeNext(int64_t* number) {
    for (;;) {
        if (decoderEnded_) return 0;
        int result = avcodec_receive_frame(codec_, decoded_);
        if (result == 0) {
            failuresInARow_ = 0;
            ++decodedFrames_;
            // The packet's own presentation time travels with the frame and
            // is exact when present. Without it the decoder's guess only
            // places the first frame after a seek; the next ones are counted.
            const int64_t pts = decoded_->pts;
            const int64_t guess = decoded_->best_effort_timestamp;
            int64_t n = -1;
            if (indexed_) {
                int64_t ts = pts;
                if (ts == AV_NOPTS_VALUE && lastNumber_ < 0 &&
                    (index_.withoutPresentationTimes() || !index_.anchored()))
                    ts = guess;
                if (ts != AV_NOPTS_VALUE) {
                    if (!index_.anchored()) index_.anchor(ts);
                    n = index_.numberOf(ts);
                } else if (atStart_) {
                    if (!index_.anchored()) index_.anchor(index_.startTimestamp());
                    n = 0;
                }
                // A key frame without a presentation time is known by the
                // packet it came from.
                if (n < 0 && index_.anchored()) n = index_.keyFrameAt(decoded_->pkt_pos);
                // Otherwise the number stays unknown (-1) until a frame with a
                // presentation time comes: guesses after a seek into an MPEG
                // program stream can be a few frames off.
            }
            lastTimestampNumber_ = n;
            // Numbers only ever grow along a decode; a timestamp that says
            // otherwise (duplicated or missing) gives way to the count.
            if (lastNumber_ >= 0 && (n <= lastNumber_ || !indexed_)) {
                n = lastNumber_ + 1;
                while (skipped_.count(n))
                    ++n;
            }
            if (n < 0 && !indexed_) n = 0;
            if (n >= 0) skipped_.erase(skipped_.begin(), skipped_.upper_bound(n));
            // Playback paces by these times; a missing one follows the one before.
            if (pts != AV_NOPTS_VALUE)
                lastTs_ = pts;
            else if (lastTsKnown_)
                lastTs_ += frameDuration_;
            else if (guess != AV_NOPTS_VALUE)
                lastTs_ = guess;
            lastTsKnown_ = lastTsKnown_ || pts != AV_NOPTS_VALUE || guess != AV_NOPTS_VALUE;
            lastNumber_ = n;
            atStart_ = false;
            *number = n;
            return 1;
        }
        if (result == AVERROR_EOF) {
            decoderEnded_ = true;
            return 0;
        }
        if (result != AVERROR(EAGAIN)) {
            // A frame that failed to decode (damaged data, reported late by
            // frame threads) is skipped, as a sequential decode skips it;
            // only a decoder that fails on and on has ended.
            constexpr int kMaxFailuresInARow = 64;
            if (++failuresInARow_ > kMaxFailuresInARow) {
                decoderEnded_ = true;
                return 0;
            }
            continue;
        }
        if (inputEnded_) {
            decoderEnded_ = true;
            return 0;
        }
        if (!pendingPacket_) {
            armDeadline(kReadTimeoutSeconds);
            readingSince_ = Clock::now().time_since_epoch().count();
            result = av_read_frame(format_, packet_);
            readingSince_ = 0;
            if (result == AVERROR(EAGAIN)) continue;
            if (result < 0) {
                // An aborted read, or a connection that failed, is no end of
                // the video: the input is reconnected before it is read again.
                if (abortIo_ || result == AVERROR_EXIT ||
                    (network_ && format_->pb && format_->pb->error < 0)) {
                    inputInterrupted_ = true;
                    return -1;
                }
                inputEnded_ = true;
                avcodec_send_packet(codec_, nullptr); // drain the frames still held
                continue;
            }
            serverAnswered();
            if (packet_->stream_index != stream_) {
                av_packet_unref(packet_);
                continue;
            }
            if (!timesByPosition_.empty() && packet_->pos >= 0) restoreTimes(packet_);
        }
        // Decided per packet: frame threads take the setting with the packet.
        const bool skip = skipsPacket(*packet_);
        codec_->skip_frame = skip ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
        // Only a frame no other refers to is left out; one that is kept
        // comes out under the same number and clears it again.
        if (skip) skipped_.insert(index_.numberOf(packet_->pts));
        result = avcodec_send_packet(codec_, packet_);
        pendingPacket_ = result == AVERROR(EAGAIN);
        // Damaged packets are skipped, as a sequential decode skips them.
        if (!pendingPacket_) av_packet_unref(packet_);
    }
}

bool FfmpegMediaSource::demuxerSeek(int64_t timestamp) {
    ++demuxerSeeks_;
    armDeadline(kReadTimeoutSeconds);
    const bool ok = av_seek_frame(format_, stream_, timestamp, AVSEEK_FLAG_BACKWARD) >= 0;
    resetDecoder();
    return ok;
}

bool FfmpegMediaSource::rewind() {
    // Some inputs cannot seek by time, and a seek to the start of one that
    // opens with undecodable data can land past it: open those afresh.
    if (startsUndecodable_ || !demuxerSeek(index_.startTimestamp())) return reopen(nullptr);
    atStart_ = true;
    return true;
}

bool FfmpegMediaSource::reopen(std::string* error) {
    const std::string url = url_, format = inputFormat_;
    closeInput();
    if (!openInput(url, format.empty() ? nullptr : format.c_str(), error)) {
        // A server may answer the next time: the next call reconnects.
        if (network_) inputInterrupted_ = true;
        return false;
    }
    atStart_ = true;
    return true;
}

bool FfmpegMediaSource::skipsPacket(const AVPacket& packet) const {
    // A frame before the one sought is never shown; when no other picture
    // refers to it either (the decoder knows: a B-frame that is no
    // reference), leaving it out changes no picture. Only where every packet
    // carries a presentation time of its own, by which its frame is
    // numbered, so that the packet's frame is known before it is decoded.
    // Not for stream URLs: over an HLS playlist, skipping gave wrong frames
    // after seeks (its packets are numbered per segment read), so remote
    // files decode every frame.
    // An AVI gives presentation times to its B-frames alone; its decode
    // times are one frame apart, so a B-frame's number is known the same
    // way, unless one packet holds two pictures.
    const bool numberedByTime = index_.distinctPresentationTimes() ||
                                (index_.steadyDecodeTimes() && !packedPictures_);
    if (skipBefore_ < 0 || network_ || !indexed_ || !index_.anchored() || !numberedByTime ||
        index_.hasDamage() || packet.pts == AV_NOPTS_VALUE)
        return false;
    return index_.numberOf(packet.pts) < skipBefore_;
}

FfmpegMediaSource::Reach FfmpegMediaSource::decodeUntil(int64_t target, Start start) {
    // From the start of the stream the first picture must be frame 0 (see
    // BadStart): nothing is skipped until it came.
    skipBefore_ = start == Start::Beginning ? -1 : target;
    struct EndSkipping {
        int64_t& skip;
        ~EndSkipping() { skip = -1; }
    } endSkipping{skipBefore_};
    // After a seek into the middle, frames before the first key frame may
    // lean on frames the decoder never saw: they do not count.
    bool keySeen = start != Start::Seeked;
    bool numbered = start == Start::Continuing;
    for (;;) {
        int64_t n = -1;
        const int result = decodeNext(&n);
        if (result < 0) return Reach::Interrupted;
        if (result == 0) return keySeen && numbered ? Reach::Ended : Reach::NoSafeFrame;
        if (start == Start::Beginning && !numbered && n != 0) return Reach::BadStart;
        // A key frame by the decoder's word and, where the container marks
        // key frames, by the container's too: right after a seek into an MPEG
        // program stream the decoder can call a broken picture a key frame.
        const bool key =
            decoded_->key_frame && (!index_.hasKeyFrames() || (n >= 0 && index_.isKeyFrame(n)));
        if (n < 0) {
            keySeen = keySeen || key;
            av_frame_unref(decoded_);
            continue;
        }
        // The first numbered frame after a seek already past the target: the
        // seek went too far, unlike a frame missing from a running decode.
        if (n > target) return numbered && keySeen ? Reach::Missing : Reach::Overshot;
        numbered = true;
        skipBefore_ = target;
        keySeen = keySeen || key;
        if (keySeen && n == target) {
            present(n, false);
            return Reach::Reached;
        }
        av_frame_unref(decoded_);
    }
}

bool FfmpegMediaSource::seekTo(int64_t target, std::string* error) {
    const std::string missing = "Frame " + std::to_string(target) + " could not be decoded.";
    // Close ahead of the decoder, or before the next key frame: decode forward.
    if (lastNumber_ >= 0 && !decoderEnded_ && target > lastNumber_ &&
        (target - lastNumber_ <= kForwardFrames || !index_.keyFrameBetween(lastNumber_, target))) {
        switch (decodeUntil(target, Start::Continuing)) {
        case Reach::Reached:
            return true;
        case Reach::Interrupted:
            return fail(error, "Reading the source was interrupted.");
        default:
            break; // fall back to a seek
        }
    }
    bool reopened = false;
    for (int64_t back = 0;; back = back ? back * 2 : kFirstStepBack) {
        const int64_t from = target - back;
        const bool fromStart = from <= 0;
        if (fromStart) {
            if (!rewind()) return fail(error, "Cannot return to the start of the source.");
        } else if (!demuxerSeek(index_.keySeekTimestamp(from))) {
            continue;
        }
        switch (decodeUntil(target, fromStart ? Start::Beginning : Start::Seeked)) {
        case Reach::Reached:
            return true;
        case Reach::Interrupted:
            return fail(error, "Reading the source was interrupted.");
        case Reach::Missing:
            return fail(error, missing);
        case Reach::Ended:
            // The data ends before the index said it would.
            if (lastNumber_ + 1 < index_.count()) index_.truncate(lastNumber_ + 1);
            return fail(error, missing);
        case Reach::BadStart: {
            // The seek to the start landed elsewhere: open the input afresh.
            if (reopened) return fail(error, missing);
            reopened = true;
            if (!reopen(error)) return false;
            if (decodeUntil(target, Start::Beginning) == Reach::Reached) return true;
            return fail(error, missing);
        }
        case Reach::Overshot:
        case Reach::NoSafeFrame:
            if (fromStart) return fail(error, missing);
            break;
        }
    }
}

// ---------------------------------------------------------------- frames

void FfmpegMediaSource::present(int64_t number, bool deliver) {
    {
        std::lock_guard<std::mutex> lock(frameLock_);
        av_frame_unref(current_);
        av_frame_move_ref(current_, decoded_);
        currentImage_ = QImage();
        hasFrame_ = true;
        currentNumber_ = number;
        currentTs_ = lastTs_;
    }
    if (deliver) {
        deliverCurrent();
    } else {
        std::lock_guard<std::mutex> lock(handlerLock_);
        if (notifier_) notifier_();
    }
}

void FfmpegMediaSource::deliverCurrent() {
    std::lock_guard<std::mutex> lock(handlerLock_);
    if (callback_) {
        QImage image;
        int64_t number;
        {
            std::lock_guard<std::mutex> frame(frameLock_);
            if (currentImage_.isNull()) convertCurrent();
            image = currentImage_;
            number = currentNumber_;
        }
        lastDelivered_ = number;
        if (!image.isNull()) callback_(image, number);
    }
    if (notifier_) notifier_();
}

QSize FfmpegMediaSource::frameSize() const {
    std::lock_guard<std::mutex> lock(frameLock_);
    return size_;
}

QSize FfmpegMediaSource::uprightSize(int width, int height) const {
    const QSize size(width, height);
    return converter_.rotation() % 180 ? size.transposed() : size;
}

void FfmpegMediaSource::convertCurrent() {
    for (QImage& slot : imagePool_) {
        if (slot.isNull() || slot.isDetached()) {
            slot = converter_.convert(*current_, std::move(slot));
            currentImage_ = slot;
            return;
        }
    }
    // Every pooled image is still held elsewhere: this one is not kept.
    currentImage_ = converter_.convert(*current_);
}

bool FfmpegMediaSource::grab(QImage& out) {
    std::lock_guard<std::mutex> lock(frameLock_);
    if (hasFrame_ && currentImage_.isNull()) convertCurrent();
    out = hasFrame_ ? currentImage_ : QImage();
    return !out.isNull();
}

int64_t FfmpegMediaSource::currentFrame() {
    std::lock_guard<std::mutex> lock(frameLock_);
    return open_ ? currentNumber_ : 0;
}

std::string FfmpegMediaSource::notice() const {
    if (!open_ || !index_.hasDamage()) return {};
    const auto stretches = index_.damagedFrames();
    if (stretches.empty()) return {};
    constexpr size_t kNamed = 3;
    std::string text = "The video is damaged: ";
    for (size_t i = 0; i < stretches.size() && i < kNamed; ++i) {
        const auto [first, frames] = stretches[i];
        if (i > 0) text += i + 1 == stretches.size() ? " and " : ", ";
        text += frames == 1 ? "frame " + std::to_string(first)
                            : "frames " + std::to_string(first) + " to " +
                                  std::to_string(first + frames - 1);
    }
    if (stretches.size() > kNamed)
        text += " and " + std::to_string(stretches.size() - kNamed) + " more stretches";
    return text + " cannot be shown.";
}

int64_t FfmpegMediaSource::frameCount() {
    return open_ && indexed_ && !isLive() ? index_.count() : 0;
}

void FfmpegMediaSource::setFrameCallback(FrameCallback callback) {
    std::lock_guard<std::mutex> lock(handlerLock_);
    callback_ = std::move(callback);
}

void FfmpegMediaSource::setFrameNotifier(std::function<void()> notifier) {
    std::lock_guard<std::mutex> lock(handlerLock_);
    notifier_ = std::move(notifier);
}

std::vector<CaptureDevice> FfmpegMediaSource::captureDevices() {
    return listCaptureDevices();
}

// ---------------------------------------------------------------- control

bool FfmpegMediaSource::seek(int64_t frame, std::string* error) {
    if (!open_) return fail(error, "No source is open.");
    if (reporting_) return fail(error, kBusy);
    if (isLive()) return fail(error, "A live source cannot be sought.");
    if (frame < 0 || frame >= frameCount()) return fail(error, "Frame out of range.");
    if (index_.isDamaged(frame))
        return fail(error, "Frame " + std::to_string(frame) +
                               " cannot be shown: the file is damaged there.");
    stopWorker();
    state_ = MediaState::Paused;
    if (frame == currentFrame() && lastNumber_ == frame && format_) return true;
    if (!recoverInput(error)) return false;
    if (!format_) return fail(error, "The source cannot be read any more.");
    return seekTo(frame, error);
}

bool FfmpegMediaSource::run(std::string* error) {
    if (!open_) return fail(error, "No source is open.");
    if (reporting_) return fail(error, kBusy);
    if (state_ == MediaState::Running && worker_.joinable()) return true;
    stopWorker();
    // A reconnect that failed or was cancelled left no input: try again.
    if (!recoverInput(error)) return false;
    if (!format_) return fail(error, "The source cannot be read any more.");
    // A failed seek can leave the decoder off the presented frame: go back to it.
    if (indexed_ && hasFrame_ && lastNumber_ != currentFrame() && !seekTo(currentFrame(), error))
        return false;
    {
        std::lock_guard<std::mutex> lock(waitLock_);
        workerFinished_ = false;
    }
    worker_ = std::thread(&FfmpegMediaSource::playLoop, this);
    state_ = MediaState::Running;
    return true;
}

bool FfmpegMediaSource::pause(std::string* error) {
    if (!open_) return fail(error, "No source is open.");
    if (reporting_) return fail(error, kBusy);
    stopWorker();
    state_ = MediaState::Paused;
    return true;
}

bool FfmpegMediaSource::stop(std::string* error) {
    if (!open_) return fail(error, "No source is open.");
    if (reporting_) return fail(error, kBusy);
    stopWorker();
    state_ = MediaState::Stopped;
    return true;
}

void FfmpegMediaSource::stopWorker() {
    if (!worker_.joinable()) return;
    {
        std::unique_lock<std::mutex> lock(waitLock_);
        stopRequested_ = true;
        wake_.notify_all();
        // Files are read from local storage; only streams and devices can
        // block. A read that has not come back within a moment (a server
        // that stalled) is aborted at once; one that has just begun gets the
        // rest of that moment, as a new frame normally comes sooner.
        if (kind_ != SourceKind::File && !reader_) {
            auto grace = std::chrono::duration_cast<Clock::duration>(kStopGrace);
            const int64_t since = readingSince_;
            if (since != 0) grace -= Clock::now().time_since_epoch() - Clock::duration(since);
            if (grace <= Clock::duration::zero() ||
                !wake_.wait_for(lock, grace, [this] { return workerFinished_; }))
                abortIo_ = true;
        }
    }
    worker_.join();
    // An aborted read leaves libavformat's byte reader failed for good, even
    // when the demuxer still had packets to give after it.
    if (abortIo_) inputInterrupted_ = true;
    stopRequested_ = false;
    abortIo_ = false;
}

void FfmpegMediaSource::playLoop() {
    playFrames();
    std::lock_guard<std::mutex> lock(waitLock_);
    workerFinished_ = true;
    wake_.notify_all();
}

void FfmpegMediaSource::playFrames() {
    // A device delivers at its own pace; a live stream is paced by its
    // timestamps like a file, but follows its own clock when that jumps.
    const bool device = kind_ == SourceKind::Live;
    const bool live = isLive();
    int64_t startTs;
    bool started, deliverFirst;
    {
        std::lock_guard<std::mutex> lock(frameLock_);
        startTs = currentTs_;
        started = hasFrame_;
        // Playing a file starts by showing the frame it starts on.
        deliverFirst = !live && hasFrame_ && currentNumber_ != lastDelivered_;
    }
    if (deliverFirst) deliverCurrent();
    auto startWall = Clock::now();

    while (!stopRequested_) {
        const int64_t stopAt = stopFrame_;
        if (!live && stopAt >= 0 && lastNumber_ >= stopAt) break;
        int64_t number = -1;
        if (decodeNext(&number) <= 0) break;
        if (!device) {
            if (!started) {
                startTs = lastTs_;
                started = true;
            }
            auto due = startWall + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>((lastTs_ - startTs) * timeBase_));
            const auto now = Clock::now();
            if (live && std::chrono::abs(std::chrono::duration<double>(due - now)).count() >
                            kLiveResyncSeconds) {
                startWall = due = now;
                startTs = lastTs_;
            }
            std::unique_lock<std::mutex> lock(waitLock_);
            wake_.wait_until(lock, due, [this] { return stopRequested_.load(); });
        }
        // A frame already decoded is presented even when a stop interrupted
        // the wait, so that the decoder and the presented frame stay together.
        present(number, true);
    }
}

std::vector<double> FfmpegMediaSource::frameTimes() {
    std::vector<double> times;
    if (!open_ || kind_ == SourceKind::Live || !indexed_) return times;
    const int64_t count = frameCount();
    times.reserve(static_cast<size_t>(std::max<int64_t>(0, count)));
    const int64_t zero = index_.seekTimestamp(0);
    double previous = 0;
    for (int64_t n = 0; n < count; ++n) {
        // Frames inside a damaged stretch share a time: keep them ascending.
        const double t = double(index_.seekTimestamp(n) - zero) * timeBase_;
        previous = n == 0 ? 0.0 : std::max(previous, t);
        times.push_back(previous);
    }
    return times;
}

} // namespace stillora
