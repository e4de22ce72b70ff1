#pragma once
// The turn a video stream's display matrix asks for (phones record sideways
// and store how to turn the picture upright), in the terms the frames are
// turned by here.

struct AVStream;

namespace stillora {

// Clockwise degrees (0, 90, 180 or 270) that turn the stream's decoded
// pictures upright; 0 without a display matrix. Other angles round to the
// nearest quarter turn.
int displayRotation(const AVStream& stream);

} // namespace stillora
