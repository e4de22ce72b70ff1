// Stream URLs in the main window, read by the real media layer from servers
// the tests run on 127.0.0.1: a remote file behaves as a file does, a live
// broadcast fills the capture ring and renders from it, and servers that
// fail leave the window responsive with a reason in the status line.

#include "app/MainWindow.h"
#include "selection/Selection.h"
#include "selection/SelectionTree.h"
#include "support/ClipMaker.h"
#include "support/HttpTestServer.h"
#include "support/ScriptedDialogsScope.h"
#include "support/TestDirs.h"
#include "support/UdpBroadcast.h"
#include "video/FfmpegMediaSource.h"
#include "video/ScriptedMediaSource.h"
#include "views/pages/ConfigPage.h"
#include "views/pages/FinalizePage.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <optional>

extern "C" {
#include <libavutil/log.h>
}

using namespace stillora;

namespace {

const QStringList kClipEncode{"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt",  "yuv420p",
                              "-bf",  "2",       "-g",      "50",       "-movflags", "+faststart"};

class StreamWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        av_log_set_level(AV_LOG_QUIET);
        window = std::make_unique<TfrmMain>(std::make_unique<FfmpegMediaSource>());
        window->show();
        ASSERT_TRUE(server.start());
        QObject::connect(window.get(), &TfrmMain::sourceOpened,
                         [this] { openedStatus = window->lblState->text(); });
    }
    void TearDown() override {
        window.reset();
        server.stop();
    }
    QString clip(int frames) {
        const QString path = dir.file(QString("clip%1.mp4").arg(frames));
        if (!QFile::exists(path)) {
            QString why;
            EXPECT_TRUE(test::makeClip(path, frames, kClipEncode, &why)) << why.toStdString();
        }
        return path;
    }
    // Enters Seek on `url` and measures, meanwhile, how long the window's
    // event loop went without running a 10 ms timer.
    void openUrl(const QString& url) {
        QElapsedTimer sinceTick;
        longestStall = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestStall = std::max<qint64>(longestStall, sinceTick.restart());
        });
        window->SetActivePage(TfrmMain::kwSelectSource);
        window->btnURL->click();
        window->edtURL->setText(url);
        sinceTick.start();
        ticker.start(10);
        QElapsedTimer took;
        took.start();
        window->SetActivePage(TfrmMain::kwSelect);
        openSeconds = took.elapsed() / 1000.0;
        longestStall = std::max<qint64>(longestStall, sinceTick.elapsed());
    }
    QString status() const { return window->lblState->text(); }
    QModelIndex root(int row) const { return window->Tree().index(row, 0); }
    QString renderBmps(const QString& folder) {
        window->SetActivePage(TfrmMain::kwExport);
        window->ConfigPage->edtRootName->setText("shot");
        window->ConfigPage->rgExportType->setItemIndex(1); // BMP: exact pixels
        window->SetActivePage(TfrmMain::kwFinish);
        EXPECT_TRUE(QDir().mkpath(folder));
        window->FinalizePage->jvExportFolder->setText(folder);
        window->FinalizePage->btnRender->click();
        return folder;
    }

    test::ScratchDir dir;
    test::ScriptedDialogsScope scripted_;
    test::HttpTestServer server;
    std::unique_ptr<TfrmMain> window;
    QString openedStatus;
    qint64 longestStall = 0;
    double openSeconds = 0;
};

TEST_F(StreamWindowTest, ARemoteFileHasASliderExactFramesAndRenders) {
    server.serve("/clip.mp4", clip(300));
    openUrl(QString::fromStdString(server.url("/clip.mp4")));
    ASSERT_TRUE(window->SourceOpened) << status().toStdString();
    EXPECT_EQ(openedStatus, "Media opened. Remote file of 300 frames.");
    EXPECT_FALSE(window->LiveSource());
    EXPECT_EQ(window->TrackBar->maximum(), 299);
    EXPECT_TRUE(window->TrackBar->isEnabled());

    // The slider follows playback.
    QTest::qWait(400);
    const int early = window->TrackBar->value();
    QTest::qWait(400);
    const int later = window->TrackBar->value();
    EXPECT_GT(early, 0);
    EXPECT_GT(later, early);

    // A frame added after pausing is the frame shown, and it renders as such.
    window->actPause->trigger();
    window->cbSeekDelay->setChecked(false);
    window->TrackBar->setValue(212);
    window->actGetCurrentFrame->trigger();
    QImage shown;
    window->GrabFrame(shown);
    EXPECT_EQ(ScriptedMediaSource::readNumber(shown), 212);
    ASSERT_EQ(window->Tree().rowCount(), 1);
    EXPECT_EQ(root(0).data().toString(), "Frame_00212");
    const QDir out(renderBmps(dir.file("remote")));
    const QStringList files = out.entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1) << status().toStdString();
    EXPECT_EQ(ScriptedMediaSource::readNumber(QImage(out.filePath(files[0]))), 212);
}

