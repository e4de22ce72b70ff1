#pragma once
// What the timeline window needs from the main window. The main window
// implements it; tests use a fake over a scripted media source.

#include <QImage>

#include <cstdint>
#include <memory>
#include <vector>

namespace stillora {

class TSelection;

class TimelineHost {
public:
    virtual ~TimelineHost() = default;

    // Every selection of the owning selection list, in creation order.
    virtual std::vector<TSelection*> selectionList() = 0;
    // The live ring of the most recent frames; lives as long as the host.
    virtual TSelection& captureStack() = 0;
    // 0 live, 1 file, 2 stream, 3 DVD.
    virtual int sourceKind() = 0;
    // Positions the source on `frame` (waiting until it has settled) and
    // grabs it into `picture`. Returns false when the frame cannot be had.
    // May process user-interface events while it waits.
    virtual bool seekAndGrab(int64_t frame, QImage& picture) = 0;
    // Positions the source on `frame` as a click in the tree does.
    virtual void seekTo(int64_t frame) = 0;
    // Adds a new selection to the selection list and the tree, and updates
    // the wizard buttons.
    virtual void addSelection(std::unique_ptr<TSelection> selection) = 0;
    // Puts `picture` (null: none, the viewer keeps what it shows) of
    // `selection` into the image viewer, then shows the viewer if hidden.
    virtual void showFrameInViewer(const TSelection& selection, const QImage* picture) = 0;
};

} // namespace stillora
