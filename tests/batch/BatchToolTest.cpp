// The built stillora-batch run end to end on generated clips: its stills
// against a render run of the window's core, frame picking, dry runs,
// failures and their exit statuses.
#include "BatchClips.h"

#include "app/settings/SettingsStore.h"
#include "pluginhost/EffectChain.h"
#include "pluginhost/PluginLoader.h"
#include "render/FrameSource.h"
#include "render/RenderRun.h"
#include "selection/SelectionFile.h"
#include "selection/SelectionTree.h"
#include "support/ClipMaker.h"
#include "support/DvdMaker.h"
#include "support/TestDirs.h"
#include "video/MediaSource.h"
#include "video/ScriptedMediaSource.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>

using namespace stillora;

namespace {

constexpr int kClipFrames = 40;

class BatchTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        clipDir_ = new test::ScratchDir;
        QString error;
        clipOk_ = test::makeNumberedClip(clipDir_->file("clip.mp4"), kClipFrames, QSize(160, 120),
                                         &error);
        if (!clipOk_) std::fprintf(stderr, "cannot make the clip: %s\n", qPrintable(error));
    }
    static void TearDownTestSuite() {
        delete clipDir_;
        clipDir_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(clipOk_);
        ASSERT_TRUE(QFileInfo(STILLORA_BIN_DIR "/stillora-batch").isExecutable());
        // Each test gets its own copy of the clip, settings folder and output.
        clip_ = dir_.file("clip.mp4");
        ASSERT_TRUE(QFile::copy(clipDir_->file("clip.mp4"), clip_));
        QDir(dir_.path()).mkdir("config");
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("XDG_CONFIG_HOME", dir_.file("config"));
        env_.insert("QT_QPA_PLATFORM", "offscreen");
    }

    test::ToolRun run(QStringList args) { return test::runTool(args, dir_.path(), env_); }

    QString settingsPath() const { return dir_.file("config/Stillora/settings.json"); }
    QStringList filesIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }

    static test::ScratchDir* clipDir_;
    static bool clipOk_;
    test::ScratchDir dir_;
    QString clip_;
    QProcessEnvironment env_;
};
test::ScratchDir* BatchTool::clipDir_ = nullptr;
bool BatchTool::clipOk_ = false;

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// A list saved by the window's writer renders the same bytes as the
// window's render run with the same settings, and the stored settings are
// read but never written.
TEST_F(BatchTool, SelectionListRendersTheSameBytesAsTheRenderRun) {
    SettingsStore stored(settingsPath());
    stored.WriteSetting("spinDigits.Value", 4);
    stored.WriteSetting("edtSeparator.Text", QString("-"));
    stored.WriteSetting("cbSkipFrames.Checked", 1);
    stored.WriteSetting("spinSkipFrames.Value", 2);
    stored.WriteSetting("tbJpegComp.Position", 80);
    stored.WriteSetting("cbSuperimpose.Checked", 1);
    stored.WriteSetting("siText.Text", QString("Batch"));
    stored.WriteSetting("siPosition.ItemIndex", 3);
    ASSERT_TRUE(stored.Save());
    const QByteArray settingsBefore = contents(settingsPath());

    PluginTable plugins;
    LoadPlugins(STILLORA_PLUGIN_DIR, plugins);
    const int lightness = FindPluginByName(plugins, "Lightness");
    ASSERT_GE(lightness, 0);
    {
        SelectionList list;
        SelectionTree tree(list);
        auto alpha = std::make_unique<TSelection>("Alpha");
        alpha->StartFrame = 3;
        alpha->EndFrame = 9;
        AttachEffects(*alpha, {plugins[static_cast<size_t>(lightness)]}, false);
        alpha->RefreshChainCaption();
        auto beta = std::make_unique<TSelection>("Beta");
        beta->StartFrame = 30; // a seek backwards from the next one
        beta->EndFrame = 32;
        auto gamma = std::make_unique<TSelection>("Gamma");
        gamma->StartFrame = gamma->EndFrame = 12;
        tree.AddSelectionToTree(std::move(alpha));
        tree.AddSelectionToTree(std::move(beta));
        tree.AddSelectionToTree(std::move(gamma));
        ASSERT_TRUE(SaveSelectionFile(SelectionFileName(clip_), tree));
    }

    const test::ToolRun batch =
        run({"--out", "batch", "--root", "Shot", "--param", "Lightness:Amount=20", "-q", clip_});
    ASSERT_EQ(batch.exitCode, 0) << batch.err.toStdString();
    EXPECT_TRUE(batch.err.isEmpty()) << batch.err.toStdString();

    // The window's way: its reader, its settings, a render run on the media source.
    TPluginVariant amount{};
    amount.vt = STILLORA_VT_I4;
    amount.u.lVal = 20;
    plugins[static_cast<size_t>(lightness)].SetParam(0, &amount);
    SelectionList list;
    SelectionTree tree(list);
    ASSERT_EQ(LoadSelectionFile(SelectionFileName(clip_), tree, plugins).added, 3);
    auto media = createMediaSource();
    std::string error;
    ASSERT_TRUE(media->open(SourceKind::File, clip_.toStdString(), &error)) << error;
    MediaFrameSource source(*media);
    struct NoQuestions : RenderPrompter {
        int asked = 0;
        Button ask(Kind, const QString&, int) override {
            ++asked;
            return No;
        }
    } prompter;
    RenderRun window;
    window.setPrompter(&prompter);
    window.setFrameSource(&source);
    window.setEffectApplier([](const TPluginRecord& e, const QImage& src, QImage& dst) {
        QImage input = src;
        ApplyEffectEntry(e, input, dst);
    });
    RenderSettings settings;
    settings.rootName = "Shot";
    settings.digits = 4;
    settings.separator = "-";
    settings.skipFrames = true;
    settings.skipEvery = 2;
    settings.jpegQuality = 80;
    settings.overlay.drawText = true;
    settings.overlay.text = "Batch";
    settings.overlay.position = 3;
    settings.exportFolder = dir_.file("window");
    ASSERT_TRUE(QDir(dir_.path()).mkdir("window"));
    ASSERT_EQ(window.Run(tree.TopLevelSelections(), settings, false),
              RenderRun::Outcome::Completed);
    plugins[static_cast<size_t>(lightness)].SetParam(0, &(amount.u.lVal = 0, amount));
    EXPECT_EQ(prompter.asked, 0);

    const QStringList expected{"Shot-Alpha-0000.jpg", "Shot-Alpha-0001.jpg", "Shot-Alpha-0002.jpg",
                               "Shot-Alpha-0003.jpg", "Shot-Beta-0004.jpg",  "Shot-Beta-0005.jpg",
                               "Shot-Gamma-0006.jpg"};
    EXPECT_EQ(filesIn(dir_.file("window")), expected);
    ASSERT_EQ(filesIn(dir_.file("batch")), expected);
    for (const QString& name : expected)
        EXPECT_EQ(contents(dir_.file("batch/" + name)), contents(dir_.file("window/" + name)))
            << name.toStdString();
    // The effect ran: a brightened frame differs from the plain one.
    EXPECT_NE(QImage(dir_.file("batch/Shot-Alpha-0000.jpg")).pixel(80, 60),
              QImage(dir_.file("batch/Shot-Beta-0004.jpg")).pixel(80, 60));
    EXPECT_EQ(contents(settingsPath()), settingsBefore);
}

