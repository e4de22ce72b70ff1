// The slideshow as the window and the batch tool make it: the preview page
// byte for byte, the finish step's file dialog and confirmation, a render
// run over a real clip, the Config page's controls, and stillora-batch.
#include "SwfReader.h"

#include "app/batch/BatchOptions.h"
#include "app/batch/BatchSetup.h"
#include "app/settings/SettingsStore.h"
#include "app/settings/SettingsTable.h"
#include "export/Exporters.h"
#include "export/gallery/GalleryPages.h"
#include "export/swf/SwfExporter.h"
#include "export/swf/SwfPreviewPage.h"
#include "render/FrameSource.h"
#include "render/RenderRun.h"
#include "render/StillWriter.h"
#include "selection/Selection.h"
#include "support/ClipMaker.h"
#include "support/ScriptedDialogsScope.h"
#include "support/TestDirs.h"
#include "tests/batch/BatchClips.h"
#include "tests/render/ScriptedPrompter.h"
#include "video/MediaSource.h"
#include "views/pages/ConfigPage.h"
#include "views/pages/DialogExportShell.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace stillora;
namespace rd = stillora::test::swfread;

namespace {

// The page templates, as the page is specified.
const char* const kHead = "<head><meta name=\"GENERATOR\" content=\"%s\"><meta "
                          "http-equiv=\"Content-Type\" content=\"text/html; "
                          "charset=windows-1252\"><title>%s</title></head>";
const char* const kBody = "<body bgcolor=\"#%s\" text=\"#%s\" link=\"#%s\" vlink=\"#%s\" "
                          "style=\"font-family: %s; font-size: %s\">";
const char* const kHeading = "<h3 align=\"center\">%S</h3>";
const char* const kObject =
    "<p align=\"center\"><OBJECT CLASSID=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" "
    "CODEBASE=\"";
const char* const kObjectRest =
    "\" ID=\"%s\" WIDTH=\"%d\" HEIGHT=\"%d\" border=\"0\" BorderColor=\"#000000\"><param "
    "name=\"Movie\" value=\"%s\"><param name=\"Src\" value=\"%s\"><param name=\"WMode\" "
    "value=\"Window\"><param name=\"Play\" value=\"-1\"><param name=\"Loop\" "
    "value=\"-1\"><param name=\"Quality\" value=\"High\"><param name=\"SAlign\" value><param "
    "name=\"Menu\" value=\"-1\"><param name=\"Base\" value><param name=\"Scale\" "
    "value=\"ShowAll\"><param name=\"DeviceFont\" value=\"0\"><param name=\"EmbedMovie\" "
    "value=\"0\"><param name=\"BGColor\" value=\"FFFFFF\"><param name=\"SWRemote\" "
    "value><param name=\"Stacking\" value=\"below\"></OBJECT>";
const char* const kStatistics =
    "<BR> <BR><b><font size=\"2\">Statistics for %s</font></b><table border=\"1\" "
    "cellpadding=\"5\" cellspacing=\"0\" style=\"border-collapse: collapse; font-family: "
    "Verdana; font-size: 10px\" width=\"100```37 id=\"AutoNumber1\">  <tr>    <td "
    "width=\"12```37 align=\"center\" bgcolor=\"#1F0048\">    <p "
    "align=\"left\">Description</td>    <td width=\"8```37 align=\"center\" "
    "bgcolor=\"#1F0048\">Unit</td>    <td width=\"102```37 align=\"center\" "
    "bgcolor=\"#1F0048\">Value</td>  </tr>  <tr>    <td width=\"12```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">File Name</font></b></td>    <td "
    "width=\"8```37 align=\"center\" bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    "
    "file</font></i></td>    <td width=\"102```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">%s</font></b></td>  </tr>  <tr>    <td "
    "width=\"12```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">Width</font></b></td>    <td width=\"8```37 align=\"center\" "
    "bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    pixels</font></i></td>    <td "
    "width=\"102```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">%d</font></b></td>  </tr>  <tr>    <td width=\"12```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">Height</font></b></td>    <td "
    "width=\"8```37 align=\"center\" bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    "
    "pixels</font></i></td>    <td width=\"102```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">%d</font></b></td>  </tr>   <tr>    <td "
    "width=\"12```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">Length</font></b></td>    <td width=\"8```37 align=\"center\" "
    "bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    frames</font></i></td>    <td "
    "width=\"102```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">%d</font></b></td>  </tr>  <tr>    <td width=\"12```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">    Framerate</font></b></td>    <td "
    "width=\"8```37 align=\"center\" bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    "
    "f.p.s.</font></i></td>    <td width=\"102```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">%d</font></b></td>  </tr>   <tr>    <td "
    "width=\"12```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">Frame "
    "Length</font></b></td>    <td width=\"8```37 align=\"center\" "
    "bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    frames</font></i></td>    <td "
    "width=\"102```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">%d</font></b></td>  </tr>  <tr>    <td width=\"12```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">Fade Length</font></b></td>    <td "
    "width=\"8```37 align=\"center\" bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    "
    "frames</font></i></td>    <td width=\"102```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">%d</font></b></td>  </tr></table>";
const char* const kFoot = "<p align=\"right\">&nbsp;</p><p align=\"right\">%s</p>";

// printf-style filling, then the percent marker.
template <class... Args> QString fill(const char* tmpl, Args... args) {
    QByteArray format(tmpl);
    format.replace("%S", "%s");
    QString out = QString::asprintf(format.constData(), args...);
    return out.replace("```37", "%");
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The page as it should read for a movie at `path`.
QByteArray expectedPage(const QString& path, int w, int h, int frames, int rate, int slide,
                        int fade, const char* colours[4]) {
    const QByteArray name = QFileInfo(path).fileName().toUtf8();
    const QByteArray full = QFileInfo(path).absoluteFilePath().toUtf8();
    const QByteArray heading = "Preview of " + name;
    const QByteArray id = "_" + full;
    const QByteArray made =
        QByteArray("Made with <a HREF=\"") + gallery::kProductPage + "\">Stillora</a>";
    const QString page =
        "<html>" + fill(kHead, "Stillora 1.0", heading.constData()) +
        fill(kBody, colours[0], colours[1], colours[2], colours[3], "Verdana", "9px") +
        fill(kHeading, heading.constData()) + kObject +
        "https://stillora.example/flash2/cabs/swflash.cab#version=4,0,0,0" +
        fill(kObjectRest, id.constData(), w, h, name.constData(), name.constData()) +
        fill(kStatistics, name.constData(), full.constData(), w, h, frames, rate, slide, fade) +
        fill(kFoot, made.constData()) + "</body></html>\r\n";
    return page.toLatin1();
}

struct WindowDriver {
    test::ScriptedDialogsScope dialogs;
    test::ScratchDir dir;
    DialogExportShell shell{nullptr};
    QStringList chosen;
    RenderSettings settings;
    TSelection selection{"S"};

    WindowDriver() {
        settings.exportKind = MovieExport;
        settings.movieKind = MovieSwf;
        settings.framesPerSlide = 4;
        settings.framesPerFade = 2;
        settings.swfFrameRate = 12;
    }
    // One run of `n` frames of 32 x 24 through the window's exporter.
    void run(int n) {
        auto exporter = CreateSwfExporter(shell, [this](const QString& s) { chosen << s; });
        exporter->begin(settings, dir.file("source_EXPORT.swf"));
        QImage picture(32, 24, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        for (int i = 0; i < n; ++i) {
            const QString still = dir.file(QString("s%1.jpg").arg(i));
            ASSERT_TRUE(WriteStill(picture, still, StillJpeg, 70, nullptr));
            exporter->addFrame({picture, still, selection, i, i});
        }
        exporter->finish({n, 32, 24, QString()});
    }
};

QString confirmation(const QString& name) {
    return "The Macromedia Flash File (SWF) was created in:\r\n\r\n" + name +
           "\r\n\r\nDo you want to view the result?";
}

} // namespace

TEST(SwfPreviewPage, ReadsAsItsTemplatesInTheGalleryColoursBesideTheMovie) {
    test::ScratchDir dir;
    const QString movie = dir.file("my show.swf");
    GallerySettings colours;
    colours.backColor = QColor(1, 2, 3);
    swf::SwfPreviewFacts facts{movie, 720, 576, 12, 25, 60, 30};
    QString error;
    ASSERT_TRUE(swf::WriteSwfPreviewPage(facts, colours, &error)) << error.toStdString();
    const char* hex[4] = {"010203", "FFFFFF", "949EFE", "2D50AC"};
    EXPECT_EQ(contents(dir.file("my show.html")),
              expectedPage(movie, 720, 576, 12, 25, 60, 30, hex));
}

TEST(SwfWindow, AnEmptyFileNameIsAskedForAndTheResultIsShownOnYes) {
    WindowDriver d;
    d.settings.exportFileName.clear();
    d.dialogs.get()->paths = {d.dir.file("chosen")};
    d.dialogs.get()->answers = {DialogService::Yes};
    d.run(2);

    // The dialog's default extension; the field gets the name.
    const QString name = d.dir.file("chosen.swf");
    EXPECT_EQ(d.chosen, QStringList{name});
    EXPECT_EQ(d.dialogs.get()->texts(), QStringList{confirmation(name)});
    rd::File f;
    QString error;
    ASSERT_TRUE(rd::ReadFile(name, f, &error)) << error.toStdString();
    EXPECT_EQ(f.rate, 12);
    EXPECT_EQ(f.frameCount, 30 + 2 * (1 + 4) + 2 + 4);

    const QString page = d.dir.file("chosen.html");
    EXPECT_EQ(d.dialogs.get()->openedDocuments, std::vector<QString>{page});
    const char* hex[4] = {"000000", "FFFFFF", "949EFE", "2D50AC"};
    EXPECT_EQ(contents(page), expectedPage(name, 32, 24, 2, 12, 4, 2, hex));
}

TEST(SwfWindow, AMovieThatCannotBeWrittenIsNotReportedAndNoMeansNoPage) {
    WindowDriver d;
    d.settings.exportFileName = d.dir.file("no/such/folder/show.swf");
    d.dialogs.get()->answers = {DialogService::No};
    d.run(1);
    // The confirmation follows as always; nothing else is shown.
    EXPECT_EQ(d.dialogs.get()->texts(), QStringList{confirmation(d.settings.exportFileName)});
    EXPECT_TRUE(d.dialogs.get()->dialogTitles.empty());
    EXPECT_TRUE(d.dialogs.get()->openedDocuments.empty());
    EXPECT_FALSE(QFileInfo::exists(d.dir.file("no")));
}

TEST(SwfRun, ARenderRunWritesAStillPerFrameAndMakesEachASlide) {
    test::ScratchDir dir;
    const QString clip = dir.file("clip.mp4");
    ASSERT_TRUE(test::makeClip(clip, 6, {"-c:v", "libx264", "-pix_fmt", "yuv420p"}, nullptr,
                               QSize(320, 240)));
    auto media = createMediaSource();
    std::string error;
    ASSERT_TRUE(media->open(SourceKind::File, clip.toStdString(), &error)) << error;
    MediaFrameSource source(*media);
    test::ScriptedPrompter prompter;
    test::ScriptedDialogsScope dialogs;
    DialogExportShell shell(nullptr);
    RenderSettings settings;
    settings.exportKind = MovieExport;
    settings.movieKind = MovieSwf;
    settings.exportFolder = dir.file("out");
    settings.exportFileName = dir.file("show.swf");
    ASSERT_TRUE(QDir().mkdir(settings.exportFolder));
    const auto exporter = CreateExporter(settings, shell);
    ASSERT_TRUE(exporter) << "the slideshow is a working choice";
    RenderRun run;
    run.setPrompter(&prompter);
    run.setFrameSource(&source);
    run.setExporter(exporter.get());
    TSelection intro("Intro");
    intro.StartFrame = 1;
    intro.EndFrame = 5;
    ASSERT_EQ(run.Run({&intro}, settings, false), RenderRun::Outcome::Completed);

    const QStringList stills = QDir(settings.exportFolder).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(stills.size(), 5);
    rd::File f;
    QString problem;
    ASSERT_TRUE(rd::ReadFile(settings.exportFileName, f, &problem)) << problem.toStdString();
    EXPECT_EQ(f.frame.xMax, 320 * 20);
    EXPECT_EQ(f.frame.yMax, 240 * 20);
    EXPECT_EQ(f.frameCount, 30 + 5 * (29 + 60) + 30 + 60);
    const auto pictures = f.withCode(21);
    ASSERT_EQ(pictures.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(pictures[size_t(i)]->jpeg, contents(settings.exportFolder + "/" + stills[i]))
            << stills[i].toStdString();
    EXPECT_EQ(dialogs.get()->texts(), QStringList{confirmation(settings.exportFileName)});
}

TEST(SwfConfigPage, TheFadeLengthFollowsTheCrossfadeBoxAndTheSlideshowIsOffered) {
    TConfigPage page;
    EXPECT_TRUE(page.rgExportAs->item(MovieExport)->isEnabled());
    page.cbCrossfade->setChecked(false);
    EXPECT_FALSE(page.spinFramesPerFade->isEnabled());
    page.cbCrossfade->setChecked(true);
    EXPECT_TRUE(page.spinFramesPerFade->isEnabled());

    // Showing the movie tab puts a stray state right.
    page.spinFramesPerFade->setEnabled(false);
    page.pageSettings->setCurrentIndex(page.pageSettings->indexOf(page.tabFrames));
    EXPECT_TRUE(page.spinFramesPerFade->isEnabled());

    page.spinFramesPerSlide->setValue(7);
    page.spinFramesPerFade->setValue(3);
    page.spinFrameRate->setValue(12);
    page.cbCrossfade->setChecked(false);
    RenderSettings s;
    page.CollectSettings(s);
    EXPECT_EQ(s.framesPerSlide, 7);
    EXPECT_EQ(s.framesPerFade, 3);
    EXPECT_EQ(s.swfFrameRate, 12);
    EXPECT_FALSE(s.crossfade);
}

class SwfBatch : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(test::makeNumberedClip(dir_.file("clip.mp4"), 8, QSize(160, 120), &error))
            << error.toStdString();
        QDir(dir_.path()).mkdir("config");
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("XDG_CONFIG_HOME", dir_.file("config"));
        env_.insert("QT_QPA_PLATFORM", "offscreen");
    }
    test::ToolRun run(const QStringList& args) { return test::runTool(args, dir_.path(), env_); }
    rd::File read(const QString& name) {
        rd::File f;
        QString error;
        EXPECT_TRUE(rd::ReadFile(dir_.file(name), f, &error)) << error.toStdString();
        return f;
    }

    test::ScratchDir dir_;
    QProcessEnvironment env_;
};

TEST_F(SwfBatch, WritesTheMovieAndTheFiveStillsAndPrintsTheMovie) {
    const test::ToolRun r =
        run({"--export", "swf", "--frames", "0-4", "--out-file", "show.swf", "clip.mp4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.outLines(), QStringList{QFileInfo(dir_.file("show.swf")).absoluteFilePath()});
    const QStringList stills = QDir(dir_.file("export")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(stills.size(), 5);
    const rd::File f = read("show.swf");
    EXPECT_EQ(f.withCode(21).size(), 5u);
    EXPECT_EQ(f.frame.xMax, 160 * 20);
    EXPECT_EQ(f.frameCount, 30 + 5 * (29 + 60) + 30 + 60);
    EXPECT_EQ(f.rate, 30);
    EXPECT_EQ(f.withCode(21).back()->jpeg, contents(dir_.file("export/" + stills.last())));
    EXPECT_FALSE(QFileInfo::exists(dir_.file("show.html")));
}

TEST_F(SwfBatch, StoredSlideshowSettingsWithTheCommandLineOverThem) {
    SettingsStore stored(dir_.file("config/Stillora/settings.json"));
    stored.WriteSetting("spinFramesPerSlide.Value", 7);
    stored.WriteSetting("spinFramesPerFade.Value", 3);
    stored.WriteSetting("spinFrameRate.Value", 12);
    stored.WriteSetting("cbCrossfade.Checked", 0);
    ASSERT_TRUE(stored.Save());

    test::ToolRun r =
        run({"-q", "--export", "swf", "--frames", "0-1", "--out-file", "a.swf", "clip.mp4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    rd::File f = read("a.swf");
    EXPECT_EQ(f.rate, 12);
    EXPECT_EQ(f.frameCount, 30 + 2 * 7 + 3 + 7);

    r = run({"-q", "--export", "swf", "--frames", "0-1", "--out-file", "b.swf", "--swf-rate", "5",
             "--swf-fade", "4", "--swf-frames-per-slide", "2", "--preview-page", "--overwrite",
             "clip.mp4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.outLines(), (QStringList{QFileInfo(dir_.file("b.swf")).absoluteFilePath(),
                                         QFileInfo(dir_.file("b.html")).absoluteFilePath()}));
    f = read("b.swf");
    EXPECT_EQ(f.rate, 5);
    // Stored crossfade off, so no fade-in frames.
    EXPECT_EQ(f.frameCount, 30 + 2 * 2 + 4 + 2);
    EXPECT_TRUE(contents(dir_.file("b.html")).contains("<param name=\"Movie\" value=\"b.swf\">"));
}

TEST_F(SwfBatch, AMovieThatCannotBeWrittenExits1WithTheReason) {
    const test::ToolRun r = run(
        {"-q", "--export", "swf", "--frames", "0-1", "--out-file", "missing/show.swf", "clip.mp4"});
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_EQ(r.errLines().size(), 1) << r.err.constData();
    EXPECT_TRUE(r.errLines()[0].contains("missing/show.swf")) << r.err.constData();
    EXPECT_TRUE(r.outLines().isEmpty());
}

TEST_F(SwfBatch, EachOfTwoVideosGetsAMovieOfItsOwnWithIdentifiersFrom1) {
    ASSERT_TRUE(QFile::copy(dir_.file("clip.mp4"), dir_.file("second.mp4")));
    const test::ToolRun r =
        run({"-q", "--export", "swf", "--frames", "0-1", "clip.mp4", "second.mp4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.outLines().size(), 2);
    for (const char* movie : {"clip.mp4_EXPORT.swf", "second.mp4_EXPORT.swf"}) {
        std::vector<int> ids;
        for (const rd::Tag& t : read(movie).tags)
            if (t.code == 21 || t.code == 2) ids.push_back(t.id);
        EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4})) << movie;
    }
}

TEST(SwfCommandLine, OptionsAreCheckedAndDocumented) {
    const batch::ParseResult good = batch::ParseCommandLine(
        {"--export", "swf", "--swf-frames-per-slide", "9999", "--swf-fade", "1", "--swf-rate", "30",
         "--no-crossfade", "--preview-page", "a.mp4"});
    ASSERT_TRUE(good.ok()) << good.error.toStdString();
    RenderSettings s;
    batch::ApplyOverrides(good.options, s);
    EXPECT_EQ(s.framesPerSlide, 9999);
    EXPECT_EQ(s.framesPerFade, 1);
    EXPECT_EQ(s.swfFrameRate, 30);
    EXPECT_FALSE(s.crossfade);
    EXPECT_TRUE(s.swfPreviewPage);

    for (const QStringList& args :
         {QStringList{"--export", "swf", "--swf-frames-per-slide", "0", "a.mp4"},
          QStringList{"--export", "swf", "--swf-fade", "10000", "a.mp4"},
          QStringList{"--export", "swf", "--swf-rate", "31", "a.mp4"},
          QStringList{"--export", "avi", "--no-crossfade", "a.mp4"},
          QStringList{"--swf-rate", "5", "a.mp4"},
          QStringList{"--export", "swf", "--jobs", "2", "a.mp4", "b.mp4"}}) {
        EXPECT_FALSE(batch::ParseCommandLine(args).ok()) << args.join(' ').toStdString();
    }

    QFile manFile(QStringLiteral(STILLORA_SOURCE_DIR "/docs/stillora-batch.1"));
    ASSERT_TRUE(manFile.open(QIODevice::ReadOnly));
    const QString man = QString::fromUtf8(manFile.readAll()).replace("\\-", "-");
    for (const char* option : {"--export swf", "--swf-frames-per-slide", "--swf-fade", "--swf-rate",
                               "--no-crossfade", "--preview-page"}) {
        EXPECT_TRUE(batch::HelpText().contains(option)) << option;
        EXPECT_TRUE(man.contains(option)) << option;
    }
}
