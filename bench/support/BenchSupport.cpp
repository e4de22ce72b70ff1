#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace stillora::bench {

namespace {
std::string g_clip;
}

int SpawnAndWait(const std::vector<std::string>& args, long* peakKb) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (peakKb) *peakKb = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string& Clip() {
    return g_clip;
}

int RunBenchmarks(int argc, char** argv, const char* defaultName, int seconds) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--clip=", 7) == 0)
            g_clip = argv[i] + 7;
        else
            rest.push_back(argv[i]);
    }
    if (g_clip.empty()) {
        g_clip = QDir::temp().filePath(defaultName).toStdString();
        if (!QFileInfo::exists(QString::fromStdString(g_clip)) &&
            SpawnAndWait({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                          "testsrc2=size=1920x1080:rate=25", "-t", std::to_string(seconds), "-c:v",
                          "libx264", "-bf", "3", "-g", "250", "-pix_fmt", "yuv420p", g_clip},
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

} // namespace stillora::bench
