#pragma once
// The media source the program runs on: files and stream URLs through
// libavformat/libavcodec, live V4L2 devices through libavdevice.
//
// Files are indexed at open (every packet read once, nothing decoded) so that
// frameCount() is exact and every frame number maps to a timestamp. A seek
// goes back to a key frame and decodes forward to the exact frame; a request a
// few frames ahead of the decoder just decodes forward.
//
// A stream URL is told apart at open: one that can be sought and has a known
// length (a file on a server that answers range requests, an HLS playlist
// that ends) is a remote file, indexed and numbered exactly like a local
// file; anything else is a live stream, which behaves like a capture device.
//
// Threads: the public calls come from one thread. Playback runs on a thread
// of its own that owns the decoder while it runs; pause(), stop(), seek() and
// close() end that thread before they touch the decoder again. close() called
// from the open's progress handler (a window closing while a file is
// indexed) cancels the open, which then closes the source itself. The presented
// frame is shared under frameLock_, the handlers under handlerLock_.

#include "video/FrameConverter.h"
#include "video/FrameIndex.h"
#include "video/InputReader.h"
#include "video/MediaSource.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;

namespace stillora {

class PacketCheck;

class FfmpegMediaSource : public MediaSource {
public:
    FfmpegMediaSource();
    ~FfmpegMediaSource() override;
    FfmpegMediaSource(const FfmpegMediaSource&) = delete;
    FfmpegMediaSource& operator=(const FfmpegMediaSource&) = delete;

    bool open(SourceKind kind, const std::string& name, std::string* error) override;
    void close() override;
    bool isOpen() const override { return open_; }
    SourceKind kind() const override { return kind_; }
    bool isLive() const override { return open_ && (kind_ == SourceKind::Live || liveStream_); }
    bool run(std::string* error) override;
    bool pause(std::string* error) override;
    bool stop(std::string* error) override;
    MediaState state() const override { return state_; }
    int64_t frameCount() override;
    int64_t currentFrame() override;
    bool seek(int64_t frame, std::string* error) override;
    void setStopFrame(int64_t frame) override { stopFrame_ = frame; }
    bool grab(QImage& out) override;
    QSize frameSize() const override;
    std::string notice() const override;
    void setFrameCallback(FrameCallback callback) override;
    void setFrameNotifier(std::function<void()> notifier) override;
    void setOpenProgress(OpenProgress progress) override { openProgress_ = std::move(progress); }
    std::vector<CaptureDevice> captureDevices() override;
    std::vector<double> frameTimes() override;
    double frameRate() const override { return open_ && kind_ != SourceKind::Live ? rate_ : 0; }

    // Opens any input libavformat/libavdevice reads (`format` names the input,
    // e.g. "video4linux2" or "lavfi") as a live source: no index, no seeking,
    // frames numbered in arrival order.
    bool openLive(const std::string& format, const std::string& url, std::string* error);
    // Opens what `reader` yields, a stream of container `format` (null: probe
    // it), as a non-live source of `kind` indexed like a file; `name` is what
    // messages call it. The source keeps the reader until it is closed.
    bool openReader(SourceKind kind, std::shared_ptr<InputReader> reader, const std::string& name,
                    const char* format, std::string* error);
    // Decoder threads for the next open (default 2).
    void setDecoderThreads(int threads) { threads_ = threads < 1 ? 1 : threads; }
    // Demuxer seeks since the last open: lets tests tell a forward decode from a seek.
    int64_t demuxerSeeks() const { return demuxerSeeks_; }
    // Pictures the decoder yielded since the last open (benchmarks: the work
    // a seek costs).
    int64_t decodedFrames() const { return decodedFrames_; }

private:
    enum class Reach { Reached, Overshot, NoSafeFrame, Ended, Missing, BadStart, Interrupted };
    // Where the decoder stands when decodeUntil() starts: at the beginning of
    // the stream, just after a seek into it, or on from the frame it yielded last.
    enum class Start { Beginning, Seeked, Continuing };

