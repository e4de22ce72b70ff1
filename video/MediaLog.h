#pragma once
// FFmpeg's own log lines (decoder complaints such as "mmco: unref short
// failure", library banners) go through here instead of straight to standard
// error. Until a sink is set they are dropped, so the window shows none; the
// batch tool sets a sink for --verbose. Problems that matter reach the user
// in the program's own words through the media interface, not through these
// lines.
//
// Threads: any. FFmpeg logs from its decoding threads; the sink is called
// under a lock, one line at a time, and must not log to FFmpeg itself.

#include <functional>
#include <string>

namespace stillora {

// Takes FFmpeg's log over; safe to call any number of times.
void installMediaLog();

// How much of the log a sink receives: errors, warnings too, or also the
// informative lines (banners, stream descriptions).
enum class MediaLogLevel { Errors, Warnings, Info };

// Receives each line (without its line break) up to `level`. An empty sink
// drops every line.
using MediaLogSink = std::function<void(const std::string& line)>;
void setMediaLogSink(MediaLogSink sink, MediaLogLevel level);

} // namespace stillora
