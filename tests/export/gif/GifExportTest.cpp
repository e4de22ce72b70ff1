// The animated GIF as a render run makes it, read back with giflib as a
// viewer shows it: frame count, delay, loop extension, colours, the size of
// unchanged frames, dither stability, and what happens when the file cannot
// be written.

#include "GifReader.h"

#include "../avi/AviProbe.h"
#include "export/Exporters.h"
#include "export/gif/GifPalette.h"
#include "export/gif/GifWriter.h"
#include "selection/Selection.h"
#include "support/ClipMaker.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace stillora {
namespace {

// A picture like a rendered still: smooth gradients, a lit disc that moves
// with `n`, a dark frame line and some text.
QImage Picture(int n, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor(20, 60, 140));
    sky.setColorAt(0.6, QColor(230, 170, 90));
    sky.setColorAt(1, QColor(60, 30, 20));
    p.fillRect(image.rect(), sky);
    QRadialGradient sun(size.width() * (0.2 + 0.05 * n), size.height() * 0.4, size.height() / 4.0);
    sun.setColorAt(0, QColor(255, 250, 220));
    sun.setColorAt(1, QColor(240, 120, 40, 0));
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(sun);
    p.setPen(Qt::NoPen);
    p.drawEllipse(sun.center(), size.height() / 4.0, size.height() / 4.0);
    p.setPen(QColor(10, 10, 10));
    p.setBrush(Qt::NoBrush);
    p.drawRect(image.rect().adjusted(2, 2, -3, -3));
    p.setPen(Qt::white);
    p.drawText(QRect(8, size.height() - 30, size.width() - 16, 24), Qt::AlignLeft,
               QStringLiteral("Holiday %1").arg(n));
    return image;
}

class GifExport : public ::testing::Test {
protected:
    void SetUp() override {
        settings.exportKind = MovieExport;
        settings.movieKind = MovieGif;
    }

    // One run over `pictures` through the exporter of the factory; false
    // when the exporter stopped the run.
    bool render(const QString& path, const std::vector<QImage>& pictures) {
        auto exporter = CreateExporter(settings, shell);
        EXPECT_TRUE(exporter);
        if (!exporter) return false;
        EXPECT_FALSE(exporter->wantsStills(settings)) << "GIF runs write no stills";
        exporter->begin(settings, path);
        bool going = true;
        int n = 0;
        for (; n < int(pictures.size()) && going; ++n) {
            const QString name = QString("frame%1").arg(n);
            going = exporter->addFrame({pictures[size_t(n)], name, selection, n, n});
        }
        exporter->finish({n, 0, 0, QString()});
        return going;
    }

    std::vector<QImage> frames(int count, QSize size = QSize(160, 120)) {
        std::vector<QImage> out;
        for (int n = 0; n < count; ++n)
            out.push_back(Picture(n, size));
        return out;
    }

    test::ScratchDir dir;
    test::RecordingShell shell;
    RenderSettings settings;
    TSelection selection;
};

TEST_F(GifExport, TwelveFramesReadBackWithDelayLoopAndColours) {
    settings.gif.frameDurationMs = 234; // 23.4 hundredths: 23
    settings.gif.loop = true;
    const QString path = dir.file("show.gif");
    const std::vector<QImage> pictures = frames(12);
    ASSERT_TRUE(render(path, pictures));
    EXPECT_EQ(shell.written, QStringList{path});
    EXPECT_TRUE(shell.errors.isEmpty()) << shell.errors.join('\n').toStdString();

    const test::GifReadBack gif = test::ReadGif(path);
    ASSERT_TRUE(gif.ok) << gif.error.toStdString();
    EXPECT_EQ(gif.version, "GIF89a");
    EXPECT_EQ(gif.width, 160);
    EXPECT_EQ(gif.height, 120);
    EXPECT_EQ(gif.loopBlocks, 1);
    EXPECT_TRUE(gif.loopForever);
    ASSERT_EQ(gif.frames.size(), 12u);
    for (size_t i = 0; i < gif.frames.size(); ++i) {
        const test::GifFrameInfo& f = gif.frames[i];
        EXPECT_EQ(f.delayCs, 23) << i;
        EXPECT_EQ(f.disposal, 1) << "frames build on the one before: do not dispose";
        // A dithered palette picture: small mean error, bounded worst pixel.
        const test::ColourError e = test::CompareColours(f.shown, pictures[i]);
        EXPECT_LT(e.mean, 1.6) << "frame " << i;
        EXPECT_LE(e.maximum, 16) << "frame " << i;
    }
    // Later frames carry only the rectangle that changed (the moving disc and the text).
    EXPECT_EQ(gif.frames[0].width, 160);
    EXPECT_LT(gif.frames[5].width * gif.frames[5].height, 160 * 120);

    // Without the loop: no NETSCAPE2.0 block, the movie plays once.
    settings.gif.loop = false;
    settings.gif.frameDurationMs = 0;
    ASSERT_TRUE(render(path, frames(3)));
    const test::GifReadBack once = test::ReadGif(path);
    ASSERT_TRUE(once.ok);
    EXPECT_EQ(once.loopBlocks, 0);
    ASSERT_EQ(once.frames.size(), 3u);
    EXPECT_EQ(once.frames[2].delayCs, 0) << "no delay stays no delay";
}

