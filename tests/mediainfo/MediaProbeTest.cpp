#include "video/MediaInfo.h"

#include "support/ClipMaker.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace stillora;
using stillora::test::runFfmpeg;

namespace {

// Two seconds of 320x240 test picture at 25 frames per second, with a tone
// when `audio` holds encoder options for it.
bool makeAvClip(const QString& path, const QStringList& video, const QStringList& audio,
                const QString& rate = "25") {
    QStringList args{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=" + rate + ":duration=2"};
    if (!audio.isEmpty())
        args += QStringList{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=2"};
    args += video + audio;
    if (audio.isEmpty()) args += "-an";
    args += path;
    QString error;
    const bool ok = runFfmpeg(args, &error);
    if (!ok) ADD_FAILURE() << error.toStdString();
    return ok;
}

QStringList lines(const QString& text) {
    return text.split("\r\n");
}

// A scratch folder per test.
class Scratch {
public:
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

class MediaProbe : public ::testing::Test {
protected:
    Scratch dir;
};

TEST_F(MediaProbe, MotionJpegAviWithPcmIsDescribedFromItsHeaders) {
    const QString path = dir.file("mjpeg-pcm.avi");
    ASSERT_TRUE(makeAvClip(path, {"-c:v", "mjpeg", "-q:v", "5"},
                           {"-c:a", "pcm_s16le", "-ac", "2", "-ar", "44100"}));
    EXPECT_EQ(mediaInfo(path),
              "Media length: 2.000 sec.\r\n"
              "Video format: 320 x 240, 24 Bits, 50 Frames, 25 Frames/Sec, IBM Motion JPEG "
              "including Huffman Tables\r\n"
              "Audio format: PCM, 1411.200 kBit/s, 44.100 kHz, Stereo\r\n");
}

TEST_F(MediaProbe, AviCodecNamesFollowTheStoredFourCC) {
    const struct {
        const char* tag;
        const char* name;
    } cases[] = {{"XVID", "XviD MPEG-4 codec"},
                 {"DIVX", "OpenDivX (DivX 4.0 and later)"},
                 {"DX50", "DivX 5.0 codec"},
                 {"divx", "Unknown (divx)"}};
    for (const auto& c : cases) {
        const QString path = dir.file(QString("mpeg4-%1.avi").arg(c.tag));
        ASSERT_TRUE(makeAvClip(path, {"-c:v", "mpeg4", "-vtag", c.tag}, {}));
        const QStringList text = lines(mediaInfo(path));
        ASSERT_EQ(text.size(), 3) << c.tag;
        EXPECT_EQ(text[1],
                  QString("Video format: 320 x 240, 24 Bits, 50 Frames, 25 Frames/Sec, ") + c.name);
    }
}

TEST_F(MediaProbe, Mp4CodecsAreNamedThroughTheirRegisteredCodes) {
    const QString path = dir.file("h264-aac.mp4");
    ASSERT_TRUE(makeAvClip(path, {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"},
                           {"-c:a", "aac", "-ac", "1", "-ar", "48000", "-b:a", "64k"}));
    const QStringList text = lines(mediaInfo(path));
    ASSERT_EQ(text.size(), 4);
    EXPECT_TRUE(text[0].startsWith("Media length: 2.0")) << text[0].toStdString();
    EXPECT_EQ(text[1], "Video format: 320 x 240, 24 Bits, 50 Frames, 25 Frames/Sec, ITU H.264 "
                       "(MPEG-4 AVC)");
    // AAC's wave tag 0x00FF has no entry in the table.
    EXPECT_TRUE(text[2].startsWith("Audio format: Unknown (255), ")) << text[2].toStdString();
    EXPECT_TRUE(text[2].endsWith(" kBit/s, 48 kHz, Mono")) << text[2].toStdString();
    EXPECT_EQ(text[3], "");
}

TEST_F(MediaProbe, NtscRateIsShownWithThreeDecimals) {
    const QString path = dir.file("ntsc.mkv");
    ASSERT_TRUE(makeAvClip(path, {"-c:v", "mpeg2video"}, {}, "30000/1001"));
    const QStringList text = lines(mediaInfo(path));
    ASSERT_EQ(text.size(), 3);
    EXPECT_TRUE(text[1].contains(", 29.970 Frames/Sec, MPEG-2 video")) << text[1].toStdString();
}

TEST_F(MediaProbe, UncompressedAviShowsTheRgbCode) {
    const QString path = dir.file("raw.avi");
    ASSERT_TRUE(makeAvClip(path, {"-c:v", "rawvideo", "-pix_fmt", "bgr24"}, {}));
    const QStringList text = lines(mediaInfo(path));
    ASSERT_EQ(text.size(), 3);
    EXPECT_EQ(text[1], "Video format: 320 x 240, 24 Bits, 50 Frames, 25 Frames/Sec, Unknown (RGB)");
}

TEST_F(MediaProbe, RelativeNameWithAColonIsReadAsAFile) {
    ASSERT_TRUE(makeAvClip(dir.file("take:1.avi"), {"-c:v", "mjpeg"}, {}));
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QString text = mediaInfo("take:1.avi");
    QDir::setCurrent(saved);
    EXPECT_TRUE(text.startsWith("Media length: 2.000 sec.\r\nVideo format: 320 x 240"))
        << text.toStdString();
}

TEST_F(MediaProbe, UnreadableFilesGiveNoInformation) {
    EXPECT_EQ(mediaInfo(dir.file("missing.avi")), "");
    EXPECT_EQ(mediaInfo(""), "");
    EXPECT_EQ(mediaInfo(dir.path()), "");

    QFile text(dir.file("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("These are not moving pictures.\nJust a few lines of text.\n");
    text.close();
    EXPECT_EQ(mediaInfo(text.fileName()), "");

    QFile empty(dir.file("empty.avi"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_EQ(mediaInfo(empty.fileName()), "");
}

TEST_F(MediaProbe, PipeIsNotWaitedOn) {
    const QString path = dir.file("pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(mediaInfo(path), "");
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(MediaProbe, BoxTextNamesTheFileEvenWhenNothingCanBeRead) {
    EXPECT_EQ(mediaInfoBoxText(dir.file("missing.avi")),
              "Media Info for:\r\n\r\nmissing.avi\r\n\r\n");
    EXPECT_EQ(mediaInfoBoxText(""), "Media Info for:\r\n\r\n\r\n\r\n");

    const QString path = dir.file("named.avi");
    ASSERT_TRUE(makeAvClip(path, {"-c:v", "mjpeg"}, {}));
    EXPECT_EQ(mediaInfoBoxText(path), "Media Info for:\r\n\r\nnamed.avi\r\n\r\n" + mediaInfo(path));
}

} // namespace
