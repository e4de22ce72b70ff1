// Each effect's RunProcBMP on a 1920 x 1080 frame, as the host calls it
// (32-bit source and destination, the result handed back in dest), next to
// one memcpy of the same frame. Only the call itself is timed; refilling the
// two 32-bit copies before each call is not.

#include "plugins/common/PluginBitmap.h"
#include "plugins/common/PluginFrame.h"
#include "plugins/common/StilloraPlugin.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;

const TPluginBitmap& Frame() {
    static const TPluginBitmap frame = [] {
        TPluginBitmap b(kWidth, kHeight, TPixelFormat::pf32bit);
        uint32_t v = 12345;
        for (int32_t y = 0; y < kHeight; ++y) {
            uint8_t* row = b.scanLine(y);
            for (int32_t x = 0; x < kWidth; ++x) {
                v = v * 1664525u + 1013904223u;
                row[4 * x] = uint8_t(x / 8 + (v >> 29));
                row[4 * x + 1] = uint8_t(y / 5 + (v >> 27));
                row[4 * x + 2] = uint8_t((x + y) / 12 + (v >> 28));
                row[4 * x + 3] = 0;
            }
        }
        return b;
    }();
    return frame;
}

struct Entry {
    TRunProcBMPProc run = nullptr;
    TGetParamProc param = nullptr;
};

Entry Load(const char* file) {
    const std::string path = std::string(STILLORA_PLUGIN_DIR) + "/" + file;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
        std::exit(1);
    }
    Entry e;
    e.run = reinterpret_cast<TRunProcBMPProc>(dlsym(handle, "RunProcBMP"));
    e.param = reinterpret_cast<TGetParamProc>(dlsym(handle, "GetParam"));
    return e;
}

struct Setting {
    int32_t index;
    TPluginVariant value;
};

void RunEffect(benchmark::State& state, const char* file, std::vector<Setting> settings) {
    const Entry e = Load(file);
    for (const Setting& s : settings)
        e.param(s.index)->Value = s.value;
    TPluginBitmap source, dest;
    for (auto _ : state) {
        source = Frame();
        dest = Frame();
        const auto start = std::chrono::steady_clock::now();
        e.run(&source, &dest);
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(dest.scanLine(0));
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}

void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = size_t(kWidth) * kHeight * 4;
    std::vector<uint8_t> from(bytes, 1), to(bytes, 0);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        from[0] ^= 1;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

using stillora::MakeVariantBool;
using stillora::MakeVariantInt;

void BM_Lightness(benchmark::State& s) {
    RunEffect(s, "lightness.so", {{0, MakeVariantInt(30)}});
}
void BM_LightnessNegative(benchmark::State& s) {
    RunEffect(s, "lightness.so", {{0, MakeVariantInt(30)}, {4, MakeVariantBool(true)}});
}
void BM_Grey(benchmark::State& s) {
    RunEffect(s, "Sepravel.so", {{0, MakeVariantBool(false)}, {1, MakeVariantBool(true)}});
}
void BM_OldLook(benchmark::State& s) {
    RunEffect(s, "Sepravel.so", {});
}
void BM_Antialias(benchmark::State& s) {
    RunEffect(s, "Antialias.so", {});
}
void BM_Noise(benchmark::State& s) {
    RunEffect(s, "Skarrow.so", {{0, MakeVariantInt(100)}});
}
void BM_Glow(benchmark::State& s) {
    RunEffect(s, "Toravine.so", {});
}
void BM_Circle(benchmark::State& s) {
    RunEffect(s, "Orbenna.so", {});
}
void BM_Spray(benchmark::State& s) {
    RunEffect(s, "Spray.so", {});
}

} // namespace

BENCHMARK(BM_Memcpy)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lightness)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LightnessNegative)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grey)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OldLook)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Antialias)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Noise)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Glow)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Circle)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spray)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
