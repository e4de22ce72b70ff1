#pragma once
// Where a run gets each selected frame from.

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>

namespace stillora {

class MediaSource;
class TSelection;

class RenderFrameSource {
public:
    virtual ~RenderFrameSource() = default;
    // Puts frame `frame` of `selection` into `picture`. On failure returns
    // false with a reason and leaves `picture` as it was.
    virtual bool fetch(const TSelection& selection, int64_t frame, QImage& picture,
                       QString* error) = 0;
    // True when fetch() may be called from a thread other than the run's
    // (one thread at a time, nobody else using the source meanwhile), so a
    // pipelined run can fetch ahead.
    virtual bool fetchesOnAnyThread() const { return false; }
};

// A file or stream: seek, let the source settle, grab.
class MediaFrameSource : public RenderFrameSource {
public:
    // `settle` runs between seek and grab (the safe-seek delay); may be empty.
    explicit MediaFrameSource(MediaSource& media, std::function<void()> settle = {});
    bool fetch(const TSelection& selection, int64_t frame, QImage& picture,
               QString* error) override;
    bool fetchesOnAnyThread() const override { return true; }

private:
    MediaSource& media_;
    std::function<void()> settle_;
};

// A live capture: the selection's stored picture whose slot index is the
// frame number. A missing or empty slot gives an empty (0 x 0) picture.
class LiveSlotFrameSource : public RenderFrameSource {
public:
    bool fetch(const TSelection& selection, int64_t frame, QImage& picture,
               QString* error) override;
    // Reads the selections' stored pictures, which a run does not change.
    bool fetchesOnAnyThread() const override { return true; }
};

// Adapts any callable (a window's own seek-and-grab) to the interface.
class CallbackFrameSource : public RenderFrameSource {
public:
    using Fetch = std::function<bool(int64_t frame, QImage& picture, QString* error)>;
    explicit CallbackFrameSource(Fetch fetch) : fetch_(std::move(fetch)) {}
    bool fetch(const TSelection&, int64_t frame, QImage& picture, QString* error) override {
        return fetch_(frame, picture, error);
    }

private:
    Fetch fetch_;
};

} // namespace stillora
