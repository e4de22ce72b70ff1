#include "render/RenderRun.h"
#include "render/FrameSource.h"
#include "selection/Selection.h"
#include "support/TestDirs.h"
#include "tests/render/ScriptedPrompter.h"
#include "video/ScriptedMediaSource.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace stillora;
using stillora::test::ScratchDir;
using stillora::test::ScriptedPrompter;

namespace {

std::unique_ptr<TSelection> makeSelection(const QString& caption, int64_t first, int64_t last) {
    auto s = std::make_unique<TSelection>(caption);
    s->StartFrame = first;
    s->EndFrame = last;
    return s;
}

// Records what an exporter is told; stands in for the gallery and movie writers.
class RecordingExporter : public RenderExporter {
public:
    bool stills = true;
    int refuseAt = -1; // addFrame returns false for this counter value
    QStringList calls;
    void begin(const RenderSettings&, const QString& movie) override { calls << "begin " + movie; }
    bool wantsStills(const RenderSettings&) const override { return stills; }
    bool addFrame(const ExportFrame& f) override {
        calls << QString("frame %1 %2 %3")
                     .arg(f.frameCounter)
                     .arg(f.sourceFrame)
                     .arg(QFileInfo(f.stillPath).fileName());
        return f.frameCounter != refuseAt;
    }
    void finish(const ExportSummary& s) override {
        calls << QString("finish %1 %2x%3")
                     .arg(s.frameCounter)
                     .arg(s.movieFrameWidth)
                     .arg(s.movieFrameHeight);
    }
    void abandon() override { calls << "abandon"; }
};

class RunTest : public ::testing::Test {
protected:
    RunTest() : media(200, QSize(64, 48)), source(media) {
        media.open(SourceKind::File, "clip", nullptr);
#ifdef STILLORA_PIPELINED_RUN
        run.setPipelined(true);
#endif
        run.setPrompter(&prompter);
        run.setFrameSource(&source);
        run.setWorkingDirectory(dir.path());
        RenderRun::Callbacks cb;
        cb.destInfo = [this](const QString& t) { destInfo << t; };
        cb.sourceInfo = [this](const QString& t) { sourceInfo << t; };
        cb.processEvents = [this] {
            ++events;
            if (onEvents) onEvents();
        };
        cb.showImageBrowser = [this](const QString& folder, const QString& mask) {
            browser << folder + mask;
        };
        cb.fetchFailed = [this](int64_t frame, const QString&) { failedFrames.push_back(frame); };
        run.setCallbacks(cb);
        settings.exportFolder = dir.file("out");
        QDir().mkdir(dir.file("out"));
    }

    // Intro: frames 100..106 keeping every 3rd; Single: frame 20.
    std::vector<TSelection*> twoSelections() {
        owned.push_back(makeSelection("Intro", 100, 106));
        owned.push_back(makeSelection("Single", 20, 20));
        return {owned[0].get(), owned[1].get()};
    }

    QStringList files() const { return QDir(dir.file("out")).entryList(QDir::Files, QDir::Name); }

    ScratchDir dir;
    ScriptedMediaSource media;
    MediaFrameSource source;
    ScriptedPrompter prompter;
    RenderRun run;
    RenderSettings settings;
    std::vector<std::unique_ptr<TSelection>> owned;
    QStringList destInfo, sourceInfo, browser;
    std::vector<int64_t> failedFrames;
    int events = 0;
    std::function<void()> onEvents;
};

} // namespace

class RunStillTypes : public RunTest, public ::testing::WithParamInterface<int> {};

TEST_P(RunStillTypes, RendersTheKeptFramesOfEverySelectionUnderRunningNumbers) {
    settings.stillType = GetParam();
    settings.skipFrames = true;
    settings.skipEvery = 3;
    EXPECT_EQ(run.Run(twoSelections(), settings, false), RenderRun::Outcome::Completed);
    const QString ext = GetParam() == StillBmp ? ".bmp" : ".jpg";
    const QStringList expected{"Untitled_Intro_000" + ext, "Untitled_Intro_001" + ext,
                               "Untitled_Intro_002" + ext, "Untitled_Single_003" + ext};
    ASSERT_EQ(files(), expected);
    const int64_t frames[] = {100, 103, 106, 20};
    for (int i = 0; i < 4; ++i) {
        const QImage still(dir.file("out/" + expected[i]));
        ASSERT_FALSE(still.isNull()) << expected[i].toStdString();
        EXPECT_EQ(still.size(), QSize(64, 48));
        EXPECT_EQ(ScriptedMediaSource::readNumber(still), frames[i]);
    }
    EXPECT_EQ(run.FrameCounter(), 4);
    EXPECT_EQ(run.LastFramePath(), dir.file("out/Untitled_Single_003" + ext));
    EXPECT_EQ(run.MovieFrameWidth(), 64);
    EXPECT_EQ(sourceInfo, (QStringList{"Intro.100", "Intro.103", "Intro.106", "Single.20"}));
    EXPECT_EQ(destInfo.first(), "Saving frame: Untitled_Intro_000" + ext);
    EXPECT_EQ(browser, QStringList{dir.file("out/*") + ext});
    EXPECT_TRUE(prompter.asked.empty());
}
INSTANTIATE_TEST_SUITE_P(JpegAndBmp, RunStillTypes,
                         ::testing::Values(int(StillJpeg), int(StillBmp)));

