#pragma once
// A RIFF AVI file with one video stream, written chunk by chunk to a seekable
// device: the header list (avih, strl with strh/strf/strn), the movi list with
// one chunk per frame, and the idx1 index. Once a RIFF part grows past
// kRiffLimit the file continues in AVIX parts with OpenDML indexes (a super
// index in the stream list, one ix00 per part, the dmlh total), so movies far
// larger than 1 GB stay readable. Headers are written with placeholders at
// start() and completed by finish().
//
// Plain C++ with Qt Core; used on one thread at a time.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <cstdint>
#include <vector>

namespace stillora {

// What the stream's headers say about the video.
struct AviStreamFormat {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t rate = 1; // frames per second (scale 1)
    uint32_t quality = 0;
    uint32_t handler = 0;         // strh FourCC
    uint32_t compression = 0;     // strf FourCC, 0 for uncompressed RGB
    uint16_t bitCount = 32;       // strf bits per pixel
    uint32_t imageSize = 0;       // strf image size
    uint32_t suggestedBuffer = 0; // strh suggested buffer size
    QByteArray extradata;         // codec data after the 40-byte header
    QString name;                 // strn, 63 characters at most
};

// FourCC from up to four characters, padded with spaces.
uint32_t FourCC(const QString& text);
QString FourCCText(uint32_t code);

class RiffAviWriter {
public:
    // A RIFF part is closed and the next one started once it passes this
    // many bytes. Tests lower it to reach OpenDML with a small file.
    static constexpr int64_t kDefaultRiffLimit = int64_t(1) << 30;

    explicit RiffAviWriter(QIODevice& device, int64_t riffLimit = kDefaultRiffLimit)
        : dev_(device), riffLimit_(riffLimit) {}

    // Writes the headers and opens the movi list. False on a write error.
    bool start(const AviStreamFormat& format);
    // Appends one frame (00dc, or 00db when `uncompressed`). False on a
    // write error, which also makes every later call fail.
    bool writeFrame(const char* data, int64_t size, bool keyFrame);
    // Writes the indexes and the final counts. False on a write error.
    bool finish();

    uint32_t frames() const { return frames_; }
    int riffParts() const { return int(parts_.size()); }
    bool failed() const { return failed_; }

private:
    struct Entry {
        uint32_t offset; // idx1: from the 'movi' code; ix00: from the part's base
        uint32_t size;
        bool key;
        int64_t position; // absolute position of the chunk header
    };
    struct Part {
        int64_t indexPosition = 0; // ix00 chunk header
        uint32_t indexSize = 0;    // ix00 chunk size with its header
        uint32_t frames = 0;
    };

    bool put(const void* data, int64_t size);
    bool put32(uint32_t v);
    bool put16(uint16_t v);
    bool putFourCC(const char* code);
    bool patch32(int64_t position, uint32_t v);
    int64_t beginChunk(const char* code); // returns position of the size field
    int64_t beginList(const char* list, const char* type);
    bool endChunk(int64_t sizePosition);
    bool closePart(bool last);
    bool openAvixPart();

    QIODevice& dev_;
    int64_t riffLimit_;
    AviStreamFormat format_;
    uint32_t chunkId_ = 0;
    bool failed_ = false;
    uint32_t frames_ = 0;
    uint32_t maxChunk_ = 0;

    int64_t riffSizePos_ = 0;
    int64_t moviSizePos_ = 0;
    int64_t moviCodePos_ = 0;
    int64_t avihFramesPos_ = 0;
    int64_t avihBufferPos_ = 0;
    int64_t avihMaxRatePos_ = 0;
    int64_t strhLengthPos_ = 0;
    int64_t strhBufferPos_ = 0;
    int64_t superIndexPos_ = 0; // JUNK placeholder for 'indx'
    int64_t odmlPos_ = 0;       // JUNK placeholder for LIST odml / dmlh
    int64_t bytes_ = 0;
    std::vector<Entry> entries_;  // frames of the current part
    std::vector<Entry> firstIdx_; // frames of the first part (idx1)
    std::vector<Part> parts_;
};

} // namespace stillora
