#pragma once
// Reads back the structure of an AVI file for the tests: every RIFF part,
// the header chunks, the chunks of each movi list and the indexes. Frame
// data is not read, so files of any size can be inspected.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace stillora::test {

struct AviChunk {
    QString id;
    int64_t position = 0; // of the chunk header
    uint32_t size = 0;
};

struct AviIdx1Entry {
    QString id;
    uint32_t flags, offset, size;
};

struct AviStructure {
    bool ok = false;
    QString error;
    std::vector<QString> riffTypes;          // "AVI ", "AVIX", ...
    std::vector<int64_t> moviCodes;          // position of each 'movi' code
    std::vector<std::vector<AviChunk>> movi; // chunks of each movi list (ix00 included)
    QByteArray avih, strh, strf, strn, indx, dmlh;
    std::vector<AviIdx1Entry> idx1;

    // Little-endian fields of a header chunk's data.
    static uint32_t u32(const QByteArray& data, int offset);
    static uint16_t u16(const QByteArray& data, int offset);
};

AviStructure ReadAvi(const QString& path);
// The data of a chunk (at most `limit` bytes).
QByteArray ReadChunkData(const QString& path, const AviChunk& chunk, int64_t limit = 1 << 26);

} // namespace stillora::test
