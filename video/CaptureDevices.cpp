#include "video/CaptureDevices.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace stillora {

bool isVideoCaptureNode(uint32_t capabilities, uint32_t deviceCaps) {
    const uint32_t caps = (capabilities & V4L2_CAP_DEVICE_CAPS) ? deviceCaps : capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
}

std::vector<CaptureDevice> listCaptureDevices() {
    std::vector<int> numbers;
    if (DIR* dir = opendir("/dev")) {
        while (dirent* entry = readdir(dir)) {
            const char* name = entry->d_name;
            if (std::strncmp(name, "video", 5) != 0 || !name[5]) continue;
            char* end = nullptr;
            const long number = std::strtol(name + 5, &end, 10);
            if (*end == '\0' && number >= 0) numbers.push_back(static_cast<int>(number));
        }
        closedir(dir);
    }
    std::sort(numbers.begin(), numbers.end());

    std::vector<CaptureDevice> devices;
    for (int number : numbers) {
        const std::string path = "/dev/video" + std::to_string(number);
        const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        v4l2_capability cap{};
        int result;
        do {
            result = ioctl(fd, VIDIOC_QUERYCAP, &cap);
        } while (result < 0 && errno == EINTR);
        ::close(fd);
        if (result < 0 || !isVideoCaptureNode(cap.capabilities, cap.device_caps)) continue;
        const char* card = reinterpret_cast<const char*>(cap.card);
        devices.push_back({std::string(card, strnlen(card, sizeof cap.card)), path});
    }
    return devices;
}

} // namespace stillora