TEST_F(StreamWindowTest, ALiveBroadcastFillsTheRingAndAStillFromItRenders) {
    const QString source = dir.file("live.ts");
    QString why;
    ASSERT_TRUE(test::makeClip(source, 250, test::UdpBroadcast::clipEncode(), &why))
        << why.toStdString();
    const int port = test::unusedPort();
    test::UdpBroadcast broadcast(source, port);
    ASSERT_TRUE(broadcast.started());
    openUrl(QString("udp://127.0.0.1:%1").arg(port));
    ASSERT_TRUE(window->SourceOpened) << status().toStdString();
    EXPECT_EQ(openedStatus, "Media opened. Live stream: frames are kept as they arrive.");
    EXPECT_TRUE(window->LiveSource());
    EXPECT_FALSE(window->TrackBar->isEnabled()) << "a live stream has no position";
    EXPECT_EQ(window->FrameCount(), 0);

    // Well over 25 frames at 25 frames per second: every slot holds a frame.
    QTest::qWait(1600);
    window->actPause->trigger();
    TSelection& ring = window->CaptureStack();
    QImage newest;
    {
        std::lock_guard<std::mutex> lock(ring.SlotLock);
        ASSERT_EQ(ring.IconsCount(), 25);
        for (const TMemBitmap& slot : ring.MemSlots)
            EXPECT_GE(ScriptedMediaSource::readNumber(slot.Picture), 0) << "a slot without a frame";
        const int slot = ring.Index == 0 ? ring.IconsCount() - 1 : ring.Index - 1;
        newest = ring.MemSlots[static_cast<size_t>(slot)].Picture.copy();
    }
    ASSERT_GE(ScriptedMediaSource::readNumber(newest), 0);

    window->actGetCurrentFrame->trigger();
    ASSERT_EQ(window->Tree().rowCount(), 1);
    EXPECT_TRUE(root(0).data().toString().startsWith("Frame_"));
    const QDir out(renderBmps(dir.file("live")));
    const QStringList files = out.entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1) << status().toStdString();
    const QImage rendered(out.filePath(files[0]));
    EXPECT_EQ(rendered.convertToFormat(QImage::Format_RGB32),
              newest.convertToFormat(QImage::Format_RGB32))
        << "the still is the picture that was newest in the ring";
}

TEST_F(StreamWindowTest, LocalFilesAndCompoundInputsAreRefusedAsStreams) {
    const QString local = clip(30);
    for (const QString& url : {"file://" + local, "concat:" + local + "|" + local, local}) {
        SCOPED_TRACE(url.toStdString());
        openUrl(url);
        EXPECT_FALSE(window->SourceOpened);
        EXPECT_TRUE(status().startsWith("Cannot open: " + url + " \u2013 "))
            << status().toStdString();
        window->SetActivePage(TfrmMain::kwSelectSource);
    }
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(StreamWindowTest, FailingServersEndTheOpenInTimeWhileTheWindowKeepsRunning) {
    server.serve("/silent.mp4", clip(30), test::HttpTestServer::Behaviour::NeverAnswer);
    const std::pair<QString, QString> failures[] = {
        {QString("http://127.0.0.1:%1/clip.mp4").arg(test::unusedPort()),
         "The server refused the connection."},
        {QString::fromStdString(server.url("/missing.mp4")),
         "The server has no such file (HTTP 404)."},
        {QString::fromStdString(server.url("/silent.mp4")), "The server did not answer in time."},
    };
    for (const auto& [url, reason] : failures) {
        SCOPED_TRACE(url.toStdString());
        openUrl(url);
        EXPECT_FALSE(window->SourceOpened);
        EXPECT_EQ(status(), "Cannot open: " + url + " \u2013 " + reason);
        EXPECT_LT(openSeconds, 15.0);
        EXPECT_LT(longestStall, 300) << "the event loop stood still for " << longestStall << " ms";
        std::cout << "[ measured ] " << url.toStdString() << ": failed after " << openSeconds
                  << " s, event loop held up at most " << longestStall << " ms\n";
        window->SetActivePage(TfrmMain::kwSelectSource);
    }
}

// Runs `call` and returns the longest time the event loop went without
// running a 10 ms timer meanwhile, in milliseconds.
qint64 longestStallDuring(const std::function<void()>& call) {
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longest = std::max<qint64>(longest, sinceTick.restart()); });
    sinceTick.start();
    ticker.start(10);
    call();
    return std::max<qint64>(longest, sinceTick.elapsed());
}

