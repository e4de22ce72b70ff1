#pragma once
// The one interface through which the program reaches video: open a source,
// play it, position it on an exact frame and grab that frame as a bitmap.
//
// Frame numbers: frame N is the N-th frame (counting from 0) that a plain
// sequential decode of the video stream yields. Every implementation keeps to
// that numbering, whatever the container's timestamps say.
//
// Threads: every member is called from one thread (the user-interface
// thread), except the callbacks, which run on the implementation's decoding
// thread. pause(), stop(), seek() and close() wait for that thread to let go
// of the decoder, so a callback must never wait for the user-interface
// thread (post to it instead, e.g. with a queued call).

#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace stillora {

// Kinds of video source. Stored in settings and selection files: new kinds
// are only ever added at the end.
enum class SourceKind : int { Live = 0, File = 1, Stream = 2, Dvd = 3 };

// What get-state reports. None: no source, or the state cannot be told.
enum class MediaState { None, Stopped, Paused, Running };

struct CaptureDevice {
    std::string name; // friendly name shown to the user (V4L2 card name)
    std::string path; // what open() needs, e.g. /dev/video0
};

class MediaSource {
public:
    virtual ~MediaSource() = default;

    // Opens `name` as a source of `kind`, closing any source open before.
    // Returns false and sets *error (when given) to a short reason on failure;
    // the object is then closed and usable for the next open.
    // Live sources are opened by device friendly name (see captureDevices()).
    virtual bool open(SourceKind kind, const std::string& name, std::string* error) = 0;

    // Stops playback and releases the source. Safe when nothing is open.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual SourceKind kind() const = 0;
    // True for a source that delivers frames as they come and cannot be
    // positioned: a capture device, or a stream URL that is a broadcast
    // rather than a remote file (no known length, or no way to seek in it).
    // Live sources have no frame count and refuse every seek.
    virtual bool isLive() const { return isOpen() && kind() == SourceKind::Live; }

    // Starts or resumes playback at the media's pace, from the current
    // position to the stop frame. Returns false with *error on failure.
    // At the stop frame (or the end) the last frame stays current and state()
    // stays Running until pause() or stop(), as a media graph reports it.
    virtual bool run(std::string* error) = 0;
    // Holds the current frame; grab() keeps returning it.
    virtual bool pause(std::string* error) = 0;
    // Ends playback; the position stays where it was.
    virtual bool stop(std::string* error) = 0;
    virtual MediaState state() const = 0;

    // Number of frames of a non-live source; 0 when unknown or nothing is open.
    // It can drop (never grow) when a damaged file turns out to hold fewer
    // frames than its packets promised.
    virtual int64_t frameCount() = 0;
    // Number of the frame grab() returns now; 0 when unknown.
    virtual int64_t currentFrame() = 0;

    // Positions a non-live source on `frame` and leaves it paused there.
    // When it returns true, currentFrame() == frame and grab() yields that
    // frame. A frame outside 0..frameCount()-1 is refused (false, *error set).
    // A running source is paused first. Live sources refuse every seek.
    virtual bool seek(int64_t frame, std::string* error) = 0;

    // Last frame (inclusive) that playback runs to; -1 plays to the end.
    virtual void setStopFrame(int64_t frame) = 0;

    // Copies the most recent frame into `out` as QImage::Format_RGB32
    // (bytes blue, green, red, reserved). Returns false and makes `out` a
    // null image when no frame has been decoded yet.
    virtual bool grab(QImage& out) = 0;

    // Size of the video frames, as they are shown (upright); empty while unknown.
    virtual QSize frameSize() const = 0;

    // What the user should hear of about the open source although it opened,
    // in a sentence (such as which frames damaged data makes unusable);
    // empty when there is nothing to say.
    virtual std::string notice() const { return {}; }

    // Called on the decoding thread for every frame presented while running
    // (the sample grabber's per-frame handler). `frame` is valid only for the
    // call. An empty function removes the handler. Takes effect for the next
    // frame; the implementation never calls a removed handler afterwards.
    using FrameCallback = std::function<void(const QImage& frame, int64_t number)>;
    virtual void setFrameCallback(FrameCallback callback) = 0;

    // Called (on any thread) after a new frame has become current, so that a
    // video window can repaint from grab(). An empty function removes it.
    virtual void setFrameNotifier(std::function<void()> notifier) = 0;

    // Called on the thread that calls open() while a file is indexed (every
    // packet read once, which takes long for a long file on a slow disk),
    // every 25 to 50 ms, with the share read so far (0 to 99, -1 when the
    // size is unknown); the reading itself runs on a thread of its own.
    // While a stream URL waits for its server (connecting, reading the
    // stream's header) the share is kConnecting; the waiting runs on that
    // thread too.
    // Returning false cancels: open() then fails with "Opening was cancelled."
    // An empty function removes the handler.
    static constexpr int kConnecting = -2;
    using OpenProgress = std::function<bool(int percent)>;
    virtual void setOpenProgress(OpenProgress progress) { (void)progress; }

    // Seconds after frame 0 at which each frame shows (presentation times,
    // so variable frame rates keep their spacing), frame 0 first; empty for
    // live sources and when nothing is open. Comes from the index, without
    // decoding.
    virtual std::vector<double> frameTimes() { return {}; }
    // Frames per second the video promises (its average rate); 0 unknown.
    virtual double frameRate() const { return 0; }

    // Video input devices present now, in a stable order.
    virtual std::vector<CaptureDevice> captureDevices() = 0;
};

// The implementation the program uses.
std::unique_ptr<MediaSource> createMediaSource();

} // namespace stillora
