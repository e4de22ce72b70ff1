#include "app/batch/BatchRenderer.h"

#include "app/batch/BatchGenerate.h"
#include "app/batch/BatchSetup.h"
#include "export/Exporters.h"
#include "pluginhost/EffectChain.h"
#include "render/FrameSource.h"
#include "render/Naming.h"
#include "render/RenderRun.h"
#include "selection/Selection.h"
#include "selection/SelectionFile.h"
#include "selection/SelectionTree.h"
#include "video/DvdTitle.h"
#include "video/MediaSource.h"
#include "video/StreamUrl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThread>

#include <chrono>
#include <limits>
#include <optional>
#include <thread>

#include <algorithm>
#include <atomic>
#include <utility>

namespace stillora::batch {

namespace {

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString oneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

// One still the run will make: which frame, and the file it goes to.
struct PlannedStill {
    const TSelection* selection;
    int64_t frame;
    QString path;
    bool keep = false; // exists and is left alone (--keep-going)
};

// What happened to one planned frame. The frame source fills it in when it
// fetches the frame (possibly ahead, on the run's fetch thread); the run's
// own thread reads it and adds to it once it works on that frame.
struct FrameState {
    const PlannedStill* still = nullptr;
    bool keep = false;
    bool failed = false;  // reported already
    QString fetchProblem; // to be reported when the run reaches the frame
};

// The states of every planned frame, by plan index, plus one for frames the
// render would take outside the plan.
class FrameStates {
public:
    FrameStates(const RenderRun& run, size_t planned) : run_(run), states_(planned + 1) {}
    // Fetching side: the state of the n-th frame fetched.
    FrameState& fetched(size_t n) { return states_[std::min(n, states_.size() - 1)]; }
    // Run side: the frame the run is working on now.
    FrameState& current() {
        return states_[std::min(static_cast<size_t>(run_.FrameCounter()), states_.size() - 1)];
    }

private:
    const RenderRun& run_;
    std::vector<FrameState> states_;
};

// Plans a run: a preview run of the same selections and settings walks the
// frames exactly as the render will, and this source notes each one with
// the name it gets. Nothing is decoded.
class PlanningSource : public RenderFrameSource {
public:
    PlanningSource(const RenderRun& run, std::vector<PlannedStill>& plan)
        : run_(run), plan_(plan) {}
    bool fetch(const TSelection& selection, int64_t frame, QImage& picture, QString*) override {
        plan_.push_back({&selection, frame,
                         FramePath(run_.Settings(), selection.Caption, run_.FrameCounter())});
        picture = QImage();
        return true;
    }

private:
    const RenderRun& run_;
    std::vector<PlannedStill>& plan_;
};

// Fetches the planned frames from the video. A frame whose still is kept is
// not decoded; a frame that cannot be fetched becomes an empty picture, so
// that no still is written for it (rather than the frame before it).
class RenderingSource : public RenderFrameSource {
public:
    RenderingSource(const std::vector<PlannedStill>& plan, RenderFrameSource& media,
                    FrameStates& states)
        : plan_(plan), media_(media), states_(states) {}

    // The run fetches the planned frames once each, in plan order, whether
    // it fetches ahead or not: the n-th fetch is the n-th planned frame.
    bool fetch(const TSelection& selection, int64_t frame, QImage& picture,
               QString* error) override {
        const size_t index = next_++;
        FrameState& state = states_.fetched(index);
        state = FrameState{};
        if (index < plan_.size() && plan_[index].selection == &selection &&
            plan_[index].frame == frame)
            state.still = &plan_[index];
        if (!state.still) {
            // The render left the plan: write nothing rather than a wrong name.
            state.fetchProblem = QStringLiteral("frame %1 was not planned").arg(frame);
            picture = QImage();
            return true;
        }
        if (state.still->keep) {
            state.keep = true;
            picture = QImage();
            return true;
        }
        QString reason;
        if (!media_.fetch(selection, frame, picture, &reason)) {
            state.fetchProblem = QStringLiteral("cannot fetch the frame: ") + reason;
            picture = QImage();
            if (error) *error = reason;
            return false;
        }
        return true;
    }
    bool fetchesOnAnyThread() const override { return media_.fetchesOnAnyThread(); }

private:
    const std::vector<PlannedStill>& plan_;
    RenderFrameSource& media_;
    FrameStates& states_;
    size_t next_ = 0;
};

// Answers the run's questions without a person. A write error is recorded
// and the run goes on with the next frame; an empty picture's "error" is the
// planned gap of a kept or failed frame. Anything else unexpected is shown
// and answered so that the run continues.
class BatchPrompter : public RenderPrompter {
public:
    BatchPrompter(FrameStates& states, std::function<void(const QString&)> fail,
                  std::function<void(const QString&)> note)
        : states_(states), fail_(std::move(fail)), note_(std::move(note)) {}

