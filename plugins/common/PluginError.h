#pragma once
// The error class of the plug-in kit. Everything the bitmap class, the bitmap
// bridge and the effects raise is a TPluginError; it derives from
// std::runtime_error, so the host may catch std::exception. Errors are not
// caught inside RunProcBMP: they reach the host with their message text.

#include "plugins/common/PluginKitApi.h"

#include <stdexcept>
#include <string>

class STILLORA_KIT_API TPluginError : public std::runtime_error {
public:
    explicit TPluginError(const std::string& message) : std::runtime_error(message) {}
    explicit TPluginError(const char* message) : std::runtime_error(message) {}
    ~TPluginError() override; // out of line: type information lives in the kit only
};

namespace stillora {
// Message texts raised by the kit.
inline constexpr const char* kErrInvalidPixelFormat = "Invalid Pixelformat";
inline constexpr const char* kErrBadDimension = "Bad dimension";
inline constexpr const char* kErrNoDib = "No DIB";
inline constexpr const char* kErrOutOfMemory = "DIB out of memory";
inline constexpr const char* kErrScanLine = "Scan line index out of range";
inline constexpr const char* kErrInvalidBitmap = "Bitmap image is not valid";
} // namespace stillora
