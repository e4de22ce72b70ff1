#include "render/RenderRun.h"

#include "render/FrameFetcher.h"
#include "render/Naming.h"
#include "render/QuickSuperimpose.h"
#include "render/StillWriter.h"
#include "selection/Selection.h"

#include <QDir>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace stillora {

void PreviewDelay(int ms, const std::function<void(int)>& sleep,
                  const std::function<void()>& processEvents) {
    if (ms <= 0) return;
    auto pause = [&](int length) {
        if (length <= 0) return;
        if (sleep)
            sleep(length);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(length));
    };
    for (int round = 0; round < ms / 10; ++round) {
        pause(10);
        if (processEvents) processEvents();
    }
    pause(ms % 10);
    if (processEvents) processEvents();
}

namespace {

// First and last frame of a selection as a run takes them: only the low 32
// bits of the stored numbers count.
std::pair<int64_t, int64_t> FrameSpan(const TSelection& selection) {
    return {static_cast<int32_t>(selection.StartFrame), static_cast<int32_t>(selection.EndFrame)};
}

} // namespace

int64_t CountRunFrames(const std::vector<TSelection*>& selections, const RenderSettings& settings) {
    const int64_t every = settings.skipFrames ? qMax(1, settings.skipEvery) : 1;
    int64_t total = 0;
    for (const TSelection* selection : selections) {
        if (!selection) continue;
        const auto [first, last] = FrameSpan(*selection);
        if (last >= first) total += (last - first) / every + 1;
    }
    return total;
}

bool RenderRun::exporterActive() const {
    return !previewMode_ && exporter_ && settings_.exportKind != NumberedFrames;
}

bool RenderRun::writesStills() const {
    return !exporterActive() || exporter_->wantsStills(settings_);
}

void RenderRun::showSourceInfo(const TSelection& selection, int64_t frame) {
    if (callbacks_.sourceInfo)
        callbacks_.sourceInfo(selection.Caption + QLatin1Char('.') +
                              QString::number(static_cast<int32_t>(frame)));
}

bool RenderRun::nameFrame(const TSelection& selection, QString& name) {
    // Work out the name, ask about a collision with the last frame's file,
    // and note the movie frame size.
    name = ComposeFrameName(settings_, selection.Caption, frameCounter_);
    const QString path = ExportFolderPrefix(settings_.exportFolder) + name;
    const bool accepted = ConfirmFrameCollision(path, lastFramePath_, *prompter_);
    lastFramePath_ = path;
    if (!accepted) stopRequested_ = true;
    movieFrameWidth_ = dest_.width();
    movieFrameHeight_ = dest_.height();
    return accepted;
}

void RenderRun::processEvents() {
    if (callbacks_.processEvents) callbacks_.processEvents();
}

RenderRun::Outcome RenderRun::Run(const std::vector<TSelection*>& selections,
                                  const RenderSettings& settings, bool preview) {
    Q_ASSERT(prompter_ && source_);
    // Refusals come before anything changes, so a refused run leaves the
    // state of the last run as it was.
    if (!preview && settings.exportKind != NumberedFrames && !exporter_) {
        prompter_->ask(RenderPrompter::Error,
                       QStringLiteral("This export kind is not available yet.\n\nChoose "
                                      "\"Numbered Frames\" on the Config page."),
                       RenderPrompter::Ok);
        return Outcome::Refused;
    }
    if (!applier_) {
        bool effects = false;
        for (const TSelection* selection : selections)
            effects = effects || (selection && !selection->Effects.empty());
        if (effects &&
            prompter_->ask(RenderPrompter::Warning,
                           QStringLiteral("Some selections carry image effects, but "
                                          "no effect host is available.\nTheir frames "
                                          "would be processed without the effects.\n\n"
                                          "Do you want to continue?"),
                           RenderPrompter::Yes | RenderPrompter::No) != RenderPrompter::Yes)
            return Outcome::Refused;
    }

    settings_ = settings;
    settings_.skipEvery = qMax(1, settings_.skipEvery);
    stopRequested_ = false;
    previewMode_ = preview;

    // R1
    frameCounter_ = 0;
    crossfadeOn_ = settings_.crossfade;

    // R2
    if (!previewMode_) {
        switch (settings_.exportKind) {
        case NumberedFrames:
        case WebGallery: {
            const QString folder =
                CheckExportFolder(settings_.exportFolder, *prompter_,
                                  workingDir_.isEmpty() ? QDir::currentPath() : workingDir_);
            if (folder != settings_.exportFolder) {
                settings_.exportFolder = folder;
                if (callbacks_.exportFolderChanged) callbacks_.exportFolderChanged(folder);
            }
            if (exporterActive()) exporter_->begin(settings_, QString());
            break;
        }
        default:
            movieFileName_ = PrepareMovieFileName(settings_);
            exporter_->begin(settings_, movieFileName_);
            break;
        }
    }

    // Walk the selections in tree order.
    try {
        if (pipelined_ && !previewMode_ && source_->fetchesOnAnyThread()) {
            runPipelined(selections);
        } else {
            for (TSelection* selection : selections) {
                if (stopRequested_) break;
                if (selection) RenderSelection(*selection);
            }
        }
    } catch (...) {
        if (exporterActive()) exporter_->abandon();
        stopRequested_ = true;
        throw;
    }

    // R4, also after a stop.
    if (!previewMode_) {
        if (settings_.exportKind == NumberedFrames) {
            if (callbacks_.showImageBrowser)
                callbacks_.showImageBrowser(ExportFolderPrefix(settings_.exportFolder),
                                            QStringLiteral("*") +
                                                StillExtension(settings_.stillType));
        } else {
            exporter_->finish({frameCounter_, movieFrameWidth_, movieFrameHeight_, lastFramePath_});
        }
    }
    return stopRequested_ ? Outcome::Stopped : Outcome::Completed;
}

