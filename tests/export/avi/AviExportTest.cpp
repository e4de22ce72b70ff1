// The AVI movie as the window and the batch tool make it: the exporter fed
// by a run, the compression dialog and its remembered choice, the batch
// tool's options.

#include "AviProbe.h"
#include "AviReader.h"

#include "app/batch/BatchSetup.h"
#include "app/settings/SettingsStore.h"
#include "app/settings/SettingsTable.h"
#include "export/Exporters.h"
#include "export/avi/AviCompressor.h"
#include "selection/Selection.h"
#include "support/ClipMaker.h"
#include "support/ScriptedDialogsScope.h"
#include "support/TestDirs.h"
#include "views/avi/AviCompressionDialog.h"
#include "views/pages/DialogExportShell.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSlider>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace stillora {
namespace {

class AviExport : public ::testing::Test {
protected:
    void SetUp() override {
        auto scripted = std::make_unique<ScriptedAviCompression>();
        chooser = scripted.get();
        SetAviCompressionDialogs(std::move(scripted));
        shell.setAviChoiceKeeper([this](const AviSettings& s) { kept = s; });
        settings.exportKind = MovieExport;
        settings.movieKind = MovieAvi;
        settings.aviFrameRate = 3;
    }
    void TearDown() override { SetAviCompressionDialogs(nullptr); }

    // One run of `frames` frames through the exporter the factory makes.
    bool render(const QString& path, int frames, QSize size = QSize(128, 96)) {
        auto exporter = CreateExporter(settings, shell);
        EXPECT_TRUE(exporter);
        if (!exporter) return false;
        EXPECT_FALSE(exporter->wantsStills(settings)) << "AVI runs write no stills";
        exporter->begin(settings, path);
        bool going = true;
        int n = 0;
        for (; n < frames && going; ++n) {
            const QImage picture = test::TestFrame(n, size);
            const QString name = QString("frame%1").arg(n);
            going = exporter->addFrame({picture, name, selection, n, n});
        }
        exporter->finish({n, size.width(), size.height(), QString()});
        return going;
    }

