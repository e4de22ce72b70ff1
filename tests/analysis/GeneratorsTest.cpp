// Generated selections over clips made here with the ffmpeg command line.

#include "analysis/FrameMeasures.h"
#include "analysis/Generators.h"
#include "support/ClipMaker.h"
#include "video/FfmpegMediaSource.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace stillora {
namespace {

// Six shots of 320x240 at 25 frames/s, joined: testsrc2 (40 frames),
// smptebars with a white flash on its frames 10 and 11 (30), mandelbrot (35),
// testsrc fading in from black over 12 frames (45), rgbtestsrc fading out
// over its last 15 frames (38), yuvtestsrc (32). The shots begin at 0, 40,
// 70, 105, 150 and 188; 220 frames in all.
const std::vector<int64_t> kCuts{40, 70, 105, 150, 188};
constexpr int64_t kShotsFrames = 220;

QString makeShots(const QTemporaryDir& dir) {
    const QString path = dir.filePath("shots.mp4");
    const QString graph =
        "testsrc2=s=320x240:r=25,trim=end_frame=40,setpts=PTS-STARTPTS,format=yuv420p[a];"
        "smptebars=s=320x240:r=25,trim=end_frame=30,setpts=PTS-STARTPTS,"
        "drawbox=c=white:t=fill:enable='between(n,10,11)',format=yuv420p[b];"
        "mandelbrot=s=320x240:r=25,trim=end_frame=35,setpts=PTS-STARTPTS,format=yuv420p[c];"
        "testsrc=s=320x240:r=25,trim=end_frame=45,setpts=PTS-STARTPTS,fade=in:0:12,format=yuv420p[d];"
        "rgbtestsrc=s=320x240:r=25,trim=end_frame=38,setpts=PTS-STARTPTS,fade=out:23:15,format=yuv420p[e];"
        "yuvtestsrc=s=320x240:r=25,trim=end_frame=32,setpts=PTS-STARTPTS,format=yuv420p[f];"
        "[a][b][c][d][e][f]concat=n=6:v=1:a=0[v]";
    QString error;
    if (!test::runFfmpeg({"-filter_complex", graph, "-map", "[v]", "-c:v", "libx264", "-preset",
                          "veryfast", "-g", "50", path},
                         &error))
        ADD_FAILURE() << error.toStdString();
    return path;
}

class ShotsClip : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        path_ = new QString(makeShots(*dir_));
    }
    static void TearDownTestSuite() {
        delete path_;
        delete dir_;
    }
    static VideoProfile profile(int64_t first = 0, int64_t last = -1) {
        VideoProfile p;
        ProfileRequest request;
        request.path = path_->toStdString();
        request.first = first;
        request.last = last;
        std::string error;
        EXPECT_TRUE(scanProfile(request, &p, nullptr, &error)) << error;
        return p;
    }
    static QTemporaryDir* dir_;
    static QString* path_;
};
QTemporaryDir* ShotsClip::dir_ = nullptr;
QString* ShotsClip::path_ = nullptr;

TEST_F(ShotsClip, FindsEveryCutAtItsFirstFrameAndNoneAtTheFlashOrTheFades) {
    const VideoProfile p = profile();
    ASSERT_EQ(p.frames.size(), static_cast<size_t>(kShotsFrames));
    EXPECT_EQ(findCuts(p, kDefaultSensitivity), kCuts);
    // The same cuts hold across a broad band of sensitivities.
    EXPECT_EQ(findCuts(p, 25), kCuts);
    EXPECT_EQ(findCuts(p, 80), kCuts);
}

TEST_F(ShotsClip, ScenesAsRangesAndAsSingleStills) {
    const VideoProfile p = profile();
    const auto cuts = findCuts(p, kDefaultSensitivity);
    const FrameSpan all{0, kShotsFrames - 1};
    const std::vector<FrameSpan> ranges{{0, 39}, {40, 69}, {70, 104}, {105, 149}, {150, 187}, {188, 219}};
    EXPECT_EQ(sceneSpans(cuts, all, SceneStill::Range), ranges);
    const std::vector<FrameSpan> firsts{{0, 0}, {40, 40}, {70, 70}, {105, 105}, {150, 150}, {188, 188}};
    EXPECT_EQ(sceneSpans(cuts, all, SceneStill::First), firsts);
    const std::vector<FrameSpan> middles{{19, 19}, {54, 54}, {87, 87}, {127, 127}, {168, 168}, {203, 203}};
    EXPECT_EQ(sceneSpans(cuts, all, SceneStill::Middle), middles);
    const std::vector<FrameSpan> lasts{{39, 39}, {69, 69}, {104, 104}, {149, 149}, {187, 187}, {219, 219}};
    EXPECT_EQ(sceneSpans(cuts, all, SceneStill::Last), lasts);

    const SelectionList made = makeSelections(sceneSpans(cuts, all, SceneStill::Range), 1);
    ASSERT_EQ(made.size(), 6u);
    EXPECT_EQ(made[1]->Caption, "Range_00040_00069");
    EXPECT_EQ(made[1]->frmLength, 30);
    const SelectionList stills = makeSelections(sceneSpans(cuts, all, SceneStill::First), 1);
    EXPECT_EQ(stills[5]->Caption, "Frame_00188");
}

