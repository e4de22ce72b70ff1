#include "video/MediaLog.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <mutex>

namespace stillora {

namespace {

std::mutex& sinkLock() {
    static std::mutex lock;
    return lock;
}
MediaLogSink& sink() {
    static MediaLogSink s;
    return s;
}
int g_level = AV_LOG_INFO;
// A line FFmpeg writes in pieces (no line break yet) is gathered here.
std::string& pending() {
    static std::string text;
    return text;
}
int g_prefix = 1; // FFmpeg's own state for "[decoder @ 0x...]" prefixes

void logLine(void* object, int level, const char* format, va_list arguments) {
    std::lock_guard<std::mutex> guard(sinkLock());
    if (!sink() || level > g_level) return;
    char text[1024];
    av_log_format_line2(object, level, format, arguments, text, sizeof text, &g_prefix);
    pending() += text;
    std::string::size_type end;
    while ((end = pending().find('\n')) != std::string::npos) {
        const std::string line = pending().substr(0, end);
        pending().erase(0, end + 1);
        if (!line.empty()) sink()(line);
    }
}

} // namespace

void installMediaLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(&logLine); });
}

void setMediaLogSink(MediaLogSink newSink, MediaLogLevel level) {
    installMediaLog();
    std::lock_guard<std::mutex> guard(sinkLock());
    sink() = std::move(newSink);
    g_level = level == MediaLogLevel::Errors     ? AV_LOG_ERROR
              : level == MediaLogLevel::Warnings ? AV_LOG_WARNING
                                                 : AV_LOG_INFO;
    pending().clear();
}

} // namespace stillora
