// Files as they come from archives and recorders: random seeks on a 1080p
// MPEG-4 Part 2 AVI with B-frames (packed as DivX writes it) beside the same
// content without B-frames, and the command line seeking the same frames;
// opening a long file, with the packets indexed per second and the longest
// stall of an event loop that runs while the file is indexed (as the
// window's does). The clips are generated on the first run and kept.
#include "video/FfmpegMediaSource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/stat.h>

namespace {

using stillora::FfmpegMediaSource;
using stillora::SourceKind;

constexpr int kFrames = 500; // 20 s at 25 fps
constexpr int kGop = 25;

bool exists(const std::string& file) {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 && info.st_size > 0;
}

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

// 1080p MPEG-4 Part 2 with or without B-frames, a key frame every 25 frames.
const std::string& aviClip(int bframes) {
    static std::string paths[2];
    std::string& path = paths[bframes > 0];
    if (path.empty()) {
        path = std::string(STILLORA_BENCH_CLIP_DIR) + "/mpeg4-1080p-bf" + std::to_string(bframes) +
               ".avi";
        if (!exists(path))
            run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 "
                "-frames:v " +
                std::to_string(kFrames) +
                " -vf noise=alls=4:allf=t -c:v mpeg4 -vtag DX50 -q:v 4 -g " +
                std::to_string(kGop) + " -bf " + std::to_string(bframes) + " '" + path + "'");
    }
    return path;
}

// A long file: 60 000 frames (40 minutes) of small H.264, by stream copy.
const std::string& longClip() {
    static const std::string path = [] {
        const std::string dir = STILLORA_BENCH_CLIP_DIR;
        const std::string part = dir + "/long-part.mkv", file = dir + "/long-40min.mkv";
        if (!exists(file)) {
            run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x360:rate=25 "
                "-frames:v 1500 -c:v libx264 -preset veryfast -g 50 '" +
                part + "'");
            run("ffmpeg -nostdin -v error -y -stream_loop 39 -i '" + part + "' -c copy '" + file +
                "'");
        }
        return file;
    }();
    return path;
}

std::vector<int> randomFrames() {
    std::mt19937 random(99);
    std::vector<int> frames(40);
    for (int& frame : frames)
        frame = int(random() % kFrames);
    return frames;
}

// 40 random frames sought and grabbed; the means over the first and the last
// half of the file show whether a seek grows with the frame's position.
void randomSeeks(benchmark::State& state, int bframes) {
    FfmpegMediaSource source;
    std::string error;
    if (!source.open(SourceKind::File, aviClip(bframes), &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    QImage image;
    const std::vector<int> frames = randomFrames();
    double early = 0, late = 0;
    int earlyCount = 0, lateCount = 0;
    const int64_t decodedBefore = source.decodedFrames();
    const int64_t seeksBefore = source.demuxerSeeks();
    for (auto _ : state) {
        for (int frame : frames) {
            QElapsedTimer timer;
            timer.start();
            if (!source.seek(frame, &error) || !source.grab(image))
                state.SkipWithError(error.c_str());
            const double ms = timer.nsecsElapsed() / 1e6;
            (frame < kFrames / 2 ? early : late) += ms;
            ++(frame < kFrames / 2 ? earlyCount : lateCount);
        }
    }
    state.counters["ms_per_seek"] = (early + late) / (earlyCount + lateCount);
    state.counters["ms_first_half"] = early / std::max(1, earlyCount);
    state.counters["ms_second_half"] = late / std::max(1, lateCount);
    state.counters["demuxer_seeks"] = double(source.demuxerSeeks() - seeksBefore);
    // Pictures decoded per sought frame: the frames from the key frame before
    // it up to it when every seek lands where it should.
    state.counters["decoded_per_seek"] =
        double(source.decodedFrames() - decodedBefore) / (earlyCount + lateCount);
}
void BM_AviRandomSeekBFrames(benchmark::State& state) {
    randomSeeks(state, 2);
}
void BM_AviRandomSeekNoBFrames(benchmark::State& state) {
    randomSeeks(state, 0);
}
BENCHMARK(BM_AviRandomSeekBFrames)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_AviRandomSeekNoBFrames)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// The command line fetching the same frames one by one (-ss seeks to the
// key frame before and decodes forward); its start-up is part of the cost.
void BM_CommandLineAviSeekBFrames(benchmark::State& state) {
    const std::vector<int> frames = randomFrames();
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state) {
        for (size_t i = 0; i < 10; ++i) {
            const std::string command = "ffmpeg -nostdin -v error -threads 2 -ss " +
                                        std::to_string(frames[i] / 25.0) + " -i '" + aviClip(2) +
                                        "' -frames:v 1 -pix_fmt bgra -f null -";
            if (std::system(command.c_str()) != 0) state.SkipWithError("ffmpeg failed");
        }
    }
    state.counters["ms_per_seek"] = timer.nsecsElapsed() / 1e6 / (10.0 * state.iterations());
}
BENCHMARK(BM_CommandLineAviSeekBFrames)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// Opening the long file while an event loop runs a 5 ms timer, handled in
// the open's progress reports as the window handles them.
void BM_OpenLongFile(benchmark::State& state) {
    longClip();
    double longestStall = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        QElapsedTimer sinceTick;
        sinceTick.start();
        double stall = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            stall = std::max(stall, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.restart();
        });
        ticker.start(5);
        FfmpegMediaSource source;
        source.setOpenProgress([](int) {
            QCoreApplication::processEvents();
            return true;
        });
        std::string error;
        sinceTick.restart();
        if (!source.open(SourceKind::File, longClip(), &error)) state.SkipWithError(error.c_str());
        stall = std::max(stall, sinceTick.nsecsElapsed() / 1e6);
        longestStall = std::max(longestStall, stall);
        frames = source.frameCount();
    }
    state.counters["packets_per_s"] =
        benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["frames"] = double(frames);
    state.counters["longest_stall_ms"] = longestStall;
}
BENCHMARK(BM_OpenLongFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
