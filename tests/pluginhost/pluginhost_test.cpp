// The plug-in host with the real plug-ins: loading, effect chains and their
// captions, and running effects over frames.

#include "PluginFixture.h"
#include "pluginhost/EffectChain.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace stillora;
using namespace stillora::test;

namespace {

std::vector<std::string> names(const PluginTable& table) {
    std::vector<std::string> result;
    for (const auto& record : table) result.push_back(record.name());
    return result;
}

// A copy of the plug-in folder with extra files, for the loader's bad cases.
QString copyPlugins(const ScratchDir& dir) {
    QDir source(STILLORA_PLUGIN_DIR);
    for (const QString& file : source.entryList({"*.so"}, QDir::Files))
        EXPECT_TRUE(QFile::copy(source.filePath(file), dir.file(file)));
    return dir.path();
}

} // namespace

TEST(PluginLoader, ListsTheSevenPluginsInNameOrder) {
    EXPECT_EQ(names(RealPlugins()), (std::vector<std::string>{"Antialias", "Lightness", "Circle Image", "Old Photo",
                                                               "Skarrow", "Spray", "Toravine Glow"}));
    for (const auto& record : RealPlugins()) {
        EXPECT_NE(record.Handle, nullptr);
        EXPECT_NE(record.RunProcBMP, nullptr);
        EXPECT_NE(record.GetParam, nullptr);
        EXPECT_EQ(record.Version(), 512);
        EXPECT_TRUE(record.Settings.empty());
    }
}

TEST(PluginLoader, SkipsWhatIsNoPluginAndKeepsLinesMatchingRecords) {
    ScratchDir dir;
    copyPlugins(dir);
    QFile bad(dir.file("000-bad.so"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("this is not a shared library");
    bad.close();
    QFile::copy(QString(STILLORA_PLUGIN_DIR) + "/lightness.so", dir.file("zz-second-lightness.so"));
    PluginTable table;
    LoadPlugins(dir.path().toStdString(), table);
    ASSERT_EQ(table.size(), 8u);
    EXPECT_EQ(table[0].name(), "Antialias") << "the broken file is not listed";
    EXPECT_EQ(table[7].name(), "Lightness") << "two plug-ins of one name are both listed";
    EXPECT_EQ(FindPluginByName(table, "Lightness"), 1) << "find-by-name takes the first";
    EXPECT_EQ(FindPluginByName(table, "lightness"), -1) << "names compare exactly";
}

TEST(PluginLoader, AMissingOrEmptyFolderGivesAnEmptyList) {
    PluginTable table;
    LoadPlugins("/nonexistent/plugins/", table);
    EXPECT_TRUE(table.empty());
    ScratchDir dir;
    LoadPlugins(dir.path().toStdString(), table);
    EXPECT_TRUE(table.empty());
}

TEST(EffectChains, CaptionsAttachAndRebind) {
    TSelection selection;
    AttachEffects(selection, {Plugin("Lightness"), Plugin("Spray")}, true);
    EXPECT_EQ(selection.RefreshChainCaption(), "Lightness,Spray");
    AttachEffects(selection, {}, true);
    EXPECT_EQ(selection.Effects.size(), 2u) << "Add with nothing highlighted keeps the chain";
    AttachEffects(selection, {}, false);
    EXPECT_EQ(selection.RefreshChainCaption(), "(None)") << "Assign with nothing highlighted empties it";

    TSelection read;
    RebindChainFromCaption(read, "Lightness,No Such Effect,Spray", RealPlugins());
    EXPECT_EQ(read.ChainCaption(), "Lightness,Spray");
    TSelection none;
    RebindChainFromCaption(none, "(None)", RealPlugins());
    EXPECT_TRUE(none.Effects.empty());
    TSelection trailing;
    RebindChainFromCaption(trailing, "Spray,", RealPlugins());
    EXPECT_EQ(trailing.ChainCaption(), "Spray");
}

TEST(EffectChains, LightnessRunsOnAFrameAndKeepsItsSize) {
    const TPluginRecord& lightness = Plugin("Lightness");
    SetInt(lightness, 0, 100);
    QImage frame = Filled(QSize(7, 5), QColor(200, 100, 0));
    RunChain({lightness}, frame);
    ASSERT_EQ(frame.size(), QSize(7, 5));
    EXPECT_EQ(frame.format(), QImage::Format_RGB32);
    EXPECT_EQ(QColor(frame.pixel(6, 4)), QColor(255, 200, 100));

    // The same plug-in twice runs twice with the same values; then the negative.
    frame = Filled(QSize(3, 3), QColor(200, 100, 0));
    SetInt(lightness, 0, 20);
    RunChain({lightness, lightness}, frame);
    EXPECT_EQ(QColor(frame.pixel(1, 1)), QColor(240, 140, 40));
    SetInt(lightness, 0, 0);
    SetBool(lightness, 4, true);
    PreviewChain(nullptr, {lightness}, frame);
    EXPECT_EQ(QColor(frame.pixel(1, 1)), QColor(15, 115, 215));
    SetBool(lightness, 4, false);
}

TEST(EffectChains, PreviewRunsTheChainThenTheHighlightedEffects) {
    const TPluginRecord& lightness = Plugin("Lightness");
    TSelection selection;
    selection.Effects = {lightness};
    SetInt(lightness, 0, -50);
    QImage frame = Filled(QSize(4, 4), QColor(100, 100, 100));
    PreviewChain(&selection, {lightness}, frame);
    EXPECT_EQ(QColor(frame.pixel(0, 0)), QColor(0, 0, 0));
    SetInt(lightness, 0, 0);
}

TEST(EffectChains, AnOldStyleEffectGetsTheFramesThemselves) {
    TPluginRecord old;
    old.Version = [] { return static_cast<uint16_t>(256); };
    old.RunProc = [](void* src, void* dst) {
        auto* in = static_cast<QImage*>(src);
        auto* out = static_cast<QImage*>(dst);
        *out = in->mirrored(true, false);
    };
    old.RunProcBMP = [](TPluginBitmap*, TPluginBitmap*) { FAIL() << "the bitmap hand-over is not used"; };
    QImage src(2, 2, QImage::Format_RGB32), dst;
    src.setPixel(0, 0, qRgb(1, 2, 3));
    ApplyEffectEntry(old, src, dst);
    EXPECT_EQ(dst.pixel(1, 0), qRgb(1, 2, 3));
}