    Button writeFailed(const QString&, const QString& reason) override {
        const FrameState& state = states_.current();
        if (!state.keep && !state.failed)
            fail_(QStringLiteral("cannot write the still: ") + oneLine(reason));
        return No; // do not cancel: go on with the next frame
    }

    Button ask(Kind, const QString& text, int buttons) override {
        note_(oneLine(text));
        if (buttons & Yes) return Yes;
        if (buttons & Ok) return Ok;
        return No;
    }

private:
    FrameStates& states_;
    std::function<void(const QString&)> fail_;
    std::function<void(const QString&)> note_;
};

// Exporters without a person to ask: finished files are listed on standard
// output, failures reported like every other problem of the run.
class BatchExportShell : public ExportShell {
public:
    BatchExportShell(std::FILE* list, std::function<void(const QString&)> fail)
        : list_(list), fail_(std::move(fail)) {}
    bool interactive() const override { return false; }
    RenderPrompter::Button ask(RenderPrompter::Kind, const QString&, int buttons) override {
        // Never asked in practice; the answer that changes nothing.
        if (buttons & RenderPrompter::No) return RenderPrompter::No;
        if (buttons & RenderPrompter::Cancel) return RenderPrompter::Cancel;
        return RenderPrompter::Ok;
    }
    void openDocument(const QString&) override {}
    QString askSaveFileName(const QString&, const QString&, const QString&) override {
        return QString();
    }
    void outputWritten(const QString& path) override {
        std::fprintf(list_, "%s\n", qPrintable(path));
        std::fflush(list_);
    }
    void reportError(const QString& message) override { fail_(message); }

private:
    std::FILE* list_;
    std::function<void(const QString&)> fail_;
};

// Questions of a planning run (none are expected).
class SilentPrompter : public RenderPrompter {
public:
    Button ask(Kind, const QString&, int buttons) override {
        return (buttons & Yes) ? Yes : (buttons & Ok) ? Ok : No;
    }
};

} // namespace

struct BatchRenderer::Job {
    QString video;
    SourceKind kind = SourceKind::File;
    bool live = false; // a live stream: its frames were taken at open and are stored
    std::unique_ptr<MediaSource> media;
    SelectionList list;
    SelectionTree tree{list};
    std::vector<TSelection*> selections;
    RenderSettings settings;
    std::vector<PlannedStill> plan;
    bool listDamaged = false; // some lines of a CSV or EDL list could not be used
};

BatchRenderer::BatchRenderer(const BatchOptions& options, const RenderSettings& base,
                             const PluginTable& plugins, Progress& progress, std::FILE* list)
    : options_(options), base_(base), plugins_(plugins), progress_(progress), list_(list) {}

BatchRenderer::~BatchRenderer() = default;

void BatchRenderer::report(const QString& text) {
    std::lock_guard<std::mutex> guard(outputLock_);
    progress_.message(QStringLiteral("stillora-batch: ") + text);
}

void BatchRenderer::indexing(const QString& video, int percent, const QString& what) {
    std::lock_guard<std::mutex> guard(outputLock_);
    progress_.indexing(video, percent, what);
}

void BatchRenderer::frameDone(const QString& video) {
    std::lock_guard<std::mutex> guard(outputLock_);
    progress_.frameDone(video);
}

bool BatchRenderer::openMedia(Job& job, QString* problem) {
    job.media = createMediaSource();
    std::string error;
    // An address such as http://... is a stream URL (a remote file or a
    // live stream, told apart at open); a folder, an IFO file or an ISO
    // image is a DVD volume.
    job.kind = looksLikeUrl(job.video.toStdString()) ? SourceKind::Stream
               : isDvdVolumePath(job.video)          ? SourceKind::Dvd
                                                     : SourceKind::File;
    const std::string name = job.kind == SourceKind::File ? QFile::encodeName(job.video).toStdString()
                                                          : job.video.toStdString();
    // Indexing a long file, or waiting for a server, takes a while: show
    // how far it got; Ctrl-C stops it.
    job.media->setOpenProgress([this, &job](int percent) {
        if (stopRequested_ && stopRequested_()) return false;
        if (percent == MediaSource::kConnecting)
            indexing(job.video, -1, QStringLiteral("Connecting"));
        else
            indexing(job.video, percent);
        return true;
    });
    const bool opened = job.media->open(job.kind, name, &error);
    job.media->setOpenProgress(nullptr);
    if (!opened) {
        *problem = QStringLiteral("cannot open video %1: %2")
                       .arg(quoted(job.video), oneLine(QString::fromStdString(error)));
        job.media.reset();
        return false;
    }
    const std::string notice = job.media->notice();
    if (!notice.empty())
        report(QStringLiteral("%1: %2").arg(job.video, QString::fromStdString(notice)));
    return true;
}

BatchRenderer::Prepared BatchRenderer::grabLive(Job& job, QString* problem) {
    using GrabClock = std::chrono::steady_clock;
    // A stream that sends nothing for this long has ended (reads time out
    // after 10 s).
    constexpr auto kSilence = std::chrono::seconds(12);
    job.live = true;
    if (options_.dryRun) return planLiveGrab(job);
    const int64_t wanted = options_.grabFrames.value_or(std::numeric_limits<int64_t>::max());
    const auto start = GrabClock::now();
    const auto until = options_.grabSeconds
                           ? start + std::chrono::duration_cast<GrabClock::duration>(
                                         std::chrono::duration<double>(*options_.grabSeconds))
                           : GrabClock::time_point::max();
    struct Arrivals {
        std::mutex lock;
        std::vector<std::unique_ptr<TCachedBitmap>> pictures;
        int64_t unwritten = 0;
        GrabClock::time_point last;
    } arrivals;
    arrivals.last = start;
    // Runs on the decoding thread; each frame goes to disk as it arrives, so
    // a long grab holds no pictures in memory.
    job.media->setFrameCallback([&](const QImage& frame, int64_t) {
        const auto now = GrabClock::now();
        std::lock_guard<std::mutex> hold(arrivals.lock);
        if (static_cast<int64_t>(arrivals.pictures.size()) >= wanted || now >= until) return;
        auto slot = std::make_unique<TCachedBitmap>();
        if (!slot->store(frame)) ++arrivals.unwritten;
        arrivals.pictures.push_back(std::move(slot));
        arrivals.last = now;
    });
    std::string error;
    bool stopped = false;
    if (!job.media->run(&error)) {
        job.media->setFrameCallback({});
        *problem = QStringLiteral("cannot play live stream %1: %2")
                       .arg(quoted(job.video), oneLine(QString::fromStdString(error)));
        return Prepared::InputFailed;
    }
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto now = GrabClock::now();
        int64_t taken;
        {
            std::lock_guard<std::mutex> hold(arrivals.lock);
            taken = static_cast<int64_t>(arrivals.pictures.size());
            if (taken >= wanted || now >= until || now - arrivals.last > kSilence) break;
        }
        if (stopRequested_ && stopRequested_()) {
            stopped = true;
            break;
        }
        const double share = options_.grabFrames
                                 ? double(taken) / double(wanted)
                                 : std::chrono::duration<double>(now - start).count() / *options_.grabSeconds;
        indexing(job.video, std::clamp(int(share * 100), 0, 99), QStringLiteral("Grabbing"));
    }
    job.media->setFrameCallback({});
    job.media->stop(&error);
    std::vector<std::unique_ptr<TCachedBitmap>> pictures;
    {
        std::lock_guard<std::mutex> hold(arrivals.lock);
        pictures.swap(arrivals.pictures);
    }
    if (stopped) {
        *problem = QStringLiteral("stopped while grabbing from %1").arg(quoted(job.video));
        return Prepared::InputFailed;
    }
    if (pictures.empty()) {
        *problem = QStringLiteral("no frames arrived from live stream %1").arg(quoted(job.video));
        return Prepared::InputFailed;
    }
    const int64_t n = static_cast<int64_t>(pictures.size());
    if (options_.grabFrames && n < wanted) {
        report(QStringLiteral("live stream %1 ended after %2 of %3 frames")
                   .arg(quoted(job.video))
                   .arg(n)
                   .arg(wanted));
        failed_ += wanted - n;
    }
    if (arrivals.unwritten > 0) {
        report(QStringLiteral("%1 frame(s) of %2 could not be kept in the temporary folder")
                   .arg(arrivals.unwritten)
                   .arg(quoted(job.video)));
    }
    auto selection = liveSelection(n);
    selection->AllocateSlots(kThumbSlotSize);
    selection->CachedSlots = std::move(pictures);
    job.selections.push_back(selection.get());
    job.list.push_back(std::move(selection));
    return Prepared::Ready;
}

