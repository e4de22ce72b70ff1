#pragma once
// A plain-text description of a media file: its length and, per stream, the
// stream's kind and format. The file is probed on its own with libavformat;
// no MediaSource needs to be open.

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace stillora {

// What probing reports about one stream, in the terms of a bitmap header
// (video) or a wave header (audio).
struct MediaStreamInfo {
    enum class Kind {
        AnalogAudio,
        AnalogVideo,
        Audio,
        AuxLine21Data,
        File,
        Interleaved,
        Lmrt,
        Midi,
        Mpeg2Pes,
        ScriptCommand,
        Stream,
        Text,
        Timecode,
        UrlStream,
        Video,
        Unknown
    };
    // VideoInfo and WaveFormat carry the fields below; Other has none.
    enum class Format { VideoInfo, WaveFormat, Other };

    Kind kind = Kind::Unknown;
    Format format = Format::Other;
    // False when probing could not fill the header: nothing follows " format: ".
    bool hasHeader = false;

    // Video.
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int64_t averageTimePerFrame = 0; // 100 ns units; 0 when the rate is unknown
    uint32_t compression = 0;        // four-character code
    // Clockwise degrees the pictures are turned by to show them upright
    // (a phone's display matrix); the size above is the stored one.
    int rotation = 0;
    // The HDR transfer ("PQ" or "HLG"); empty for SDR video.
    QString hdrTransfer;

    // Audio.
    uint16_t formatTag = 0;
    int64_t averageBytesPerSecond = 0;
    int samplesPerSecond = 0;
    int channels = 0;

    // When set, the codec has no header code and this name stands in for it:
    // the codec text is "Unknown (<name>)".
    QString codecWithoutCode;
};

struct MediaProbe {
    bool lengthKnown = false;
    double lengthSeconds = 0; // of stream 0; used for every stream
    std::vector<MediaStreamInfo> streams;
};

// Probes a regular file; nothing when it cannot be opened or holds no stream.
std::optional<MediaProbe> probeMedia(const QString& path);

// "Media length: ...\r\n" and one line per stream, each ending in "\r\n".
QString describeMedia(const MediaProbe& probe);

// describeMedia(probeMedia(path)), or empty when nothing can be read.
QString mediaInfo(const QString& path);

// The whole text of the information box: a header, the file-name part of
// `path`, and mediaInfo(path).
QString mediaInfoBoxText(const QString& path);

// Parts of the description.
QString mediaKindName(MediaStreamInfo::Kind kind);
QString lengthText(bool known, double seconds);
QString streamDescription(const MediaStreamInfo& stream, double lengthSeconds);
// Fixed notation with 3 decimals when x has a fractional part, else 0, with
// the locale's decimal separator and no grouping.
QString formatNumber(double x);
QString channelText(int channels);

} // namespace stillora
