// Files as they come from recorders, phones and archives: cut mid-GOP, AVI
// with B-frames, stream-copied cuts. Every frame must be the one a plain
// sequential decode by the ffmpeg command line yields, and the count what
// that decode yields.
#include "Clips.h"
#include "support/ClipMaker.h"

#include "video/FfmpegMediaSource.h"
#include "video/ScriptedMediaSource.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <random>

namespace stillora {
namespace {

const QSize kSize(320, 240);
const QStringList kX264{"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"};

int64_t shownNumber(MediaSource& source) {
    QImage image;
    if (!source.grab(image)) return -2;
    return ScriptedMediaSource::readNumber(image);
}

// The numbers in the pictures of a sequential decode of `path`.
std::vector<int64_t> decodedNumbers(const QString& path) {
    QProcess process;
    process.start("ffmpeg", {"-nostdin", "-v", "quiet", "-i", path, "-map", "0:v:0", "-fps_mode",
                             "passthrough", "-f", "rawvideo", "-pix_fmt", "bgra", "-s",
                             QString("%1x%2").arg(kSize.width()).arg(kSize.height()), "-"});
    process.waitForFinished(60000);
    const QByteArray data = process.readAllStandardOutput();
    const int frameBytes = kSize.width() * kSize.height() * 4;
    std::vector<int64_t> numbers;
    for (int at = 0; at + frameBytes <= data.size(); at += frameBytes) {
        const QImage image(reinterpret_cast<const uchar*>(data.constData() + at), kSize.width(),
                           kSize.height(), QImage::Format_RGB32);
        numbers.push_back(ScriptedMediaSource::readNumber(image));
    }
    return numbers;
}

QString makeNumberedClip(const QString& name, int frames, const QStringList& encode) {
    const QString path = test::scratchFile(name);
    QString why;
    EXPECT_TRUE(test::makeClip(path, frames, encode, &why, kSize)) << why.toStdString();
    return path;
}

// Keeps the bytes of `from` after the first `fraction` of it, at a multiple of `unit`.
QString cutFront(const QString& from, const QString& name, double fraction, int unit) {
    QFile in(from);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray data = in.readAll();
    const qsizetype at = qsizetype(data.size() * fraction) / unit * unit;
    QFile out(test::scratchFile(name));
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(data.mid(at));
    return out.fileName();
}

// Opens `path` and checks the count and sampled frames (the ends, random ones
// and a forward run) against the command line's sequential decode.
void expectSequentialFrames(const QString& path, const std::string& what) {
    SCOPED_TRACE(what);
    const std::vector<int64_t> reference = decodedNumbers(path);
    ASSERT_GT(reference.size(), 20u);
    FfmpegMediaSource source;
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
    ASSERT_EQ(source.frameCount(), int64_t(reference.size()));
    EXPECT_EQ(shownNumber(source), reference[0]) << "frame 0 right after the open";

    const int64_t count = source.frameCount();
    std::vector<int64_t> order{count - 1, 0, 1, count / 2};
    std::mt19937 random(31);
    for (int i = 0; i < 30; ++i)
        order.push_back(random() % count);
    for (int64_t frame = count / 3; frame < count / 3 + 12; ++frame)
        order.push_back(frame);
    for (int64_t frame : order) {
        ASSERT_TRUE(source.seek(frame, &error)) << "frame " << frame << ": " << error;
        EXPECT_EQ(shownNumber(source), reference[frame]) << "frame " << frame;
    }
}

TEST(CutRecordings, StreamsCutMidGopNumberTheFramesASequentialDecodeYields) {
    // Transport streams cut at a packet boundary: the first GOP lost its key frame.
    const QString h264 = makeNumberedClip(
        "h264.ts", 200, kX264 + QStringList{"-bf", "3", "-g", "50", "-f", "mpegts"});
    expectSequentialFrames(cutFront(h264, "h264-cut.ts", 0.37, 188), "H.264 TS cut mid-GOP");
    const QString hevc =
        makeNumberedClip("hevc.ts", 160,
                         {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                          "log-level=error:bframes=3:keyint=40:open-gop=1", "-f", "mpegts"});
    expectSequentialFrames(cutFront(hevc, "hevc-cut.ts", 0.41, 188), "HEVC TS cut mid-GOP");

    // A DVD-style program stream cut at a sector boundary.
    const QString vob = makeNumberedClip(
        "mpeg2.vob", 200, {"-c:v", "mpeg2video", "-bf", "2", "-g", "15", "-q:v", "4", "-f", "vob"});
    expectSequentialFrames(cutFront(vob, "mpeg2-cut.vob", 0.33, 2048), "VOB cut mid-GOP");
}

TEST(CutRecordings, AStreamCopiedHevcCutDropsItsLeadingFrames) {
    const QString hevc =
        makeNumberedClip("hevc-open.mkv", 200,
                         {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                          "log-level=error:bframes=4:keyint=48:open-gop=1"});
    for (const char* name : {"hevc-copy.mp4", "hevc-copy.mkv"}) {
        const QString cut = test::scratchFile(name);
        ASSERT_TRUE(test::runFfmpeg({"-ss", "2.3", "-i", hevc, "-c", "copy", cut}));
        expectSequentialFrames(cut, name);
    }
}

TEST(PackedAvi, KeyFramesWithoutTimesAreFoundSoSeeksStartAtTheNearestOne) {
    for (int bframes : {2, 0}) {
        SCOPED_TRACE(bframes);
        const QString path = makeNumberedClip(QString("mpeg4-bf%1.avi").arg(bframes), 250,
                                              {"-c:v", "mpeg4", "-vtag", "DX50", "-bf",
                                               QString::number(bframes), "-g", "25", "-q:v", "4"});
        expectSequentialFrames(path, "MPEG-4 Part 2 AVI");

        // A seek far back or far ahead goes to the key frame before the
        // target, not the start of the file: at most a GOP is decoded.
        FfmpegMediaSource source;
        std::string error;
        ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
        for (int64_t frame : {240, 30, 205, 110}) {
            const int64_t seeksBefore = source.demuxerSeeks();
            ASSERT_TRUE(source.seek(frame, &error)) << error;
            EXPECT_EQ(shownNumber(source), frame);
            EXPECT_EQ(source.demuxerSeeks() - seeksBefore, 1) << "frame " << frame;
        }
    }
}

} // namespace
} // namespace stillora
