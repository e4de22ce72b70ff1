// MP4 and WebM movies as a render run makes them, checked by the ffmpeg
// command line: frame counts (hold included), clean decodes, the MP4 index
// at the front, odd sizes grown rather than cut, colours, and what happens
// when the file cannot be written.

#include "../avi/AviProbe.h"
#include "export/Exporters.h"
#include "export/MovieFrameConverter.h"
#include "export/video/VideoWriter.h"
#include "selection/Selection.h"
#include "support/ClipMaker.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace stillora {
namespace {

QImage Picture(int n, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor(20, 60, 140));
    sky.setColorAt(1, QColor(230, 170, 90));
    p.fillRect(image.rect(), sky);
    p.fillRect(QRect(10 + 8 * n, size.height() / 3, size.width() / 4, size.height() / 3),
               QColor(200, 30, 40));
    // The last column and row in a colour of their own: they must survive.
    p.fillRect(QRect(size.width() - 1, 0, 1, size.height()), QColor(0, 220, 0));
    p.fillRect(QRect(0, size.height() - 1, size.width(), 1), QColor(0, 220, 0));
    return image;
}

// The top-level boxes of an MP4 file, in order.
QStringList Mp4Boxes(const QString& path) {
    QFile file(path);
    QStringList boxes;
    if (!file.open(QIODevice::ReadOnly)) return boxes;
    const QByteArray data = file.readAll();
    qint64 at = 0;
    while (at + 8 <= data.size()) {
        const auto byte = [&](qint64 i) { return quint64(uchar(data[int(i)])); };
        quint64 size = byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        boxes << QString::fromLatin1(data.mid(int(at + 4), 4));
        if (size == 1 && at + 16 <= data.size()) {
            size = 0;
            for (int i = 0; i < 8; ++i)
                size = size << 8 | byte(at + 8 + i);
        }
        if (size < 8) break;
        at += qint64(size);
    }
    return boxes;
}

QImage DecodedImage(const QString& path, int index, QSize size) {
    const QByteArray bgra = test::DecodedFrame(path, index);
    if (bgra.size() != size.width() * size.height() * 4) return QImage();
    return QImage(reinterpret_cast<const uchar*>(bgra.constData()), size.width(), size.height(),
                  QImage::Format_RGB32)
        .copy();
}

double MeanError(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

class VideoExport : public ::testing::Test {
protected:
    void SetUp() override {
        settings.exportKind = MovieExport;
        settings.movieKind = MovieVideo;
    }

    bool render(const QString& path, int frames, QSize size = QSize(160, 120)) {
        auto exporter = CreateExporter(settings, shell);
        EXPECT_TRUE(exporter);
        if (!exporter) return false;
        EXPECT_FALSE(exporter->wantsStills(settings)) << "video runs write no stills";
        exporter->begin(settings, path);
        bool going = true;
        int n = 0;
        for (; n < frames && going; ++n)
            going = exporter->addFrame({Picture(n, size), "f", selection, n, n});
        exporter->finish({n, 0, 0, QString()});
        return going;
    }

    test::ScratchDir dir;
    test::RecordingShell shell;
    RenderSettings settings;
    TSelection selection;
};

TEST_F(VideoExport, Mp4AndWebmCountTheirFramesDecodeCleanlyAndKeepOddEdges) {
    for (const int format : {int(VideoMp4), int(VideoWebm)}) {
        settings.video.format = format;
        const QString path = dir.file(format == VideoWebm ? "show.webm" : "show.mp4");
        ASSERT_TRUE(render(path, 12, QSize(161, 121))) << shell.errors.join('\n').toStdString();
        EXPECT_EQ(shell.written.value(shell.written.size() - 1), path);
        const auto probe = test::Probe(path);
        EXPECT_EQ(probe.value("codec_name"), format == VideoWebm ? "vp9" : "h264");
        EXPECT_EQ(probe.value("nb_read_frames"), "12");
        EXPECT_EQ(probe.value("r_frame_rate"), "25/1");
        // One pixel added on each odd side, never cut.
        EXPECT_EQ(probe.value("width"), "162");
        EXPECT_EQ(probe.value("height"), "122");
        EXPECT_EQ(test::DecodeErrors(path), "");
        const QImage shown = DecodedImage(path, 5, QSize(162, 122));
        ASSERT_FALSE(shown.isNull());
        const QImage padded = EvenSizedFrame(Picture(5, QSize(161, 121)), QSize(161, 121));
        EXPECT_LT(MeanError(shown, padded), 4.0) << format;
        // The green edge of the picture is there, and repeated into the added pixels.
        EXPECT_GT(qGreen(shown.pixel(160, 60)), 150);
        EXPECT_GT(qGreen(shown.pixel(161, 60)), 150);
        EXPECT_GT(qGreen(shown.pixel(80, 121)), 150);
    }
    EXPECT_TRUE(shell.errors.isEmpty()) << shell.errors.join('\n').toStdString();
    // The index comes before the media data, so browsers can start at once.
    const QStringList boxes = Mp4Boxes(dir.file("show.mp4"));
    ASSERT_TRUE(boxes.contains("moov") && boxes.contains("mdat")) << boxes.join(' ').toStdString();
    EXPECT_LT(boxes.indexOf("moov"), boxes.indexOf("mdat")) << boxes.join(' ').toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"show.mp4", "show.webm"}));
}

