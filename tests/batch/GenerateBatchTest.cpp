// stillora-batch making its own selections (--every, --every-seconds,
// --scenes, --sharpest), reading CSV and EDL lists and saving what it made.
#include "BatchClips.h"

#include "app/batch/BatchOptions.h"
#include "pluginhost/PluginRecord.h"
#include "selection/SelectionFile.h"
#include "selection/SelectionTree.h"
#include "support/ClipMaker.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

using namespace stillora;
using namespace stillora::batch;

namespace {

TEST(GenerateOptions, EachGeneratorAndItsValues) {
    ParseResult r = ParseCommandLine({"--every", "25", "a.mp4"});
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.options.everyFrames, 25);
    r = ParseCommandLine({"--every-seconds", "2.5", "a.mp4"});
    ASSERT_TRUE(r.ok());
    EXPECT_DOUBLE_EQ(*r.options.everySeconds, 2.5);
    // The sensitivity is optional: a plain number after --scenes is it.
    r = ParseCommandLine({"--scenes", "a.mp4"});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.options.scenes, 50);
    EXPECT_EQ(r.options.videos, QStringList{"a.mp4"});
    r = ParseCommandLine({"--scenes", "70", "--scene-still", "middle", "a.mp4"});
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.options.scenes, 70);
    EXPECT_EQ(r.options.sceneStill, 2);
    r = ParseCommandLine({"--scenes=30", "--", "12"});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.options.scenes, 30);
    EXPECT_EQ(r.options.videos, QStringList{"12"});
    r = ParseCommandLine({"--sharpest", "10", "--fx", "Lightness", "--write-selections", "out.EDL", "a.mp4"});
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.options.sharpest, 10);
    EXPECT_EQ(r.options.writeSelections, "out.EDL");
}

TEST(GenerateOptions, ConflictsAndBadValuesAreRefused) {
    const std::vector<QStringList> bad{
        {"--every", "0", "a.mp4"},
        {"--every", "-5", "a.mp4"},
        {"--every-seconds", "0", "a.mp4"},
        {"--every-seconds", "ten", "a.mp4"},
        {"--scenes", "101", "a.mp4"},
        {"--scenes=x", "a.mp4"},
        {"--scene-still", "first", "a.mp4"},          // without --scenes
        {"--scenes", "--scene-still", "all", "a.mp4"}, // no such still
        {"--every", "10", "--scenes", "a.mp4"},        // two generators
        {"--every", "10", "--frames", "1-2", "a.mp4"},
        {"--every", "10", "--selections", "x.csv", "a.mp4"},
        {"--every", "10", "--write-selections", "out.txt", "a.mp4"},
        {"--every", "10", "--write-selections", "out.csv", "a.mp4", "b.mp4"},
    };
    for (const QStringList& args : bad) {
        const ParseResult r = ParseCommandLine(args);
        EXPECT_FALSE(r.ok()) << args.join(' ').toStdString();
        EXPECT_FALSE(r.error.contains('\n'));
    }
}

TEST(GenerateOptions, AreDocumentedInTheHelpAndTheManPage) {
    QFile manFile(QStringLiteral(STILLORA_SOURCE_DIR "/docs/stillora-batch.1"));
    ASSERT_TRUE(manFile.open(QIODevice::ReadOnly));
    const QString man = QString::fromUtf8(manFile.readAll()).replace("\\-", "-");
    for (const char* option :
         {"--every", "--every-seconds", "--scenes", "--scene-still", "--sharpest", "--write-selections"}) {
        EXPECT_TRUE(HelpText().contains(option)) << option;
        EXPECT_TRUE(man.contains(option)) << option;
    }
}

class GenerateBatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo(STILLORA_BIN_DIR "/stillora-batch").isExecutable());
        QDir(dir_.path()).mkdir("config");
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("XDG_CONFIG_HOME", dir_.file("config"));
        env_.insert("QT_QPA_PLATFORM", "offscreen");
    }
    test::ToolRun run(const QStringList& args) { return test::runTool(args, dir_.path(), env_); }
    test::ScratchDir dir_;
    QProcessEnvironment env_;
};

