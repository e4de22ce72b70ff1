#pragma once
// Converts decoded frames to QImage::Format_RGB32 with swscale, choosing the
// YUV matrix and range explicitly: swscale would otherwise assume BT.601 with
// limited range for everything, which shifts the colours of HD material.

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

    // Returns a new image of the frame's size; a null image when the frame's
    // format cannot be converted.
    QImage convert(const AVFrame& frame);

private:
    SwsContext* context_ = nullptr;
    int width_ = 0, height_ = 0, format_ = -1, matrix_ = -1, fullRange_ = -1;
};

} // namespace stillora
