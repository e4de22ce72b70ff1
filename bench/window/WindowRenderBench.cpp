// The window's render of 300 consecutive 1080p H.264 frames (100 to 399) to
// JPEG, driven as a user drives it on the offscreen platform: the clip is
// opened on the Select page, an interval is marked and added, "Safe Frame
// Seek" is off, no effects, and Render is clicked on the Finalize page. Beside
// it, the ffmpeg command line writes the same frames
// (`ffmpeg -ss 4 -i clip -frames:v 300 -q:v 5 out%05d.jpg`) as a process of
// its own. The two take turns, five runs each; medians are reported.
//
//   window_render_bench [--clip=PATH] [google benchmark flags]
//
// The window's time runs from the click until the progress bar is full (the
// last still is written); the image browser it opens afterwards is not
// counted. Opening the clip happens once, before the first run, as in a
// session where one clip is rendered several times.

#include "app/MainWindow.h"
#include "selection/Selection.h"
#include "views/pages/FinalizePage.h"
#include "video/MediaSource.h"
#include "views/DialogService.h"

#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace stillora;

constexpr int kFirst = 100;
constexpr int kFrames = 300;
constexpr int kRuns = 5;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long stillCount(const QString& folder) {
    return QDir(folder).entryList({"*.jpg"}, QDir::Files).size();
}

void BM_WindowRenderAgainstCommandLine(benchmark::State& state) {
    QTemporaryDir cache;
    SetCacheFolder(cache.path());
    // No box may wait for a person: every question is answered and counted.
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& dialogs = *scripted;
    SetDialogs(std::move(scripted));
    TfrmMain window(createMediaSource());
    window.show();
    window.edtFiles->setText(QString::fromStdString(bench::Clip()));
    window.SetActivePage(TfrmMain::kwSelectSource);
    window.SetActivePage(TfrmMain::kwSelect);
    window.actPause->trigger();
    window.TrackBar->setValue(kFirst);
    window.actMarkIn->trigger();
    window.TrackBar->setValue(kFirst + kFrames - 1);
    window.actMarkOut->trigger();
    window.actAddCurrentSelection->trigger();
    window.cbSeekDelay->setChecked(false);
    if (window.Tree().rowCount(QModelIndex()) != 1) {
        state.SkipWithError("the clip did not open or the interval was not added");
        return;
    }
    window.SetActivePage(TfrmMain::kwFinish);
    TFinalizePage& finish = *window.FinalizePage;

    // The moment the last frame is done: the bar reaches its end.
    QElapsedTimer clock;
    qint64 doneAt = -1;
    QObject::connect(finish.pbRun, &QProgressBar::valueChanged, [&](int value) {
        if (value == finish.pbRun->maximum() && clock.isValid()) doneAt = clock.nsecsElapsed();
    });

    std::vector<double> windowSeconds, ffmpegSeconds;
    bool failed = false;
    for (auto _ : state) {
        for (int run = 0; run < kRuns; ++run) {
            {
                QTemporaryDir out;
                finish.jvExportFolder->setText(out.path());
                doneAt = -1;
                clock.start();
                finish.btnRender->click();
                if (doneAt < 0 || stillCount(out.path()) != kFrames) failed = true;
                windowSeconds.push_back(doneAt / 1e9);
                clock.invalidate();
            }
            {
                QTemporaryDir out;
                QElapsedTimer timer;
                timer.start();
                // A spawned child starts in this process's memory, so its
                // peak is not its own here (batch_bench measures it).
                const int status = bench::SpawnAndWait(
                    {"ffmpeg", "-nostdin", "-v", "error", "-y", "-ss", "4", "-i", bench::Clip(),
                     "-frames:v", std::to_string(kFrames), "-q:v", "5",
                     QDir(out.path()).filePath("out%05d.jpg").toStdString()},
                    nullptr);
                ffmpegSeconds.push_back(timer.nsecsElapsed() / 1e9);
                if (status != 0 || stillCount(out.path()) != kFrames) failed = true;
            }
        }
    }
    if (failed) state.SkipWithError("a run did not write every frame");
    if (!dialogs.asked.empty() || !dialogs.dialogTitles.empty())
        state.SkipWithError("the window asked a question: the figures are void");
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    const double windowFps = kFrames / median(windowSeconds);
    const double ffmpegFps = kFrames / median(ffmpegSeconds);
    state.counters["window_fps"] = windowFps;
    state.counters["ffmpeg_fps"] = ffmpegFps;
    state.counters["ratio"] = windowFps / ffmpegFps;
    state.counters["window_peak_MB"] = self.ru_maxrss / 1024.0; // the whole program
}

BENCHMARK(BM_WindowRenderAgainstCommandLine)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv, "stillora-batch-bench-1080p.mp4", 20);
}