// A selection of n frames taken from a live source, named as the program
// names one, with the run's effect chain.
std::unique_ptr<TSelection> BatchRenderer::liveSelection(int64_t n) const {
    auto selection = std::make_unique<TSelection>((n == 1 ? QStringLiteral("Frame_") : QStringLiteral("Range_")) +
                                                  MakeStamp());
    selection->StartFrame = 0;
    selection->EndFrame = n - 1;
    selection->frmLength = static_cast<int32_t>(n);
    selection->SourceKind = static_cast<int32_t>(SourceKind::Live);
    selection->Effects = fxChain_;
    selection->RefreshChainCaption();
    return selection;
}

BatchRenderer::Prepared BatchRenderer::planLiveGrab(Job& job) {
    // Nothing is grabbed: the stream opened, which is all a dry run asks of it.
    if (!options_.grabFrames) {
        report(QStringLiteral("%1 is a live stream: a run would render the frames it sends in "
                              "%2 s; how many, and so their names, only the run tells")
                   .arg(quoted(job.video))
                   .arg(*options_.grabSeconds));
        return Prepared::Ready;
    }
    const int64_t n = *options_.grabFrames;
    report(QStringLiteral("%1 is a live stream: a run would render the next %2 frame(s) to arrive")
               .arg(quoted(job.video))
               .arg(n));
    // The names the stills would have, from a selection as a run would make.
    auto selection = liveSelection(n);
    job.selections.push_back(selection.get());
    job.list.push_back(std::move(selection));
    return Prepared::Ready;
}