TEST_F(BatchTool, FramesPicksExactlyTheFramesAsked) {
    const test::ToolRun r =
        run({"--frames", "3-5,17,30-35,1", "--skip", "0", "--digits", "2", "--out", "out", clip_});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const std::vector<std::pair<QString, int>> expected{
        {"clip_Range_00003_00005_00.jpg", 3},  {"clip_Range_00003_00005_01.jpg", 4},
        {"clip_Range_00003_00005_02.jpg", 5},  {"clip_Frame_00017_03.jpg", 17},
        {"clip_Range_00030_00035_04.jpg", 30}, {"clip_Range_00030_00035_05.jpg", 31},
        {"clip_Range_00030_00035_06.jpg", 32}, {"clip_Range_00030_00035_07.jpg", 33},
        {"clip_Range_00030_00035_08.jpg", 34}, {"clip_Range_00030_00035_09.jpg", 35},
        {"clip_Frame_00001_10.jpg", 1}};
    EXPECT_EQ(filesIn(dir_.file("out")).size(), expected.size());
    for (const auto& [name, frame] : expected) {
        const QImage still(dir_.file("out/" + name));
        ASSERT_FALSE(still.isNull()) << name.toStdString();
        EXPECT_EQ(ScriptedMediaSource::readNumber(still), frame) << name.toStdString();
    }

    // "Skip every" over the same path, as BMP stills.
    const test::ToolRun skipped =
        run({"--frames", "10-16", "--skip", "3", "--format", "bmp", "--out", "skip", clip_});
    ASSERT_EQ(skipped.exitCode, 0) << skipped.err.toStdString();
    const QStringList names{"clip_Range_00010_00016_000.bmp", "clip_Range_00010_00016_001.bmp",
                            "clip_Range_00010_00016_002.bmp"};
    ASSERT_EQ(filesIn(dir_.file("skip")), names);
    const int frames[] = {10, 13, 16};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ScriptedMediaSource::readNumber(QImage(dir_.file("skip/" + names[i]))),
                  frames[i]);
}