    bool openInput(const std::string& url, const char* format, std::string* error);
    // Opens a stream URL (already checked): connects, tells a remote file
    // from a live stream, indexes a remote file. With a progress handler the
    // work runs on a thread of its own while the caller's thread reports.
    bool openStream(const std::string& url, std::string* error);
    // The work of openStream(), on whichever thread runs it.
    bool connectStream(const std::string& url, std::string* error);
    // Reconnects an input whose reading was interrupted (a read that was
    // aborted leaves libavformat's byte reader failed for good). A stream
    // reconnects as it opens: off this thread while openProgress_ hears how
    // it goes, so that it can be cancelled.
    bool recoverInput(std::string* error);
    // Runs `work` (which waits on a server) on a thread of its own while the
    // caller's thread reports to openProgress_ every 50 ms; a handler that
    // says stop sets cancelRequested_ and aborts the work's reads. Without a
    // handler the work runs on the caller's thread.
    void reportWhile(const std::function<void()>& work);
    void closeInput();
    bool finishOpen(SourceKind kind, std::string* error);
    bool attachReader();
    static int readerRead(void* opaque, uint8_t* buffer, int size);
    static int64_t readerSeek(void* opaque, int64_t offset, int whence);
    bool buildIndex(std::string* error);
    // The index pass proper: reads every packet; 0, or AVERROR_EXIT when
    // interrupted. Runs on the reading thread of buildIndex().
    int readPackets(const PacketCheck& check, const std::vector<int64_t>& listed);
    // Decodes the opening of a freshly opened input; returns the indices of
    // the indexed packets that yielded no picture.
    std::vector<int64_t> packetsWithoutPicture();
    // Decodes the stretches around the packets the index pass found damaged
    // and records in the index what a sequential decode makes of them.
    void scanDamage();
    struct Damage {
        int64_t first = 0, promised = 0, yielded = 0;
    };
    // Decodes from the key frame before container frame `first` until the
    // decode runs clean again past `last`. True when it found a damaged
    // stretch (*found); *reached is the last container frame it looked at.
    bool scanStretch(int64_t first, int64_t last, Damage* found, int64_t* reached,
                     int64_t* budget);
    // Positions the decoder for scanStretch() on the first clean key frame
    // of a decode from container key frame `key` (its number in
    // scanStart_): Reached, Overshot when that frame lies past `latest`,
    // Interrupted when the decode cannot go on.
    Reach scanFrom(int64_t key, int64_t latest, int64_t* budget);
    int64_t scanStart_ = -1;
    // Gives a packet read after a seek the times it had in the index pass.
    void restoreTimes(AVPacket* packet) const;
    int decodeNext(int64_t* number);
    bool demuxerSeek(int64_t timestamp);
    bool rewind();
    bool reopen(std::string* error);
    void resetDecoder();
    bool seekTo(int64_t target, std::string* error);
    Reach decodeUntil(int64_t target, Start start);
    void present(int64_t number, bool deliver);
    void convertCurrent(); // call with frameLock_ held
    QSize uprightSize(int width, int height) const;
    void deliverCurrent();
    void playLoop();
    void playFrames(); // the body of playLoop()
    void stopWorker();
    void armDeadline(int seconds);
    // While a stream opens: data came from the server, so the open's
    // deadline moves on (any thread that reads).
    void serverAnswered();
    // What a failed step of a stream's open tells the user: `otherwise`,
    // unless the open ran out of time after the server had begun to answer.
    std::string stalledReason(const std::string& otherwise) const;
    static int interruptCallback(void* opaque);

