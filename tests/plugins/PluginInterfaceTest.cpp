// The eight exports of every delivered plug-in, called through dlsym.

#include "PluginHarness.h"

#include <gtest/gtest.h>

#include <cstring>

namespace stillora::test {
namespace {

struct ParamSpec {
    const char* name;
    bool boolean;
    int32_t initial;
    int32_t minimum, maximum; // integers only
};

struct PluginSpec {
    const char* file;
    const char* name;
    std::vector<ParamSpec> params;
};

const std::vector<PluginSpec>& Specs() {
    static const std::vector<PluginSpec> specs = {
        {"lightness.so",
         "Lightness",
         {{"Amount", false, 0, -100, 100},
          {"R Channel", true, 1, 0, 0},
          {"G Channel", true, 1, 0, 0},
          {"B Channel", true, 1, 0, 0},
          {"Negative", true, 0, 0, 0}}},
        {"Toravine.so",
         "Toravine Glow",
         {{"Channel 1", true, 1, 0, 0},
          {"Channel 2", true, 1, 0, 0},
          {"Channel 3", true, 1, 0, 0},
          {"Channel 4", true, 1, 0, 0}}},
        {"Antialias.so",
         "Antialias",
         {{"R Channel", true, 1, 0, 0},
          {"G Channel", true, 1, 0, 0},
          {"B Channel", true, 1, 0, 0}}},
        {"Skarrow.so", "Skarrow", {{"Amount", false, 0, 0, 200}, {"Monochrome", true, 0, 0, 0}}},
        {"Orbenna.so", "Circle Image", {{"Radius", false, 100, 1, 200}}},
        {"Spray.so", "Spray", {{"Amount", false, 10, 0, 255}}},
        {"Sepravel.so",
         "Old Photo",
         {{"Old Aspect", true, 1, 0, 0},
          {"Greyscale", true, 0, 0, 0},
          {"Negative", true, 0, 0, 0}}},
    };
    return specs;
}

class EveryPlugin : public ::testing::TestWithParam<PluginSpec> {
protected:
    const Plugin& plugin() const { return Load(GetParam().file); }
};

TEST_P(EveryPlugin, ReportsVersionAndAStableName) {
    const Plugin& p = plugin();
    EXPECT_EQ(p.Version(), 512);
    const char* name = p.PluginNameGet();
    EXPECT_STREQ(name, GetParam().name);
    EXPECT_EQ(p.PluginNameGet(), name);
    // The rest of the 128-byte buffer is zero.
    for (size_t i = std::strlen(name); i < STILLORA_PLUGIN_NAME_SIZE; ++i)
        ASSERT_EQ(name[i], 0) << i;
}

TEST_P(EveryPlugin, PublishesItsTableAsDeclared) {
    const Plugin& p = plugin();
    const auto& params = GetParam().params;
    ASSERT_EQ(p.GetParamCount(), int32_t(params.size()));
    for (size_t i = 0; i < params.size(); ++i) {
        SCOPED_TRACE(params[i].name);
        const TPluginParam* e = p.GetParam(int32_t(i));
        ASSERT_NE(e, nullptr);
        EXPECT_STREQ(e->Name, params[i].name);
        EXPECT_EQ(e->Left, -1);
        EXPECT_EQ(e->Top, -1);
        if (params[i].boolean) {
            EXPECT_EQ(e->ValueKind, STILLORA_VALUE_BOOLEAN);
            EXPECT_EQ(e->ControlKind, STILLORA_CONTROL_CHECKBOX);
            EXPECT_EQ(e->Value.vt, STILLORA_VT_BOOL);
            EXPECT_EQ(e->Value.u.boolVal, params[i].initial ? -1 : 0);
        } else {
            EXPECT_EQ(e->ValueKind, STILLORA_VALUE_INTEGER);
            EXPECT_EQ(e->ControlKind, STILLORA_CONTROL_TRACKBAR);
            EXPECT_EQ(e->Value.vt, STILLORA_VT_UI1); // defaults are stored as bytes
            EXPECT_EQ(e->Value.u.bVal, params[i].initial);
            EXPECT_EQ(e->MinValue.vt, STILLORA_VT_I4);
            EXPECT_EQ(e->MinValue.u.lVal, params[i].minimum);
            EXPECT_EQ(e->MaxValue.vt, STILLORA_VT_I4);
            EXPECT_EQ(e->MaxValue.u.lVal, params[i].maximum);
        }
    }
}

TEST_P(EveryPlugin, IndexOutsideTheTableIsRefused) {
    const Plugin& p = plugin();
    ParamRestorer restore(p);
    const int32_t count = p.GetParamCount();
    for (int32_t bad : {-1, count, count + 1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(p.GetParam(bad), nullptr) << bad;
        EXPECT_EQ(p.ParamExists(bad), 0) << bad;
        const TPluginVariant v = MakeVariantInt(5);
        p.SetParam(bad, &v); // ignored
    }
    EXPECT_EQ(p.ParamExists(0), 1);
    EXPECT_EQ(p.ParamExists(count - 1), 1);
    // SetParam on a valid index copies the whole variant.
    const TPluginVariant v = MakeVariantInt(77);
    p.SetParam(count - 1, &v);
    EXPECT_EQ(std::memcmp(&p.GetParam(count - 1)->Value, &v, sizeof v), 0);
}

TEST_P(EveryPlugin, NullBitmapReturnsWithoutEffect) {
    const Plugin& p = plugin();
    TPluginBitmap b = Noise(4, 3, 1);
    const TPluginBitmap before(b);
    p.RunProcBMP(nullptr, &b);
    p.RunProcBMP(&b, nullptr);
    p.RunProcBMP(nullptr, nullptr);
    p.RunProc(&b, &b); // the older hand-over does nothing
    EXPECT_EQ(b.pixelFormat(), TPixelFormat::pf32bit);
    EXPECT_TRUE(SamePixels(b, before));
}

TEST_P(EveryPlugin, ResultIs32BitsWithTheSourceSize) {
    const Plugin& p = plugin();
    for (auto [w, h] : {std::pair{1, 1}, {1, 9}, {9, 1}, {2, 2}, {7, 7}, {13, 6}}) {
        TPluginBitmap source = Noise(w, h, 3);
        TPluginBitmap dest(20, 20); // a different size: the source's wins
        EXPECT_NO_THROW(p.RunProcBMP(&source, &dest)) << w << "x" << h;
        EXPECT_EQ(dest.pixelFormat(), TPixelFormat::pf32bit);
        EXPECT_EQ(dest.width(), w);
        EXPECT_EQ(dest.height(), h);
    }
}

TEST_P(EveryPlugin, EmptySourceRaisesBadDimensionToTheHost) {
    const Plugin& p = plugin();
    TPluginBitmap source(0, 0), dest(3, 3);
    try {
        p.RunProcBMP(&source, &dest);
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Bad dimension");
    }
}

INSTANTIATE_TEST_SUITE_P(Delivered, EveryPlugin, ::testing::ValuesIn(Specs()),
                         [](const ::testing::TestParamInfo<PluginSpec>& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
} // namespace stillora::test