TEST_F(BatchTool, ADvdFolderItsIfoOrItsImageGiveTheTitlesExactFrames) {
    // One title of two cells, 60 and 70 frames, whose clocks both start at zero.
    const QString disc = dir_.file("disc");
    QString error;
    ASSERT_TRUE(test::makeDvdVolume(disc, {{60, 70}}, &error)) << error.toStdString();
    ASSERT_TRUE(test::makeDvdImage(disc, dir_.file("disc.iso"), &error)) << error.toStdString();

    const auto numbersIn = [this](const QString& folder) {
        std::vector<int64_t> numbers;
        for (const QString& name : filesIn(dir_.file(folder)))
            numbers.push_back(
                ScriptedMediaSource::readNumber(QImage(dir_.file(folder + "/" + name))));
        std::sort(numbers.begin(), numbers.end());
        return numbers;
    };
    const test::ToolRun folder = run({"--frames", "0,100,129", "--out", "folder", disc});
    ASSERT_EQ(folder.exitCode, 0) << folder.err.toStdString();
    EXPECT_EQ(numbersIn("folder"), (std::vector<int64_t>{0, 100, 129}));

    const test::ToolRun ifo =
        run({"--frames", "59-60", "--out", "ifo", disc + "/VIDEO_TS/VTS_01_0.IFO"});
    ASSERT_EQ(ifo.exitCode, 0) << ifo.err.toStdString();
    EXPECT_EQ(numbersIn("ifo"), (std::vector<int64_t>{59, 60}));

    const test::ToolRun image = run({"--frames", "129", "--out", "image", dir_.file("disc.iso")});
    ASSERT_EQ(image.exitCode, 0) << image.err.toStdString();
    EXPECT_EQ(numbersIn("image"), (std::vector<int64_t>{129}));

    // Past the title's end, and a folder that holds no volume.
    const test::ToolRun past = run({"--frames", "130", "--out", "past", disc});
    EXPECT_EQ(past.exitCode, 2);
    EXPECT_TRUE(past.err.contains("0-129")) << past.err.toStdString();
    QDir(dir_.path()).mkdir("empty");
    const test::ToolRun none = run({"--frames", "0", "--out", "none", dir_.file("empty")});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.err.contains("The specified DVD volume to be played does not exist."))
        << none.err.toStdString();
}

