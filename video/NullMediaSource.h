#pragma once
// A media source that cannot open anything: what the program runs on when no
// real media layer is built in, and a baseline for tests.

#include "video/MediaSource.h"

namespace stillora {

class NullMediaSource : public MediaSource {
public:
    bool open(SourceKind kind, const std::string& name, std::string* error) override;
    void close() override {}
    bool isOpen() const override { return false; }
    SourceKind kind() const override { return SourceKind::File; }
    bool run(std::string* error) override;
    bool pause(std::string* error) override;
    bool stop(std::string* error) override;
    MediaState state() const override { return MediaState::None; }
    int64_t frameCount() override { return 0; }
    int64_t currentFrame() override { return 0; }
    bool seek(int64_t frame, std::string* error) override;
    void setStopFrame(int64_t) override {}
    bool grab(QImage& out) override;
    QSize frameSize() const override { return {}; }
    void setFrameCallback(FrameCallback) override {}
    void setFrameNotifier(std::function<void()>) override {}
    std::vector<CaptureDevice> captureDevices() override { return {}; }
};

} // namespace stillora
