#pragma once
// The batch run: opens every video, reads its selections (or makes them from
// --frames), works out every still it will write, checks the lot, and then
// renders each video through the program's own render run.
//
// Nothing is written until every video that can be opened has been checked:
// a usage fault found on the way (a frame past the end, a plug-in that is not
// loaded, stills that exist already) stops the run with nothing written.
// A video or list that cannot be opened is reported and left out; the others
// are rendered and the exit status says so.

#include "app/batch/BatchOptions.h"
#include "app/batch/Progress.h"
#include "pluginhost/PluginRecord.h"
#include "render/RenderSettings.h"

#include <QString>

#include <cstdio>
#include <atomic>
#include <functional>
#include <mutex>
#include <memory>
#include <vector>

namespace stillora {
class TSelection;
}

namespace stillora::batch {

class BatchRenderer {
public:
    // `base` holds the stored settings with the options applied (root name
    // and output folder are set here per video). `list` receives the
    // --dry-run names.
    BatchRenderer(const BatchOptions& options, const RenderSettings& base,
                  const PluginTable& plugins, Progress& progress, std::FILE* list = stdout);
    ~BatchRenderer();

    // Does the whole run and returns the exit status. `stopRequested` is
    // polled between videos and after every frame (Ctrl-C). With --jobs N,
    // N videos render at once on threads of their own; each video's frames
    // still come out in order. Called on the program's main thread.
    int Run(const std::function<bool()>& stopRequested);

    // Figures of the finished run.
    int64_t Written() const { return written_.load(); }
    int64_t Failed() const { return failed_.load(); }
    int64_t Kept() const { return kept_.load(); }

private:
    struct Job;
    enum class Prepared { Ready, InputFailed, UsageFault };

    Prepared prepare(Job& job, QString* problem);
    bool openMedia(Job& job, QString* problem);
    // Takes the frames of a live stream as they arrive (--grab, --grab-seconds)
    // into one selection whose stored pictures the render writes.
    Prepared grabLive(Job& job, QString* problem);
    // What a dry run does instead of grabLive(): plans the stills of --grab N
    // without taking a frame, and says what a run would do.
    Prepared planLiveGrab(Job& job);
    void plan(Job& job);
    void render(Job& job, const std::function<bool()>& stopRequested);
    void report(const QString& text);
    std::unique_ptr<TSelection> liveSelection(int64_t n) const;
    void indexing(const QString& video, int percent, const QString& what = QStringLiteral("Indexing"));
    void frameDone(const QString& video);

    const BatchOptions& options_;
    RenderSettings base_;
    const PluginTable& plugins_;
    Progress& progress_;
    std::FILE* list_;
    QString outFolder_;
    std::vector<TPluginRecord> fxChain_;
    std::function<bool()> stopRequested_; // Run()'s, for the index pass of each open

    // Lock order: effectsLock_ before outputLock_ (never the other way).
    // The plug-ins share state (their generator, their parameter tables):
    // one effect runs at a time, whichever video it belongs to.
    std::mutex effectsLock_;
    // Standard output, standard error and the progress line.
    std::mutex outputLock_;
    std::atomic<int64_t> written_{0};
    std::atomic<int64_t> failed_{0};
    std::atomic<int64_t> kept_{0};
};

} // namespace stillora::batch
