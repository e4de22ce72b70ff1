// Settings of a batch run (stored values under the options) and the plug-in
// set-up: parameters through the plug-in's table, chains, the listing.
#include "app/batch/BatchSetup.h"
#include "app/batch/Progress.h"
#include "app/settings/SettingsStore.h"
#include "pluginhost/PluginLoader.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cstdio>

using namespace stillora;
using namespace stillora::batch;

namespace {

BatchOptions optionsOf(const QStringList& args) {
    const ParseResult r = ParseCommandLine(args);
    EXPECT_TRUE(r.ok()) << r.error.toStdString();
    return r.options;
}

int32_t intValue(const TPluginParam& p) {
    return p.Value.vt == STILLORA_VT_BOOL  ? (p.Value.u.boolVal ? 1 : 0)
           : p.Value.vt == STILLORA_VT_UI1 ? p.Value.u.bVal
                                           : p.Value.u.lVal;
}

class PluginSetup : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LoadPlugins(STILLORA_PLUGIN_DIR, table_); }
    void SetUp() override {
        lightness_ = FindPluginByName(table_, "Lightness");
        ASSERT_GE(lightness_, 0) << "plug-ins not built";
    }
    void TearDown() override {
        // Parameters live in the plug-in: put back what the tests changed.
        QString error;
        ApplyParameter(table_, "Lightness:Amount=0", &error);
        ApplyParameter(table_, "Lightness:Negative=off", &error);
    }
    const TPluginParam& param(int index) const {
        return *table_[static_cast<size_t>(lightness_)].GetParam(index);
    }
    static PluginTable table_;
    int lightness_ = -1;
};
PluginTable PluginSetup::table_;

} // namespace

TEST(BatchSettings, StoredValuesThenOptions) {
    test::ScratchDir dir;
    SettingsStore store(dir.file("settings.json"));
    store.WriteSetting("rgExportType.ItemIndex", 1);
    store.WriteSetting("cbSeparator.Checked", 0);
    store.WriteSetting("edtSeparator.Text", QString("~"));
    store.WriteSetting("spinDigits.Value", 7);
    store.WriteSetting("cbSkipFrames.Checked", 1);
    store.WriteSetting("spinSkipFrames.Value", 4);
    store.WriteSetting("tbJpegComp.Position", 140); // clamped to 100 on reading
    store.WriteSetting("siColor.Color", 0x0000FF);  // red in the low byte
    store.WriteSetting("cbSuperimpose.Checked", 1);
    store.WriteSetting("jvExportFolder.text", QString("/srv/stills"));

    RenderSettings s = SettingsFromStore(ResolveSettings(store));
    EXPECT_EQ(s.exportKind, NumberedFrames);
    EXPECT_EQ(s.stillType, StillBmp);
    EXPECT_FALSE(s.useSeparator);
    EXPECT_EQ(s.separator, "~");
    EXPECT_EQ(s.digits, 7);
    EXPECT_TRUE(s.skipFrames);
    EXPECT_EQ(s.skipEvery, 4);
    EXPECT_EQ(s.jpegQuality, 100);
    EXPECT_EQ(s.overlay.color, QColor(255, 0, 0));
    EXPECT_TRUE(s.overlay.drawText);
    EXPECT_EQ(s.exportFolder, "/srv/stills/");

    ApplyOverrides(optionsOf({"--separator", "-", "--digits", "2", "--skip", "0", "--format", "jpg",
                              "--quality", "30", "--no-selection-name", "a.mp4"}),
                   s);
    EXPECT_TRUE(s.useSeparator);
    EXPECT_EQ(s.separator, "-");
    EXPECT_EQ(s.digits, 2);
    EXPECT_FALSE(s.skipFrames);
    EXPECT_EQ(s.stillType, StillJpeg);
    EXPECT_EQ(s.jpegQuality, 30);
    EXPECT_FALSE(s.addSelectionName);

    // An empty store gives the window's defaults.
    const RenderSettings d = SettingsFromStore(ResolveSettings(SettingsStore(dir.file("none"))));
    const RenderSettings plain;
    EXPECT_EQ(d.digits, plain.digits);
    EXPECT_EQ(d.separator, plain.separator);
    EXPECT_EQ(d.jpegQuality, plain.jpegQuality);
    EXPECT_EQ(d.addSelectionName, plain.addSelectionName);
    EXPECT_EQ(d.overlay.drawText, plain.overlay.drawText);
}

TEST(BatchSettings, RootNameAndOutputFolder) {
    EXPECT_EQ(RootNameFor(optionsOf({"a.mp4"}), "/v/holiday.take2.mp4"), "holiday.take2");
    EXPECT_EQ(RootNameFor(optionsOf({"a.mp4"}), "noext"), "noext");
    EXPECT_EQ(RootNameFor(optionsOf({"--root", "R", "a.mp4"}), "/v/x.mp4"), "R");

    RenderSettings s;
    EXPECT_EQ(OutputFolder(optionsOf({"a.mp4"}), s, "/work"), "/work/export/");
    s.exportFolder = "/srv/stills/";
    EXPECT_EQ(OutputFolder(optionsOf({"a.mp4"}), s, "/work"), "/srv/stills/");
    EXPECT_EQ(OutputFolder(optionsOf({"--out", "o/../out", "a.mp4"}), s, "/work"), "/work/out/");
}