TEST_F(ShotsClip, ScenesBetweenMarksSeeOnlyTheCutsInside) {
    // Marks at 50 and 160: the shot in progress at 50 is the first scene,
    // the one at 160 is cut off at the mark. Frame 50 is the flash's first:
    // the scan starts a few frames early so that the flash's end at 52 is
    // still seen to return to the shot.
    const VideoProfile p = profile(50, 160);
    ASSERT_LE(p.first, 50 - FrameProfile::kLookBack);
    ASSERT_EQ(p.last(), 160);
    EXPECT_EQ(findCuts(p, kDefaultSensitivity), (std::vector<int64_t>{70, 105, 150}));
    GenerateSettings settings;
    settings.mode = GenerateSettings::Scenes;
    const std::vector<FrameSpan> spans = generateSpans(settings, {50, 160}, {}, &p);
    EXPECT_EQ(spans, (std::vector<FrameSpan>{{50, 69}, {70, 104}, {105, 149}, {150, 160}}));
    // A range the profile does not cover gives nothing rather than a guess.
    EXPECT_TRUE(generateSpans(settings, {0, 160}, {}, &p).empty());
}

TEST_F(ShotsClip, AJobOnItsThreadReportsProgressAndCanBeCancelled) {
    ProfileJob job;
    ProfileRequest request;
    request.path = path_->toStdString();
    request.frameCount = kShotsFrames;
    job.start(request);
    job.wait();
    ASSERT_TRUE(job.finished());
    ASSERT_TRUE(job.succeeded()) << job.error();
    EXPECT_EQ(job.percent(), 100);
    EXPECT_EQ(findCuts(job.profile(), kDefaultSensitivity), kCuts);

    job.start(request);
    job.cancel();
    job.wait();
    EXPECT_TRUE(job.finished());
    EXPECT_FALSE(job.succeeded());
    EXPECT_EQ(job.error(), "Cancelled.");

    request.path = "/nonexistent/clip.mp4";
    job.start(request);
    job.wait();
    EXPECT_FALSE(job.succeeded());
    EXPECT_FALSE(job.error().empty());
}

TEST(EveryFrames, StepsFromTheFirstMarkAndKeepsTheLastInside) {
    EXPECT_EQ(everyFrames({0, 9}, 4), (std::vector<FrameSpan>{{0, 0}, {4, 4}, {8, 8}}));
    EXPECT_EQ(everyFrames({10, 12}, 1), (std::vector<FrameSpan>{{10, 10}, {11, 11}, {12, 12}}));
    EXPECT_EQ(everyFrames({5, 5}, 100), (std::vector<FrameSpan>{{5, 5}}));
    EXPECT_TRUE(everyFrames({0, 9}, 0).empty());
    EXPECT_TRUE(everyFrames({9, 0}, 1).empty());
}

// Frames 0..49 every 0.04 s, then every 0.1 s from 2.0 s; 80 frames.
double vfrTime(int64_t n) { return n < 50 ? n * 0.04 : 2.0 + (n - 50) * 0.1; }

