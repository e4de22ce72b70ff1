#pragma once
// Converts decoded frames to QImage::Format_RGB32 with swscale, choosing the
// YUV matrix and range explicitly: swscale would otherwise assume BT.601 with
// limited range for everything, which shifts the colours of HD material.

#include "video/ToneMapper.h"

#include <QImage>

struct AVFrame;
struct SwsContext;

namespace stillora {

class FrameConverter {
public:
    FrameConverter() = default;
    ~FrameConverter();
    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;

    // Returns the frame as an image of its size; a null image when the
    // frame's format cannot be converted. `reuse`, when it has the frame's
    // size and format and nobody else shares it, is written into and returned
    // instead of a new image: fresh 8 MB images cost more in page faults
    // than the conversion itself.
    QImage convert(const AVFrame& frame, QImage reuse = QImage());

    // Clockwise quarter turn (0, 90, 180, 270) applied to every converted
    // frame, so that pictures come out upright; 90 and 270 swap the size.
    void setRotation(int degrees) { rotation_ = degrees; }
    int rotation() const { return rotation_; }

private:
    QImage convertUpright(const AVFrame& frame, QImage reuse);
    int rotation_ = 0;
    QImage unturned_; // the frame before its turn, kept for the next one
    ToneMapper toneMapper_;

    SwsContext* context_ = nullptr;
    int width_ = 0, height_ = 0, format_ = -1, matrix_ = -1, fullRange_ = -1;
};

} // namespace stillora