TEST_F(VideoExport, HoldMakesASlideshowOfTheStills) {
    settings.video.format = VideoMp4;
    settings.video.frameRate = 10;
    settings.video.hold = 3;
    settings.video.quality = 18;
    const QString path = dir.file("slides.mp4");
    ASSERT_TRUE(render(path, 4));
    const auto probe = test::Probe(path);
    EXPECT_EQ(probe.value("nb_read_frames"), "12");
    EXPECT_EQ(probe.value("r_frame_rate"), "10/1");
    // Frames 3 to 5 all show the second still, frame 6 the third (inside the
    // one-pixel edge lines, which 4:2:0 colour smears).
    const QRect inside(4, 4, 152, 112);
    const auto error = [&](int frame, int still) {
        return MeanError(DecodedImage(path, frame, QSize(160, 120)).copy(inside),
                         Picture(still, QSize(160, 120)).copy(inside));
    };
    for (int i : {3, 4, 5}) {
        EXPECT_LT(error(i, 1), 2.0) << i;
        EXPECT_GT(error(i, 2), 2 * error(i, 1)) << i;
    }
    EXPECT_LT(error(6, 2), 2.0);

    settings.video.format = VideoWebm;
    ASSERT_TRUE(render(dir.file("slides.webm"), 4));
    EXPECT_EQ(test::Probe(dir.file("slides.webm")).value("nb_read_frames"), "12");
}

TEST_F(VideoExport, UnwritableFileEndsTheRunNamingTheFile) {
    const QString path = dir.file("no-such-folder/show.mp4");
    EXPECT_FALSE(render(path, 3));
    ASSERT_EQ(shell.errors.size(), 1);
    EXPECT_TRUE(shell.errors[0].startsWith("Cannot create the movie file:\n" + path))
        << shell.errors[0].toStdString();
    EXPECT_TRUE(shell.written.isEmpty());
}

TEST_F(VideoExport, FullDiskEndsTheRunAndKeepsTheOlderMovie) {
    settings.video.format = VideoMp4;
    const QString path = dir.file("show.mp4");
    ASSERT_TRUE(render(path, 2));
    const qint64 older = QFileInfo(path).size();
    shell.written.clear();

    // A file size limit stands in for a full disk; lossless-like quality
    // and noise make the movie large.
    settings.video.quality = 0;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 30000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    auto exporter = CreateExporter(settings, shell);
    exporter->begin(settings, path);
    bool going = true;
    uint32_t seed = 99;
    for (int n = 0; n < 30 && going; ++n) {
        QImage noise(320, 240, QImage::Format_RGB32);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                seed = seed * 1664525u + 1013904223u;
                noise.setPixel(x, y, seed >> 8);
            }
        going = exporter->addFrame({noise, "f", selection, n, n});
    }
    exporter->finish({0, 0, 0, QString()});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(shell.errors.size(), 1);
    EXPECT_TRUE(shell.errors[0].startsWith("The movie file could not be written:\n" + path))
        << shell.errors[0].toStdString();
    EXPECT_TRUE(shell.written.isEmpty());
    EXPECT_EQ(QFileInfo(path).size(), older) << "the older movie stays until a new one is complete";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"show.mp4"});
}