TEST_F(RunTest, PreviewWritesNothingButCountsAndAsksAboutCollisions) {
    settings.exportFolder = dir.file("never");
    EXPECT_EQ(run.Run(twoSelections(), settings, true), RenderRun::Outcome::Completed);
    EXPECT_FALSE(QFileInfo::exists(dir.file("never")));
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_TRUE(browser.isEmpty());
    EXPECT_EQ(run.FrameCounter(), 8);
    EXPECT_EQ(destInfo.last(), "Previewing Untitled_Single_007.jpg");
    EXPECT_EQ(run.LastFramePath(), dir.file("never/Untitled_Single_007.jpg"));

    // Render one frame, then preview it: the same name with a file behind it.
    settings.exportFolder = dir.file("out");
    std::vector<TSelection*> single{owned[1].get()};
    run.Run(single, settings, false);
    ASSERT_EQ(files(), QStringList{"Untitled_Single_000.jpg"});
    prompter.answers = {RenderPrompter::Yes};
    EXPECT_EQ(run.Run(single, settings, true), RenderRun::Outcome::Completed);
    EXPECT_EQ(prompter.count("A previously saved frame exists"), 1);
}

TEST_F(RunTest, RenderingTheSameFrameTwiceAsksAndNoStopsWithoutWriting) {
    auto sel = makeSelection("One", 5, 5);
    auto later = makeSelection("Later", 6, 9);
    run.Run({sel.get()}, settings, false);
    QFile::remove(dir.file("out/Untitled_One_000.jpg"));
    QFile marker(dir.file("out/Untitled_One_000.jpg"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.write("old");
    marker.close();

    prompter.answers = {RenderPrompter::No};
    EXPECT_EQ(run.Run({sel.get(), later.get()}, settings, false), RenderRun::Outcome::Stopped);
    EXPECT_EQ(prompter.count("A previously saved frame exists"), 1);
    EXPECT_EQ(QFileInfo(dir.file("out/Untitled_One_000.jpg")).size(), 3); // not replaced
    EXPECT_EQ(files().size(), 1);                                         // Later never ran
    EXPECT_EQ(browser.size(), 2);                                         // finish ran both times

    prompter.answers = {RenderPrompter::Yes};
    run.Run({sel.get()}, settings, false);
    EXPECT_EQ(ScriptedMediaSource::readNumber(QImage(dir.file("out/Untitled_One_000.jpg"))), 5);
}

TEST_F(RunTest, CancelStopsAtTheNextFrameAndStillFinishes) {
    auto first = makeSelection("Long", 0, 99);
    auto second = makeSelection("Next", 0, 9);
    onEvents = [this] {
        if (run.FrameCounter() == 2) run.RequestStop();
    };
    EXPECT_EQ(run.Run({first.get(), second.get()}, settings, false), RenderRun::Outcome::Stopped);
    EXPECT_EQ(run.FrameCounter(), 2);
    EXPECT_EQ(files(), (QStringList{"Untitled_Long_000.jpg", "Untitled_Long_001.jpg"}));
    EXPECT_EQ(browser.size(), 1);
}

TEST_F(RunTest, EmptyExportFolderBecomesExportInTheWorkingFolder) {
    settings.exportFolder.clear();
    QString shown;
    RenderRun::Callbacks cb;
    cb.exportFolderChanged = [&](const QString& f) { shown = f; };
    run.setCallbacks(cb);
    run.Run(twoSelections(), settings, false);
    EXPECT_EQ(prompter.count("The export folder is not set."), 1);
    EXPECT_EQ(shown, dir.path() + "/export/");
    EXPECT_EQ(run.Settings().exportFolder, dir.path() + "/export/");
    EXPECT_EQ(QDir(dir.file("export")).entryList(QDir::Files).size(), 8);
}

TEST_F(RunTest, UnwritableFolderReportsEveryFrameUntilTheUserCancels) {
    // A folder below a regular file cannot be created or written, even by root.
    QFile plain(dir.file("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    settings.exportFolder = dir.file("plain/sub");
    // Yes to creating the folder, OK to the failure, then No, No, Yes.
    prompter.answers = {RenderPrompter::Yes, RenderPrompter::Ok, RenderPrompter::No,
                        RenderPrompter::No, RenderPrompter::Yes};
    auto sel = makeSelection("S", 0, 9);
    EXPECT_EQ(run.Run({sel.get()}, settings, false), RenderRun::Outcome::Stopped);
    EXPECT_EQ(prompter.count("Cannot create the export folder."), 1);
    ASSERT_EQ(prompter.count("Error converting frame:\n"), 3);
    const auto& last = prompter.asked.back();
    EXPECT_EQ(last.kind, RenderPrompter::Error);
    EXPECT_TRUE(last.text.contains("\n\n" + dir.file("plain/sub/Untitled_S_002.jpg") +
                                   "\n\nDo you want to cancel the current process?"));
    EXPECT_EQ(run.FrameCounter(), 3);
    EXPECT_EQ(browser.size(), 1);
}

TEST_F(RunTest, EmptyTreeAndReversedSelectionsProcessNothing) {
    auto reversed = makeSelection("R", 10, 5);
    EXPECT_EQ(run.Run({reversed.get()}, settings, false), RenderRun::Outcome::Completed);
    EXPECT_EQ(run.FrameCounter(), 0);
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(browser.size(), 1); // prepare and finish still run
}

TEST_F(RunTest, GrabFailureKeepsThePreviousPicture) {
    auto sel = makeSelection("End", 198, 201); // the clip has 200 frames
    run.Run({sel.get()}, settings, false);
    EXPECT_EQ(failedFrames, (std::vector<int64_t>{200, 201}));
    EXPECT_EQ(ScriptedMediaSource::readNumber(QImage(dir.file("out/Untitled_End_003.jpg"))), 199);
}

TEST_F(RunTest, MovieExporterGetsEveryFrameAndNoStillsWhenItWantsNone) {
    RecordingExporter exporter;
    exporter.stills = false;
    run.setExporter(&exporter);
    settings.exportKind = MovieExport;
    settings.movieKind = MovieAvi;
    settings.exportFileName = dir.file("show.swf");
    settings.skipFrames = true;
    settings.skipEvery = 3;
    run.Run(twoSelections(), settings, false);
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(
        exporter.calls,
        (QStringList{"begin " + dir.file("show.avi"), "frame 0 100 Untitled_Intro_000.jpg",
                     "frame 1 103 Untitled_Intro_001.jpg", "frame 2 106 Untitled_Intro_002.jpg",
                     "frame 3 20 Untitled_Single_003.jpg", "finish 4 64x48"}));
    EXPECT_TRUE(browser.isEmpty());

    // A refused frame stops the run before the next one; finish still runs.
    exporter.calls.clear();
    exporter.refuseAt = 1;
    run.Run(twoSelections(), settings, false);
    EXPECT_EQ(exporter.calls.size(), 4);
    EXPECT_TRUE(exporter.calls.last().startsWith("finish 2"));

    // Previews never touch the exporter.
    exporter.calls.clear();
    run.Run(twoSelections(), settings, true);
    EXPECT_TRUE(exporter.calls.isEmpty());
}

TEST_F(RunTest, GalleryRunChecksTheFolderAndKeepsItsStills) {
    RecordingExporter exporter;
    run.setExporter(&exporter);
    settings.exportKind = WebGallery;
    settings.exportFolder.clear();
    auto sel = makeSelection("G", 1, 2);
    run.Run({sel.get()}, settings, false);
    EXPECT_EQ(prompter.count("The export folder is not set."), 1);
    EXPECT_EQ(QDir(dir.file("export")).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(exporter.calls.size(), 4);
}

TEST_F(RunTest, KindsWithoutAnExporterAreRefusedForRenderOnly) {
    settings.exportKind = WebGallery;
    auto sel = makeSelection("G", 1, 2);
    EXPECT_EQ(run.Run({sel.get()}, settings, false), RenderRun::Outcome::Refused);
    EXPECT_EQ(prompter.asked.size(), 1u);
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(run.Run({sel.get()}, settings, true), RenderRun::Outcome::Completed);
    EXPECT_EQ(run.FrameCounter(), 2);
}

TEST_F(RunTest, EffectsRunInChainOrderOnEachOthersOutput) {
    auto sel = makeSelection("FX", 4, 4);
    sel->Effects.resize(2);
    sel->Effects[0].Settings = "add 10";
    sel->Effects[1].Settings = "add 20";
    QStringList seen;
    run.setEffectApplier([&](const TPluginRecord& e, const QImage& src, QImage& dst) {
        seen << QString::fromStdString(e.Settings) + " on " +
                    QString::number(qRed(src.pixel(0, 0)));
        dst = src.copy();
        dst.setPixel(
            0, 0,
            qRgb(qRed(src.pixel(0, 0)) + QString::fromStdString(e.Settings).mid(4).toInt(), 0, 0));
    });
    run.Run({sel.get()}, settings, true);
    EXPECT_EQ(seen, (QStringList{"add 10 on 0", "add 20 on 10"}));
    EXPECT_EQ(qRed(run.DestPicture().pixel(0, 0)), 30);
    EXPECT_EQ(ScriptedMediaSource::readNumber(run.SourcePicture()), 4);
}

TEST_F(RunTest, EffectsWithoutAnApplierAreReportedNotSkippedSilently) {
    auto sel = makeSelection("FX", 3, 4);
    sel->Effects.resize(1);
    prompter.answers = {RenderPrompter::No};
    EXPECT_EQ(run.Run({sel.get()}, settings, false), RenderRun::Outcome::Refused);
    EXPECT_EQ(prompter.count("Some selections carry image effects"), 1);
    EXPECT_TRUE(files().isEmpty());
    prompter.answers = {RenderPrompter::Yes};
    EXPECT_EQ(run.Run({sel.get()}, settings, false), RenderRun::Outcome::Completed);
    EXPECT_EQ(files().size(), 2);
}

TEST_F(RunTest, AFailingEffectEndsTheRunAndTheExporterIsAbandoned) {
    RecordingExporter exporter;
    run.setExporter(&exporter);
    settings.exportKind = MovieExport;
    auto sel = makeSelection("FX", 3, 9);
    sel->Effects.resize(1);
    int calls = 0;
    run.setEffectApplier([&](const TPluginRecord&, const QImage&, QImage&) {
        if (++calls == 2) throw std::runtime_error("plug-in failed");
    });
    EXPECT_THROW(run.Run({sel.get()}, settings, false), std::runtime_error);
    EXPECT_EQ(exporter.calls.last(), "abandon");
    EXPECT_EQ(run.FrameCounter(), 1);
}

TEST_F(RunTest, LiveSelectionsReadTheirStoredPictures) {
    ScratchDir cache;
    SetCacheFolder(cache.path());
    LiveSlotFrameSource live;
    run.setFrameSource(&live);
    auto sel = makeSelection("Live", 0, 2);
    sel->AllocateSlots(QSize(64, 48));
    ASSERT_EQ(sel->CachedSlots.size(), 3u);
    sel->CachedSlots[0]->store(ScriptedMediaSource::makeFrame(41, QSize(64, 48)));
    sel->CachedSlots[1]->store(ScriptedMediaSource::makeFrame(42, QSize(64, 48)));
    run.Run({sel.get()}, settings, false);
    EXPECT_EQ(ScriptedMediaSource::readNumber(QImage(dir.file("out/Untitled_Live_001.jpg"))), 42);
    // A slot without a picture gives an empty frame, which cannot be saved.
    EXPECT_EQ(run.MovieFrameWidth(), 0);
    EXPECT_EQ(prompter.count("Error converting frame:\nThe picture is empty."), 1);
}

TEST(PreviewDelayTest, SleepsInTenMillisecondRoundsThenTheRest) {
    std::vector<int> sleeps;
    int events = 0;
    auto sleep = [&](int ms) { sleeps.push_back(ms); };
    auto pump = [&] { ++events; };
    PreviewDelay(25, sleep, pump);
    EXPECT_EQ(sleeps, (std::vector<int>{10, 10, 5}));
    EXPECT_EQ(events, 3);
    sleeps.clear();
    events = 0;
    PreviewDelay(0, sleep, pump);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(events, 0);
}

TEST_F(RunTest, PreviewDelayPausesAfterEachPreviewedFrameOnly) {
    std::vector<int> sleeps;
    RenderRun::Callbacks cb;
    cb.sleep = [&](int ms) { sleeps.push_back(ms); };
    run.setCallbacks(cb);
    settings.previewDelayOn = true;
    settings.previewDelayMs = 40;
    auto sel = makeSelection("P", 0, 1);
    run.Run({sel.get()}, settings, true);
    EXPECT_EQ(sleeps.size(), 8u);
    sleeps.clear();
    run.Run({sel.get()}, settings, false);
    EXPECT_TRUE(sleeps.empty());
}