BatchRenderer::Prepared BatchRenderer::prepare(Job& job, QString* problem) {
    if (!openMedia(job, problem)) return Prepared::InputFailed;
    const bool grabs = options_.grabFrames || options_.grabSeconds;
    if (job.media->isLive()) {
        if (!grabs) {
            *problem = QStringLiteral("%1 is a live stream: give --grab N or --grab-seconds S to "
                                      "take its next frames")
                           .arg(quoted(job.video));
            return Prepared::UsageFault;
        }
        return grabLive(job, problem);
    }
    const int64_t count = job.media->frameCount();
    if (count <= 0) {
        *problem = QStringLiteral("video %1 has no frames").arg(quoted(job.video));
        return Prepared::InputFailed;
    }
    const QString extent =
        QStringLiteral("%1 (%2 frames: 0-%3)").arg(quoted(job.video)).arg(count).arg(count - 1);
    if (grabs) {
        *problem = QStringLiteral("--grab and --grab-seconds take the frames of a live stream; %1 "
                                  "is a video of %2 frames: give --frames or a selection list")
                       .arg(quoted(job.video))
                       .arg(count);
        return Prepared::UsageFault;
    }

    if (options_.framesGiven) {
        TSelection stack;
        std::atomic<bool> capturing{false};
        for (const FrameRange& range : options_.frames) {
            if (range.last >= count) {
                *problem =
                    QStringLiteral("frame %1 is past the end of %2").arg(range.last).arg(extent);
                return Prepared::UsageFault;
            }
            // Named as the program names selections made from two marks.
            auto selection =
                NewSelection(range.first, range.last, static_cast<int>(job.kind), stack, capturing);
            selection->Effects = fxChain_;
            selection->RefreshChainCaption();
            job.list.push_back(std::move(selection));
        }
        for (const auto& selection : job.list)
            job.selections.push_back(selection.get());
        return Prepared::Ready;
    }

    if (const auto generate = GenerateSettingsOf(options_)) {
        SelectionList made;
        const auto progress = [this, &job](int percent) {
            if (stopRequested_ && stopRequested_()) return false;
            indexing(job.video, percent, QStringLiteral("Analysing"));
            return true;
        };
        if (!GenerateSelections(*generate, job.video, *job.media, static_cast<int>(job.kind), progress,
                                &made, problem))
            return Prepared::InputFailed;
        for (auto& selection : made) {
            selection->Effects = fxChain_;
            selection->RefreshChainCaption();
            job.selections.push_back(selection.get());
            job.list.push_back(std::move(selection));
        }
        if (job.selections.empty()) report(QStringLiteral("no selections were made for %1").arg(quoted(job.video)));
        return Prepared::Ready;
    }

    // A URL names no local file: no list is looked up beside it.
    if (options_.selectionsFile.isEmpty() && job.kind == SourceKind::Stream) {
        *problem = QStringLiteral("%1 is a URL, beside which no selection list is looked up: give "
                                  "--selections or --frames")
                       .arg(quoted(job.video));
        return Prepared::InputFailed;
    }
    const QString listFile =
        options_.selectionsFile.isEmpty()
            ? SelectionFileName(job.kind == SourceKind::Dvd ? dvdIfoPath(job.video) : job.video)
            : options_.selectionsFile;
    if (IsExchangeList(listFile)) {
        // CSV and EDL lists: their times map to this video's frames; a line
        // that cannot be used is named, the others are rendered.
        const ExchangeReadResult read = readSelectionsFile(listFile, ClockOf(*job.media));
        if (!read.error.isEmpty()) {
            *problem = QStringLiteral("selection list %1: %2").arg(quoted(listFile), oneLine(read.error));
            return Prepared::InputFailed;
        }
        for (const QString& line : read.problems)
            report(QStringLiteral("selection list %1: %2").arg(quoted(listFile), line));
        job.listDamaged = !read.problems.isEmpty();
        for (auto& selection : selectionsFrom(read.selections, static_cast<int>(job.kind)))
            job.tree.AddSelectionToTree(std::move(selection));
    } else {
    const SelectionLoadResult loaded = LoadSelectionFile(listFile, job.tree, plugins_);
    if (loaded.outcome == SelectionLoadResult::Missing) {
        *problem = QStringLiteral("no selection list %1 for %2 (save one in Stillora, or give "
                                  "--selections or --frames)")
                       .arg(quoted(listFile), quoted(job.video));
        return Prepared::InputFailed;
    }
    if (loaded.outcome == SelectionLoadResult::CannotOpen) {
        *problem = QStringLiteral("cannot read selection list %1").arg(quoted(listFile));
        return Prepared::InputFailed;
    }
    if (loaded.damaged) {
        // Rendering the part before the damage would pass for a complete run.
        *problem = QStringLiteral("selection list %1 is damaged after %2 selection(s); %3 is "
                                  "left out")
                       .arg(quoted(listFile))
                       .arg(loaded.added)
                       .arg(quoted(job.video));
        return Prepared::InputFailed;
    }
    }
    job.selections = job.tree.TopLevelSelections();
    for (const TSelection* selection : job.selections) {
        const QStringList missing = MissingChainNames(plugins_, selection->IPList);
        if (!missing.isEmpty()) {
            *problem = QStringLiteral("selection %1 of %2 uses plug-in %3, which is not loaded "
                                      "(loaded: %4)")
                           .arg(quoted(selection->Caption), quoted(listFile),
                                quoted(missing.first()), PluginNames(plugins_));
            return Prepared::UsageFault;
        }
        // The run reads the low 32 bits of the frame numbers.
        const int64_t first = static_cast<int32_t>(selection->StartFrame);
        const int64_t last = static_cast<int32_t>(selection->EndFrame);
        if (first <= last && (first < 0 || last >= count)) {
            *problem = QStringLiteral("selection %1 of %2 runs from frame %3 to %4, outside %5")
                           .arg(quoted(selection->Caption), quoted(listFile))
                           .arg(first)
                           .arg(last)
                           .arg(extent);
            return Prepared::UsageFault;
        }
    }
    if (job.selections.empty())
        report(QStringLiteral("selection list %1 holds no selections").arg(quoted(listFile)));
    return Prepared::Ready;
}