TEST_F(GenerateBatch, EveryNFramesSavedAsCsvThenRenderedFromIt) {
    const QString clip = dir_.file("clip.mp4");
    QString error;
    ASSERT_TRUE(test::makeNumberedClip(clip, 40, QSize(160, 120), &error)) << error.toStdString();
    test::ToolRun r = run({"-q", "--every", "10", "--write-selections", "list.csv", clip});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile csv(dir_.file("list.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().trimmed().split('\n');
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[2].trimmed(), "Frame_00010,10,10,00:00:00.400,00:00:00.440");
    EXPECT_FALSE(QFileInfo::exists(dir_.file("export"))); // nothing rendered

    r = run({"--dry-run", "--selections", "list.csv", "--out", "out", clip});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString out = QDir(dir_.path()).canonicalPath() + "/out/";
    EXPECT_EQ(r.outLines(), QStringList({out + "clip_Frame_00000_000.jpg", out + "clip_Frame_00010_001.jpg",
                                         out + "clip_Frame_00020_002.jpg", out + "clip_Frame_00030_003.jpg"}));
}

TEST_F(GenerateBatch, ADamagedCsvLineIsNamedTheOthersRenderAndTheStatusSaysSo) {
    const QString clip = dir_.file("clip.mp4");
    ASSERT_TRUE(test::makeNumberedClip(clip, 20, QSize(160, 120)));
    QFile csv(dir_.file("list.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("Caption,First frame,Last frame,Start time,End time\n"
              "a,1,1,,\n"
              "b,seven,9,,\n"
              "c,5,5,,\n");
    csv.close();
    const test::ToolRun r = run({"--dry-run", "--selections", "list.csv", "--out", "out", clip});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("Line 3:")) << r.err.toStdString();
    const QString out = QDir(dir_.path()).canonicalPath() + "/out/";
    EXPECT_EQ(r.outLines(), QStringList({out + "clip_a_000.jpg", out + "clip_c_001.jpg"}));
}

TEST_F(GenerateBatch, ScenesAsFirstFramesSavedAsASelectionList) {
    // Two shots: 20 frames of testsrc2, then 25 of smptebars.
    const QString clip = dir_.file("shots.mp4");
    QString error;
    ASSERT_TRUE(test::runFfmpeg({"-filter_complex",
                                 "testsrc2=s=320x240:r=25,trim=end_frame=20,setpts=PTS-STARTPTS[a];"
                                 "smptebars=s=320x240:r=25,trim=end_frame=25,setpts=PTS-STARTPTS[b];"
                                 "[a][b]concat=n=2:v=1:a=0,format=yuv420p[v]",
                                 "-map", "[v]", "-c:v", "libx264", "-preset", "veryfast", clip},
                                &error))
        << error.toStdString();
    test::ToolRun r = run({"-q", "--scenes", "--scene-still", "first", "--write-selections", "shots.sel", clip});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    SelectionList list;
    SelectionTree tree(list);
    const SelectionLoadResult loaded = LoadSelectionFile(dir_.file("shots.sel"), tree, PluginTable{});
    EXPECT_FALSE(loaded.damaged);
    std::vector<QString> captions;
    for (const TSelection* s : tree.TopLevelSelections())
        captions.push_back(s->Caption);
    EXPECT_EQ(captions, (std::vector<QString>{"Frame_00000", "Frame_00020"}));

    // As ranges in an EDL: each scene to the frame before the next cut.
    r = run({"-q", "--scenes", "--write-selections", "shots.edl", clip});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile edl(dir_.file("shots.edl"));
    ASSERT_TRUE(edl.open(QIODevice::ReadOnly));
    const QByteArray text = edl.readAll();
    EXPECT_TRUE(text.contains("001  AX       V     C        00:00:00:00 00:00:00:20")) << text.toStdString();
    EXPECT_TRUE(text.contains("002  AX       V     C        00:00:00:20 00:00:01:20")) << text.toStdString();
    EXPECT_TRUE(text.contains("* COMMENT: Range_00020_00044"));
}

} // namespace
