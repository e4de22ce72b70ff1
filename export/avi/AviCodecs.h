#pragma once
// The video codecs an AVI movie can be written with: full frames and the
// libavcodec encoders that this FFmpeg build has, each with its FourCC, and
// one encoder object per movie that turns 32-bit frames into the codec's
// chunks. Plain C++ with Qt Core and Gui; one thread at a time.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace stillora {

struct AviCodecInfo {
    QString fourcc;      // handler and strf compression code
    QString encoder;     // libavcodec encoder name; "uncompressed" for full frames
    QString description; // what the compression dialog lists
    bool lossless = false;
    bool usesQuality = false;
    bool usesKeyFrames = false;
    bool usesDataRate = false;
};

// Every codec this program knows, whether or not this build has it.
const std::vector<AviCodecInfo>& KnownAviCodecs();
// The codecs this build can write, full frames first.
std::vector<AviCodecInfo> AvailableAviCodecs();
// The codec named by a FourCC ("MJPG", "cvid") or an encoder name ("mjpeg",
// "uncompressed"), compared without case; null when none is available.
const AviCodecInfo* FindAviCodec(const QString& name);
// "NAME  FOURCC  description" lines of AvailableAviCodecs().
QString DescribeAviCodecs();

// Choices handed to an encoder.
struct AviEncoderOptions {
    uint32_t quality = 5000;     // 0 .. 10000
    uint32_t keyFrameEvery = 18; // 0: the codec decides
    uint32_t bytesPerSecond = 0; // 0: quality decides
    uint32_t rate = 1;           // frames per second
};

struct AviPacket {
    QByteArray data;
    bool key = false;
};

class AviEncoder {
public:
    // Opens `codec` (not full frames) for frames of width x height. Null,
    // with libavcodec's reason in *error, when the codec refuses them.
    static std::unique_ptr<AviEncoder> Create(const AviCodecInfo& codec, int width, int height,
                                              const AviEncoderOptions& options, QString* error);
    virtual ~AviEncoder() = default;

    // Encodes one frame (32-bit, the movie's size); finished chunks are
    // appended to `out` (an encoder may hold some back for a while).
    virtual bool encode(const QImage& frame, std::vector<AviPacket>& out) = 0;
    // Hands out every chunk still held back.
    virtual bool flush(std::vector<AviPacket>& out) = 0;

    // What strf says of the stream.
    virtual uint16_t bitCount() const = 0;
    virtual QByteArray extradata() const = 0;
};

// Quality 0..10000 as a quantiser scale 31..1 (higher quality, finer steps).
int QualityToQScale(uint32_t quality);
// Quality 0..10000 as an H.264 constant rate factor 51..10.
int QualityToCrf(uint32_t quality);

} // namespace stillora
