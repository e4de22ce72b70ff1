#include "export/avi/RiffAviWriter.h"

#include <QtEndian>

#include <algorithm>

namespace stillora {

namespace {

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifIsInterleaved = 0x100;
constexpr uint32_t kAviifKeyFrame = 0x10;
// Room for the super index: one entry per RIFF part.
constexpr int kSuperIndexEntries = 256;
constexpr int kSuperIndexBytes = 24 + 16 * kSuperIndexEntries;
constexpr int kDmlhBytes = 248;
// LIST 'odml' with its dmlh chunk, without the LIST's own 8 bytes.
constexpr int kOdmlListBytes = 4 + 8 + kDmlhBytes;

uint32_t code(const char* c) {
    return uint32_t(uint8_t(c[0])) | uint32_t(uint8_t(c[1])) << 8 | uint32_t(uint8_t(c[2])) << 16 |
           uint32_t(uint8_t(c[3])) << 24;
}

} // namespace

uint32_t FourCC(const QString& text) {
    QByteArray bytes = text.left(4).toLatin1();
    while (bytes.size() < 4)
        bytes.append(' ');
    return code(bytes.constData());
}

QString FourCCText(uint32_t c) {
    const char bytes[4] = {char(c & 0xff), char(c >> 8 & 0xff), char(c >> 16 & 0xff),
                           char(c >> 24 & 0xff)};
    return QString::fromLatin1(bytes, 4);
}

bool RiffAviWriter::put(const void* data, int64_t size) {
    if (failed_) return false;
    if (size > 0 && dev_.write(static_cast<const char*>(data), size) != size) failed_ = true;
    return !failed_;
}

bool RiffAviWriter::put32(uint32_t v) {
    const uint32_t le = qToLittleEndian(v);
    return put(&le, 4);
}

bool RiffAviWriter::put16(uint16_t v) {
    const uint16_t le = qToLittleEndian(v);
    return put(&le, 2);
}

bool RiffAviWriter::putFourCC(const char* c) {
    return put(c, 4);
}

bool RiffAviWriter::patch32(int64_t position, uint32_t v) {
    if (failed_) return false;
    const int64_t end = dev_.pos();
    if (!dev_.seek(position) || !put32(v) || !dev_.seek(end)) failed_ = true;
    return !failed_;
}

int64_t RiffAviWriter::beginChunk(const char* c) {
    putFourCC(c);
    const int64_t at = dev_.pos();
    put32(0);
    return at;
}

int64_t RiffAviWriter::beginList(const char* list, const char* type) {
    const int64_t at = beginChunk(list);
    putFourCC(type);
    return at;
}

bool RiffAviWriter::endChunk(int64_t sizePosition) {
    const int64_t size = dev_.pos() - sizePosition - 4;
    if (size & 1) put("", 1);
    return patch32(sizePosition, uint32_t(size));
}

bool RiffAviWriter::start(const AviStreamFormat& format) {
    format_ = format;
    chunkId_ = code(format.compression == 0 ? "00db" : "00dc");
    const uint32_t rate = std::max<uint32_t>(1, format.rate);

    riffSizePos_ = beginList("RIFF", "AVI ");
    const int64_t hdrl = beginList("LIST", "hdrl");

    const int64_t avih = beginChunk("avih");
    put32(1000000 / rate); // microseconds per frame
    avihMaxRatePos_ = dev_.pos();
    put32(0); // maximum bytes per second, known at the end
    put32(0); // padding granularity
    put32(kAvifHasIndex | kAvifIsInterleaved);
    avihFramesPos_ = dev_.pos();
    put32(0); // total frames
    put32(0); // initial frames
    put32(1); // streams
    avihBufferPos_ = dev_.pos();
    put32(format.suggestedBuffer);
    put32(uint32_t(format.width));
    put32(uint32_t(format.height));
    for (int i = 0; i < 4; ++i)
        put32(0);
    endChunk(avih);

    const int64_t strl = beginList("LIST", "strl");
    const int64_t strh = beginChunk("strh");
    putFourCC("vids");
    put32(format.handler);
    put32(0); // flags
    put16(0); // priority
    put16(0); // language
    put32(0); // initial frames
    put32(1); // scale
    put32(rate);
    put32(0); // start
    strhLengthPos_ = dev_.pos();
    put32(0); // length, known at the end
    strhBufferPos_ = dev_.pos();
    put32(format.suggestedBuffer);
    put32(format.quality);
    put32(0); // sample size
    put16(0);
    put16(0);
    put16(uint16_t(format.width - 1));
    put16(uint16_t(format.height - 1));
    endChunk(strh);

    const int64_t strf = beginChunk("strf");
    put32(uint32_t(40 + format.extradata.size()));
    put32(uint32_t(format.width));
    put32(uint32_t(format.height)); // positive: bottom-up rows
    put16(1);                       // planes
    put16(format.bitCount);
    put32(format.compression);
    put32(format.imageSize);
    for (int i = 0; i < 4; ++i)
        put32(0);
    put(format.extradata.constData(), format.extradata.size());
    endChunk(strf);

    // Placeholder for the OpenDML super index, filled in when the movie
    // needs more than one RIFF part.
    const int64_t junk = beginChunk("JUNK");
    superIndexPos_ = junk - 4;
    const QByteArray zeros(kSuperIndexBytes, '\0');
    put(zeros.constData(), zeros.size());
    endChunk(junk);

    const int64_t strn = beginChunk("strn");
    const QByteArray name = format.name.left(63).toLatin1();
    put(name.constData(), name.size() + 1); // with its terminating zero
    endChunk(strn);
    endChunk(strl);

    const int64_t odml = beginChunk("JUNK");
    odmlPos_ = odml - 4;
    put(zeros.constData(), kOdmlListBytes);
    endChunk(odml);
    endChunk(hdrl);

    moviSizePos_ = beginList("LIST", "movi");
    moviCodePos_ = moviSizePos_ + 4;
    parts_.push_back({});
    return !failed_;
}

bool RiffAviWriter::writeFrame(const char* data, int64_t size, bool keyFrame) {
    if (failed_ || size < 0 || size > 0x7fffff00) return false;
    const int64_t riffStart = riffSizePos_ - 4;
    if (!entries_.empty() && dev_.pos() + 8 + size - riffStart > riffLimit_) {
        if (parts_.size() >= size_t(kSuperIndexEntries) || !closePart(false) || !openAvixPart())
            return false;
    }
    const int64_t at = dev_.pos();
    put32(chunkId_);
    put32(uint32_t(size));
    put(data, size);
    if (size & 1) put("", 1);
    if (failed_) return false;
    entries_.push_back({uint32_t(at - moviCodePos_), uint32_t(size), keyFrame, at});
    ++parts_.back().frames;
    ++frames_;
    maxChunk_ = std::max(maxChunk_, uint32_t(size));
    return true;
}

bool RiffAviWriter::closePart(bool last) {
    const bool odml = !last || parts_.size() > 1;
    if (odml) {
        // Standard index of this part's chunks, inside its movi list.
        Part& part = parts_.back();
        part.indexPosition = dev_.pos();
        const int64_t ix = beginChunk("ix00");
        put16(2);       // longs per entry
        put("\0\1", 2); // sub-type 0, index of chunks
        put32(uint32_t(entries_.size()));
        put32(chunkId_);
        const uint64_t base = uint64_t(moviCodePos_);
        put32(uint32_t(base));
        put32(uint32_t(base >> 32));
        put32(0);
        for (const Entry& e : entries_) {
            put32(uint32_t(e.position + 8 - moviCodePos_));
            put32(e.size | (e.key ? 0u : 0x80000000u));
        }
        endChunk(ix);
        part.indexSize = uint32_t(dev_.pos() - part.indexPosition);
    }
    endChunk(moviSizePos_);
    if (parts_.size() == 1) {
        const int64_t idx1 = beginChunk("idx1");
        for (const Entry& e : entries_) {
            put32(chunkId_);
            put32(e.key ? kAviifKeyFrame : 0);
            put32(e.offset);
            put32(e.size);
        }
        endChunk(idx1);
    }
    endChunk(riffSizePos_);
    entries_.clear();
    return !failed_;
}

bool RiffAviWriter::openAvixPart() {
    riffSizePos_ = beginList("RIFF", "AVIX");
    moviSizePos_ = beginList("LIST", "movi");
    moviCodePos_ = moviSizePos_ + 4;
    parts_.push_back({});
    return !failed_;
}

bool RiffAviWriter::finish() {
    if (failed_) return false;
    const bool odml = parts_.size() > 1;
    closePart(true);
    const uint32_t suggested = std::max(format_.suggestedBuffer, maxChunk_);
    patch32(avihFramesPos_, odml ? parts_.front().frames : frames_);
    patch32(avihBufferPos_, suggested);
    patch32(avihMaxRatePos_,
            uint32_t(std::min<uint64_t>(uint64_t(maxChunk_) * std::max<uint32_t>(1, format_.rate),
                                        0xffffffffu)));
    patch32(strhLengthPos_, frames_);
    patch32(strhBufferPos_, suggested);
    if (odml && !failed_) {
        const int64_t end = dev_.pos();
        // The super index replaces its placeholder (same size).
        if (!dev_.seek(superIndexPos_)) failed_ = true;
        putFourCC("indx");
        put32(kSuperIndexBytes);
        put16(4);       // longs per entry
        put("\0\0", 2); // sub-type 0, index of indexes
        put32(uint32_t(parts_.size()));
        put32(chunkId_);
        put32(0);
        put32(0);
        put32(0);
        for (const Part& p : parts_) {
            put32(uint32_t(uint64_t(p.indexPosition)));
            put32(uint32_t(uint64_t(p.indexPosition) >> 32));
            put32(p.indexSize);
            put32(p.frames);
        }
        // LIST odml with the real frame count replaces the second placeholder.
        if (!failed_ && !dev_.seek(odmlPos_)) failed_ = true;
        putFourCC("LIST");
        put32(kOdmlListBytes);
        putFourCC("odml");
        putFourCC("dmlh");
        put32(kDmlhBytes);
        put32(frames_);
        if (!failed_ && !dev_.seek(end)) failed_ = true;
    }
    return !failed_;
}

} // namespace stillora