void BatchRenderer::plan(Job& job) {
    RenderRun run;
    PlanningSource source(run, job.plan);
    SilentPrompter prompter;
    run.setPrompter(&prompter);
    run.setFrameSource(&source);
    run.setEffectApplier([](const TPluginRecord&, const QImage&, QImage& dst) { dst = QImage(); });
    run.Run(job.selections, job.settings, true);
}

void BatchRenderer::render(Job& job, const std::function<bool()>& stopRequested) {
    const std::function<void()> settle = options_.safeSeekMs > 0
                                             ? std::function<void()>([ms = options_.safeSeekMs] {
                                                   QThread::msleep(static_cast<unsigned long>(ms));
                                               })
                                             : std::function<void()>();
    // A live stream's frames were stored as they arrived; anything else is
    // sought and grabbed.
    std::optional<MediaFrameSource> media;
    LiveSlotFrameSource stored;
    if (!job.live) media.emplace(*job.media, settle);
    RenderFrameSource& frames = job.live ? static_cast<RenderFrameSource&>(stored) : *media;
    RenderRun run;
    FrameStates states(run, job.plan.size());
    const auto fail = [&](const QString& reason) {
        FrameState& state = states.current();
        if (state.failed) return;
        state.failed = true;
        ++failed_;
        const QString name = state.still ? QFileInfo(state.still->path).fileName() : QString();
        const int64_t frame = state.still ? state.still->frame : -1;
        report(QStringLiteral("%1: frame %2 (%3): %4")
                   .arg(job.video)
                   .arg(frame)
                   .arg(name, oneLine(reason)));
    };
    RenderingSource source(job.plan, frames, states);
    BatchPrompter prompter(states, fail, [&](const QString& text) { report(text); });
    run.setPrompter(&prompter);
    run.setFrameSource(&source);
    run.setWorkingDirectory(QDir::currentPath());
    run.setEffectApplier([&](const TPluginRecord& effect, const QImage& src, QImage& dst) {
        // A failed or kept frame carries no picture; its effects are left out.
        if (src.isNull()) {
            dst = QImage();
            return;
        }
        try {
            QImage input = src;
            std::lock_guard<std::mutex> guard(effectsLock_);
            ApplyEffectEntry(effect, input, dst);
        } catch (const std::exception& e) {
            fail(QStringLiteral("effect %1 failed: %2")
                     .arg(quoted(QString::fromLocal8Bit(effect.name().c_str())),
                          QString::fromLocal8Bit(e.what())));
            dst = QImage();
        } catch (...) {
            fail(QStringLiteral("effect %1 failed")
                     .arg(quoted(QString::fromLocal8Bit(effect.name().c_str()))));
            dst = QImage();
        }
    });

    int32_t seen = 0;
    RenderRun::Callbacks callbacks;
    callbacks.processEvents = [&] {
        // The counter moves on once a frame is done with, written or not.
        while (seen < run.FrameCounter() && static_cast<size_t>(seen) < job.plan.size()) {
            const PlannedStill& still = job.plan[static_cast<size_t>(seen)];
            ++seen;
            if (still.keep)
                ++kept_;
            else if (!states.fetched(static_cast<size_t>(seen - 1)).failed)
                ++written_;
            frameDone(QFileInfo(job.video).fileName());
        }
        if (stopRequested()) run.RequestStop();
    };
    // A problem found while fetching is reported once the run reaches the frame.
    callbacks.sourcePicture = [&](const QImage&) {
        FrameState& state = states.current();
        if (!state.fetchProblem.isEmpty()) fail(std::exchange(state.fetchProblem, QString()));
    };
    run.setCallbacks(std::move(callbacks));
    run.setPipelined(true);
    BatchExportShell shell(list_, [&](const QString& message) {
        report(QStringLiteral("%1: %2").arg(job.video, oneLine(message)));
        ++failed_;
    });
    const std::unique_ptr<RenderExporter> exporter = CreateExporter(job.settings, shell);
    run.setExporter(exporter.get());
    try {
        run.Run(job.selections, job.settings, false);
    } catch (const std::exception& e) {
        // Only the effect applier throws, and it catches its own errors.
        report(QStringLiteral("%1: the run ended: %2").arg(job.video, oneLine(e.what())));
        ++failed_;
    }
}

