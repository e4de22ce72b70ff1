// A render of 300 consecutive 1080p H.264 frames to JPEG (quality 65, no
// safe-seek delay, no effects) through the program's media source and render
// run, beside the ffmpeg command line writing the same frames to JPEG.
//
//   render_bench [--clip=PATH] [google benchmark flags]
//
// Without --clip a 1920x1080 H.264 clip (3 B-frames, 14 s at 25 fps) is made
// once in the temporary folder with the ffmpeg command line.

#include "render/FrameSource.h"
#include "render/RenderRun.h"
#include "render/StillWriter.h"
#include "selection/Selection.h"
#include "video/MediaSource.h"

#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>


namespace {

using namespace stillora;

constexpr int kFrames = 300;

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class NoQuestions : public RenderPrompter {
public:
    int asked = 0;
    Button ask(Kind, const QString& text, int) override {
        ++asked;
        std::fprintf(stderr, "unexpected question: %s\n", qPrintable(text));
        return Yes; // stops the run: the figures are then void
    }
};

void BM_RenderRun(benchmark::State& state) {
    auto media = createMediaSource();
    std::string error;
    if (!media->open(SourceKind::File, bench::Clip(), &error)) {
        state.SkipWithError(("cannot open the clip: " + error).c_str());
        return;
    }
    MediaFrameSource source(*media);
    NoQuestions prompter;
    long rssAt100 = 0, rssAt300 = 0;
    for (auto _ : state) {
        QTemporaryDir out;
        RenderRun run;
        run.setPrompter(&prompter);
        run.setFrameSource(&source);
        RenderRun::Callbacks cb;
        cb.processEvents = [&] {
            if (run.FrameCounter() == 100) rssAt100 = residentKb();
            if (run.FrameCounter() == kFrames) rssAt300 = residentKb();
        };
        run.setCallbacks(cb);
        TSelection selection("Bench");
        selection.StartFrame = 0;
        selection.EndFrame = kFrames - 1;
        RenderSettings settings;
        settings.exportFolder = out.path();
        settings.jpegQuality = 65;
        run.Run({&selection}, settings, false);
        if (prompter.asked || run.FrameCounter() != kFrames)
            state.SkipWithError("the run did not complete");
    }
    state.counters["fps"] =
        benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_MB"] = peakKb() / 1024.0;
    state.counters["rss_after_100_MB"] = rssAt100 / 1024.0;
    state.counters["rss_after_300_MB"] = rssAt300 / 1024.0;
}

void BM_FfmpegCommandLine(benchmark::State& state) {
    long peak = 0;
    for (auto _ : state) {
        QTemporaryDir out;
        const std::string pattern = QDir(out.path()).filePath("out%05d.jpg").toStdString();
        const int status =
            bench::SpawnAndWait({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", bench::Clip(),
                                 "-frames:v", std::to_string(kFrames), "-q:v", "5", pattern},
                                &peak);
        if (status != 0) state.SkipWithError("ffmpeg failed");
    }
    state.counters["fps"] =
        benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_MB"] = peak / 1024.0;
}

// The parts of a render frame on their own: fetching, and writing a still.
void BM_SeekAndGrab(benchmark::State& state) {
    auto media = createMediaSource();
    if (!media->open(SourceKind::File, bench::Clip(), nullptr)) {
        state.SkipWithError("cannot open the clip");
        return;
    }
    MediaFrameSource source(*media);
    TSelection selection("Bench");
    QImage picture;
    for (auto _ : state)
        for (int frame = 0; frame < kFrames; ++frame)
            source.fetch(selection, frame, picture, nullptr);
    state.counters["fps"] =
        benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_WriteStill(benchmark::State& state) {
    auto media = createMediaSource();
    QImage picture;
    if (!media->open(SourceKind::File, bench::Clip(), nullptr) || !media->seek(50, nullptr) ||
        !media->grab(picture)) {
        state.SkipWithError("cannot open the clip");
        return;
    }
    QTemporaryDir out;
    int n = 0;
    for (auto _ : state)
        WriteStill(picture, QDir(out.path()).filePath(QString("f%1.jpg").arg(n++ % 50)), StillJpeg,
                   65, nullptr);
}

BENCHMARK(BM_SeekAndGrab)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_WriteStill)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FfmpegCommandLine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    return stillora::bench::RunBenchmarks(argc, argv, "stillora-bench-1080p.mp4", 14);
}
