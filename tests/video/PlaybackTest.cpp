// Playback on the decoding thread: pace, handlers, pause, stop, and live input.
#include "Clips.h"

#include "video/FfmpegMediaSource.h"
#include "video/ScriptedMediaSource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace stillora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Frames the handler saw: their numbers and the numbers their pictures carry.
struct Recorder {
    std::mutex lock;
    std::vector<int64_t> numbers;
    std::vector<int64_t> pictures;
    std::atomic<int> notified{0};

    MediaSource::FrameCallback callback() {
        return [this](const QImage& frame, int64_t number) {
            const int64_t picture = ScriptedMediaSource::readNumber(frame);
            std::lock_guard<std::mutex> guard(lock);
            numbers.push_back(number);
            pictures.push_back(picture);
        };
    }
    size_t size() {
        std::lock_guard<std::mutex> guard(lock);
        return numbers.size();
    }
};

template <typename Condition> bool waitFor(Condition condition, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        const QString path = test::clipPath("h264-bframes.mp4");
        ASSERT_FALSE(path.isEmpty());
        std::string error;
        ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &error)) << error;
        source.setFrameCallback(recorder.callback());
        source.setFrameNotifier([this] { ++recorder.notified; });
    }
    FfmpegMediaSource source;
    Recorder recorder;
};

TEST_F(Playback, PlaysEveryFrameInOrderAtTheMediaPaceToTheStopFrame) {
    std::string error;
    ASSERT_TRUE(source.seek(100, &error)) << error;
    source.setStopFrame(120);
    const auto start = Clock::now();
    ASSERT_TRUE(source.run(&error)) << error;
    EXPECT_EQ(source.state(), MediaState::Running);
    ASSERT_TRUE(waitFor([&] { return source.currentFrame() == 120; }, 5s));
    const auto elapsed = Clock::now() - start;
    std::this_thread::sleep_for(100ms); // nothing after the stop frame

    std::lock_guard<std::mutex> guard(recorder.lock);
    ASSERT_EQ(recorder.numbers.size(), 21u);
    for (int i = 0; i <= 20; ++i) {
        EXPECT_EQ(recorder.numbers[i], 100 + i);
        EXPECT_EQ(recorder.pictures[i], 100 + i);
    }
    EXPECT_GE(recorder.notified, 21);
    // 20 frame durations of 40 ms; generous below, no upper bound.
    EXPECT_GE(elapsed, 600ms);
    QImage image;
    ASSERT_TRUE(source.grab(image));
    EXPECT_EQ(ScriptedMediaSource::readNumber(image), 120);
}

TEST_F(Playback, PauseHoldsTheFrameAndRunResumesFromIt) {
    std::string error;
    ASSERT_TRUE(source.run(&error)) << error;
    ASSERT_TRUE(waitFor([&] { return recorder.size() >= 5; }, 5s));
    ASSERT_TRUE(source.pause(&error));
    EXPECT_EQ(source.state(), MediaState::Paused);
    const int64_t held = source.currentFrame();
    const size_t delivered = recorder.size();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(source.currentFrame(), held);
    EXPECT_EQ(recorder.size(), delivered);
    QImage image;
    ASSERT_TRUE(source.grab(image));
    EXPECT_EQ(ScriptedMediaSource::readNumber(image), held);

    ASSERT_TRUE(source.run(&error));
    ASSERT_TRUE(waitFor([&] { return source.currentFrame() >= held + 3; }, 5s));
    ASSERT_TRUE(source.stop(&error));
    EXPECT_EQ(source.state(), MediaState::Stopped);
    std::lock_guard<std::mutex> guard(recorder.lock);
    for (size_t i = 1; i < recorder.numbers.size(); ++i)
        EXPECT_EQ(recorder.numbers[i], recorder.numbers[i - 1] + 1)
            << "no frame skipped or repeated";
}

TEST_F(Playback, SeekingWhilePlayingPausesThere) {
    std::string error;
    ASSERT_TRUE(source.run(&error));
    ASSERT_TRUE(waitFor([&] { return recorder.size() >= 3; }, 5s));
    ASSERT_TRUE(source.seek(200, &error)) << error;
    EXPECT_EQ(source.state(), MediaState::Paused);
    const size_t delivered = recorder.size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.size(), delivered);
    EXPECT_EQ(source.currentFrame(), 200);
    QImage image;
    ASSERT_TRUE(source.grab(image));
    EXPECT_EQ(ScriptedMediaSource::readNumber(image), 200);
}

TEST_F(Playback, ARemovedHandlerIsNeverCalledAgain) {
    std::string error;
    ASSERT_TRUE(source.run(&error));
    ASSERT_TRUE(waitFor([&] { return recorder.size() >= 2; }, 5s));
    source.setFrameCallback(nullptr);
    const size_t delivered = recorder.size();
    const int64_t at = source.currentFrame();
    ASSERT_TRUE(waitFor([&] { return source.currentFrame() >= at + 3; }, 5s));
    EXPECT_EQ(recorder.size(), delivered);
}

TEST_F(Playback, PlayingToTheEndHoldsTheLastFrameAndClosingWhilePlayingReturns) {
    std::string error;
    ASSERT_TRUE(source.seek(240, &error));
    ASSERT_TRUE(source.run(&error));
    ASSERT_TRUE(waitFor([&] { return source.currentFrame() == 249; }, 5s));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(source.currentFrame(), 249);
    // Going back and playing again works after the decoder reached the end.
    ASSERT_TRUE(source.seek(3, &error)) << error;
    ASSERT_TRUE(source.run(&error));
    ASSERT_TRUE(waitFor([&] { return source.currentFrame() >= 5; }, 5s));
    source.close();
    EXPECT_FALSE(source.isOpen());
    EXPECT_EQ(source.state(), MediaState::None);
}

TEST(LivePlayback, ALiveInputDeliversFramesAsTheyArriveAndRefusesSeeks) {
    // A clip played at its own pace by a filter stands in for a camera.
    const QString path = test::clipPath("mjpeg.avi");
    ASSERT_FALSE(path.isEmpty());
    FfmpegMediaSource source;
    Recorder recorder;
    source.setFrameCallback(recorder.callback());
    std::string error;
    ASSERT_TRUE(source.openLive("lavfi", "movie=" + path.toStdString() + ",realtime", &error))
        << error;
    EXPECT_EQ(source.kind(), SourceKind::Live);
    EXPECT_EQ(source.frameCount(), 0);
    EXPECT_FALSE(source.seek(0, &error));
    ASSERT_TRUE(source.run(&error));
    ASSERT_TRUE(waitFor([&] { return recorder.size() >= 10; }, 5s));
    ASSERT_TRUE(source.pause(&error));
    const size_t delivered = recorder.size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.size(), delivered);

    std::lock_guard<std::mutex> guard(recorder.lock);
    for (size_t i = 0; i < recorder.numbers.size(); ++i) {
        EXPECT_EQ(recorder.numbers[i], int64_t(i));
        EXPECT_EQ(recorder.pictures[i], int64_t(i));
    }
    QImage image;
    ASSERT_TRUE(source.grab(image));
    EXPECT_EQ(ScriptedMediaSource::readNumber(image), recorder.numbers.back());
}

} // namespace
} // namespace stillora