TEST_F(BatchTool, TheMediaLibrariesSpeakOnlyWithVerbose) {
    // A clip with grain, so that its frames are large; noise over the middle
    // of its data makes the decoder complain.
    const QString clip = dir_.file("grain.mp4");
    QString why;
    ASSERT_TRUE(test::makeClip(
        clip, 40, {"-c:v", "libx264", "-g", "12", "-pix_fmt", "yuv420p"}, &why, QSize(160, 120),
        [](int n, QSize size) {
            QImage image = ScriptedMediaSource::makeFrame(n, size);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x) {
                    const int d = ((x * 7919 + y * 104729 + n * 31) % 41) - 20;
                    const QRgb p = image.pixel(x, y);
                    image.setPixel(x, y, qRgb(std::clamp(qRed(p) + d, 0, 255),
                                              std::clamp(qGreen(p) + d, 0, 255),
                                              std::clamp(qBlue(p) + d, 0, 255)));
                }
            return image;
        }))
        << why.toStdString();
    {
        QFile file(clip);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(file.size() * 45 / 100);
        QByteArray noise(8 * 1024, 0);
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919) ^ (i >> 3) ^ 0x5A);
        file.write(noise);
    }
    auto mediaLines = [](const test::ToolRun& r) {
        QStringList lines;
        for (const QString& line : r.errLines())
            if (line.startsWith("media: ") || line.contains(" @ 0x")) lines << line;
        return lines;
    };
    const QStringList plain = {"--frames", "0-2", "--out", "plain", clip};
    const test::ToolRun quiet = run(plain);
    EXPECT_EQ(mediaLines(quiet), QStringList()) << quiet.err.toStdString();
    // The damage is named in the tool's own words.
    EXPECT_TRUE(quiet.err.contains("grain.mp4: The video is damaged: frame"))
        << quiet.err.toStdString();
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err.toStdString();

    const test::ToolRun verbose =
        run({"--verbose", "--frames", "0-2", "--out", "verbose", clip});
    const QStringList lines = mediaLines(verbose);
    EXPECT_FALSE(lines.isEmpty()) << verbose.err.toStdString();
    for (const QString& line : lines)
        EXPECT_TRUE(line.startsWith("media: ")) << line.toStdString();
}

TEST_F(BatchTool, DryRunListsTheNamesAndWritesNothing) {
    const test::ToolRun r = run({"--dry-run", "--frames", "0-1,5", "--out", "out", clip_});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString out = QDir(dir_.path()).canonicalPath() + "/out/";
    EXPECT_EQ(r.outLines(), QStringList({out + "clip_Range_00000_00001_000.jpg",
                                         out + "clip_Range_00000_00001_001.jpg",
                                         out + "clip_Frame_00005_002.jpg"}));
    EXPECT_FALSE(QFileInfo::exists(dir_.file("out")));
    EXPECT_FALSE(QFileInfo::exists(dir_.file("config/Stillora")));
}

TEST_F(BatchTool, CaptionsFromASelectionListNeverLeadOutOfTheFolder) {
    SelectionList list;
    SelectionTree tree(list);
    auto s = std::make_unique<TSelection>("../../escape");
    s->StartFrame = 10;
    s->EndFrame = 11;
    tree.AddSelectionToTree(std::move(s));
    ASSERT_TRUE(SaveSelectionFile(dir_.file("hostile.sel"), tree));
    const QString out = QDir(dir_.path()).canonicalPath() + "/export/";
    const QStringList expected = {out + "___.._escape000.jpg", out + "___.._escape001.jpg"};

    const test::ToolRun listed = run({"--dry-run", "--root", "", "--no-separator", "--selections",
                                      "hostile.sel", "--out", "export", clip_});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    EXPECT_EQ(listed.outLines(), expected) << listed.outLines().join(" ").toStdString();

    const test::ToolRun written = run({"--root", "", "--no-separator", "--selections",
                                       "hostile.sel", "--out", "export", clip_});
    ASSERT_EQ(written.exitCode, 0) << written.err.toStdString();
    for (const QString& path : expected) EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    // Visible files, not hidden ones a dot in front would make.
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(QFileInfo::exists(dir_.file("escape000.jpg")));
    EXPECT_TRUE(QDir(QFileInfo(dir_.path()).dir()).entryList({"escape*"}, QDir::Files).isEmpty());
}

TEST_F(BatchTool, MissingVideoExits2AndTheOthersAreRendered) {
    QFile::copy(clip_, dir_.file("second.mp4"));
    const test::ToolRun r =
        run({"--frames", "2-3", "--out", "out", "-q", "missing.mp4", clip_, "second.mp4"});
    EXPECT_EQ(r.exitCode, 2);
    ASSERT_EQ(r.errLines().size(), 1) << r.err.toStdString();
    EXPECT_TRUE(r.errLines()[0].contains("missing.mp4")) << r.err.toStdString();
    EXPECT_EQ(
        filesIn(dir_.file("out")),
        QStringList({"clip_Range_00002_00003_000.jpg", "clip_Range_00002_00003_001.jpg",
                     "second_Range_00002_00003_000.jpg", "second_Range_00002_00003_001.jpg"}));

    // A video without a selection list is an input that cannot be opened too.
    const test::ToolRun noList = run({"--out", "out2", clip_});
    EXPECT_EQ(noList.exitCode, 2);
    EXPECT_TRUE(noList.err.contains("clip.sel")) << noList.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir_.file("out2")));
}

