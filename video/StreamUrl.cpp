#include "video/StreamUrl.h"

extern "C" {
#include <libavutil/error.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace stillora {

namespace {

// The part before the first ':' when it is a well-formed scheme, in lower
// case; empty otherwise (a bare path, "C:" style names are not schemes here).
std::string schemeOf(const std::string& url) {
    const size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    std::string scheme = url.substr(0, colon);
    if (!std::isalpha(static_cast<unsigned char>(scheme[0]))) return {};
    for (char& c : scheme) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '+' && c != '-' && c != '.') return {};
        c = static_cast<char>(std::tolower(u));
    }
    return scheme;
}

// Schemes a user may type. "hls+http" is libavformat's way to force the HLS
// reader onto a playlist; a plain http URL of a playlist works as well.
const char* const kStreamSchemes[] = {
    "http",  "https",  "hls", "hls+http", "hls+https", "rtsp", "rtsps", "rtmp", "rtmps",
    "rtmpt", "rtmpts", "srt", "udp",      "rtp",       "tcp",  "mmsh",  "mmst",
};

} // namespace

bool looksLikeUrl(const std::string& text) {
    const std::string scheme = schemeOf(text);
    return !scheme.empty() && text.compare(scheme.size(), 3, "://") == 0;
}

bool isStreamUrl(const std::string& url, std::string* reason) {
    auto refuse = [reason](const std::string& text) {
        if (reason) *reason = text;
        return false;
    };
    const std::string scheme = schemeOf(url);
    if (scheme.empty())
        return refuse("This is not a stream URL: a URL starts with its protocol, such as http://.");
    if (scheme == "file")
        return refuse("Local files are opened as off-line video files, not as streams.");
    if (std::find(std::begin(kStreamSchemes), std::end(kStreamSchemes), scheme) ==
        std::end(kStreamSchemes))
        return refuse("The protocol \"" + scheme + ":\" is not a network stream protocol.");
    if (url.compare(scheme.size(), 3, "://") != 0 || url.size() == scheme.size() + 3)
        return refuse("The URL names no server.");
    return true;
}

const char* streamProtocolWhitelist() {
    // Besides the schemes above, what those open underneath: TLS for the
    // secure ones, crypto for encrypted HLS segments, the RTMP tunnels and
    // SRTP for RTSP. Neither file nor pipe, so a playlist or a container
    // served over the network cannot make the program read local data.
    return "http,https,tls,tcp,udp,udplite,rtp,srtp,hls,crypto,httpproxy,rtmp,rtmps,rtmpt,rtmpts,"
           "ffrtmphttp,ffrtmpcrypt,srt,mmsh,mmst";
}

std::string streamFailureReason(int code, bool timedOut) {
    if (timedOut || code == AVERROR(ETIMEDOUT)) return "The server did not answer in time.";
    switch (code) {
    case AVERROR(ECONNREFUSED):
        return "The server refused the connection.";
    case AVERROR(ECONNRESET):
        return "The server closed the connection.";
    case AVERROR(EHOSTUNREACH):
    case AVERROR(ENETUNREACH):
        return "The server cannot be reached.";
    case AVERROR_HTTP_NOT_FOUND:
        return "The server has no such file (HTTP 404).";
    case AVERROR_HTTP_FORBIDDEN:
        return "The server refused access to the file (HTTP 403).";
    case AVERROR_HTTP_UNAUTHORIZED:
        return "The server asks for a login (HTTP 401).";
    case AVERROR_HTTP_BAD_REQUEST:
    case AVERROR_HTTP_OTHER_4XX:
        return "The server refused the request.";
    case AVERROR_HTTP_SERVER_ERROR:
        return "The server failed to answer (HTTP 5xx).";
    case AVERROR_PROTOCOL_NOT_FOUND:
        return "This protocol is not available.";
    case AVERROR_INVALIDDATA:
        return "What the server sends is not a video this program reads.";
    case AVERROR(EIO):
        return "The connection failed or the server stopped sending.";
    case AVERROR_EOF:
        return "The server sent no video.";
    default:
        break;
    }
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    std::string said = text;
    if (!said.empty())
        said[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(said[0])));
    return "The stream cannot be read: " + said + ".";
}

} // namespace stillora
