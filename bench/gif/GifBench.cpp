// Animated GIF writing beside the ffmpeg command line's two-pass palette GIF
// (palettegen, then paletteuse) of the same 640x480 pictures: frames per
// second, bytes, and the mean colour error of what a decoder shows against
// the pictures (both GIFs decoded by ffmpeg). Both sides read the same BMP
// files inside the timed span. A small timing tool: one GIF takes seconds.
//
//   gif_bench [--frames=N] [--reps=N] [--content=fractal|slideshow]...

#include "export/gif/GifWriter.h"
#include "support/BenchSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace stillora;

namespace {

constexpr int kWidth = 640, kHeight = 480;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A photo-like still (gradients, soft discs, text) whose frames differ only
// by a counter in one corner and by sparse one-level noise, as a decoder
// leaves it on a still scene.
bool makeSlideshow(const QTemporaryDir& dir, int frames) {
    QImage base(kWidth, kHeight, QImage::Format_RGB32);
    {
        QPainter p(&base);
        QLinearGradient sky(0, 0, kWidth, kHeight);
        sky.setColorAt(0, QColor(30, 70, 150));
        sky.setColorAt(0.55, QColor(235, 175, 95));
        sky.setColorAt(1, QColor(50, 35, 25));
        p.fillRect(base.rect(), sky);
        p.setRenderHint(QPainter::Antialiasing);
        for (int i = 0; i < 6; ++i) {
            QRadialGradient g(90.0 + 95 * i, 160.0 + 40 * (i % 3), 70);
            g.setColorAt(0, QColor(255, 240 - 30 * i, 200));
            g.setColorAt(1, QColor(120, 40 + 20 * i, 30, 0));
            p.setBrush(g);
            p.setPen(Qt::NoPen);
            p.drawEllipse(g.center(), 70, 70);
        }
        p.setPen(Qt::white);
        QFont font = p.font();
        font.setPixelSize(28);
        p.setFont(font);
        p.drawText(QRect(20, 400, 600, 50), Qt::AlignLeft, "Summer 2026, the lake at dusk");
    }
    uint32_t seed = 7;
    for (int n = 0; n < frames; ++n) {
        QImage frame = base;
        QPainter p(&frame);
        p.setPen(Qt::white);
        p.drawText(QRect(540, 10, 90, 20), Qt::AlignRight, QString::asprintf("%03d", n));
        p.end();
        for (int k = 0; k < kWidth * kHeight / 100; ++k) {
            seed = seed * 1664525u + 1013904223u;
            const int x = int(seed >> 8) % kWidth;
            seed = seed * 1664525u + 1013904223u;
            const int y = int(seed >> 8) % kHeight;
            const QRgb c = frame.pixel(x, y);
            const int d = (seed >> 3) & 1 ? 1 : -1;
            frame.setPixel(x, y, qRgb(std::clamp(qRed(c) + d, 0, 255),
                                      std::clamp(qGreen(c) + d, 0, 255),
                                      std::clamp(qBlue(c) + d, 0, 255)));
        }
        if (!frame.save(dir.filePath(QString::asprintf("f%04d.bmp", n + 1)), "BMP")) return false;
    }
    return true;
}

// The mean absolute difference per channel between the pictures and the
// GIF's frames as ffmpeg decodes them (composited, as a viewer shows them).
double meanError(const QString& gif, const QStringList& files) {
    QProcess p;
    p.start("ffmpeg", {"-nostdin", "-v", "error", "-i", gif, "-f", "rawvideo", "-pix_fmt", "bgra",
                       "-"});
    p.waitForFinished(600000);
    const QByteArray raw = p.readAllStandardOutput();
    const qint64 frameBytes = qint64(kWidth) * kHeight * 4;
    if (raw.size() < frameBytes * files.size()) return -1;
    double sum = 0;
    for (int n = 0; n < files.size(); ++n) {
        const QImage source = QImage(files[n]).convertToFormat(QImage::Format_RGB32);
        const auto* shown = reinterpret_cast<const uchar*>(raw.constData() + n * frameBytes);
        for (int y = 0; y < kHeight; ++y) {
            const uchar* a = source.constScanLine(y);
            const uchar* b = shown + qint64(y) * kWidth * 4;
            for (int x = 0; x < kWidth * 4; x += 4)
                sum += std::abs(a[x] - b[x]) + std::abs(a[x + 1] - b[x + 1]) +
                       std::abs(a[x + 2] - b[x + 2]);
        }
    }
    return sum / (3.0 * kWidth * kHeight * files.size());
}

} // namespace

