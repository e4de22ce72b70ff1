// The batch renderer against the ffmpeg command line: both write the same
// 300 frames (100 to 399) of a 1920x1080 H.264 clip to JPEG, each as a
// process of its own, so start-up and indexing count for both.
//
//   batch_bench [--clip=PATH] [--benchmark_filter=...]
//
// Without --clip the clip (3 B-frames, a key frame every 250 frames, 20 s at
// 25 fps) is made once in the temporary folder with the ffmpeg command line.
// The batch tool reads an empty settings file, so it runs on the defaults
// (JPEG quality 65) whatever the user stored; ffmpeg writes at -q:v 5, which
// gives stills of a similar size (both averages are reported).
//
// The two commands take turns (batch, ffmpeg, batch, ffmpeg, ...), five runs
// each, so a change in the machine's load touches both alike; the medians
// and the ratio of their frame rates are reported, with each side's largest
// peak resident memory.

#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kFirst = 100;
constexpr int kFrames = 300;
constexpr int kRuns = 5;

// Number and average size (kB) of the JPEG files in a folder.
std::pair<int, double> stills(const QString& folder) {
    const QFileInfoList files = QDir(folder).entryInfoList({"*.jpg"}, QDir::Files);
    double bytes = 0;
    for (const QFileInfo& file : files)
        bytes += static_cast<double>(file.size());
    return {static_cast<int>(files.size()), files.isEmpty() ? 0 : bytes / files.size() / 1024};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One side of the comparison: its command and what its runs measured.
struct Side {
    std::vector<double> seconds;
    long peakKb = 0;
    double stillKb = 0;
    bool failed = false;
};

// Runs the command once into a fresh folder; false when it failed or did
// not write every frame.
bool runOnce(Side& side, const std::vector<std::string>& command, const QString& folder) {
    QElapsedTimer timer;
    timer.start();
    long peak = 0;
    const int status = stillora::bench::SpawnAndWait(command, &peak);
    side.seconds.push_back(timer.nsecsElapsed() / 1e9);
    side.peakKb = std::max(side.peakKb, peak);
    const auto [count, kb] = stills(folder);
    side.stillKb = kb;
    return status == 0 && count == kFrames;
}

std::vector<std::string> batchCommand(const std::string& settings, const QString& out) {
    return {STILLORA_BIN_DIR "/stillora-batch",
            "--quiet",
            "--settings",
            settings,
            "--frames",
            std::to_string(kFirst) + "-" + std::to_string(kFirst + kFrames - 1),
            "--out",
            out.toStdString(),
            stillora::bench::Clip()};
}

std::vector<std::string> ffmpegCommand(const QString& out) {
    // Frame 100 starts at 4 s; an input seek decodes from the key frame before it.
    return {"ffmpeg", "-nostdin", "-v",       "error",
            "-y",     "-ss",      "4",        "-i",
            stillora::bench::Clip(), "-frames:v", std::to_string(kFrames), "-q:v",
            "5",      QDir(out).filePath("out%05d.jpg").toStdString()};
}

void BM_BatchAgainstCommandLine(benchmark::State& state) {
    QTemporaryDir settingsDir;
    const QString settings = settingsDir.filePath("settings.json");
    QFile empty(settings);
    if (!empty.open(QIODevice::WriteOnly) || empty.write("{}") != 2) {
        state.SkipWithError("cannot write the settings file");
        return;
    }
    empty.close();

    Side batch, ffmpeg;
    for (auto _ : state) {
        for (int run = 0; run < kRuns; ++run) {
            {
                QTemporaryDir out;
                if (!runOnce(batch, batchCommand(settings.toStdString(), out.path()), out.path()))
                    batch.failed = true;
            }
            {
                QTemporaryDir out;
                if (!runOnce(ffmpeg, ffmpegCommand(out.path()), out.path())) ffmpeg.failed = true;
            }
        }
    }
    if (batch.failed) state.SkipWithError("stillora-batch failed");
    if (ffmpeg.failed) state.SkipWithError("ffmpeg failed");

    const double batchFps = kFrames / median(batch.seconds);
    const double ffmpegFps = kFrames / median(ffmpeg.seconds);
    state.counters["batch_fps"] = batchFps;
    state.counters["ffmpeg_fps"] = ffmpegFps;
    state.counters["ratio"] = batchFps / ffmpegFps;
    state.counters["batch_peak_MB"] = batch.peakKb / 1024.0;
    state.counters["ffmpeg_peak_MB"] = ffmpeg.peakKb / 1024.0;
    state.counters["batch_still_kB"] = batch.stillKb;
    state.counters["ffmpeg_still_kB"] = ffmpeg.stillKb;
    state.counters["batch_fastest_fps"] =
        kFrames / *std::min_element(batch.seconds.begin(), batch.seconds.end());
    state.counters["ffmpeg_fastest_fps"] =
        kFrames / *std::min_element(ffmpeg.seconds.begin(), ffmpeg.seconds.end());
}

BENCHMARK(BM_BatchAgainstCommandLine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return stillora::bench::RunBenchmarks(argc, argv, "stillora-batch-bench-1080p.mp4", 20);
}
