#pragma once
// The preview and render run: every frame of every selection is fetched,
// passed through its selection's effect chain, stamped with the overlay,
// named, shown and (in a render run) written as a still and handed to the
// exporter.
//
// Everything the caller sees happens on the thread that calls Run(): the
// callbacks, the questions, the exporter's calls and the effects. It keeps a
// window alive through the processEvents callback after every frame and
// inside the preview delay, and stops only between frames, when
// RequestStop() was called. It needs no widgets: a window or a batch tool
// supplies the callbacks.
//
// A pipelined render (setPipelined) fetches the next frames on a thread of
// its own while the current one goes through its chain, and writes each
// still on a writer thread (one per run) while the next frame's effects
// run. Frames still leave in order: names, counter, questions, exporter
// calls, labels and files are those of the plain run, and a stop drops the
// frames fetched ahead.
//
// One object lives as long as the program: FrameCounter, LastFramePath and
// the movie frame size keep their values from one run to the next, and the
// overlay font lives on from frame to frame.

#include "pluginhost/PluginRecord.h"
#include "render/FrameSource.h"
#include "render/RenderExporter.h"
#include "render/RenderPrompter.h"
#include "render/RenderSettings.h"

#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace stillora {

class TSelection;

// Applies one effect entry to `src`, writing the outcome to `dst`. May throw:
// the error ends the run and is passed on to the caller.
using EffectApplier =
    std::function<void(const TPluginRecord& effect, const QImage& src, QImage& dst)>;

// Pauses for `ms` milliseconds in rounds of 10 ms, processing pending events
// after each round and once more after the remainder.
void PreviewDelay(int ms, const std::function<void(int)>& sleep,
                  const std::function<void()>& processEvents);

// The number of frames a run over `selections` processes when nothing stops
// it ("Skip every" applied per selection).
int64_t CountRunFrames(const std::vector<TSelection*>& selections, const RenderSettings& settings);

class RenderRun {
public:
    // Everything a run reports on the way; every member may be left empty.
    struct Callbacks {
        std::function<void(const QString&)> sourceInfo; // lblSourceInfo
        std::function<void(const QString&)> destInfo;   // lblDestInfo
        std::function<void(const QImage&)> sourcePicture;
        std::function<void(const QImage&)> destPicture;
        std::function<void(const QImage&)> resultPicture;
        std::function<void()> processEvents;
        // Sleeps for the given milliseconds (default: the thread sleeps).
        std::function<void(int)> sleep;
        // A frame that could not be fetched; the run goes on with the
        // previous source picture.
        std::function<void(int64_t frame, const QString& reason)> fetchFailed;
        // The export folder check changed the folder (the window shows it).
        std::function<void(const QString&)> exportFolderChanged;
        // End of a numbered-frames render: show the folder's pictures.
        std::function<void(const QString& folder, const QString& mask)> showImageBrowser;
        // The clock for the time and date overlay (default: now).
        std::function<QDateTime()> clock;
        // After every processed frame, with the frames processed so far.
        std::function<void(int32_t processed)> frameDone;
    };

    // Why a run ended.
    enum class Outcome {
        Completed, // every selection was walked
        Stopped,   // RequestStop(), a Yes to an error, a No to a collision
        Refused,   // nothing was run (no exporter for the kind, effects declined)
    };

    RenderRun() = default;

    void setCallbacks(Callbacks callbacks) { callbacks_ = std::move(callbacks); }
    void setPrompter(RenderPrompter* prompter) { prompter_ = prompter; }
    void setFrameSource(RenderFrameSource* source) { source_ = source; }
    // Without an applier effect chains cannot run: a run over selections with
    // effects warns first and writes the frames without them if allowed.
    void setEffectApplier(EffectApplier applier) { applier_ = std::move(applier); }
    // The exporter for web gallery and movie runs; numbered frames need none.
    void setExporter(RenderExporter* exporter) { exporter_ = exporter; }
    // Fetch ahead and write behind in render runs (previews stay plain).
    // Needs a frame source that may be used from another thread; with one
    // that may not, the run is plain.
    void setPipelined(bool on) { pipelined_ = on; }
    // Frames fetched ahead of the one being processed (default 2: enough to
    // keep the decoder busy while a still is written, and each 1080p frame in
    // flight costs 8 MB).
    void setFetchAhead(int frames) { fetchAhead_ = frames < 1 ? 1 : frames; }
    // Folder an empty export folder is created under (default: the current one).
    void setWorkingDirectory(const QString& folder) { workingDir_ = folder; }

    // Runs over `selections` in order. A prompter and a frame source must be
    // set. Errors from the effect applier propagate after the exporter was
    // told to abandon; every other problem is asked about or reported.
    Outcome Run(const std::vector<TSelection*>& selections, const RenderSettings& settings,
                bool preview);

    // The frame loop of one selection and the work on one frame; Run() calls
    // them, they are public for tools that drive a run step by step.
    void RenderSelection(TSelection& selection);
    // Returns false when the frame was refused (its name collided and the
    // user declined): it is neither written nor exported.
    bool ProcessFrame(TSelection& selection, int64_t frame);

    // Asks the run to stop before its next frame (the Cancel button).
    void RequestStop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }

    bool PreviewMode() const { return previewMode_; }
    int32_t FrameCounter() const { return frameCounter_; }
    const QString& LastFramePath() const { return lastFramePath_; }
    int MovieFrameWidth() const { return movieFrameWidth_; }
    int MovieFrameHeight() const { return movieFrameHeight_; }
    const QString& MovieFileName() const { return movieFileName_; }
    bool CrossfadeOn() const { return crossfadeOn_; }
    // The settings of the current (or last) run, export folder as checked.
    const RenderSettings& Settings() const { return settings_; }

    const QImage& SourcePicture() const { return src_; }
    const QImage& DestPicture() const { return dest_; }
    // The overlay's font as it stands after the last frame.
    const QFont& CanvasFont() const { return canvasFont_; }

private:
    struct PendingFrame;
    void runPipelined(const std::vector<TSelection*>& selections);
    void prepareFrame(TSelection& selection, const struct FetchedFrame& fetched,
                      std::vector<QImage>& results);
    void completeFrame(PendingFrame& pending);
    // True when "Skip every" keeps the index-th frame of a selection.
    bool keepsFrame(int64_t index) const;
    // After a frame: hands it to the exporter when it was named, counts it
    // and lets the caller's events run.
    void exportAndCount(bool named, const QImage& picture, const TSelection& selection,
                        int64_t frame);
    // Shows "caption.frame" in the source label.
    void showSourceInfo(const TSelection& selection, int64_t frame);
    // Names the processed frame (dest_), asks the collision question, sets
    // LastFramePath and the movie frame size; false when the name was refused.
    bool nameFrame(const TSelection& selection, QString& name);
    bool exporterActive() const;
    bool writesStills() const;
    void processEvents();

    Callbacks callbacks_;
    RenderPrompter* prompter_ = nullptr;
    RenderFrameSource* source_ = nullptr;
    EffectApplier applier_;
    RenderExporter* exporter_ = nullptr;
    QString workingDir_;
    bool pipelined_ = false;
    int fetchAhead_ = 2;

    RenderSettings settings_;
    bool stopRequested_ = true; // no run in progress
    bool previewMode_ = false;
    bool crossfadeOn_ = false;
    bool skipEffects_ = false;
    int32_t frameCounter_ = 0;
    QString lastFramePath_;
    int movieFrameWidth_ = 0;
    int movieFrameHeight_ = 0;
    QString movieFileName_;

    QImage src_, dest_, result_;
    QFont canvasFont_;
};

} // namespace stillora
