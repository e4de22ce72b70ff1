// Seeking and grabbing on a 1920x1080 H.264 clip (3 B-frames, a key frame
// every 250 frames), beside the ffmpeg command line decoding the same frames.
// The clip is generated on the first run and kept in the build tree.
#include "video/FfmpegMediaSource.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using stillora::FfmpegMediaSource;
using stillora::SourceKind;

constexpr int kFrames = 600;
constexpr int kGop = 250;
// The consecutive run starts on a key frame (10 s in), so that the command
// line, which seeks to the key frame before, decodes no more than we do.
constexpr int kFirst = 250;
constexpr int kRun = 300;

const std::string& clip() {
    static const std::string path = [] {
        const std::string file = std::string(STILLORA_BENCH_CLIP_DIR) + "/h264-1080p-gop250.mp4";
        struct stat info {};
        if (stat(file.c_str(), &info) != 0 || info.st_size == 0) {
            // Noise keeps the bit rate near real footage (about 15 MB for 24 s).
            const std::string command =
                "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 "
                "-frames:v " +
                std::to_string(kFrames) +
                " -vf noise=alls=4:allf=t -c:v libx264 -preset veryfast -bf 3 -g " +
                std::to_string(kGop) + " -keyint_min " + std::to_string(kGop) +
                " -sc_threshold 0 -pix_fmt yuv420p '" + file + "'";
            if (std::system(command.c_str()) != 0)
                std::fprintf(stderr, "cannot make %s\n", file.c_str());
        }
        return file;
    }();
    return path;
}

double peakMegabytes(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss / 1024.0;
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1048576.0);
}

void openClip(benchmark::State& state, FfmpegMediaSource& source) {
    std::string error;
    if (!source.open(SourceKind::File, clip(), &error)) state.SkipWithError(error.c_str());
}

// Opening indexes the whole file: every packet read once, nothing decoded.
void BM_Open(benchmark::State& state) {
    clip();
    for (auto _ : state) {
        FfmpegMediaSource source;
        openClip(state, source);
        benchmark::DoNotOptimize(source.frameCount());
    }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(5);

// A render run: seek to each next frame and grab it.
void BM_ConsecutiveFrames(benchmark::State& state) {
    FfmpegMediaSource source;
    openClip(state, source);
    std::string error;
    QImage image;
    for (auto _ : state) {
        state.PauseTiming();
        source.seek(kFirst - 1, &error);
        state.ResumeTiming();
        for (int n = kFirst; n < kFirst + kRun; ++n) {
            if (!source.seek(n, &error) || !source.grab(image)) state.SkipWithError(error.c_str());
            benchmark::DoNotOptimize(image.constBits());
        }
    }
    state.SetItemsProcessed(state.iterations() * kRun);
    state.counters["seeks"] = double(source.demuxerSeeks());
    state.counters["peak_MB"] = peakMegabytes(RUSAGE_SELF);
}
BENCHMARK(BM_ConsecutiveFrames)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The same 300 frames decoded by the command line (2 decoder threads), with
// and without conversion to BGRA. Its peak memory comes from /usr/bin/time
// when that is installed.
void commandLine(benchmark::State& state, bool bgra) {
    const std::string peakFile = std::string(STILLORA_BENCH_CLIP_DIR) + "/ffmpeg-peak.txt";
    const bool timed = access("/usr/bin/time", X_OK) == 0;
    const std::string command = (timed ? "/usr/bin/time -f %M -o '" + peakFile + "' " : "") +
                                "ffmpeg -nostdin -v error -threads 2 -ss " +
                                std::to_string(kFirst / 25.0) + " -i '" + clip() + "' -frames:v " +
                                std::to_string(kRun) + (bgra ? " -pix_fmt bgra" : "") +
                                " -f null -";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("ffmpeg failed");
    }
    state.SetItemsProcessed(state.iterations() * kRun);
    double kilobytes = 0;
    if (timed && (std::ifstream(peakFile) >> kilobytes))
        state.counters["peak_MB"] = kilobytes / 1024;
}
void BM_CommandLine(benchmark::State& state) {
    commandLine(state, false);
}
void BM_CommandLineBgra(benchmark::State& state) {
    commandLine(state, true);
}
BENCHMARK(BM_CommandLine)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_CommandLineBgra)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

std::vector<int> randomFrames() {
    std::mt19937 random(1234);
    std::vector<int> frames(50);
    for (int& frame : frames)
        frame = int(random() % kFrames);
    return frames;
}

// 50 random frames, each sought and grabbed; frames_from_key is the mean
// distance to the key frame before, what a decode from there has to do.
void BM_RandomSeek(benchmark::State& state) {
    FfmpegMediaSource source;
    openClip(state, source);
    std::string error;
    QImage image;
    const std::vector<int> frames = randomFrames();
    for (auto _ : state) {
        for (int frame : frames) {
            if (!source.seek(frame, &error) || !source.grab(image))
                state.SkipWithError(error.c_str());
            benchmark::DoNotOptimize(image.constBits());
        }
    }
    double distance = 0;
    for (int frame : frames)
        distance += frame % kGop;
    state.counters["frames_from_key"] = distance / frames.size();
    state.counters["ms_per_seek"] = benchmark::Counter(
        double(frames.size()) * 1e-3,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["peak_MB"] = peakMegabytes(RUSAGE_SELF);
}
BENCHMARK(BM_RandomSeek)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// Memory over a long run: resident size after a first pass and after more.
void BM_MemoryOverLongRun(benchmark::State& state) {
    FfmpegMediaSource source;
    openClip(state, source);
    std::string error;
    QImage image;
    std::vector<int> jumps = randomFrames();
    jumps.resize(10);
    double first = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < 4; ++pass) {
            for (int n = 0; n < kFrames; ++n) {
                source.seek(n, &error);
                source.grab(image);
            }
            for (int frame : jumps) {
                source.seek(frame, &error);
                source.grab(image);
            }
            if (pass == 0) first = residentMegabytes();
        }
    }
    state.counters["rss_after_pass1_MB"] = first;
    state.counters["rss_after_pass4_MB"] = residentMegabytes();
}
BENCHMARK(BM_MemoryOverLongRun)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