TEST(GifDelay, MillisecondsRoundToHundredths) {
    EXPECT_EQ(GifDelayFromMs(0), 0);
    EXPECT_EQ(GifDelayFromMs(4), 0);
    EXPECT_EQ(GifDelayFromMs(5), 1);
    EXPECT_EQ(GifDelayFromMs(14), 1);
    EXPECT_EQ(GifDelayFromMs(15), 2);
    EXPECT_EQ(GifDelayFromMs(1000), 100);
    EXPECT_EQ(GifDelayFromMs(99999), 10000);
}

TEST_F(GifExport, IdenticalFramesCostAlmostNothing) {
    const QImage still = Picture(3, QSize(640, 480));
    ASSERT_TRUE(render(dir.file("two.gif"), {still, still}));
    ASSERT_TRUE(render(dir.file("hundred.gif"), std::vector<QImage>(100, still)));
    const qint64 two = QFileInfo(dir.file("two.gif")).size();
    const qint64 hundred = QFileInfo(dir.file("hundred.gif")).size();
    EXPECT_GT(two, 10000);
    // 98 more frames of a few dozen bytes each.
    EXPECT_LT(hundred, two + 98 * 40) << two << " " << hundred;
    const test::GifReadBack gif = test::ReadGif(dir.file("hundred.gif"));
    ASSERT_EQ(gif.frames.size(), 100u);
    EXPECT_EQ(gif.frames[99].shown, gif.frames[0].shown);
}

TEST_F(GifExport, DitherDoesNotCrawlWhereNothingChanged) {
    // The same picture with a small square that moves: everything away from
    // the square must stay exactly as it was shown before.
    std::vector<QImage> pictures;
    const QImage base = Picture(0, QSize(200, 150));
    for (int n = 0; n < 6; ++n) {
        QImage picture = base;
        QPainter(&picture).fillRect(QRect(20 + 10 * n, 20, 8, 8), QColor(0, 200, 0));
        pictures.push_back(picture);
    }
    // A little noise that a decoder would leave: within the tolerance.
    for (size_t n = 1; n < pictures.size(); ++n)
        for (int x = 100; x < 190; x += 3)
            pictures[n].setPixel(x, 100, pictures[n].pixel(x, 100) ^ 0x010101);
    ASSERT_TRUE(render(dir.file("move.gif"), pictures));
    const test::GifReadBack gif = test::ReadGif(dir.file("move.gif"));
    ASSERT_EQ(gif.frames.size(), 6u);
    const QRect still(0, 40, 200, 110);
    for (size_t n = 1; n < gif.frames.size(); ++n) {
        EXPECT_EQ(gif.frames[n].shown.copy(still), gif.frames[0].shown.copy(still)) << n;
        EXPECT_LE(gif.frames[n].top + gif.frames[n].height, 40) << "only the moved square";
        EXPECT_LT(test::CompareColours(gif.frames[n].shown, pictures[n]).mean, 2.5);
    }
}

