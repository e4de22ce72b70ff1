// Stream URLs through the FFmpeg media source: remote files give the same
// frames as the file itself, broadcasts are live, local and compound inputs
// are refused, and servers that fail end the open in time with a reason.
#include "Clips.h"
#include "support/ClipMaker.h"
#include "support/HttpTestServer.h"
#include "support/LiveServer.h"
#include "support/UdpBroadcast.h"

#include "video/FfmpegMediaSource.h"
#include "video/ScriptedMediaSource.h"
#include "video/StreamUrl.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <random>

extern "C" {
#include <libavutil/log.h>
}

namespace stillora {
namespace {

using Clock = std::chrono::steady_clock;
using test::HttpTestServer;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QImage frameOf(MediaSource& source, int64_t frame) {
    std::string error;
    if (!source.seek(frame, &error)) {
        ADD_FAILURE() << "frame " << frame << ": " << error;
        return {};
    }
    QImage image;
    source.grab(image);
    return image.copy();
}

class StreamSource : public ::testing::Test {
protected:
    void SetUp() override {
        av_log_set_level(AV_LOG_QUIET);
        ASSERT_TRUE(server.start());
    }
    HttpTestServer server;
};

TEST_F(StreamSource, ARemoteFileGivesTheFramesOfTheFileByNumber) {
    for (const char* name : {"h264-bframes.mp4", "h264-open-gop.mkv", "mpeg2-bframes.ts"}) {
        SCOPED_TRACE(name);
        QString why;
        const QString path = test::clipPath(name, &why);
        ASSERT_FALSE(path.isEmpty()) << why.toStdString();
        server.serve(std::string("/") + name, path);

        FfmpegMediaSource file, remote;
        std::string error;
        ASSERT_TRUE(file.open(SourceKind::File, path.toStdString(), &error)) << error;
        ASSERT_TRUE(remote.open(SourceKind::Stream, server.url(std::string("/") + name), &error))
            << error;
        EXPECT_FALSE(remote.isLive());
        EXPECT_EQ(remote.kind(), SourceKind::Stream);
        ASSERT_EQ(remote.frameCount(), file.frameCount());
        const int64_t last = file.frameCount() - 1;

        std::vector<int64_t> frames = {0, 1, last};
        std::mt19937 random(16);
        std::uniform_int_distribution<int64_t> any(0, last);
        for (int i = 0; i < 25; ++i)
            frames.push_back(any(random));
        for (int64_t frame : frames) {
            const QImage expected = frameOf(file, frame);
            const QImage got = frameOf(remote, frame);
            ASSERT_FALSE(got.isNull()) << "frame " << frame;
            EXPECT_EQ(ScriptedMediaSource::readNumber(got), frame);
            EXPECT_TRUE(got == expected) << "frame " << frame << " differs from the file's";
        }
    }
    EXPECT_GT(server.rangeRequests(), 0) << "seeks went through range requests";
}

TEST_F(StreamSource, ARemoteFilePlaysOnAfterAPauseAndSeeksAgain) {
    const QString path = test::clipPath("h264-bframes.mp4");
    server.serve("/clip.mp4", path);
    FfmpegMediaSource remote;
    std::string error;
    ASSERT_TRUE(remote.open(SourceKind::Stream, server.url("/clip.mp4"), &error)) << error;
    std::vector<int64_t> delivered;
    std::mutex lock;
    remote.setFrameCallback([&](const QImage& frame, int64_t number) {
        std::lock_guard<std::mutex> hold(lock);
        EXPECT_EQ(ScriptedMediaSource::readNumber(frame), number);
        delivered.push_back(number);
    });
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(remote.run(&error)) << error;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        ASSERT_TRUE(remote.pause(&error));
    }
    remote.setFrameCallback({});
    ASSERT_GE(delivered.size(), 10u);
    for (size_t i = 1; i < delivered.size(); ++i)
        EXPECT_EQ(delivered[i], delivered[i - 1] + 1) << "playback resumes where it paused";
    EXPECT_EQ(remote.currentFrame(), delivered.back());
    EXPECT_EQ(ScriptedMediaSource::readNumber(frameOf(remote, 200)), 200);
    EXPECT_EQ(ScriptedMediaSource::readNumber(frameOf(remote, 3)), 3);
}

TEST_F(StreamSource, AServerWithoutRangesIsALiveStream) {
    const QString path = test::clipPath("mpeg2-bframes.ts");
    server.serve("/live.ts", path, HttpTestServer::Behaviour::NoRanges);
    FfmpegMediaSource live;
    std::string error;
    ASSERT_TRUE(live.open(SourceKind::Stream, server.url("/live.ts"), &error)) << error;
    EXPECT_TRUE(live.isLive());
    EXPECT_EQ(live.frameCount(), 0);
    EXPECT_FALSE(live.seek(0, &error));

    std::vector<int64_t> numbers;
    std::mutex lock;
    live.setFrameCallback([&](const QImage& frame, int64_t number) {
        std::lock_guard<std::mutex> hold(lock);
        EXPECT_EQ(frame.format(), QImage::Format_RGB32);
        numbers.push_back(number);
    });
    ASSERT_TRUE(live.run(&error)) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    live.close();
    ASSERT_GE(numbers.size(), 5u) << "frames arrive while it plays";
    for (size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], static_cast<int64_t>(i)) << "live frames count as they come";
}

