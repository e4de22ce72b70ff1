#pragma once
// What the Finalize page needs from the main window to run a preview or a
// render. The window implements it and passes it to TFinalizePage.

#include "render/RenderExporter.h"
#include "render/RenderRun.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace stillora {

class TSelection;

class RenderHost {
public:
    virtual ~RenderHost() = default;

    // The selections of the tree's top-level nodes, in tree order. They must
    // stay alive until the run ends (the tree cannot change meanwhile: the
    // window disables navigation in runStarted()).
    virtual std::vector<TSelection*> selections() = 0;
    // The current source kind: 0 live (frames come from the selections'
    // stored pictures), 1 file, 2 stream, 3 DVD.
    virtual int sourceKind() = 0;
    // Positions the source on `frame`, waits until it has settled (the
    // safe-seek delay included) and grabs it into `picture`. On failure
    // returns false with a reason and leaves `picture` as it was.
    virtual bool fetchFrame(int64_t frame, QImage& picture, QString* error) = 0;
    // A source a render (not a preview) may fetch from on a thread of its
    // own, decoding ahead while the current frame is processed; null when
    // frames must come through fetchFrame() (live sources, the safe-seek
    // delay). Called on the user-interface thread before runStarted(); the
    // host leaves the media alone until runEnded().
    virtual RenderFrameSource* renderSource() { return nullptr; }
    // The name of the chosen source (the movie file is named after it when
    // no output file is given).
    virtual QString sourceName() = 0;

    // Called before the first frame: disable navigation, show Cancel.
    // The page sets its own wait cursor and disables its run buttons.
    virtual void runStarted(bool preview) = 0;
    // Called after every run however it ends (errors included): undo
    // runStarted(); after a render (preview false) enable Finish.
    virtual void runEnded(bool preview) = 0;
    // After every frame of a run: how far it is ("Frame 37 of 500, 0:12
    // left"), for the window's status line.
    virtual void runProgress(const QString& text) { Q_UNUSED(text); }

    // End of a numbered-frames render: show the exported pictures of
    // `folder` matching `mask` (e.g. "*.jpg").
    virtual void showImageBrowser(const QString& folder, const QString& mask) {
        Q_UNUSED(folder);
        Q_UNUSED(mask);
    }
    // Applies one effect entry; empty while no effect host exists (the run
    // then warns about selections that carry effects).
    virtual EffectApplier effectApplier() { return {}; }
    // The exporter for the run's export kind (web gallery or movie, with
    // its movie kind); null while none is available (a render of that kind
    // is then refused). It stays alive until the next call.
    virtual RenderExporter* exporter(const RenderSettings& settings) {
        Q_UNUSED(settings);
        return nullptr;
    }
};

} // namespace stillora
