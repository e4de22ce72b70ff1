// Exact frames, frame counts, colours and bad input for the FFmpeg media source.
#include "support/ClipMaker.h"
#include "Clips.h"

#include "video/CaptureDevices.h"
#include "video/FfmpegMediaSource.h"
#include "video/ScriptedMediaSource.h"

#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <random>

extern "C" {
#include <libavutil/log.h>
}

namespace stillora {
namespace {

using test::clipPath;

struct QuietLibraries : ::testing::Environment {
    void SetUp() override { av_log_set_level(AV_LOG_QUIET); }
};
const auto* const quiet = ::testing::AddGlobalTestEnvironment(new QuietLibraries);

int64_t grabbedNumber(MediaSource& source) {
    QImage image;
    if (!source.grab(image)) return -2;
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    return ScriptedMediaSource::readNumber(image);
}

class ExactFrames : public ::testing::TestWithParam<test::ClipKind> {};

TEST_P(ExactFrames, EverySoughtFrameIsTheOneASequentialDecodeYields) {
    const test::ClipKind& kind = GetParam();
    QString why;
    const QString path = clipPath(kind.name, &why);
    ASSERT_FALSE(path.isEmpty()) << why.toStdString();

    FfmpegMediaSource source;
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
    ASSERT_EQ(source.frameCount(), kind.frames);
    EXPECT_EQ(source.frameSize(), QSize(160, 120));
    EXPECT_EQ(source.currentFrame(), 0);
    EXPECT_EQ(grabbedNumber(source), 0) << "the first frame shows right after the open";

    // Random order, the ends included, every frame once at most.
    std::vector<int64_t> order(kind.frames);
    for (int i = 0; i < kind.frames; ++i)
        order[i] = i;
    std::mt19937 random(20240601);
    std::shuffle(order.begin(), order.end(), random);
    order.resize(60);
    order.insert(order.begin() + 10, kind.frames - 1);
    order.insert(order.begin() + 20, 0);
    for (int64_t frame : order) {
        ASSERT_TRUE(source.seek(frame, &error)) << "frame " << frame << ": " << error;
        EXPECT_EQ(source.currentFrame(), frame);
        EXPECT_EQ(grabbedNumber(source), frame);
    }

    // Then straight through a stretch, as a render run steps.
    for (int64_t frame = kind.frames / 2; frame < kind.frames / 2 + 30; ++frame) {
        ASSERT_TRUE(source.seek(frame, &error)) << error;
        EXPECT_EQ(grabbedNumber(source), frame);
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, ExactFrames, ::testing::ValuesIn(test::clipKinds()),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(FfmpegSeeking, NearbyFramesAheadDecodeForwardWithoutSeeking) {
    const QString path = clipPath("h264-bframes.mp4");
    ASSERT_FALSE(path.isEmpty());
    FfmpegMediaSource source;
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;

    ASSERT_TRUE(source.seek(70, &error));
    const int64_t seeks = source.demuxerSeeks();
    for (int64_t frame : {71, 72, 75, 80}) {
        ASSERT_TRUE(source.seek(frame, &error));
        EXPECT_EQ(grabbedNumber(source), frame);
    }
    EXPECT_EQ(source.demuxerSeeks(), seeks) << "steps forward must not seek";

    // Back, or far beyond the next key frame: those seek.
    ASSERT_TRUE(source.seek(65, &error));
    EXPECT_GT(source.demuxerSeeks(), seeks);
    const int64_t afterBack = source.demuxerSeeks();
    ASSERT_TRUE(source.seek(230, &error));
    EXPECT_GT(source.demuxerSeeks(), afterBack);
    EXPECT_EQ(grabbedNumber(source), 230);
}

TEST(FfmpegSeeking, FramesNothingRefersToAreLeftOutOnTheWayToTheSoughtOne) {
    const QString path = clipPath("h264-bframes.mp4");
    ASSERT_FALSE(path.isEmpty());
    FfmpegMediaSource source;
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;

    // Frame 59 lies just before the key frame at 60: a decode from frame 0
    // passes 58 frames nobody shows, and x264's B-frames that are no
    // reference need not be decoded.
    int64_t decoded = source.decodedFrames();
    ASSERT_TRUE(source.seek(59, &error)) << error;
    EXPECT_EQ(grabbedNumber(source), 59);
    EXPECT_LT(source.decodedFrames() - decoded, 50) << "every frame before 59 was decoded";

    // The frames right after the sought one are all decoded and exact, and
    // so is a far one reached by a seek, and the first frame again.
    for (int64_t frame = 60; frame < 70; ++frame) {
        ASSERT_TRUE(source.seek(frame, &error)) << error;
        EXPECT_EQ(grabbedNumber(source), frame);
    }
    decoded = source.decodedFrames();
    ASSERT_TRUE(source.seek(179, &error)) << error;
    EXPECT_EQ(grabbedNumber(source), 179);
    EXPECT_LT(source.decodedFrames() - decoded, 50);
    for (int64_t frame : {0, 1, 178, 2}) {
        ASSERT_TRUE(source.seek(frame, &error)) << error;
        EXPECT_EQ(grabbedNumber(source), frame);
    }
}

TEST(FfmpegSeeking, FramesOutsideTheVideoAreRefusedAndThePositionKept) {
    const QString path = clipPath("mjpeg.avi");
    ASSERT_FALSE(path.isEmpty());
    FfmpegMediaSource source;
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
    ASSERT_TRUE(source.seek(12, &error));
    for (int64_t frame : {int64_t(-1), int64_t(80), int64_t(1) << 40}) {
        error.clear();
        EXPECT_FALSE(source.seek(frame, &error)) << frame;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(source.currentFrame(), 12);
    EXPECT_EQ(grabbedNumber(source), 12);
}

// A flat colour survives the trip through YUV only when the decoder side uses
// the matrix and range the encoder used.
QColor decodedColour(const QString& name, const QStringList& encode) {
    const QString path = test::scratchFile(name);
    const auto flat = [](int, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(40, 200, 120));
        return image;
    };
    QString why;
    if (!test::makeClip(path, 5, encode, &why, QSize(160, 120), flat)) {
        ADD_FAILURE() << why.toStdString();
        return {};
    }
    FfmpegMediaSource source;
    std::string error;
    QImage image;
    if (!source.open(SourceKind::File, path.toStdString(), &error) || !source.grab(image)) {
        ADD_FAILURE() << error;
        return {};
    }
    return image.pixelColor(80, 60);
}

void expectNear(const QColor& got, const QColor& want, int tolerance) {
    EXPECT_NEAR(got.red(), want.red(), tolerance);
    EXPECT_NEAR(got.green(), want.green(), tolerance);
    EXPECT_NEAR(got.blue(), want.blue(), tolerance);
}

TEST(FfmpegColours, TaggedMatricesAndFullRangeAreHonoured) {
    const QColor want(40, 200, 120);
    // Untagged standard definition: BT.601, limited range (what the encoder assumes too).
    expectNear(decodedColour("untagged.mp4", {"-c:v", "libx264", "-pix_fmt", "yuv420p"}), want, 6);
    // Tagged BT.709.
    expectNear(
        decodedColour("bt709.mp4", {"-vf", "scale=out_color_matrix=bt709:out_range=tv", "-c:v",
                                    "libx264", "-pix_fmt", "yuv420p", "-colorspace", "bt709",
                                    "-color_primaries", "bt709", "-color_trc", "bt709"}),
        want, 6);
    // Full range (JPEG).
    expectNear(decodedColour("full.avi", {"-c:v", "mjpeg", "-q:v", "2"}), want, 6);
}

// ---------------------------------------------------------------- bad input

void expectUsableAfterwards(FfmpegMediaSource& source) {
    std::string error;
    ASSERT_TRUE(source.open(SourceKind::File, clipPath("mjpeg.avi").toStdString(), &error))
        << error;
    EXPECT_EQ(source.frameCount(), 80);
    ASSERT_TRUE(source.seek(41, &error)) << error;
    EXPECT_EQ(grabbedNumber(source), 41);
}

void expectOpenFails(FfmpegMediaSource& source, SourceKind kind, const std::string& name) {
    std::string error;
    EXPECT_FALSE(source.open(kind, name, &error)) << name;
    EXPECT_FALSE(error.empty()) << name;
    EXPECT_FALSE(source.isOpen());
    EXPECT_EQ(source.state(), MediaState::None);
    EXPECT_EQ(source.frameCount(), 0);
    QImage image;
    EXPECT_FALSE(source.grab(image));
    EXPECT_TRUE(image.isNull());
    EXPECT_FALSE(source.seek(0, &error));
    EXPECT_FALSE(source.run(&error));
}

TEST(FfmpegBadInput, UnreadableSourcesFailWithAReasonAndLeaveTheObjectUsable) {
    ASSERT_FALSE(clipPath("mjpeg.avi").isEmpty());
    QFile empty(test::scratchFile("empty.mp4"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    QFile text(test::scratchFile("notes.avi"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    for (int i = 0; i < 200; ++i)
        text.write("This is a plain text file, not a video at all.\n");
    text.close();
    const QString audio = test::scratchFile("tone.m4a");
    ASSERT_TRUE(test::runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=1", audio}));

    FfmpegMediaSource source;
    expectUsableAfterwards(source);
    const std::pair<SourceKind, std::string> bad[] = {
        {SourceKind::File, test::scratchFile("missing.mp4").toStdString()},
        {SourceKind::File, ""},
        {SourceKind::File, empty.fileName().toStdString()},
        {SourceKind::File, text.fileName().toStdString()},
        {SourceKind::File, audio.toStdString()},
        {SourceKind::Stream, "file:" + test::scratchFile("missing.ts").toStdString()},
        {SourceKind::Live, "No Such Camera"},
        {SourceKind::Dvd, test::scratchFile("VIDEO_TS.IFO").toStdString()},
    };
    for (const auto& [kind, name] : bad) {
        expectOpenFails(source, kind, name);
        expectUsableAfterwards(source);
    }
}

TEST(FfmpegBadInput, ATruncatedFileGivesTheFramesASequentialDecodeGives) {
    // Cut at 60 %: the MKV loses its cues, the AVI its index.
    for (const char* name : {"h264-open-gop.mkv", "h264-bframes.avi"}) {
        QFile whole(clipPath(name));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        const QByteArray data = whole.readAll();
        QFile cut(test::scratchFile(QString("cut-") + name));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(data.left(data.size() * 6 / 10));
        cut.close();

        FfmpegMediaSource source;
        std::string error;
        ASSERT_TRUE(source.open(SourceKind::File, cut.fileName().toStdString(), &error)) << error;
        const int64_t count = source.frameCount();
        EXPECT_GT(count, 50) << name;
        EXPECT_LT(count, 200) << name;

        // The reference: stepping forward from frame 0 is a sequential decode.
        // The damaged tail may show other pictures than the numbers say.
        std::vector<int64_t> reference;
        for (int64_t frame = 0; frame < source.frameCount(); ++frame) {
            if (!source.seek(frame, &error)) break;
            reference.push_back(grabbedNumber(source));
        }
        ASSERT_GT(reference.size(), 50u) << name;
        for (size_t frame = 0; frame + 5 < reference.size(); ++frame)
            EXPECT_EQ(reference[frame], int64_t(frame)) << name;

        std::mt19937 random(7);
        for (int i = 0; i < 40; ++i) {
            const int64_t frame = random() % reference.size();
            ASSERT_TRUE(source.seek(frame, &error)) << name << " frame " << frame << ": " << error;
            EXPECT_EQ(grabbedNumber(source), reference[frame]) << name << " frame " << frame;
        }
        EXPECT_LE(source.frameCount(), count) << "the count never grows";
    }
}

TEST(CaptureDevices, OnlyNodesThatCaptureAndStreamVideoAreListed) {
    const uint32_t capture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    const uint32_t metadata = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    // A camera's two nodes share the driver's capabilities; the node's own say which is which.
    const uint32_t both = capture | metadata | V4L2_CAP_DEVICE_CAPS;
    EXPECT_TRUE(isVideoCaptureNode(both, capture));
    EXPECT_FALSE(isVideoCaptureNode(both, metadata));
    EXPECT_TRUE(isVideoCaptureNode(capture, 0)) << "old drivers report no device capabilities";
    EXPECT_FALSE(isVideoCaptureNode(V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE, 0));
    EXPECT_FALSE(isVideoCaptureNode(V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING, 0));
}

} // namespace
} // namespace stillora