TEST_F(GifExport, FramesOfAnotherSizeAreScaledToTheFirst) {
    const std::vector<QImage> pictures{Picture(0, QSize(160, 120)), Picture(1, QSize(320, 240)),
                                       Picture(2, QSize(80, 60))};
    ASSERT_TRUE(render(dir.file("sizes.gif"), pictures));
    const test::GifReadBack gif = test::ReadGif(dir.file("sizes.gif"));
    ASSERT_EQ(gif.frames.size(), 3u);
    EXPECT_EQ(gif.width, 160);
    EXPECT_EQ(gif.height, 120);
    const QImage scaled =
        pictures[1].scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(test::CompareColours(gif.frames[1].shown, scaled).mean, 2.5);
}

TEST_F(GifExport, UnwritableFileEndsTheRunNamingTheFileAndLeavesNothing) {
    const QString path = dir.file("no-such-folder/show.gif");
    EXPECT_FALSE(render(path, frames(3)));
    ASSERT_EQ(shell.errors.size(), 1);
    EXPECT_TRUE(shell.errors[0].startsWith("Cannot create the movie file:\n" + path))
        << shell.errors[0].toStdString();
    EXPECT_TRUE(shell.written.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.file("no-such-folder")));
}

TEST_F(GifExport, FullDiskEndsTheRunAndKeepsTheOlderMovie) {
    const QString path = dir.file("show.gif");
    ASSERT_TRUE(render(path, frames(2)));
    const qint64 older = QFileInfo(path).size();
    shell.written.clear();

    // A file size limit stands in for a full disk: writes past it fail.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 20000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::vector<QImage> noisy = [] {
        std::vector<QImage> out;
        for (int n = 0; n < 8; ++n) {
            QImage image(320, 240, QImage::Format_RGB32);
            uint32_t seed = 12345u + uint32_t(n);
            for (int y = 0; y < 240; ++y)
                for (int x = 0; x < 320; ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    image.setPixel(x, y, seed >> 8);
                }
            out.push_back(image);
        }
        return out;
    }();
    const bool going = render(path, noisy);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(going);
    ASSERT_EQ(shell.errors.size(), 1);
    EXPECT_TRUE(shell.errors[0].startsWith("The movie file could not be written:\n" + path))
        << shell.errors[0].toStdString();
    EXPECT_TRUE(shell.written.isEmpty());
    EXPECT_EQ(QFileInfo(path).size(), older) << "the older movie stays until a new one is complete";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"show.gif"});
}

TEST_F(GifExport, AbandonedRunLeavesNoFileAndAStoppedOneAPlayableMovie) {
    auto exporter = CreateExporter(settings, shell);
    const QString path = dir.file("cut.gif");
    exporter->begin(settings, path);
    const std::vector<QImage> pictures = frames(4);
    for (int n = 0; n < 4; ++n)
        ASSERT_TRUE(exporter->addFrame({pictures[size_t(n)], "f", selection, n, n}));
    exporter->abandon();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});

    // A stopped run still finishes: the frames so far make the movie.
    exporter->begin(settings, path);
    for (int n = 0; n < 2; ++n)
        ASSERT_TRUE(exporter->addFrame({pictures[size_t(n)], "f", selection, n, n}));
    exporter->finish({2, 0, 0, QString()});
    EXPECT_EQ(test::ReadGif(path).frames.size(), 2u);

    // A run that made no frame leaves no movie.
    exporter->begin(settings, dir.file("empty.gif"));
    exporter->finish({0, 0, 0, QString()});
    EXPECT_FALSE(QFileInfo::exists(dir.file("empty.gif")));
}