    test::ScriptedDialogsScope dialogs;
    test::ScratchDir dir;
    ScriptedAviCompression* chooser = nullptr;
    DialogExportShell shell{nullptr};
    AviSettings kept;
    RenderSettings settings;
    TSelection selection;
};

TEST_F(AviExport, ChosenCodecMakesTheMovieAndIsProposedNextTime) {
    chooser->answers.push_back({true, "MJPG", 8000});
    const QString path = dir.file("show.avi");
    ASSERT_TRUE(render(path, 4));

    ASSERT_EQ(chooser->shown.size(), 1u);
    EXPECT_EQ(chooser->shown[0].Handler, "CVID");
    EXPECT_EQ(chooser->shown[0].Rate, 3u);
    EXPECT_EQ(chooser->shown[0].Width, 128);
    EXPECT_EQ(chooser->shown[0].Height, 96);
    const auto probe = test::Probe(path);
    EXPECT_EQ(probe.value("codec_name"), "mjpeg");
    EXPECT_EQ(probe.value("nb_read_frames"), "4");
    EXPECT_EQ(probe.value("r_frame_rate"), "3/1");
    EXPECT_TRUE(dialogs.get()->asked.empty()) << "no message after a movie";
    EXPECT_EQ(kept.handler, "MJPG");
    EXPECT_EQ(kept.quality, 8000u);

    // The window hands the kept choice back in the next run's settings.
    settings.avi = kept;
    ASSERT_TRUE(render(path, 2));
    ASSERT_EQ(chooser->shown.size(), 2u);
    EXPECT_EQ(chooser->shown[1].Handler, "MJPG");
    EXPECT_EQ(chooser->shown[1].Quality, 8000u);
    EXPECT_EQ(test::Probe(path).value("nb_read_frames"), "2")
        << "the second movie replaces the first";
    // The shell's compressor object serves every run.
    EXPECT_FALSE(shell.aviCompressor()->isOpen());
}

TEST_F(AviExport, CancelledDialogStopsTheRunWithTheWarningAndLeavesNoFile) {
    chooser->answers.push_back({false, {}, -1});
    EXPECT_FALSE(render(dir.file("show.avi"), 5));
    EXPECT_EQ(dialogs.get()->texts(),
              QStringList{"Pixel Format not supported. Try another codec."});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
    EXPECT_TRUE(kept.handler.isEmpty()) << "a cancelled choice is not remembered";
}

TEST_F(AviExport, MovieInAFolderThatCannotBeWrittenStopsAtTheFirstFrame) {
    EXPECT_FALSE(render(dir.file("no-such-folder/show.avi"), 3));
    EXPECT_EQ(dialogs.get()->texts(),
              QStringList{"Pixel Format not supported. Try another codec."});
    EXPECT_FALSE(QFileInfo::exists(dir.file("no-such-folder")));
}

TEST(AviCompressionDialog, ListsTheCodecsAndGreysWhatACodecDoesNotUse) {
    AVIOptions o;
    SetDefaultAVIOptions(o);
    TAviCompressionDialog dialog(o);
    QStringList items;
    for (int i = 0; i < dialog.cbCompressor->count(); ++i)
        items << dialog.cbCompressor->itemText(i);
    EXPECT_EQ(items.value(0), "Full Frames (Uncompressed)");
    for (const char* c : {"Cinepak Codec", "Motion JPEG", "MPEG-4 Part 2", "FFV1 (lossless)"})
        EXPECT_TRUE(items.contains(c)) << c;
    EXPECT_EQ(dialog.cbCompressor->currentText(), "Cinepak Codec") << "the proposed handler";
    EXPECT_EQ(dialog.tbQuality->value(), 50);
    EXPECT_TRUE(dialog.cbKeyFrames->isChecked());
    EXPECT_EQ(dialog.spinKeyFrames->value(), 18);
    EXPECT_EQ(dialog.spinDataRate->value(), 150);

    dialog.cbCompressor->setCurrentIndex(0);
    EXPECT_FALSE(dialog.tbQuality->isEnabled());
    EXPECT_FALSE(dialog.cbKeyFrames->isEnabled());
    dialog.cbCompressor->setCurrentIndex(items.indexOf("MPEG-4 Part 2"));
    EXPECT_TRUE(dialog.tbQuality->isEnabled());
    EXPECT_TRUE(dialog.spinKeyFrames->isEnabled());
    EXPECT_TRUE(dialog.spinDataRate->isEnabled());
    dialog.cbDataRate->setChecked(false);
    EXPECT_FALSE(dialog.spinDataRate->isEnabled());
    dialog.tbQuality->setValue(75);
    dialog.spinKeyFrames->setValue(30);

    dialog.apply(o);
    EXPECT_EQ(o.Handler, "FMP4");
    EXPECT_EQ(o.Quality, 7500u);
    EXPECT_EQ(o.KeyFrameEvery, 30u);
    EXPECT_EQ(o.Flags, kAviFlagKeyFrames);
}

TEST(AviBatch, ExportsTheMovieWithTheCodecFromTheOptionOrTheStore) {
    test::ScratchDir dir;
    QString error;
    ASSERT_TRUE(test::makeClip(dir.file("clip.mp4"), 12, {"-c:v", "libx264", "-pix_fmt", "yuv420p"},
                               &error))
        << error.toStdString();
    SettingsStore store(dir.file("settings.json"));
    store.WriteSetting("AviCompressor.Handler", QString("ffv1"));
    store.WriteSetting("spinAVIFrameRate.Value", 6);
    ASSERT_TRUE(store.Save());

    const RenderSettings stored = batch::SettingsFromStore(ResolveSettings(store));
    EXPECT_EQ(stored.avi.handler, "ffv1");
    EXPECT_EQ(stored.aviFrameRate, 6);

    auto run = [&](QStringList args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(STILLORA_BIN_DIR "/stillora-batch"),
                QStringList{"-q", "--settings", dir.file("settings.json"), "--export", "avi",
                            "--frames", "0-9"} +
                    args + QStringList{"clip.mp4"});
        p.waitForFinished(120000);
        return std::make_pair(p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()));
    };
    const auto [code, out] = run({"--out-file", "a.avi", "--avi-codec", "MJPG", "--avi-rate", "4"});
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(out.contains("a.avi")) << out.toStdString();
    auto probe = test::Probe(dir.file("a.avi"));
    EXPECT_EQ(probe.value("codec_name"), "mjpeg");
    EXPECT_EQ(probe.value("nb_read_frames"), "10");
    EXPECT_EQ(probe.value("r_frame_rate"), "4/1");

    // Without the options: the stored codec and rate.
    EXPECT_EQ(run({"--out-file", "b.avi"}).first, 0);
    probe = test::Probe(dir.file("b.avi"));
    EXPECT_EQ(probe.value("codec_name"), "ffv1");
    EXPECT_EQ(probe.value("r_frame_rate"), "6/1");
    EXPECT_EQ(test::DecodeErrors(dir.file("b.avi")), "");
    // No stills anywhere.
    QStringList stills;
    for (const QFileInfo& f :
         QDir(dir.path()).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
        if (f.isDir()) stills += QDir(f.filePath()).entryList(QDir::Files);
    EXPECT_EQ(stills, QStringList{});
    // The summary speaks of the movie's frames, not of stills that were never written.
    QProcess summary;
    summary.setWorkingDirectory(dir.path());
    summary.start(QStringLiteral(STILLORA_BIN_DIR "/stillora-batch"),
                  {"--settings", dir.file("settings.json"), "--export", "avi", "--frames", "0-3",
                   "--out-file", "c.avi", "clip.mp4"});
    summary.waitForFinished(120000);
    const QString said = QString::fromLocal8Bit(summary.readAllStandardError());
    EXPECT_TRUE(said.contains("added 4 frame(s) to the movie")) << said.toStdString();
    EXPECT_FALSE(said.contains("still(s)")) << said.toStdString();

    QProcess list;
    list.start(QStringLiteral(STILLORA_BIN_DIR "/stillora-batch"), {"--list-codecs"});
    list.waitForFinished(30000);
    const QString codecs = QString::fromLocal8Bit(list.readAllStandardOutput());
    EXPECT_EQ(list.exitCode(), 0);
    for (const char* line : {"uncompressed", "cinepak", "mjpeg", "Full Frames (Uncompressed)"})
        EXPECT_TRUE(codecs.contains(line)) << line;
}

} // namespace
} // namespace stillora
