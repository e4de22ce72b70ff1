#pragma once
// A media source for tests: every frame it yields carries its own number as a
// grid of black and white cells, so a test can read back which frame it got
// (also after JPEG compression or scaling). Playback does not run on its own:
// the test moves it with advance() and feeds live frames with pushLiveFrames().

#include "video/MediaSource.h"

#include <mutex>

namespace stillora {

class ScriptedMediaSource : public MediaSource {
public:
    explicit ScriptedMediaSource(int64_t frames = 100, QSize size = QSize(64, 48));

    // Test controls.
    void setOpenable(bool openable) { openable_ = openable; }
    void setDevices(std::vector<CaptureDevice> devices) { devices_ = std::move(devices); }
    // Makes every grab fail (returns false, null image) while set.
    void setGrabFails(bool fails) { grabFails_ = fails; }
    // Moves a running source forward by up to n frames, calling the handlers.
    void advance(int n);
    // Delivers n live frames (numbered on from the last) through the handlers.
    void pushLiveFrames(int n);
    const std::vector<std::string>& openedNames() const { return opened_; }
    // Every call made on the source, in order ("open", "run", "pause", "stop", "seek 7", ...).
    const std::vector<std::string>& calls() const { return calls_; }

    // Frame pictures: draw a frame carrying `number`, and read it back
    // (-1 when the picture carries no readable number).
    static QImage makeFrame(int64_t number, QSize size);
    static int64_t readNumber(const QImage& image);

    bool open(SourceKind kind, const std::string& name, std::string* error) override;
    void close() override;
    bool isOpen() const override { return open_; }
    SourceKind kind() const override { return kind_; }
    bool run(std::string* error) override;
    bool pause(std::string* error) override;
    bool stop(std::string* error) override;
    MediaState state() const override { return state_; }
    int64_t frameCount() override;
    int64_t currentFrame() override { return open_ ? current_ : 0; }
    bool seek(int64_t frame, std::string* error) override;
    void setStopFrame(int64_t frame) override { stopFrame_ = frame; }
    bool grab(QImage& out) override;
    QSize frameSize() const override { return open_ ? size_ : QSize(); }
    void setFrameCallback(FrameCallback callback) override;
    void setFrameNotifier(std::function<void()> notifier) override;
    std::vector<CaptureDevice> captureDevices() override { return devices_; }
    // 25 frames a second.
    std::vector<double> frameTimes() override;
    double frameRate() const override { return open_ && kind_ != SourceKind::Live ? 25.0 : 0.0; }

private:
    void present(int64_t number);

    int64_t frames_;
    QSize size_;
    bool openable_ = true;
    bool grabFails_ = false;
    bool open_ = false;
    SourceKind kind_ = SourceKind::File;
    MediaState state_ = MediaState::None;
    int64_t current_ = 0;
    int64_t stopFrame_ = -1;
    bool presented_ = false;
    std::vector<CaptureDevice> devices_;
    std::vector<std::string> opened_;
    std::vector<std::string> calls_;
    std::mutex handlerLock_;
    FrameCallback callback_;
    std::function<void()> notifier_;
};

} // namespace stillora
