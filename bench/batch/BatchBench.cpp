// The batch renderer against the ffmpeg command line: both write the same
// 300 frames (100 to 399) of a 1920x1080 H.264 clip to JPEG, each as a
// process of its own, so start-up and indexing count for both.
//
//   batch_bench [--clip=PATH] [google benchmark flags]
//
// Without --clip the clip (3 B-frames, 20 s at 25 fps) is made once in the
// temporary folder with the ffmpeg command line. The batch tool reads an
// empty settings file, so it runs on the defaults (JPEG quality 65) whatever
// the user stored; ffmpeg writes at -q:v 5, which gives stills of a similar
// size (both averages are reported).

#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <vector>


namespace {

constexpr int kFirst = 100;
constexpr int kFrames = 300;

// Runs a command with its output thrown away; returns its exit status and
// its peak resident memory (kB) in *peakKb.

// Number and average size (kB) of the JPEG files in a folder.
std::pair<int, double> stills(const QString& folder) {
    const QFileInfoList files = QDir(folder).entryInfoList({"*.jpg"}, QDir::Files);
    double bytes = 0;
    for (const QFileInfo& file : files)
        bytes += static_cast<double>(file.size());
    return {static_cast<int>(files.size()), files.isEmpty() ? 0 : bytes / files.size() / 1024};
}

void BM_BatchTool(benchmark::State& state) {
    const std::string tool = STILLORA_BIN_DIR "/stillora-batch";
    QTemporaryDir settingsDir;
    const QString settings = settingsDir.filePath("settings.json");
    QFile empty(settings);
    if (!empty.open(QIODevice::WriteOnly) || empty.write("{}") != 2) {
        state.SkipWithError("cannot write the settings file");
        return;
    }
    empty.close();
    long peak = 0;
    double averageKb = 0;
    for (auto _ : state) {
        QTemporaryDir out;
        const int status = stillora::bench::SpawnAndWait(
            {tool, "--quiet", "--settings", settings.toStdString(), "--frames",
             std::to_string(kFirst) + "-" + std::to_string(kFirst + kFrames - 1), "--out",
             out.path().toStdString(), stillora::bench::Clip()},
            &peak);
        const auto [count, kb] = stills(out.path());
        averageKb = kb;
        if (status != 0 || count != kFrames) state.SkipWithError("stillora-batch failed");
    }
    state.counters["fps"] =
        benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_MB"] = peak / 1024.0;
    state.counters["still_kB"] = averageKb;
}

void BM_FfmpegCommandLine(benchmark::State& state) {
    long peak = 0;
    double averageKb = 0;
    for (auto _ : state) {
        QTemporaryDir out;
        const std::string pattern = QDir(out.path()).filePath("out%05d.jpg").toStdString();
        // Frame 100 starts at 4 s; an input seek decodes from the key frame before it.
        const int status = stillora::bench::SpawnAndWait(
            {"ffmpeg", "-nostdin", "-v", "error", "-y", "-ss", "4", "-i", stillora::bench::Clip(),
             "-frames:v", std::to_string(kFrames), "-q:v", "5", pattern},
            &peak);
        const auto [count, kb] = stills(out.path());
        averageKb = kb;
        if (status != 0 || count != kFrames) state.SkipWithError("ffmpeg failed");
    }
    state.counters["fps"] =
        benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_MB"] = peak / 1024.0;
    state.counters["still_kB"] = averageKb;
}

BENCHMARK(BM_BatchTool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FfmpegCommandLine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    return stillora::bench::RunBenchmarks(argc, argv, "stillora-batch-bench-1080p.mp4", 20);
}