TEST_F(BatchTool, ReadOnlyFolderExits1WithOneMessagePerFrame) {
    // Permissions do not hold for root; /proc takes no new files from anyone.
    QString folder = "/proc";
    if (geteuid() != 0) {
        folder = dir_.file("locked");
        ASSERT_TRUE(QDir(dir_.path()).mkdir("locked"));
        ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    const test::ToolRun r = run({"--frames", "4-6,9", "--out", folder, "-q", clip_});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    const QStringList lines = r.errLines();
    ASSERT_EQ(lines.size(), 4) << r.err.toStdString();
    const int frames[] = {4, 5, 6, 9};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(lines[i].contains(QString("frame %1 ").arg(frames[i])))
            << lines[i].toStdString();
        EXPECT_TRUE(lines[i].contains("cannot write")) << lines[i].toStdString();
    }
    if (geteuid() != 0) {
        EXPECT_TRUE(filesIn(folder).isEmpty());
    }
}

TEST_F(BatchTool, BadInputExits2WithOneLineBeforeWriting) {
    QFile::copy(clip_, dir_.file("second.mp4"));
    const std::vector<std::pair<QStringList, QString>> cases{
        {{"--bogus"}, "--bogus"},
        {{"--frames", "5-"}, "5-"},
        {{"--frames", "-3"}, "-3"},
        {{"--frames", "9-2"}, "9-2"},
        {{"--frames", "abc"}, "abc"},
        // Past the end of the second video: the first is not rendered either.
        {{"--frames", "38-40"}, "past the end"},
        {{"--frames", "1", "--fx", "Lightness,Glow"}, "Glow"},
        {{"--frames", "1", "--param", "Lightness:Amount=500"}, "500"},
        {{"--frames", "1", "--param", "Lightness:Brightness=5"}, "Brightness"},
        {{"--frames", "1", "--param", "Glow:Amount=5"}, "Glow"},
        {{"--frames", "1", "--quality", "0"}, "--quality"},
        {{"--frames", "1", "--settings", "nowhere.json"}, "nowhere.json"},
        // One movie file cannot take the frames of two videos.
        {{"--frames", "1", "--export", "gif", "--out-file", "x.gif"}, "--out-file"},
    };
    for (const auto& [args, mention] : cases) {
        const test::ToolRun r = run(args + QStringList{"--out", "out", clip_, "second.mp4"});
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        ASSERT_EQ(r.errLines().size(), 1) << args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.errLines()[0].contains(mention))
            << args.join(' ').toStdString() << " -> " << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir_.file("out"))) << args.join(' ').toStdString();
    }
}

TEST_F(BatchTool, SelectionListProblemsExit2) {
    SelectionList list;
    SelectionTree tree(list);
    auto s = std::make_unique<TSelection>("Glowing");
    s->StartFrame = 1;
    s->EndFrame = 2;
    s->IPList = "Lightness,Glow";
    tree.AddSelectionToTree(std::move(s));
    ASSERT_TRUE(SaveSelectionFile(dir_.file("glow.sel"), tree));
    const test::ToolRun glow = run({"--selections", "glow.sel", "--out", "out", clip_});
    EXPECT_EQ(glow.exitCode, 2);
    EXPECT_TRUE(glow.err.contains("\"Glow\"")) << glow.err.toStdString();

    tree.Clear();
    auto late = std::make_unique<TSelection>("Late");
    late->StartFrame = 35;
    late->EndFrame = 45;
    tree.AddSelectionToTree(std::move(late));
    ASSERT_TRUE(SaveSelectionFile(dir_.file("late.sel"), tree));
    const test::ToolRun past = run({"--selections", "late.sel", "--out", "out", clip_});
    EXPECT_EQ(past.exitCode, 2);
    EXPECT_TRUE(past.err.contains("45")) << past.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir_.file("out")));

    // A damaged list is left out whole rather than rendered in part.
    QByteArray bytes = contents(dir_.file("late.sel"));
    QFile damaged(dir_.file("damaged.sel"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(bytes.left(bytes.size() - 5));
    damaged.close();
    const test::ToolRun cut = run({"--selections", "damaged.sel", "--out", "out", clip_});
    EXPECT_EQ(cut.exitCode, 2);
    EXPECT_TRUE(cut.err.contains("damaged")) << cut.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir_.file("out")));
}

