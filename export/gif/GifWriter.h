#pragma once
// AnimatedGifWriter: an animated GIF89a written frame by frame through
// giflib, each frame streamed to the file as it arrives (memory does not grow
// with the number of frames).
//
// Each frame gets a palette chosen for its pixels (GifPalette.h); the palette
// of the frame before is kept while it serves the new pixels about as well,
// so unchanged pictures keep their colours and their dither pattern. After
// the first frame only the rectangle that changed is encoded, with the
// pixels that did not change left transparent over the frame before
// (disposal "do not dispose"), so a run of near-identical frames stays small.
// Frames of another size are scaled to the first frame's size.
//
// The file is written beside its final name and renamed into place by
// close(); discard() or a failure leaves nothing under the final name.
// One thread at a time (the render run's).

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

class QSaveFile;

namespace stillora {

class AnimatedGifWriter {
public:
    struct Options {
        int delayCs = 100;  // hundredths of a second each frame is shown
        bool loop = false;  // true: play forever (NETSCAPE2.0 loop count 0)
        int tolerance = 2;  // a pixel within this of the colour it was encoded
                            // for (per channel) counts as unchanged
    };

    AnimatedGifWriter();
    ~AnimatedGifWriter(); // discards an unfinished file
    AnimatedGifWriter(const AnimatedGifWriter&) = delete;
    AnimatedGifWriter& operator=(const AnimatedGifWriter&) = delete;

    // Starts the movie at `path` with frames of `size`. False, with the
    // reason in *error, when the file cannot be created.
    bool open(const QString& path, QSize size, const Options& options, QString* error);
    bool isOpen() const;
    // Encodes and writes one frame. False, with the reason, when the write
    // fails (the movie cannot be completed then).
    bool addFrame(const QImage& frame, QString* error);
    // Ends the file and renames it into place; false with the reason when
    // that fails (nothing then stays under the final name).
    bool close(QString* error);
    // Drops the unfinished file.
    void discard();

    int frameCount() const { return frames_; }
    QSize size() const { return size_; }

private:
    struct State;
    bool fail(QString* error, const QString& reason);

    std::unique_ptr<State> state_;
    QSize size_;
    int frames_ = 0;
};

// A delay in milliseconds as GIF's hundredths of a second, rounded; 0 stays 0.
int GifDelayFromMs(int ms);

} // namespace stillora
