// Scene detection over a 1080p H.264 clip of 1500 frames beside the ffmpeg
// command line's scene filter (select='gt(scene,0.3)'), in one run: frames
// per second of each and the cuts each finds against the cuts the clip was
// made with. Not a timed test: run it by hand and note the figures in
// docs/PERFORMANCE.md.
//
//   bench_scenes [--clip=PATH --cuts=300,500,...] [--runs=N]
//
// Without --clip it makes (once, in the temporary folder) six shots with
// grain, one with a white flash and one fading in, another fading out.

#include "support/BenchSupport.h"

#include "analysis/Generators.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

using namespace stillora;

namespace {

constexpr int kFrames = 1500;
const std::vector<int64_t> kMadeCuts{300, 500, 750, 1000, 1200};

bool makeClip(const std::string& path) {
    // Shot lengths 300, 200, 250, 250, 200, 300 at 25 frames/s.
    const char* graph =
        "testsrc2=s=1920x1080:r=25,trim=end_frame=300,setpts=PTS-STARTPTS,format=yuv420p[a];"
        "smptehdbars=s=1920x1080:r=25,trim=end_frame=200,setpts=PTS-STARTPTS,"
        "drawbox=c=white:t=fill:enable='between(n,100,101)',format=yuv420p[b];"
        "mandelbrot=s=1920x1080:r=25,trim=end_frame=250,setpts=PTS-STARTPTS,format=yuv420p[c];"
        "testsrc=s=1920x1080:r=25,trim=end_frame=250,setpts=PTS-STARTPTS,fade=in:0:25,format=yuv420p[d];"
        "rgbtestsrc=s=1920x1080:r=25,trim=end_frame=200,setpts=PTS-STARTPTS,fade=out:175:25,format=yuv420p[e];"
        "yuvtestsrc=s=1920x1080:r=25,trim=end_frame=300,setpts=PTS-STARTPTS,format=yuv420p[f];"
        "[a][b][c][d][e][f]concat=n=6:v=1:a=0,noise=alls=8:allf=t[v]";
    return bench::SpawnAndWait({"ffmpeg", "-nostdin", "-v", "error", "-y", "-filter_complex", graph, "-map", "[v]",
                                "-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-pix_fmt", "yuv420p", path},
                               nullptr) == 0;
}

// Frames the ffmpeg scene filter selects, from showinfo's presentation times.
std::vector<int64_t> ffmpegCuts(const std::string& clip) {
    QProcess process;
    process.start("ffmpeg", {"-nostdin", "-hide_banner", "-i", QString::fromStdString(clip), "-vf",
                             "select='gt(scene,0.3)',showinfo", "-f", "null", "-"});
    process.waitForFinished(-1);
    const QString log = QString::fromLocal8Bit(process.readAllStandardError());
    std::vector<int64_t> cuts;
    static const QRegularExpression time(R"(pts_time:([0-9.]+))");
    for (auto it = time.globalMatch(log); it.hasNext();)
        cuts.push_back(std::llround(it.next().captured(1).toDouble() * 25.0));
    return cuts;
}

QString list(const std::vector<int64_t>& cuts) {
    QStringList parts;
    for (int64_t c : cuts)
        parts << QString::number(c);
    return parts.join(',');
}

void score(const char* who, double seconds, int64_t frames, const std::vector<int64_t>& found,
           const std::vector<int64_t>& truth) {
    const std::set<int64_t> t(truth.begin(), truth.end()), f(found.begin(), found.end());
    int hit = 0, falseOnes = 0;
    for (int64_t c : found)
        t.count(c) ? ++hit : ++falseOnes;
    std::printf("%-28s %8.1f fps  %6.2f s  cuts %d of %zu exact, %d false  [%s]\n", who, double(frames) / seconds,
                seconds, hit, truth.size(), falseOnes, qPrintable(list(found)));
    (void)f;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::string clip;
    std::vector<int64_t> truth = kMadeCuts;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--clip=", 7) == 0) clip = argv[i] + 7;
        if (std::strncmp(argv[i], "--runs=", 7) == 0) runs = std::max(1, std::atoi(argv[i] + 7));
        if (std::strncmp(argv[i], "--cuts=", 7) == 0) {
            truth.clear();
            for (const QString& c : QString(argv[i] + 7).split(',', Qt::SkipEmptyParts))
                truth.push_back(c.toLongLong());
        }
    }
    if (clip.empty()) {
        clip = QDir::temp().filePath("stillora-bench-scenes-1080p.mp4").toStdString();
        if (!QFileInfo::exists(QString::fromStdString(clip))) {
            std::fprintf(stderr, "making %s (once)...\n", clip.c_str());
            if (!makeClip(clip)) {
                std::fprintf(stderr, "cannot make the clip with ffmpeg\n");
                return 1;
            }
        }
    }

    std::vector<double> ours, theirs;
    std::vector<int64_t> ourCuts;
    int64_t frames = 0;
    for (int run = 0; run < runs; ++run) {
        // Ours: one sequential decode, then the decision.
        QElapsedTimer timer;
        timer.start();
        VideoProfile profile;
        ProfileRequest request;
        request.path = clip;
        std::string error;
        if (!scanProfile(request, &profile, nullptr, &error)) {
            std::fprintf(stderr, "scan failed: %s\n", error.c_str());
            return 1;
        }
        ourCuts = findCuts(profile, kDefaultSensitivity);
        ours.push_back(timer.nsecsElapsed() / 1e9);
        frames = static_cast<int64_t>(profile.frames.size());

        // The command line, as it would be typed.
        timer.restart();
        if (bench::SpawnAndWait({"ffmpeg", "-nostdin", "-v", "error", "-i", clip, "-vf", "select='gt(scene,0.3)'",
                                 "-f", "null", "-"},
                                nullptr) != 0) {
            std::fprintf(stderr, "ffmpeg failed\n");
            return 1;
        }
        theirs.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::printf("clip %s: %lld frames, true cuts [%s], median of %d runs\n", clip.c_str(),
                static_cast<long long>(frames), qPrintable(list(truth)), runs);
    score("stillora scenes (sens. 50)", median(ours), frames, ourCuts, truth);
    score("ffmpeg select gt(scene,0.3)", median(theirs), frames, ffmpegCuts(clip), truth);
    std::printf("ratio (ffmpeg time / ours): %.2f\n", median(theirs) / median(ours));
    return 0;
}