TEST_F(BatchTool, ExistingStillsStopOrAreReplacedOrKept) {
    QDir(dir_.path()).mkdir("out");
    const QString taken = dir_.file("out/clip_Range_00000_00002_001.jpg");
    QFile old(taken);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    const QStringList args{"--frames", "0-2", "--out", "out", "-q", clip_};

    const test::ToolRun stop = run(args);
    EXPECT_EQ(stop.exitCode, 2);
    EXPECT_TRUE(stop.err.contains(taken.toLocal8Bit())) << stop.err.toStdString();
    EXPECT_EQ(filesIn(dir_.file("out")).size(), 1);
    EXPECT_EQ(contents(taken), "old");

    const test::ToolRun keep = run(QStringList{"--keep-going"} + args);
    EXPECT_EQ(keep.exitCode, 0) << keep.err.toStdString();
    EXPECT_EQ(filesIn(dir_.file("out")).size(), 3);
    EXPECT_EQ(contents(taken), "old");

    const test::ToolRun replace = run(QStringList{"--overwrite"} + args);
    EXPECT_EQ(replace.exitCode, 0) << replace.err.toStdString();
    EXPECT_EQ(ScriptedMediaSource::readNumber(QImage(taken)), 1);

    // The same video twice would write every still twice.
    const test::ToolRun twice = run({"--frames", "7", "--out", "again", clip_, clip_});
    EXPECT_EQ(twice.exitCode, 2);
    EXPECT_TRUE(twice.err.contains("twice")) << twice.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir_.file("again")));
}

TEST_F(BatchTool, InterruptKeepsTheStillsWrittenAndExits130) {
    QProcess process;
    process.setProcessEnvironment(env_);
    process.setWorkingDirectory(dir_.path());
    // A slow seek makes the run long enough to be interrupted half way.
    process.start(STILLORA_BIN_DIR "/stillora-batch",
                  {"--frames", "0-39", "--safe-seek", "100", "--out", "out", clip_});
    ASSERT_TRUE(process.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    while (filesIn(dir_.file("out")).size() < 3 && timer.elapsed() < 20000)
        QThread::msleep(20);
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    const QStringList written = filesIn(dir_.file("out"));
    EXPECT_GE(written.size(), 3);
    EXPECT_LT(written.size(), kClipFrames);
    // Every still is complete: no temporary files, each readable as its frame.
    for (int i = 0; i < written.size(); ++i) {
        EXPECT_EQ(written[i], QString("clip_Range_00000_00039_%1.jpg").arg(i, 3, 10, QChar('0')));
        EXPECT_EQ(ScriptedMediaSource::readNumber(QImage(dir_.file("out/" + written[i]))), i);
    }
}

TEST_F(BatchTool, ListsPluginsAndHelp) {
    const test::ToolRun list = run({"--list-plugins"});
    EXPECT_EQ(list.exitCode, 0);
    for (const char* name : {"Lightness", "Spray", "Amount", "-100..100"})
        EXPECT_TRUE(list.out.contains(name)) << name << list.out.toStdString();
    const test::ToolRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: stillora-batch"));
}

TEST_F(BatchTool, SeveralVideosAtOnceGiveTheSameStillsAsOneAfterTheOther) {
    QStringList videos;
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) {
        ASSERT_TRUE(QFile::copy(clip_, dir_.file(name)));
        videos << dir_.file(name);
    }
    const auto render = [&](const QString& jobs, const QString& out) {
        QStringList args{"--jobs", jobs,        "--frames", "2-9,39",
                         "--fx",   "Lightness", "--param",  "Lightness:Amount=30",
                         "--out",  out};
        const test::ToolRun r = run(args + videos);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QStringList digests;
        for (const QString& name : filesIn(dir_.file(out))) {
            QFile file(dir_.file(out + "/" + name));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            digests
                << name + " " +
                       QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex();
        }
        return digests;
    };
    const QStringList together = render("3", "together");
    EXPECT_EQ(together.size(), 27); // 9 stills of each video
    EXPECT_EQ(together, render("1", "apart"));
}
