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
};

// A file or stream: seek, let the source settle, grab.
class MediaFrameSource : public RenderFrameSource {
public:
    // `settle` runs between seek and grab (the safe-seek delay); may be empty.
    explicit MediaFrameSource(MediaSource& media, std::function<void()> settle = {});
    bool fetch(const TSelection& selection, int64_t frame, QImage& picture,
               QString* error) override;

private:
    MediaSource& media_;
    std::function<void()> settle_;
    QImage grabbed_;
};

// A live capture: the selection's stored picture whose slot index is the
// frame number. A missing or empty slot gives an empty (0 x 0) picture.
class LiveSlotFrameSource : public RenderFrameSource {
public:
    bool fetch(const TSelection& selection, int64_t frame, QImage& picture,
               QString* error) override;
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
