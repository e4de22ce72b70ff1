// stillora-batch on stream URLs served from 127.0.0.1: a remote file renders
// its exact frames, a live broadcast its next frames; what a URL cannot do
// is refused with a reason.
#include "BatchClips.h"

#include "support/ClipMaker.h"
#include "support/HttpTestServer.h"
#include "support/TestDirs.h"
#include "support/UdpBroadcast.h"
#include "video/ScriptedMediaSource.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

#include <memory>

using namespace stillora;

namespace {

class StreamBatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        QDir(dir.path()).mkdir("config");
        env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.file("config"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    test::ToolRun run(const QStringList& args) { return test::runTool(args, dir.path(), env); }
    QStringList stills(const QString& folder) const {
        return QDir(dir.file(folder)).entryList(QDir::Files, QDir::Name);
    }
    int64_t numberOf(const QString& folder, const QString& name) const {
        return ScriptedMediaSource::readNumber(QImage(QDir(dir.file(folder)).filePath(name)));
    }

    // Broadcasts a 100-frame numbered clip over UDP on 127.0.0.1 for the
    // rest of the test; `url` receives its address.
    void startBroadcast(QString* url) {
        const QString clip = dir.file("live.ts");
        QString why;
        ASSERT_TRUE(test::makeClip(clip, 100, test::UdpBroadcast::clipEncode(), &why))
            << why.toStdString();
        const int port = test::unusedPort();
        broadcast = std::make_unique<test::UdpBroadcast>(clip, port);
        ASSERT_TRUE(broadcast->started());
        *url = QString("udp://127.0.0.1:%1").arg(port);
    }

    test::ScratchDir dir;
    test::HttpTestServer server;
    QProcessEnvironment env;
    std::unique_ptr<test::UdpBroadcast> broadcast;
};

TEST_F(StreamBatch, ARemoteFileRendersTheExactFramesAsked) {
    const QString clip = dir.file("clip.mp4");
    QString why;
    ASSERT_TRUE(test::makeNumberedClip(clip, 300, QSize(160, 120), &why)) << why.toStdString();
    server.serve("/clip.mp4", clip);
    const QString url = QString::fromStdString(server.url("/clip.mp4"));

    const test::ToolRun done =
        run({"--quiet", "--format", "bmp", "--out", "out", "--frames", "0,10,299", url});
    ASSERT_EQ(done.exitCode, 0) << done.err.toStdString();
    const QStringList files = stills("out");
    ASSERT_EQ(files.size(), 3) << files.join(' ').toStdString();
    std::vector<int64_t> numbers;
    for (const QString& name : files)
        numbers.push_back(numberOf("out", name));
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<int64_t>{0, 10, 299}));

    // No list is looked up beside a URL, not even one the server has.
    server.serve("/clip.sel", clip);
    const test::ToolRun unlisted = run({"--out", "none", url});
    EXPECT_EQ(unlisted.exitCode, 2);
    EXPECT_TRUE(unlisted.err.contains("no selection list is looked up"))
        << unlisted.err.toStdString();
    EXPECT_TRUE(stills("none").isEmpty());

    // A frame past the end, and --grab on a remote file, are refused.
    const test::ToolRun past = run({"--out", "past", "--frames", "300", url});
    EXPECT_EQ(past.exitCode, 2);
    EXPECT_TRUE(past.err.contains("past the end")) << past.err.toStdString();
    const test::ToolRun grab = run({"--out", "grab", "--grab", "3", url});
    EXPECT_EQ(grab.exitCode, 2);
    EXPECT_TRUE(grab.err.contains("is a video of 300 frames")) << grab.err.toStdString();
}

