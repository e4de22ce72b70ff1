#pragma once
// Video capture devices: the V4L2 nodes that can capture and stream video.

#include "video/MediaSource.h"

#include <cstdint>
#include <vector>

namespace stillora {

// The /dev/video* nodes that capture video, in node-number order, named by
// their driver's card name.
std::vector<CaptureDevice> listCaptureDevices();

// Whether a node with these VIDIOC_QUERYCAP capabilities captures video: a
// camera also exposes a metadata node, which must not be listed. deviceCaps
// counts when `capabilities` has V4L2_CAP_DEVICE_CAPS.
bool isVideoCaptureNode(uint32_t capabilities, uint32_t deviceCaps);

} // namespace stillora