TEST_F(VideoExport, AbandonedRunLeavesNoFileAndAStoppedOneAPlayableMovie) {
    settings.video.format = VideoWebm;
    auto exporter = CreateExporter(settings, shell);
    const QString path = dir.file("cut.webm");
    exporter->begin(settings, path);
    for (int n = 0; n < 3; ++n)
        ASSERT_TRUE(exporter->addFrame({Picture(n, QSize(96, 64)), "f", selection, n, n}));
    exporter->abandon();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});

    exporter->begin(settings, path);
    for (int n = 0; n < 2; ++n)
        ASSERT_TRUE(exporter->addFrame({Picture(n, QSize(96, 64)), "f", selection, n, n}));
    exporter->finish({2, 0, 0, QString()});
    EXPECT_EQ(test::Probe(path).value("nb_read_frames"), "2");
    EXPECT_EQ(test::DecodeErrors(path), "");
}

TEST(VideoQuality, CrfIsKeptForH264AndScaledForVp9) {
    EXPECT_EQ(VideoCrf(VideoMp4, 23), 23);
    EXPECT_EQ(VideoCrf(VideoMp4, 99), 51);
    EXPECT_EQ(VideoCrf(VideoWebm, 0), 0);
    EXPECT_EQ(VideoCrf(VideoWebm, 51), 63);
    EXPECT_EQ(VideoCrf(VideoWebm, 23), 28);
}

TEST(VideoBatch, ExportsMp4AndWebmWithTheVideoOptions) {
    test::ScratchDir dir;
    QString error;
    ASSERT_TRUE(test::makeClip(dir.file("clip.mp4"), 8, {"-c:v", "libx264", "-pix_fmt", "yuv420p"},
                               &error))
        << error.toStdString();
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.file("config"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(STILLORA_BIN_DIR "/stillora-batch"), args);
        p.waitForFinished(180000);
        return std::make_tuple(p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                               QString::fromLocal8Bit(p.readAllStandardError()));
    };
    const auto [code, out, err] =
        run({"--export", "mp4", "--video-rate", "10", "--video-hold", "2", "--video-quality", "30",
             "--frames", "0-5", "--out-file", "a.mp4", "clip.mp4"});
    EXPECT_EQ(code, 0) << err.toStdString();
    EXPECT_TRUE(out.contains("a.mp4")) << out.toStdString();
    EXPECT_TRUE(err.contains("added 6 frame(s) to the movie")) << err.toStdString();
    auto probe = test::Probe(dir.file("a.mp4"));
    EXPECT_EQ(probe.value("codec_name"), "h264");
    EXPECT_EQ(probe.value("nb_read_frames"), "12");
    EXPECT_EQ(probe.value("r_frame_rate"), "10/1");

    const auto [webmCode, webmOut, webmErr] =
        run({"-q", "--export", "webm", "--frames", "0-7", "--out-file", "b.webm", "clip.mp4"});
    EXPECT_EQ(webmCode, 0) << webmErr.toStdString();
    EXPECT_TRUE(webmErr.isEmpty()) << "nothing from the encoders: " << webmErr.toStdString();
    probe = test::Probe(dir.file("b.webm"));
    EXPECT_EQ(probe.value("codec_name"), "vp9");
    EXPECT_EQ(probe.value("nb_read_frames"), "8");
    EXPECT_EQ(probe.value("r_frame_rate"), "25/1");
    EXPECT_EQ(test::DecodeErrors(dir.file("b.webm")), "");
    // The movie shows the clip's frames.
    const QImage first = DecodedImage(dir.file("b.webm"), 3, QSize(160, 120));
    const QImage source = DecodedImage(dir.file("clip.mp4"), 3, QSize(160, 120));
    EXPECT_LT(MeanError(first, source), 4.0);
}

} // namespace
} // namespace stillora