int main(int argc, char** argv) {
    // Fonts for the slideshow's text, without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int frames = 100;
    int reps = 3;
    QStringList wanted;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--frames=", 9) == 0)
            frames = std::max(2, std::atoi(argv[i] + 9));
        else if (std::strncmp(argv[i], "--reps=", 7) == 0)
            reps = std::max(1, std::atoi(argv[i] + 7));
        else if (std::strncmp(argv[i], "--content=", 10) == 0)
            wanted << QString::fromLatin1(argv[i] + 10);
    }
    if (wanted.isEmpty()) wanted = QStringList{"fractal", "slideshow"};

    std::printf("%d frames of %dx%d, %d repetitions, medians\n", frames, kWidth, kHeight, reps);
    std::printf("%-10s %9s %9s %6s %11s %11s %8s %8s\n", "content", "ours fps", "ffmpeg", "ratio",
                "ours bytes", "ffmpeg", "ours err", "ffmpeg");
    for (const QString& content : wanted) {
        QTemporaryDir dir;
        const std::string pictures = dir.filePath("f%04d.bmp").toStdString();
        bool made = false;
        if (content == "fractal")
            made = bench::SpawnAndWait({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi",
                                        "-i", "mandelbrot=size=640x480:rate=25", "-frames:v",
                                        std::to_string(frames), "-pix_fmt", "bgr24", pictures},
                                       nullptr) == 0;
        else if (content == "slideshow")
            made = makeSlideshow(dir, frames);
        if (!made) {
            std::fprintf(stderr, "cannot make the %s pictures\n", qPrintable(content));
            return 1;
        }
        QStringList files;
        for (int n = 1; n <= frames; ++n)
            files << dir.filePath(QString::asprintf("f%04d.bmp", n));
        for (const QString& f : files) { // warm the page cache for both sides
            QFile file(f);
            if (file.open(QIODevice::ReadOnly)) file.readAll();
        }

        std::vector<double> ours, theirs;
        const QString ourPath = dir.filePath("ours.gif");
        const QString theirPath = dir.filePath("ffmpeg.gif");
        for (int r = 0; r < reps; ++r) {
            QElapsedTimer timer;
            timer.start();
            {
                AnimatedGifWriter gif;
                AnimatedGifWriter::Options options;
                options.delayCs = 4;
                options.loop = true;
                QString error;
                if (!gif.open(ourPath, QSize(kWidth, kHeight), options, &error)) {
                    std::fprintf(stderr, "cannot open the GIF: %s\n", qPrintable(error));
                    return 1;
                }
                for (const QString& f : files)
                    if (!gif.addFrame(QImage(f), &error)) {
                        std::fprintf(stderr, "cannot write the GIF: %s\n", qPrintable(error));
                        return 1;
                    }
                if (!gif.close(&error)) return 1;
            }
            ours.push_back(frames / (timer.nsecsElapsed() / 1e9));

            timer.restart();
            if (bench::SpawnAndWait({"ffmpeg", "-nostdin", "-v", "error", "-y", "-framerate", "25",
                                     "-i", pictures, "-filter_complex",
                                     "split[a][b];[a]palettegen[p];[b][p]paletteuse",
                                     theirPath.toStdString()},
                                    nullptr) != 0) {
                std::fprintf(stderr, "ffmpeg failed\n");
                return 1;
            }
            theirs.push_back(frames / (timer.nsecsElapsed() / 1e9));
        }
        const double a = median(ours), b = median(theirs);
        std::printf("%-10s %9.1f %9.1f %6.2f %11lld %11lld %8.2f %8.2f\n", qPrintable(content), a,
                    b, a / b, static_cast<long long>(QFileInfo(ourPath).size()),
                    static_cast<long long>(QFileInfo(theirPath).size()),
                    meanError(ourPath, files), meanError(theirPath, files));
        std::fflush(stdout);
    }
    return 0;
}