void RenderRun::RenderSelection(TSelection& selection) {
    const auto [first, last] = FrameSpan(selection);
    int64_t index = 0;
    for (int64_t frame = first; frame <= last; ++frame, ++index) {
        if (stopRequested_) break;
        if (!keepsFrame(index)) continue;
        const bool named = ProcessFrame(selection, frame);
        exportAndCount(named, dest_, selection, frame);
    }
}

bool RenderRun::keepsFrame(int64_t index) const {
    return !settings_.skipFrames || index % settings_.skipEvery == 0;
}

void RenderRun::exportAndCount(bool named, const QImage& picture, const TSelection& selection,
                               int64_t frame) {
    if (named && exporterActive()) {
        const ExportFrame exported{picture, lastFramePath_, selection, frame, frameCounter_};
        if (!exporter_->addFrame(exported)) stopRequested_ = true;
    }
    ++frameCounter_;
    if (callbacks_.frameDone) callbacks_.frameDone(frameCounter_);
    processEvents();
}

bool RenderRun::ProcessFrame(TSelection& selection, int64_t frame) {
    // F1: fetch; on failure the previous source picture stays.
    QString reason;
    if (!source_->fetch(selection, frame, src_, &reason) && callbacks_.fetchFailed)
        callbacks_.fetchFailed(frame, reason);
    if (callbacks_.sourcePicture) callbacks_.sourcePicture(src_);

    // F2, F3: each effect sees the outcome of the one before.
    dest_ = src_;
    if (applier_) {
        for (const TPluginRecord& effect : selection.Effects) {
            result_ = dest_;
            applier_(effect, dest_, result_);
            dest_ = result_;
            if (callbacks_.resultPicture) callbacks_.resultPicture(result_);
        }
    }

    // F5
    showSourceInfo(selection, frame);

    // F6, then F4: the picture is shown with its overlay.
    DrawQuickSuperimpose(dest_, settings_.overlay, canvasFont_,
                         callbacks_.clock ? callbacks_.clock() : QDateTime::currentDateTime());
    if (callbacks_.destPicture) callbacks_.destPicture(dest_);

    QString name;
    const bool accepted = nameFrame(selection, name);

    // F9
    if (accepted) {
        if (previewMode_) {
            if (callbacks_.destInfo) callbacks_.destInfo(QStringLiteral("Previewing ") + name);
        } else {
            if (callbacks_.destInfo) callbacks_.destInfo(QStringLiteral("Saving frame: ") + name);
            QString error;
            if (writesStills() && !WriteStill(dest_, lastFramePath_, settings_.stillType,
                                              settings_.jpegQuality, &error)) {
                if (prompter_->writeFailed(lastFramePath_, error) == RenderPrompter::Yes) {
                    stopRequested_ = true;
                    return true; // F10 and F11 are left out
                }
            }
        }
    }

    // F10
    if (previewMode_ && settings_.previewDelayOn)
        PreviewDelay(qBound(25, settings_.previewDelayMs, 5000), callbacks_.sleep,
                     callbacks_.processEvents);
    // F11
    processEvents();
    return accepted;
}

// ------------------------------------------------------------ pipelined run

// What the fetcher gave for one frame, as the run sees it.
struct FetchedFrame {
    bool ok;
    const QImage& picture;
    const QString& reason;
};

namespace {

// Writes the stills of a pipelined run on one thread that lives as long as
// the run, one still at a time. Every member is called by the run's thread;
// the lock guards the job and its result.
class StillWriterThread {
public:
    StillWriterThread() : thread_([this] { work(); }) {}
    ~StillWriterThread() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    StillWriterThread(const StillWriterThread&) = delete;
    StillWriterThread& operator=(const StillWriterThread&) = delete;

    // Starts writing; the write before must have been waited for.
    void start(QImage picture, QString path, int type, int quality) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            job_ = Job{std::move(picture), std::move(path), type, quality};
            result_.reset();
        }
        changed_.notify_all();
    }
    // Waits for the started write: written, or the error text. The picture
    // is released before this returns.
    std::pair<bool, QString> wait() {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [this] { return result_.has_value(); });
        return *std::exchange(result_, std::nullopt);
    }

