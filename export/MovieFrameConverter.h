#pragma once
// Turns 32-bit frame pictures (blue, green, red, unused) into libavcodec
// frames of one pixel format and size, for the movie encoders (AVI, MP4,
// WebM). One object per movie; one thread at a time.

#include <QImage>
#include <QString>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

struct SwsContext;

namespace stillora {

class MovieFrameConverter {
public:
    // How RGB becomes YUV: the BT.601 or BT.709 matrix, in full (JPEG) or
    // limited (video) range. Formats that are not YUV ignore it.
    enum class Matrix { Bt601, Bt709 };

    MovieFrameConverter() = default;
    ~MovieFrameConverter();
    MovieFrameConverter(const MovieFrameConverter&) = delete;
    MovieFrameConverter& operator=(const MovieFrameConverter&) = delete;

    // Prepares frames of width x height in `format`. False with a reason
    // when the conversion cannot be made or memory runs out.
    bool open(int width, int height, AVPixelFormat format, Matrix matrix, bool fullRange,
              QString* error);
    // Converts `picture` (32-bit, the size given to open()) into the frame
    // returned by frame(); false when the frame cannot be made writable.
    bool convert(const QImage& picture);
    AVFrame* frame() const { return frame_; }

private:
    SwsContext* sws_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVFrame* source_ = nullptr; // borrows the picture being converted
    int width_ = 0, height_ = 0;
};

// `picture` as a 32-bit picture of `size`: scaled when its size differs, and
// then grown to even sides (for 4:2:0) by repeating the last column and row,
// so that nothing of the picture is cut.
QImage EvenSizedFrame(const QImage& picture, QSize size);
// `size` with each side rounded up to an even number.
QSize EvenSize(QSize size);

} // namespace stillora
