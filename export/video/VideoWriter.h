#pragma once
// VideoMovieWriter: an MP4 (H.264, index at the front so that browsers play
// it at once) or WebM (VP9) movie made frame by frame through libavcodec and
// libavformat. Each still may be held for several frames (a slideshow);
// frames of another size are scaled to the first frame's size, and odd sides
// are grown by one pixel for 4:2:0 (never cut).
//
// The movie is written beside its final name and renamed into place by
// close(); discard() or a failure leaves nothing under the final name, and
// an older movie there stays until the new one is complete.
// One thread at a time (the render run's).

#include "export/video/VideoSettings.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

namespace stillora {

class VideoMovieWriter {
public:
    VideoMovieWriter();
    ~VideoMovieWriter(); // discards an unfinished movie
    VideoMovieWriter(const VideoMovieWriter&) = delete;
    VideoMovieWriter& operator=(const VideoMovieWriter&) = delete;

    // Starts the movie at `path` for frames of `size`, with the format,
    // rate, hold and quality of `settings`. False, with the reason in
    // *error, when the file or the encoder cannot be made.
    bool open(const QString& path, QSize size, const VideoSettings& settings, QString* error);
    bool isOpen() const;
    // Encodes one still as `hold` frames. False, with the reason, when
    // encoding or writing fails (the movie cannot be completed then).
    bool addFrame(const QImage& picture, QString* error);
    // Flushes the encoder, ends the file and renames it into place.
    bool close(QString* error);
    void discard();

    // Frames sent to the encoder (stills times hold).
    int64_t frameCount() const;
    // The movie's frame size (even).
    QSize frameSize() const;

private:
    struct State;
    bool fail(QString* error, const QString& reason);
    std::unique_ptr<State> state_;
};

// The encoder's constant rate factor for quality 0..51: as given for H.264,
// scaled to 0..63 for VP9.
int VideoCrf(int format, int quality);

} // namespace stillora
