#pragma once
// Loads the built plug-ins with dlopen and calls them through their exported
// names, the way the host does.

#include "plugins/common/PluginBitmap.h"
#include "plugins/common/PluginFrame.h"
#include "plugins/common/StilloraPlugin.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace stillora::test {

struct Plugin {
    void* handle = nullptr;
    TVersionProc Version = nullptr;
    TPluginNameGetProc PluginNameGet = nullptr;
    TSetParamProc SetParam = nullptr;
    TParamExistsProc ParamExists = nullptr;
    TGetParamCountProc GetParamCount = nullptr;
    TGetParamProc GetParam = nullptr;
    TRunProcBMPProc RunProcBMP = nullptr;
    TRunProcProc RunProc = nullptr;

    // The host writes values through the entry pointer.
    void setInt(int32_t index, int32_t value) const {
        GetParam(index)->Value = MakeVariantInt(value);
    }
    void setBool(int32_t index, bool value) const {
        GetParam(index)->Value = MakeVariantBool(value);
    }
};

// Loads (once per process) a library from a folder; fails the test when a
// library or an export is missing.
inline const Plugin& LoadFrom(const std::string& folder, const std::string& file) {
    static std::map<std::string, Plugin> loaded;
    const std::string path = folder + "/" + file;
    auto it = loaded.find(path);
    if (it != loaded.end()) return it->second;
    Plugin p;
    p.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!p.handle) ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
    const auto bind = [&](auto& slot, const char* name) {
        slot =
            p.handle
                ? reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(p.handle, name))
                : nullptr;
        if (!slot) ADD_FAILURE() << path << " lacks " << name;
    };
    bind(p.Version, "Version");
    bind(p.PluginNameGet, "PluginNameGet");
    bind(p.SetParam, "SetParam");
    bind(p.ParamExists, "ParamExists");
    bind(p.GetParamCount, "GetParamCount");
    bind(p.GetParam, "GetParam");
    bind(p.RunProcBMP, "RunProcBMP");
    bind(p.RunProc, "RunProc");
    return loaded.emplace(path, p).first->second;
}

inline const Plugin& Load(const std::string& file) {
    return LoadFrom(STILLORA_PLUGIN_DIR, file);
}

// Parameter values belong to the loaded library and outlive a test; this
// puts them back when the test ends.
class ParamRestorer {
public:
    explicit ParamRestorer(const Plugin& p) : plugin_(p) {
        for (int32_t i = 0; i < p.GetParamCount(); ++i)
            saved_.push_back(p.GetParam(i)->Value);
    }
    ~ParamRestorer() {
        for (size_t i = 0; i < saved_.size(); ++i)
            plugin_.GetParam(int32_t(i))->Value = saved_[i];
    }

private:
    const Plugin& plugin_;
    std::vector<TPluginVariant> saved_;
};

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

inline TPluginBitmap MakePicture(int32_t w, int32_t h,
                                 const std::function<uint32_t(int32_t, int32_t)>& rgbAt,
                                 TPixelFormat format = TPixelFormat::pf32bit) {
    TPluginBitmap b(w, h, format);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.setPixel(x, y, rgbAt(x, y));
    return b;
}

inline TPluginBitmap Filled(int32_t w, int32_t h, uint32_t rgb) {
    return MakePicture(w, h, [rgb](int32_t, int32_t) { return rgb; });
}

// Deterministic pseudo-random picture (independent of the shared generator).
inline TPluginBitmap Noise(int32_t w, int32_t h, uint32_t seed) {
    return MakePicture(w, h, [seed](int32_t x, int32_t y) {
        uint32_t v = seed ^ (uint32_t(x) * 73856093u) ^ (uint32_t(y) * 19349663u);
        v ^= v >> 13, v *= 0x5bd1e995u, v ^= v >> 15;
        return v & 0xFFFFFFu;
    });
}

// Applies an effect as the host does: source and destination are 32-bit
// copies of the picture; the destination is the result.
inline TPluginBitmap Apply(const Plugin& p, const TPluginBitmap& picture) {
    TPluginBitmap source(picture), dest(picture);
    source.setPixelFormat(TPixelFormat::pf32bit);
    dest.setPixelFormat(TPixelFormat::pf32bit);
    p.RunProcBMP(&source, &dest);
    return dest;
}

inline std::vector<uint32_t> Pixels(const TPluginBitmap& b) {
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < b.height(); ++y)
        for (int32_t x = 0; x < b.width(); ++x)
            out.push_back(b.pixel(x, y));
    return out;
}

inline std::string Hex(uint32_t rgb) {
    char text[16];
    snprintf(text, sizeof text, "%06X", rgb);
    return text;
}

// Compares two pictures pixel by pixel and names the first difference.
inline ::testing::AssertionResult SamePixels(const TPluginBitmap& a, const TPluginBitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return ::testing::AssertionFailure() << "sizes differ: " << a.width() << "x" << a.height()
                                             << " vs " << b.width() << "x" << b.height();
    for (int32_t y = 0; y < a.height(); ++y)
        for (int32_t x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << "): " << Hex(a.pixel(x, y)) << " vs "
                       << Hex(b.pixel(x, y));
    return ::testing::AssertionSuccess();
}

} // namespace stillora::test
