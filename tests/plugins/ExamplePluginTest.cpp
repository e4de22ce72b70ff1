// The example plug-in of docs/PLUGINS.md, built from the document's own text.

#include "PluginHarness.h"

#include <gtest/gtest.h>

namespace stillora::test {
namespace {

const Plugin& Example() {
    return LoadFrom(STILLORA_EXAMPLE_PLUGIN_DIR, "Posterize.so");
}

TEST(DocumentedExamplePlugin, LoadsAndPublishesItsTable) {
    const Plugin& p = Example();
    EXPECT_EQ(p.Version(), 512);
    EXPECT_STREQ(p.PluginNameGet(), "Posterize");
    ASSERT_EQ(p.GetParamCount(), 1);
    EXPECT_STREQ(p.GetParam(0)->Name, "Levels");
    EXPECT_EQ(p.GetParam(1), nullptr);
}

TEST(DocumentedExamplePlugin, ReducesChannelsToTheChosenLevels) {
    const Plugin& p = Example();
    ParamRestorer restore(p);
    p.setInt(0, 2);
    const TPluginBitmap out = Apply(p, Filled(3, 2, Rgb(200, 100, 20)));
    EXPECT_EQ(out.pixelFormat(), TPixelFormat::pf32bit);
    EXPECT_EQ(out.pixel(2, 1), Rgb(255, 0, 0));
}

} // namespace
} // namespace stillora::test