TEST(GifPalette, FewColoursStayExactAndManyAreSpreadOverThePicture) {
    ColorHistogram few;
    for (uint32_t c : {0x000000u, 0xFF0000u, 0x00FF00u, 0x123456u})
        for (int i = 0; i < 50; ++i)
            few.add(c);
    const std::vector<PaletteColor> exact = ChoosePalette(few, 255);
    ASSERT_EQ(exact.size(), 4u);
    NearestColor nearest(exact);
    EXPECT_EQ(exact[size_t(nearest.find(0x12, 0x34, 0x56))], (PaletteColor{0x12, 0x34, 0x56}));

    // A full grey ramp into 16 colours: no grey further than half a step
    // (256 / 16 / 2 = 8 levels) from its colour, give or take the rounding.
    ColorHistogram ramp;
    for (int v = 0; v < 256; ++v)
        for (int i = 0; i < 10; ++i)
            ramp.add(uint32_t(v) * 0x010101u);
    const std::vector<PaletteColor> grey = ChoosePalette(ramp, 16);
    EXPECT_EQ(grey.size(), 16u);
    NearestColor greys(grey);
    int worst = 0;
    for (int v = 0; v < 256; ++v) {
        const PaletteColor& c = grey[size_t(greys.exact(v, v, v))];
        worst = std::max(worst, std::abs(int(c.g) - v));
    }
    EXPECT_LE(worst, 10);
}

TEST(GifBatch, ExportsTheFramesWithDelayAndLoopFromTheOptions) {
    test::ScratchDir dir;
    QString error;
    ASSERT_TRUE(test::makeClip(dir.file("clip.mp4"), 12, {"-c:v", "libx264", "-pix_fmt", "yuv420p"},
                               &error))
        << error.toStdString();
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.setProcessEnvironment([&] {
            auto env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_CONFIG_HOME", dir.file("config"));
            return env;
        }());
        p.start(QStringLiteral(STILLORA_BIN_DIR "/stillora-batch"), args);
        p.waitForFinished(120000);
        return std::make_tuple(p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                               QString::fromLocal8Bit(p.readAllStandardError()));
    };
    const auto [code, out, err] = run({"--export", "gif", "--gif-delay", "150", "--gif-loop",
                                       "--frames", "0-11", "--out-file", "a.gif", "clip.mp4"});
    EXPECT_EQ(code, 0) << err.toStdString();
    EXPECT_TRUE(out.contains("a.gif")) << out.toStdString();
    EXPECT_TRUE(err.contains("added 12 frame(s) to the movie")) << err.toStdString();
    const test::GifReadBack gif = test::ReadGif(dir.file("a.gif"));
    ASSERT_TRUE(gif.ok) << gif.error.toStdString();
    EXPECT_TRUE(gif.loopForever);
    ASSERT_EQ(gif.frames.size(), 12u);
    for (size_t i = 0; i < gif.frames.size(); ++i) {
        EXPECT_EQ(gif.frames[i].delayCs, 15);
        // The movie shows the clip's frames (as the ffmpeg command line decodes them).
        const QByteArray bgra = test::DecodedFrame(dir.file("clip.mp4"), int(i));
        ASSERT_EQ(bgra.size(), 160 * 120 * 4);
        const QImage decoded(reinterpret_cast<const uchar*>(bgra.constData()), 160, 120,
                             QImage::Format_RGB32);
        EXPECT_LT(test::CompareColours(gif.frames[i].shown, decoded).mean, 3.0) << i;
    }
    // No stills were written for it.
    EXPECT_FALSE(QFileInfo::exists(dir.file("export")) &&
                 !QDir(dir.file("export")).entryList(QDir::Files).isEmpty());

    // Without the options: the stored duration (1000 ms) and no loop; without
    // --out-file the movie is named after the video; a dry run names it only.
    const auto [dryCode, dryOut, dryErr] = run({"--export", "gif", "--frames", "0-2", "--dry-run",
                                                "clip.mp4"});
    EXPECT_EQ(dryCode, 0) << dryErr.toStdString();
    EXPECT_EQ(dryOut.trimmed(), "clip.mp4_EXPORT.gif");
    EXPECT_FALSE(QFileInfo::exists(dir.file("clip.mp4_EXPORT.gif")));
    EXPECT_EQ(std::get<0>(run({"--export", "gif", "--frames", "0-2", "clip.mp4"})), 0);
    const test::GifReadBack plain = test::ReadGif(dir.file("clip.mp4_EXPORT.gif"));
    ASSERT_EQ(plain.frames.size(), 3u);
    EXPECT_EQ(plain.frames[0].delayCs, 100);
    EXPECT_EQ(plain.loopBlocks, 0);
}

} // namespace
} // namespace stillora