TEST(EverySeconds, AVariableRateClipGivesTheFramesNearestEachTime) {
    QTemporaryDir dir;
    const QString path = dir.filePath("vfr.mkv");
    QString error;
    ASSERT_TRUE(test::runFfmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25,trim=end_frame=80", "-vf",
                                 "settb=1/1000,setpts='if(lt(N,50),N*0.04,2+(N-50)*0.1)/TB'",
                                 "-fps_mode", "passthrough", "-enc_time_base", "1:1000", "-c:v", "libx264", "-preset", "veryfast", path},
                                &error))
        << error.toStdString();
    FfmpegMediaSource source;
    std::string openError;
    ASSERT_TRUE(source.open(SourceKind::File, path.toStdString(), &openError)) << openError;
    const std::vector<double> times = source.frameTimes();
    ASSERT_EQ(times.size(), 80u);
    for (int64_t n = 0; n < 80; ++n)
        ASSERT_NEAR(times[static_cast<size_t>(n)], vfrTime(n), 0.0015) << "frame " << n;

    // Expected: for each time k * 0.648 the frame whose time is nearest.
    std::vector<FrameSpan> expected;
    for (double t = 0; t <= vfrTime(79) + 1e-9; t += 0.648) {
        int64_t best = 0;
        for (int64_t n = 1; n < 80; ++n)
            if (std::abs(vfrTime(n) - t) < std::abs(vfrTime(best) - t)) best = n;
        expected.push_back({best, best});
    }
    const auto spans = everySeconds(times, {0, 79}, 0.648);
    EXPECT_EQ(spans, expected);
    ASSERT_GE(spans.size(), 5u);
    EXPECT_EQ(spans[3].first, 49); // 1.944 s lies nearer 1.96 s than 1.92 s
    EXPECT_EQ(spans[4].first, 56); // 2.592 s: on the slower stretch

    // Between marks, times count from the first mark: 2.2 s, 3.2 s, ...
    EXPECT_EQ(everySeconds(times, {52, 79}, 1.0), (std::vector<FrameSpan>{{52, 52}, {62, 62}, {72, 72}}));
    EXPECT_TRUE(everySeconds(times, {0, 80}, 1.0).empty()); // past the end
}

TEST(Sharpest, OneSharpFrameAmongBlurredOnesIsFound) {
    QTemporaryDir dir;
    const QString path = dir.filePath("blur.mp4");
    QString error;
    ASSERT_TRUE(test::runFfmpeg({"-f", "lavfi", "-i", "testsrc2=s=640x480:r=25,trim=end_frame=30", "-vf",
                                 "boxblur=4:enable='not(eq(n,17))'", "-c:v", "libx264", "-preset", "veryfast",
                                 "-crf", "12", path},
                                &error))
        << error.toStdString();
    VideoProfile p;
    ProfileRequest request;
    request.path = path.toStdString();
    request.sharpness = true;
    std::string scanError;
    ASSERT_TRUE(scanProfile(request, &p, nullptr, &scanError)) << scanError;
    ASSERT_EQ(p.frames.size(), 30u);
    EXPECT_EQ(sharpestEveryFrames(p, {0, 29}, 30), (std::vector<FrameSpan>{{17, 17}}));
    const auto tens = sharpestEveryFrames(p, {0, 29}, 10);
    ASSERT_EQ(tens.size(), 3u);
    EXPECT_EQ(tens[1].first, 17);
    EXPECT_LT(tens[0].first, 10);
    EXPECT_GE(tens[2].first, 20);
    // 0.4 s at 25 frames/s is the same ten frames.
    EXPECT_EQ(sharpestEverySeconds(p, {0, 29}, 0.4), tens);
    // Without the measure there is no pick.
    p.hasSharpness = false;
    EXPECT_TRUE(sharpestEveryFrames(p, {0, 29}, 10).empty());
}

TEST(Measures, LaplacianVarianceAndDifferenceOnKnownPictures) {
    LumaPlane flat{8, 8, std::vector<uint8_t>(64, 100)};
    EXPECT_EQ(laplacianVariance(flat), 0.0);
    LumaPlane checker = flat;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            checker.pixels[static_cast<size_t>(y * 8 + x)] = (x + y) % 2 ? 200 : 0;
    EXPECT_GT(laplacianVariance(checker), 1000.0);
    EXPECT_EQ(pictureDifference(flat, flat), 0.0);
    LumaPlane white{8, 8, std::vector<uint8_t>(64, 255)};
    LumaPlane black{8, 8, std::vector<uint8_t>(64, 0)};
    EXPECT_DOUBLE_EQ(pictureDifference(black, white), 255.0);
    LumaPlane other{4, 4, std::vector<uint8_t>(16, 0)};
    EXPECT_EQ(pictureDifference(black, other), 255.0);
    // Box-averaging halves each side and keeps the mean.
    const LumaPlane half = shrinkPlane(checker, 2);
    EXPECT_EQ(half.width, 4);
    EXPECT_EQ(half.at(1, 2), 100);
}

} // namespace
} // namespace stillora