private:
    struct Job {
        QImage picture;
        QString path;
        int type;
        int quality;
    };
    void work() {
        std::unique_lock<std::mutex> guard(lock_);
        for (;;) {
            changed_.wait(guard, [this] { return quit_ || job_.has_value(); });
            if (quit_) return;
            Job job = std::move(*job_);
            job_.reset();
            guard.unlock();
            QString error;
            const bool written = WriteStill(job.picture, job.path, job.type, job.quality, &error);
            job.picture = QImage();
            guard.lock();
            result_.emplace(written, error);
            changed_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::optional<Job> job_;
    std::optional<std::pair<bool, QString>> result_;
    bool quit_ = false;
    std::thread thread_;
};

} // namespace

// A frame that was named and whose still may still be being written: its
// completion (the write's outcome, the exporter step, the counter) happens
// before the next frame is named.
struct RenderRun::PendingFrame {
    bool active = false;
    bool named = false;
    TSelection* selection = nullptr;
    int64_t frame = 0;
    QImage picture;
    bool writing = false; // its still is with the writer
    std::optional<StillWriterThread> writer; // made at the first still
};

void RenderRun::prepareFrame(TSelection& selection, const FetchedFrame& fetched,
                             std::vector<QImage>& results) {
    // A failed fetch keeps the previous source picture, as the plain run does.
    if (fetched.ok) src_ = fetched.picture;
    dest_ = src_;
    if (applier_) {
        for (const TPluginRecord& effect : selection.Effects) {
            result_ = dest_;
            applier_(effect, dest_, result_);
            dest_ = result_;
            results.push_back(result_);
        }
    }
    DrawQuickSuperimpose(dest_, settings_.overlay, canvasFont_,
                         callbacks_.clock ? callbacks_.clock() : QDateTime::currentDateTime());
}

void RenderRun::completeFrame(PendingFrame& pending) {
    if (!pending.active) return;
    pending.active = false;
    bool processEventsAfterWrite = true;
    if (pending.writing) {
        pending.writing = false;
        const auto [written, error] = pending.writer->wait();
        if (!written && prompter_->writeFailed(lastFramePath_, error) == RenderPrompter::Yes) {
            stopRequested_ = true;
            processEventsAfterWrite = false;
        }
    }
    if (processEventsAfterWrite) processEvents();
    exportAndCount(pending.named, pending.picture, *pending.selection, pending.frame);
    pending.picture = QImage();
}

void RenderRun::runPipelined(const std::vector<TSelection*>& selections) {
    // The frames the plain run would process, in its order: skipped frames
    // are never fetched.
    std::vector<FrameFetcher::Item> items;
    for (TSelection* selection : selections) {
        if (!selection) continue;
        const auto [first, last] = FrameSpan(*selection);
        int64_t index = 0;
        for (int64_t frame = first; frame <= last; ++frame, ++index)
            if (keepsFrame(index)) items.push_back({selection, frame});
    }
    if (items.empty()) return;

    const std::vector<FrameFetcher::Item> order = items;
    FrameFetcher fetcher(*source_, std::move(items), static_cast<size_t>(fetchAhead_));
    PendingFrame pending;
    std::vector<QImage> results;
    for (const FrameFetcher::Item& item : order) {
        if (stopRequested_) break;
        TSelection& selection = *item.selection;
        const int64_t frame = item.frame;

        // The work nobody sees runs while the last still is written, unless
        // the chain has effects: their draws from the plug-ins' shared
        // generator must not happen for a frame that a stop then drops, so
        // such a frame waits until the one before is done with.
        const FrameFetcher::Fetched fetched = fetcher.next();
        const FetchedFrame view{fetched.ok, fetched.picture, fetched.reason};
        results.clear();
        const bool early = !applier_ || selection.Effects.empty();
        if (early) prepareFrame(selection, view, results);
        completeFrame(pending);
        if (stopRequested_) break; // this frame was fetched ahead: dropped
        if (!early) prepareFrame(selection, view, results);

        // From here on everything is shown and asked in order.
        if (!fetched.ok && callbacks_.fetchFailed) callbacks_.fetchFailed(frame, fetched.reason);
        if (callbacks_.sourcePicture) callbacks_.sourcePicture(src_);
        if (callbacks_.resultPicture)
            for (const QImage& result : results)
                callbacks_.resultPicture(result);
        showSourceInfo(selection, frame);
        if (callbacks_.destPicture) callbacks_.destPicture(dest_);

        QString name;
        const bool accepted = nameFrame(selection, name);

        pending.active = true;
        pending.named = accepted;
        pending.selection = &selection;
        pending.frame = frame;
        pending.picture = dest_;
        if (accepted) {
            if (callbacks_.destInfo) callbacks_.destInfo(QStringLiteral("Saving frame: ") + name);
            if (writesStills()) {
                pending.writing = true;
                if (!pending.writer) pending.writer.emplace();
                pending.writer->start(dest_, lastFramePath_, settings_.stillType,
                                      settings_.jpegQuality);
            }
        }
    }
    completeFrame(pending);
}

} // namespace stillora
