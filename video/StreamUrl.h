#pragma once
// Which addresses the program opens as stream URLs, and how it explains
// network failures to the user.
//
// A stream URL reaches a server: HTTP(S), HLS, RTSP, RTMP(S), SRT, UDP, RTP,
// TCP and the MMS variants. Local files, pipes and protocols that assemble an
// input out of other inputs (concat:, subfile:, ...) are refused here, and
// whatever a stream opens on its own (an HLS segment, an RTSP data channel)
// may use only the protocols of streamProtocolWhitelist().
//
// Threads: plain functions, any thread.

#include <string>

namespace stillora {

// True when `url` names a network stream the program may open; otherwise
// false with a sentence for the user in *reason (when given).
bool isStreamUrl(const std::string& url, std::string* reason = nullptr);

// True when `text` looks like an address rather than a path: a scheme of
// letters, digits, '+', '-' or '.' followed by "://". Tells a URL given to
// stillora-batch from a file name.
bool looksLikeUrl(const std::string& text);

// The protocols a stream and everything it opens internally may use, comma
// separated, as libavformat's protocol_whitelist takes them.
const char* streamProtocolWhitelist();

// A short sentence in the program's words for a libavformat error code met
// while connecting to or reading from a server. `timedOut` says the
// program's own deadline ended the wait.
std::string streamFailureReason(int code, bool timedOut);

} // namespace stillora
