// Frames per second of writing an AVI movie from 1080p pictures, beside the
// ffmpeg command line encoding the same pictures with the same codec and
// settings. Both sides start from the same file of raw 32-bit BGRA frames
// (the layout of the render run's pictures), read inside the timed span on
// both sides from the page cache, so the figures compare the conversion,
// encode and write paths and no picture decoder of either side. A small
// timing tool rather than a benchmark library run: one movie takes seconds.
//
//   avi_bench [--frames=N] [--reps=N] [--codec=MJPG|H264]...

#include "export/avi/AviCompressor.h"
#include "support/BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace stillora;

namespace {

struct Codec {
    QString handler;
    std::vector<std::string> ffmpegArgs; // the same settings on the command line
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int frames = 300;
    int reps = 3;
    QStringList wanted;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--frames=", 9) == 0)
            frames = std::max(1, std::atoi(argv[i] + 9));
        else if (std::strncmp(argv[i], "--reps=", 7) == 0)
            reps = std::max(1, std::atoi(argv[i] + 7));
        else if (std::strncmp(argv[i], "--codec=", 8) == 0)
            wanted << QString::fromLatin1(argv[i] + 8);
    }
    if (wanted.isEmpty()) wanted = QStringList{"MJPG", "H264"};

    // The settings both sides use: the defaults of a movie (quality 5000,
    // key frame every 18, data rate 153600 bytes/s), 25 frames per second.
    AVIOptions defaults;
    SetDefaultAVIOptions(defaults);
    const std::string qscale = std::to_string(QualityToQScale(defaults.Quality));
    const std::string bitrate = std::to_string(defaults.BytesPerSecond * 8);
    const std::string gop = std::to_string(defaults.KeyFrameEvery);
    const std::vector<Codec> codecs = {
        {"MJPG", {"-c:v", "mjpeg", "-pix_fmt", "yuvj420p", "-q:v", qscale}},
        {"H264",
         {"-c:v", "libx264", "-preset", "medium", "-pix_fmt", "yuv420p", "-b:v", bitrate, "-g", gop,
          "-keyint_min", "1", "-bf", "0", "-x264-params", "log=1"}},
    };

    QTemporaryDir dir;
    const QString raw = dir.filePath("frames.bgra");
    if (bench::SpawnAndWait({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                             "testsrc2=size=1920x1080:rate=25", "-frames:v", std::to_string(frames),
                             "-pix_fmt", "bgra", "-f", "rawvideo", raw.toStdString()},
                            nullptr) != 0) {
        std::fprintf(stderr, "cannot make the pictures with ffmpeg\n");
        return 1;
    }
    // Warm the page cache for both sides.
    {
        QFile file(raw);
        if (file.open(QIODevice::ReadOnly))
            while (!file.read(1 << 24).isEmpty()) {
            }
    }

    std::printf("%d frames of 1920x1080, %d repetitions, medians\n", frames, reps);
    std::printf("%-6s %12s %12s %8s %14s %14s\n", "codec", "ours fps", "ffmpeg fps", "ratio",
                "ours bytes", "ffmpeg bytes");
    for (const Codec& codec : codecs) {
        if (!wanted.contains(codec.handler, Qt::CaseInsensitive)) continue;
        if (!FindAviCodec(codec.handler)) {
            std::printf("%-6s not in this build\n", qPrintable(codec.handler));
            continue;
        }
        std::vector<double> ours, theirs;
        qint64 ourBytes = 0, theirBytes = 0;
        const QString ourPath = dir.filePath("ours.avi");
        const std::string theirPath = dir.filePath("ffmpeg.avi").toStdString();
        for (int r = 0; r < reps; ++r) {
            QElapsedTimer timer;
            timer.start();
            {
                TAVICompressor avi;
                AVIOptions o = defaults;
                o.Width = 1920;
                o.Height = 1080;
                o.Rate = 25;
                o.Handler = codec.handler;
                o.ShowDialog = false;
                if (avi.Open(ourPath, o) != AviOk) {
                    std::fprintf(stderr, "cannot open the movie with %s\n",
                                 qPrintable(codec.handler));
                    return 1;
                }
                QFile in(raw);
                if (!in.open(QIODevice::ReadOnly)) return 1;
                QImage picture(1920, 1080, QImage::Format_RGB32);
                for (int n = 0; n < frames; ++n) {
                    in.read(reinterpret_cast<char*>(picture.bits()), picture.sizeInBytes());
                    avi.AddFrame(picture);
                }
                if (avi.Close() != AviOk) return 1;
            }
            ours.push_back(frames / (timer.nsecsElapsed() / 1e9));
            ourBytes = QFileInfo(ourPath).size();

            std::vector<std::string> cmd = {
                "ffmpeg",  "-nostdin",  "-v", "error",     "-y", "-f",     "rawvideo",
                "-pix_fmt", "bgra", "-s", "1920x1080", "-framerate", "25", "-i", raw.toStdString()};
            cmd.insert(cmd.end(), codec.ffmpegArgs.begin(), codec.ffmpegArgs.end());
            cmd.push_back(theirPath);
            timer.restart();
            if (bench::SpawnAndWait(cmd, nullptr) != 0) {
                std::fprintf(stderr, "ffmpeg failed for %s\n", qPrintable(codec.handler));
                return 1;
            }
            theirs.push_back(frames / (timer.nsecsElapsed() / 1e9));
            theirBytes = QFileInfo(QString::fromStdString(theirPath)).size();
        }
        const double a = median(ours), b = median(theirs);
        std::printf("%-6s %12.1f %12.1f %8.2f %14lld %14lld\n", qPrintable(codec.handler), a, b,
                    a / b, static_cast<long long>(ourBytes), static_cast<long long>(theirBytes));
        std::fflush(stdout);
    }
    return 0;
}
