#pragma once
// Reads an animated GIF back with giflib the way a viewer shows it: every
// frame composed over the ones before, with its delay, disposal and the
// loop extension. For the GIF tests and the benchmark.

#include <QImage>
#include <QString>

#include <vector>

namespace stillora::test {

struct GifFrameInfo {
    QImage shown;     // the whole canvas after this frame, RGB32
    int delayCs = -1; // -1: no graphics control block
    int disposal = -1;
    int transparent = -1;
    int left = 0, top = 0, width = 0, height = 0;
    bool localColors = false;
};

struct GifReadBack {
    bool ok = false;
    QString error;
    QString version; // "GIF87a" or "GIF89a"
    int width = 0, height = 0;
    bool loopForever = false; // a NETSCAPE2.0 block with loop count 0
    int loopBlocks = 0;       // how many NETSCAPE2.0 blocks there are
    std::vector<GifFrameInfo> frames;
};

GifReadBack ReadGif(const QString& path);

// Mean and largest absolute difference per channel between two RGB32 pictures of one size.
struct ColourError {
    double mean = 0;
    int maximum = 0;
};
ColourError CompareColours(const QImage& a, const QImage& b);

} // namespace stillora::test