TEST_F(StreamBatch, ALiveBroadcastRendersItsNextFramesInOrder) {
    QString url;
    ASSERT_NO_FATAL_FAILURE(startBroadcast(&url));

    const test::ToolRun grabbed =
        run({"--quiet", "--format", "bmp", "--out", "next", "--grab", "8", url});
    ASSERT_EQ(grabbed.exitCode, 0) << grabbed.err.toStdString();
    const QStringList files = stills("next");
    ASSERT_EQ(files.size(), 8) << files.join(' ').toStdString();
    // Named in the order they arrived: each the frame after the one before
    // (the clip starts again after its last frame).
    int64_t previous = -1;
    for (const QString& name : files) {
        const int64_t n = numberOf("next", name);
        ASSERT_GE(n, 0) << name.toStdString();
        if (previous >= 0) {
            EXPECT_EQ(n, (previous + 1) % 100) << name.toStdString();
        }
        previous = n;
    }

    const test::ToolRun timed =
        run({"--quiet", "--format", "bmp", "--out", "timed", "--grab-seconds", "1.2", url});
    ASSERT_EQ(timed.exitCode, 0) << timed.err.toStdString();
    const qsizetype count = stills("timed").size();
    EXPECT_GE(count, 15) << "about 30 frames arrive in 1.2 s at 25 frames per second";
    EXPECT_LE(count, 40);

    const test::ToolRun unasked = run({"--out", "unasked", url});
    EXPECT_EQ(unasked.exitCode, 2);
    EXPECT_TRUE(unasked.err.contains("is a live stream: give --grab")) << unasked.err.toStdString();
}

TEST_F(StreamBatch, ADryRunOfALiveStreamNamesTheStillsAndGrabsNothing) {
    QString url;
    ASSERT_NO_FATAL_FAILURE(startBroadcast(&url));

    const test::ToolRun counted =
        run({"--dry-run", "--format", "bmp", "--out", "out", "--grab", "5", url});
    ASSERT_EQ(counted.exitCode, 0) << counted.err.toStdString();
    const QStringList names = counted.outLines();
    ASSERT_EQ(names.size(), 5) << counted.out.toStdString();
    for (const QString& name : names) {
        EXPECT_TRUE(name.startsWith(dir.file("out") + "/")) << name.toStdString();
        EXPECT_TRUE(name.endsWith(".bmp")) << name.toStdString();
    }
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), 5) << "five different names";
    EXPECT_TRUE(counted.err.contains("a run would render the next 5 frame(s)"))
        << counted.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.file("out"))) << "a dry run writes nothing";

    // A grab by time would take its 30 s; the dry run says so and ends.
    QElapsedTimer took;
    took.start();
    const test::ToolRun timed = run({"--dry-run", "--out", "timed", "--grab-seconds", "30", url});
    EXPECT_LT(took.elapsed(), 25000) << "the dry run grabbed for its 30 s";
    ASSERT_EQ(timed.exitCode, 0) << timed.err.toStdString();
    EXPECT_TRUE(timed.outLines().isEmpty()) << timed.out.toStdString();
    EXPECT_TRUE(timed.err.contains("the frames it sends in 30 s")) << timed.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.file("timed")));
}

TEST_F(StreamBatch, LocalAndFailingUrlsAreReportedWithTheirReason) {
    const QString clip = dir.file("clip.mp4");
    ASSERT_TRUE(test::makeNumberedClip(clip, 10, QSize(160, 120)));
    const std::pair<QString, QString> failures[] = {
        {"file://" + clip, "Local files are opened as off-line video files"},
        {QString::fromStdString(server.url("/missing.mp4")), "HTTP 404"},
        {QString("http://127.0.0.1:%1/clip.mp4").arg(test::unusedPort()), "refused the connection"},
    };
    for (const auto& [url, reason] : failures) {
        const test::ToolRun failed = run({"--out", "out", "--frames", "0", url});
        EXPECT_EQ(failed.exitCode, 2) << url.toStdString();
        EXPECT_TRUE(failed.err.contains(reason.toUtf8())) << failed.err.toStdString();
    }
    EXPECT_TRUE(stills("out").isEmpty());
}

} // namespace