int BatchRenderer::Run(const std::function<bool()>& stopRequested) {
    stopRequested_ = stopRequested;
    QString problem;
    if (options_.fx && !BuildChain(plugins_, *options_.fx, fxChain_, &problem)) {
        report(problem);
        return ExitUsage;
    }
    outFolder_ = OutputFolder(options_, base_, QDir::currentPath());
    // Whether the run writes stills or only feeds a movie (AVI, GIF, video).
    bool writesStills = true;
    if (base_.exportKind != NumberedFrames) {
        // A kind this build has no writer for is refused before anything is opened.
        BatchExportShell probe(list_, [](const QString&) {});
        const std::unique_ptr<RenderExporter> exporter = CreateExporter(base_, probe);
        if (!exporter) {
            report(QStringLiteral("--export %1 is not available yet").arg(options_.exportName));
            return ExitUsage;
        }
        writesStills = exporter->wantsStills(base_);
    }

    // Open and check everything before anything is written.
    std::vector<std::unique_ptr<Job>> jobs;
    bool inputFailed = false;
    for (const QString& video : options_.videos) {
        if (stopRequested()) return ExitCancelled;
        auto job = std::make_unique<Job>();
        job->video = video;
        job->settings = base_;
        job->settings.rootName = RootNameFor(options_, video);
        job->settings.exportFolder = outFolder_;
        job->settings.sourceName = video;
        // Without --out-file each video's movie is named after the video.
        if (!options_.outFile) job->settings.exportFileName.clear();
        switch (prepare(*job, &problem)) {
        case Prepared::UsageFault:
            report(problem);
            return ExitUsage;
        case Prepared::InputFailed:
            if (stopRequested()) return ExitCancelled;
            report(problem);
            inputFailed = true;
            continue;
        case Prepared::Ready:
            break;
        }
        inputFailed = inputFailed || job->listDamaged;
        if (!options_.writeSelections.isEmpty()) {
            // Only the list is wanted: save it and render nothing.
            if (!WriteSelectionList(options_.writeSelections, job->selections, *job->media, job->video, &problem)) {
                report(problem);
                return ExitUsage;
            }
            report(QStringLiteral("%1 selection(s) of %2 saved in %3")
                       .arg(job->selections.size())
                       .arg(quoted(job->video), quoted(options_.writeSelections)));
            return inputFailed ? ExitUsage : ExitOk;
        }
        plan(*job);
        // Decoders hold threads and buffers: only the first stays open. A
        // live stream is done with once its frames are taken.
        if (!jobs.empty() || job->live) job->media.reset();
        jobs.push_back(std::move(job));
    }

    // Two stills of this run with one name would overwrite each other.
    QHash<QString, const Job*> owner;
    int64_t total = 0;
    const PlannedStill* firstExisting = nullptr;
    int64_t existing = 0;
    for (const auto& job : jobs) {
        for (PlannedStill& still : job->plan) {
            if (const Job* other = owner.value(still.path)) {
                report(QStringLiteral("%1 would be written twice (from %2 and %3); give a "
                                      "different --root or --out per video")
                           .arg(quoted(still.path), quoted(other->video), quoted(job->video)));
                return ExitUsage;
            }
            owner.insert(still.path, job.get());
            ++total;
            // Movie runs without stills replace no still, nor leave a frame out for one.
            if (writesStills && QFileInfo::exists(still.path)) {
                if (!firstExisting) firstExisting = &still;
                ++existing;
                still.keep = options_.keepGoing;
            }
        }
    }
    if (existing > 0 && !options_.overwrite && !options_.keepGoing) {
        report(QStringLiteral("%1 of the %2 stills exist already (first: %3); nothing was "
                              "written. Use --overwrite to replace them or --keep-going to "
                              "leave them and write the others")
                   .arg(existing)
                   .arg(total)
                   .arg(quoted(firstExisting->path)));
        return ExitUsage;
    }

    if (options_.dryRun) {
        for (const auto& job : jobs) {
            if (!writesStills) {
                std::fprintf(list_, "%s\n", qPrintable(PrepareMovieFileName(job->settings)));
                continue;
            }
            for (const PlannedStill& still : job->plan)
                if (!still.keep) std::fprintf(list_, "%s\n", qPrintable(still.path));
        }
        std::fflush(list_);
        return inputFailed ? ExitUsage : ExitOk;
    }

    if (!jobs.empty() && !QDir().mkpath(outFolder_)) {
        report(QStringLiteral("cannot create the output folder %1").arg(quoted(outFolder_)));
        return ExitUsage;
    }

    progress_.start(total);
    std::atomic<bool> cancelled{false};
    std::atomic<size_t> nextJob{0};
    // Each worker takes the next video not yet taken, until none is left.
    const auto work = [&] {
        for (size_t i = nextJob++; i < jobs.size(); i = nextJob++) {
            Job& job = *jobs[i];
            if (stopRequested()) {
                cancelled = true;
                break;
            }
            QString openProblem;
            if (!job.live && !job.media && !openMedia(job, &openProblem)) {
                // It opened a moment ago; its frames count as failed.
                report(openProblem);
                failed_ += static_cast<int64_t>(job.plan.size());
                continue;
            }
            render(job, stopRequested);
            job.media.reset();
            if (stopRequested()) cancelled = true;
        }
    };
    const int workers = std::max(1, std::min<int>(options_.jobs, static_cast<int>(jobs.size())));
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads)
        thread.join();
    progress_.finish();

    if (!options_.quiet) {
        // Movie runs without stills: their frames go into the movie only.
        QString summary =
            writesStills ? QStringLiteral("wrote %1 still(s) to %2").arg(written_).arg(outFolder_)
                   : QStringLiteral("added %1 frame(s) to the movie").arg(written_);
        if (kept_) summary += QStringLiteral(", left %1 existing").arg(kept_);
        if (failed_) summary += QStringLiteral(", %1 failed").arg(failed_);
        if (cancelled) summary += QStringLiteral(", cancelled");
        report(summary);
    }
    if (cancelled) return ExitCancelled;
    if (inputFailed) return ExitUsage;
    return failed_ > 0 ? ExitFramesFailed : ExitOk;
}

} // namespace stillora::batch