TEST_F(PluginSetup, ParameterIsSetThroughTheTable) {
    QString error;
    ASSERT_TRUE(ApplyParameter(table_, "Lightness:Amount=-40", &error)) << error.toStdString();
    EXPECT_EQ(intValue(param(0)), -40);
    EXPECT_EQ(param(0).Value.vt, STILLORA_VT_I4);
    // Names without regard to case; switches as on/off.
    ASSERT_TRUE(ApplyParameter(table_, "lightness:negative=on", &error)) << error.toStdString();
    EXPECT_EQ(param(4).Value.vt, STILLORA_VT_BOOL);
    EXPECT_EQ(param(4).Value.u.boolVal, -1);
    ASSERT_TRUE(ApplyParameter(table_, "Lightness:Amount=100", &error));
    EXPECT_EQ(intValue(param(0)), 100);
}

TEST_F(PluginSetup, BadParametersChangeNothing) {
    const std::vector<std::pair<QString, QString>> cases{
        {"Lightness:Amount=101", "-100 to 100"}, {"Lightness:Amount=-101", "101"},
        {"Lightness:Amount=ten", "ten"},         {"Lightness:Amount=", "not \"\""},
        {"Lightness:Negative=maybe", "maybe"},   {"Lightness:Nope=1", "Nope"},
        {"Nothing:Amount=1", "Nothing"},         {"Lightness=1", "PLUGIN:NAME=VALUE"},
        {"Lightness:=1", "PLUGIN:NAME=VALUE"},
    };
    for (const auto& [spec, mention] : cases) {
        QString error;
        EXPECT_FALSE(ApplyParameter(table_, spec, &error)) << spec.toStdString();
        EXPECT_TRUE(error.contains(mention)) << spec.toStdString() << " -> " << error.toStdString();
        EXPECT_EQ(intValue(param(0)), 0) << spec.toStdString();
        EXPECT_EQ(intValue(param(4)), 0) << spec.toStdString();
    }
}

TEST_F(PluginSetup, ChainsAndListing) {
    std::vector<TPluginRecord> chain;
    QString error;
    ASSERT_TRUE(BuildChain(table_, "Lightness, spray", chain, &error)) << error.toStdString();
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0].name(), "Lightness");
    EXPECT_EQ(chain[1].name(), "Spray");
    EXPECT_FALSE(BuildChain(table_, "Lightness,Glow", chain, &error));
    EXPECT_TRUE(error.contains("\"Glow\"")) << error.toStdString();
    EXPECT_EQ(chain.size(), 2u);

    // Stored captions rebind by exact name, so that is what is checked.
    EXPECT_TRUE(MissingChainNames(table_, "(None)").isEmpty());
    EXPECT_TRUE(MissingChainNames(table_, "Lightness,Spray,").isEmpty());
    EXPECT_EQ(MissingChainNames(table_, "Lightness,lightness,Glow"),
              QStringList({"lightness", "Glow"}));

    const QString listing = DescribePlugins(table_);
    EXPECT_TRUE(listing.contains(
        QRegularExpression("^Lightness\\n  Amount +integer +-100\\.\\.100 +default 0$",
                           QRegularExpression::MultilineOption)))
        << listing.toStdString();
    EXPECT_TRUE(listing.contains(QRegularExpression("^  Negative +switch +on/off +default off$",
                                                    QRegularExpression::MultilineOption)));
    EXPECT_TRUE(
        listing.contains(QRegularExpression("^Spray$", QRegularExpression::MultilineOption)));
}

TEST(BatchProgress, PlainLinesAreSpacedAndMessagesKeepTheirOwnLine) {
    using namespace std::chrono;
    steady_clock::time_point t{};
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        Progress progress(file, true, false, [&] { return t; });
        progress.start(100);
        for (int i = 0; i < 50; ++i) {
            t += milliseconds(100); // 10 frames a second
            progress.frameDone("clip.mp4");
        }
        progress.message("stillora-batch: frame 7 failed");
        for (int i = 0; i < 50; ++i) {
            t += milliseconds(100);
            progress.frameDone("clip.mp4");
        }
        progress.finish();
    }
    std::rewind(file);
    QByteArray text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, static_cast<qsizetype>(n));
    std::fclose(file);
    const QStringList lines = QString::fromLocal8Bit(text).split('\n', Qt::SkipEmptyParts);
    // One line every 2 s of 10 s, the last frame, and the message.
    EXPECT_EQ(lines.size(), 6) << text.toStdString();
    EXPECT_TRUE(lines.contains("clip.mp4: 20/100 frames, 10.0 fps, 0:08 left"))
        << text.toStdString();
    EXPECT_TRUE(lines.contains("stillora-batch: frame 7 failed"));
    EXPECT_EQ(lines.last(), "clip.mp4: 100/100 frames, 10.0 fps, 0:00 left");
    EXPECT_FALSE(text.contains('\r'));
}

TEST(BatchProgress, AnIndexPassIsShownByTenthsOnPlainLines) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        // A pass that ends within its first second writes no line at all.
        auto at = std::chrono::steady_clock::time_point();
        Progress progress(file, true, false, [&] { return at; });
        for (int percent : {0, 40, 99})
            progress.indexing("short.mkv", percent);
        for (int percent : {0, 3, 9, 10, 37, 38, 99}) {
            progress.indexing("long.mkv", percent);
            at += std::chrono::milliseconds(600);
        }
        Progress quiet(file, false, false);
        quiet.indexing("other.mkv", 50);
    }
    std::rewind(file);
    QByteArray text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, static_cast<qsizetype>(n));
    std::fclose(file);
    EXPECT_EQ(QString::fromUtf8(text), QString::fromUtf8("long.mkv: Indexing\u2026 9 %\n"
                                                         "long.mkv: Indexing\u2026 10 %\n"
                                                         "long.mkv: Indexing\u2026 37 %\n"
                                                         "long.mkv: Indexing\u2026 99 %\n"));
}
