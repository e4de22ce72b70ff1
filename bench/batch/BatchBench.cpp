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

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kFirst = 100;
constexpr int kFrames = 300;
std::string g_clip;

// Runs a command with its output thrown away; returns its exit status and
// its peak resident memory (kB) in *peakKb.
int spawnAndWait(const std::vector<std::string>& args, long* peakKb) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (peakKb) *peakKb = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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
        const int status =
            spawnAndWait({tool, "--quiet", "--settings", settings.toStdString(), "--frames",
                          std::to_string(kFirst) + "-" + std::to_string(kFirst + kFrames - 1),
                          "--out", out.path().toStdString(), g_clip},
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
        const int status =
            spawnAndWait({"ffmpeg", "-nostdin", "-v", "error", "-y", "-ss", "4", "-i", g_clip,
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
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--clip=", 7) == 0)
            g_clip = argv[i] + 7;
        else
            rest.push_back(argv[i]);
    }
    if (g_clip.empty()) {
        g_clip = QDir::temp().filePath("stillora-batch-bench-1080p.mp4").toStdString();
        if (!QFileInfo::exists(QString::fromStdString(g_clip)) &&
            spawnAndWait({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                          "testsrc2=size=1920x1080:rate=25", "-t", "20", "-c:v", "libx264", "-bf",
                          "3", "-pix_fmt", "yuv420p", g_clip},
                         nullptr) != 0) {
            std::fprintf(stderr, "cannot make the clip with ffmpeg\n");
            return 1;
        }
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