    // Owned by the thread that drives the decoder (the caller's, or the
    // playback thread while it runs).
    AVFormatContext* format_ = nullptr;
    AVIOContext* io_ = nullptr; // when reading through reader_
    std::shared_ptr<InputReader> reader_;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* decoded_ = nullptr;
    int stream_ = -1;
    bool pendingPacket_ = false;
    bool inputEnded_ = false;
    bool decoderEnded_ = false;
    int failuresInARow_ = 0; // frames the decoder failed on since its last picture
    int64_t lastTs_ = 0;
    bool lastTsKnown_ = false;
    int64_t lastNumber_ = -1; // number of the frame the decoder yielded last; -1 unknown
    bool atStart_ = false;    // the next frame is the stream's first
    int64_t frameDuration_ = 1;
    double timeBase_ = 0.0; // seconds per timestamp unit
    double rate_ = 0.0;     // average frames per second; 0 unknown
    FrameIndex index_;
    bool indexed_ = false;
    bool startsUndecodable_ = false; // the opening holds packets that yield no picture
    bool network_ = false;    // the input is a stream URL
    bool liveStream_ = false; // ... and a live one: no index, frames counted as they come
    bool inputInterrupted_ = false; // a read was aborted or failed: reconnect before reading on
    // Packets the index pass found damaged: their presentation and decode times.
    std::vector<std::pair<int64_t, int64_t>> damagedPackets_;
    // The times of every indexed packet, by ascending byte position: after
    // damaged data some demuxers (AVI) time packets differently once they
    // have sought than when they read on from the start.
    struct PacketTimes {
        int64_t position, pts, dts;
    };
    std::vector<PacketTimes> timesByPosition_;
    // The number decodeNext() took from the frame's timestamp or packet, or
    // -1 when it counted on from the frame before.
    int64_t lastTimestampNumber_ = -1;
    // While decodeUntil() runs: the frame sought. Packets of earlier frames
    // that no other picture refers to need not be decoded (see skipsPacket).
    int64_t skipBefore_ = -1;
    bool skipsPacket(const AVPacket& packet) const;
    // Numbers of the frames left out so far: a frame numbered by counting
    // on from the one before passes over them.
    std::set<int64_t> skipped_;
    // Packets of the video hold two pictures each (see PacketCheck): their
    // times then say nothing certain about the frame a packet yields.
    bool packedPictures_ = false;

    // Caller's thread only.
    SourceKind kind_ = SourceKind::File;
    bool open_ = false;
    MediaState state_ = MediaState::None;
    std::string url_;
    std::string inputFormat_;
    int threads_ = 2;
    std::thread worker_;
    std::atomic<int64_t> stopFrame_{-1};
    std::atomic<int64_t> demuxerSeeks_{0};
    std::atomic<int64_t> decodedFrames_{0};
    OpenProgress openProgress_;
    bool openCancelled_ = false; // the handler said stop during the decodes at open
    std::chrono::steady_clock::time_point lastReport_;
    void keepResponsive(); // reports to openProgress_ at most every 25 ms
    // Calls openProgress_; false when it says stop or closed the source.
    bool reportOpen(int percent);
    std::atomic<bool> closeRequested_{false}; // openProgress_ called close(): the open stops
    std::atomic<int64_t> bytesIndexed_{0}; // byte position the index pass reached
    // Set while a stream opens on a thread of its own and the caller's thread
    // reports progress: the opening thread then never calls openProgress_.
    bool pumpOutside_ = false;
    // While reportWhile() reports: calls that would touch the decoder (from
    // a handler that runs the event loop) are refused.
    bool reporting_ = false;
    enum OpenPhase : int { Connecting, Indexing, Finishing };
    std::atomic<int> openPhase_{Connecting};
    std::atomic<int64_t> indexSize_{-1};
    std::atomic<bool> cancelRequested_{false}; // the progress handler said stop
    std::atomic<bool> timedOut_{false};        // the read deadline ended a wait

    // Ends waits and blocking reads.
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> abortIo_{false};
    std::atomic<int64_t> ioDeadline_{0};
    // Non-zero while a stream opens: the one deadline of the whole open,
    // which only data from the server moves on (steady clock ticks).
    std::atomic<int64_t> openDeadline_{0};
    // When the read the playback thread waits in began (steady clock
    // ticks); 0 while it is not reading.
    std::atomic<int64_t> readingSince_{0};
    bool workerFinished_ = true; // under waitLock_: playLoop() has returned
    std::mutex waitLock_;
    std::condition_variable wake_;

    // The presented frame: converted to an image on first demand.
    mutable std::mutex frameLock_;
    AVFrame* current_ = nullptr;
    QImage currentImage_;
    // Upright size of the pictures; set by the thread a stream opens on
    // while the caller's thread may ask for it.
    QSize size_;
    bool hasFrame_ = false;
    int64_t currentNumber_ = 0;
    int64_t currentTs_ = 0;
    FrameConverter converter_;
    // Converted images come from here when no caller holds them any more, so
    // that a frame is converted into memory already mapped: the current one,
    // those a caller still holds (a render run keeps a few frames in flight:
    // fetched ahead, in its chain, being written), and one to write. Slots
    // are filled on first need only.
    std::array<QImage, 6> imagePool_;

    std::mutex handlerLock_;
    FrameCallback callback_;
    std::function<void()> notifier_;
    int64_t lastDelivered_ = -1; // playback thread while it runs
};

} // namespace stillora