TEST_F(StreamWindowTest, ABroadcastThatFallsSilentNeverHoldsUpTheWindow) {
    const QString source = dir.file("live.ts");
    QString why;
    ASSERT_TRUE(test::makeClip(source, 250, test::UdpBroadcast::clipEncode(), &why))
        << why.toStdString();
    const int port = test::unusedPort();
    std::optional<test::UdpBroadcast> broadcast(std::in_place, source, port);
    ASSERT_TRUE(broadcast->started());
    openUrl(QString("udp://127.0.0.1:%1").arg(port));
    ASSERT_TRUE(window->SourceOpened) << status().toStdString();
    QTest::qWait(800);

    // The sender stops: once the frames already received have been shown,
    // the playback thread waits in a read.
    broadcast.reset();
    auto ringIndex = [&] {
        std::lock_guard<std::mutex> lock(window->CaptureStack().SlotLock);
        return window->CaptureStack().Index;
    };
    for (int round = 0, before = -1; round < 20 && ringIndex() != before; ++round) {
        before = ringIndex();
        QTest::qWait(400);
    }
    const qint64 pauseStall = longestStallDuring([&] { window->actPause->trigger(); });
    EXPECT_EQ(status(), "Stream is paused.");

    // Playing again reconnects, which waits for a sender that does not come
    // back: the window keeps running and Cancel ends the wait.
    QString shownWhileWaiting;
    QElapsedTimer took;
    took.start();
    QTimer::singleShot(600, [&] {
        shownWhileWaiting = status();
        QTest::mouseClick(window->btnCancel, Qt::LeftButton);
    });
    const qint64 playStall = longestStallDuring([&] { window->actPlay->trigger(); });
    const double playSeconds = took.elapsed() / 1000.0;
    std::cout << "[ measured ] event loop held up at most " << pauseStall
              << " ms by a pause while a read waited, " << playStall
              << " ms by a reconnect (cancelled after " << playSeconds << " s)\n";
    EXPECT_LT(pauseStall, 300);
    EXPECT_LT(playStall, 300);
    EXPECT_EQ(shownWhileWaiting, "Connecting\u2026");
    EXPECT_LT(playSeconds, 3.0);
    EXPECT_EQ(status(), "Error Playing");
    EXPECT_TRUE(window->isVisible()) << "Cancel stopped the reconnect, not the program";

    // Once the sender is back, Play reconnects and frames reach the ring again.
    broadcast.emplace(source, port);
    ASSERT_TRUE(broadcast->started());
    {
        std::lock_guard<std::mutex> lock(window->CaptureStack().SlotLock);
        for (TMemBitmap& slot : window->CaptureStack().MemSlots)
            slot.Picture = QImage();
    }
    window->actPlay->trigger();
    EXPECT_EQ(status(), "Stream is playing...");
    QTest::qWait(1500);
    window->actPause->trigger();
    std::lock_guard<std::mutex> lock(window->CaptureStack().SlotLock);
    const auto filled = std::count_if(window->CaptureStack().MemSlots.begin(),
                                      window->CaptureStack().MemSlots.end(),
                                      [](const TMemBitmap& slot) { return !slot.Picture.isNull(); });
    EXPECT_GT(filled, 5) << "frames arrive after the reconnect";
}

TEST_F(StreamWindowTest, CancelStopsTheIndexingOfARemoteFile) {
    // The server stops sending in the middle: the index pass waits on it.
    const QString path = clip(300);
    server.serve("/clip.mp4", path, test::HttpTestServer::Behaviour::StallAfter,
                 QFileInfo(path).size() * 3 / 4);
    QString shownWhileWaiting;
    QTimer::singleShot(1000, [&] {
        shownWhileWaiting = status();
        QTest::mouseClick(window->btnCancel, Qt::LeftButton);
    });
    openUrl(QString::fromStdString(server.url("/clip.mp4")));
    EXPECT_TRUE(shownWhileWaiting.startsWith("Indexing\u2026")) << shownWhileWaiting.toStdString();
    EXPECT_LT(openSeconds, 3.0);
    EXPECT_LT(longestStall, 300);
    EXPECT_FALSE(window->SourceOpened);
    EXPECT_TRUE(status().endsWith("Opening was cancelled.")) << status().toStdString();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(StreamWindowTest, CancelStopsAnOpenThatWaitsForItsServer) {
    server.serve("/silent.mp4", clip(30), test::HttpTestServer::Behaviour::NeverAnswer);
    QString shownWhileWaiting;
    QTimer::singleShot(400, [&] {
        shownWhileWaiting = status();
        QTest::mouseClick(window->btnCancel, Qt::LeftButton);
    });
    openUrl(QString::fromStdString(server.url("/silent.mp4")));
    EXPECT_EQ(shownWhileWaiting, "Connecting\u2026");
    EXPECT_LT(openSeconds, 2.0);
    EXPECT_FALSE(window->SourceOpened);
    EXPECT_TRUE(status().endsWith("Opening was cancelled.")) << status().toStdString();
    EXPECT_TRUE(window->isVisible()) << "Cancel stopped the open, not the program";

    // The next open works as usual.
    server.serve("/clip.mp4", clip(30));
    window->SetActivePage(TfrmMain::kwSelectSource);
    openUrl(QString::fromStdString(server.url("/clip.mp4")));
    EXPECT_TRUE(window->SourceOpened) << status().toStdString();
}

} // namespace