TEST(StreamUrls, LocalAndCompoundInputsAreRefusedBeforeAnythingIsRead) {
    QString why;
    const QString clip = test::clipPath("h264-bframes.mp4", &why);
    ASSERT_FALSE(clip.isEmpty()) << why.toStdString();
    const std::string local = clip.toStdString();
    const std::string refused[] = {
        "file://" + local,
        "file:" + local,
        local,
        "concat:" + local + "|" + local,
        "subfile,,start,0,end,0,,:" + local,
        "pipe:0",
        "data:video/mp4;base64,AAAA",
        "async:file:" + local,
        "cache:file:" + local,
        "http:" + local,
        "",
    };
    FfmpegMediaSource source;
    for (const std::string& url : refused) {
        SCOPED_TRACE(url);
        std::string error;
        EXPECT_FALSE(source.open(SourceKind::Stream, url, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(source.isOpen());
    }
    for (const char* url : {"http://example.org/a.mp4", "HTTPS://example.org/a", "rtsp://cam/1",
                            "rtmp://host/app/key", "srt://127.0.0.1:9000", "udp://@:1234",
                            "rtp://127.0.0.1:5004", "tcp://127.0.0.1:1", "hls+http://h/a.m3u8"})
        EXPECT_TRUE(isStreamUrl(url)) << url;
    EXPECT_TRUE(looksLikeUrl("http://127.0.0.1:8000/clip.mp4"));
    EXPECT_FALSE(looksLikeUrl("clip.mp4"));
    EXPECT_FALSE(looksLikeUrl("/videos/a:b.mp4"));
}

TEST_F(StreamSource, APlaylistOnTheNetworkCannotMakeTheProgramReadLocalFiles) {
    // A playlist served over HTTP whose segment is a local file: the
    // segment must not be read, so the stream has no video to give.
    QString why;
    const QString dir = QFileInfo(test::clipPath("mpeg2-bframes.ts", &why)).absolutePath();
    const QString segment = dir + "/mpeg2-bframes.ts";
    const QString playlist = dir + "/local.m3u8";
    QFile list(playlist);
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(
        ("#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXT-X-PLAYLIST-TYPE:VOD\n#EXTINF:6.0,\nfile://" +
         segment + "\n#EXT-X-ENDLIST\n")
            .toUtf8());
    list.close();
    server.serve("/local.m3u8", playlist);
    FfmpegMediaSource source;
    std::string error;
    EXPECT_FALSE(source.open(SourceKind::Stream, server.url("/local.m3u8"), &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(StreamSource, AnHlsPlaylistThatEndsIsARemoteFile) {
    QString why;
    const QString clip = test::clipPath("h264-bframes.mp4", &why);
    ASSERT_FALSE(clip.isEmpty()) << why.toStdString();
    const QString dir = test::scratchFile("hls");
    QDir().mkpath(dir);
    ASSERT_TRUE(test::runFfmpeg({"-i", clip, "-c", "copy", "-f", "hls", "-hls_time", "2",
                                 "-hls_playlist_type", "vod", "-hls_segment_filename",
                                 dir + "/seg%d.ts", dir + "/vod.m3u8"},
                                &why))
        << why.toStdString();
    server.serve("/vod.m3u8", dir + "/vod.m3u8");
    for (int i = 0; QFile::exists(dir + QString("/seg%1.ts").arg(i)); ++i)
        server.serve(QString("/seg%1.ts").arg(i).toStdString(), dir + QString("/seg%1.ts").arg(i));

    FfmpegMediaSource file, remote;
    std::string error;
    ASSERT_TRUE(file.open(SourceKind::File, clip.toStdString(), &error)) << error;
    ASSERT_TRUE(remote.open(SourceKind::Stream, server.url("/vod.m3u8"), &error)) << error;
    EXPECT_FALSE(remote.isLive());
    ASSERT_EQ(remote.frameCount(), file.frameCount());
    for (int64_t frame : {int64_t(0), int64_t(1), file.frameCount() - 1, int64_t(130), int64_t(61)})
        EXPECT_TRUE(frameOf(remote, frame) == frameOf(file, frame)) << "frame " << frame;
}

struct Failure {
    const char* what;
    std::string url;
    const char* reason; // a part of the reason the user reads
};

TEST_F(StreamSource, ServersThatFailEndTheOpenInTimeWithTheirReason) {
    const QString clip = test::clipPath("h264-bframes.mp4");
    server.serve("/silent.mp4", clip, HttpTestServer::Behaviour::NeverAnswer);
    // A transport stream needs nothing from its end: the stall comes while
    // the frames are read.
    const QString ts = test::clipPath("mpeg2-bframes.ts");
    server.serve("/stalls.ts", ts, HttpTestServer::Behaviour::StallAfter, QFileInfo(ts).size() / 2);
    // A remote file whose header comes first and whole: the stall comes in
    // the index pass.
    const QString indexed = test::scratchFile("stalls.mp4");
    QString why;
    ASSERT_TRUE(test::makeClip(indexed, 400,
                               {"-c:v", "libx264", "-preset", "veryfast", "-g", "25", "-movflags",
                                "+faststart"},
                               &why))
        << why.toStdString();
    server.serve("/stalls.mp4", indexed, HttpTestServer::Behaviour::StallAfter,
                 QFileInfo(indexed).size() * 3 / 5);
    const Failure failures[] = {
        {"refused", "http://127.0.0.1:" + std::to_string(test::unusedPort()) + "/clip.mp4",
         "refused the connection"},
        {"missing", server.url("/missing.mp4"), "404"},
        {"silent", server.url("/silent.mp4"), "did not answer in time"},
        {"stalls", server.url("/stalls.ts"), "stopped sending in the middle"},
        {"stalls while indexed", server.url("/stalls.mp4"), "stopped sending in the middle"},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        FfmpegMediaSource source;
        // The caller's thread hears from the open every 50 ms or so, however
        // long the server keeps it waiting.
        double longestGap = 0;
        auto last = Clock::now();
        bool connecting = false;
        source.setOpenProgress([&](int percent) {
            longestGap = std::max(longestGap, secondsSince(last));
            last = Clock::now();
            connecting = connecting || percent == MediaSource::kConnecting;
            return true;
        });
        const auto start = Clock::now();
        std::string error;
        EXPECT_FALSE(source.open(SourceKind::Stream, failure.url, &error));
        const double took = secondsSince(start);
        std::cout << "[ measured ] " << failure.what << ": failed after " << took << " s\n";
        EXPECT_LT(took, 12.5) << "one deadline for the whole open";
        EXPECT_NE(error.find(failure.reason), std::string::npos) << error;
        if (took > 1.0) {
            EXPECT_LT(longestGap, 0.5) << "the caller was held up";
            EXPECT_TRUE(longestGap > 0) << "no progress while waiting";
        }
        if (std::string(failure.what) == "silent") {
            EXPECT_TRUE(connecting);
        }
        EXPECT_FALSE(source.isOpen());
    }
}

TEST_F(StreamSource, CancellingAnOpenThatWaitsForItsServerEndsItAtOnce) {
    server.serve("/silent.mp4", test::clipPath("h264-bframes.mp4"),
                 HttpTestServer::Behaviour::NeverAnswer);
    FfmpegMediaSource source;
    const auto start = Clock::now();
    source.setOpenProgress([&](int) { return secondsSince(start) < 0.3; });
    std::string error;
    EXPECT_FALSE(source.open(SourceKind::Stream, server.url("/silent.mp4"), &error));
    EXPECT_LT(secondsSince(start), 1.5);
    EXPECT_EQ(error, "Opening was cancelled.");
    // And the source opens the next file and URL as usual.
    source.setOpenProgress(nullptr);
    EXPECT_TRUE(source.open(SourceKind::File, test::clipPath("h264-bframes.mp4").toStdString(),
                            &error))
        << error;
    server.serve("/clip.mp4", test::clipPath("h264-bframes.mp4"));
    EXPECT_TRUE(source.open(SourceKind::Stream, server.url("/clip.mp4"), &error)) << error;
    EXPECT_EQ(ScriptedMediaSource::readNumber(frameOf(source, 100)), 100);
}

// Opens the live stream `protocol` serves and plays it for a while: it is
// live, and its frames come in order, more of them than the capture ring holds.
void receiveLiveStream(test::LiveServer::Protocol protocol) {
    av_log_set_level(AV_LOG_QUIET);
    const QString missing = test::LiveServer::unavailable(protocol);
    if (!missing.isEmpty()) GTEST_SKIP() << "skipped: " << missing.toStdString();
    constexpr int kClipFrames = 100;
    const QString clip = test::scratchFile(protocol == test::LiveServer::Protocol::Rtmp
                                               ? "live-rtmp.ts"
                                               : "live-srt.ts");
    QString why;
    ASSERT_TRUE(test::makeClip(clip, kClipFrames, test::UdpBroadcast::clipEncode(), &why))
        << why.toStdString();
    test::LiveServer server(protocol, clip, test::unusedPort());
    ASSERT_TRUE(server.started()) << server.said().toStdString();

    FfmpegMediaSource live;
    std::string error;
    ASSERT_TRUE(live.open(SourceKind::Stream, server.url().toStdString(), &error)) << error;
    EXPECT_TRUE(live.isLive());
    EXPECT_EQ(live.frameCount(), 0);
    EXPECT_FALSE(live.seek(0, &error));

    std::mutex lock;
    std::condition_variable arrived;
    std::vector<int64_t> shown, numbers;
    live.setFrameCallback([&](const QImage& frame, int64_t number) {
        std::lock_guard<std::mutex> hold(lock);
        shown.push_back(ScriptedMediaSource::readNumber(frame));
        numbers.push_back(number);
        arrived.notify_all();
    });
    ASSERT_TRUE(live.run(&error)) << error;
    constexpr size_t kWanted = 40; // more than the 25 slots of the ring
    {
        std::unique_lock<std::mutex> hold(lock);
        arrived.wait_for(hold, std::chrono::seconds(15), [&] { return shown.size() >= kWanted; });
    }
    live.close();
    std::lock_guard<std::mutex> hold(lock);
    ASSERT_GE(shown.size(), kWanted) << "frames arrive while it plays";
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1) << "live frames count as they come";
        ASSERT_GE(shown[i], 0) << "frame " << i << " is a picture of the clip";
        EXPECT_EQ(shown[i], (shown[i - 1] + 1) % kClipFrames) << "no frame lost or repeated";
    }
}

TEST(LiveStreams, AnRtmpStreamIsLiveAndDeliversEveryFrame) {
    receiveLiveStream(test::LiveServer::Protocol::Rtmp);
}

TEST(LiveStreams, AnSrtStreamIsLiveAndDeliversEveryFrame) {
    receiveLiveStream(test::LiveServer::Protocol::Srt);
}

} // namespace
} // namespace stillora
