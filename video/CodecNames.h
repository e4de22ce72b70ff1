#pragma once
// Names of video and audio codecs, looked up by the four-character code of a
// bitmap header and by the format tag of a wave header.

#include <QString>

#include <cstdint>

namespace stillora {

// Builds a four-character code as stored in a bitmap header: the first
// character is the lowest byte.
constexpr uint32_t fourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}

// The code's text: "RGB", "RLE8", "RLE4" and "BITFIELDS" for the compression
// values 0 to 3, otherwise its four bytes in storage order.
QString fourCCText(uint32_t code);

// The table's description of the exact code (letter case matters), else
// "Unknown (<code text>)".
QString codecNameOfFourCC(uint32_t code);

// The table's description of the wave format tag, else "Unknown (<tag in decimal>)".
QString codecNameOfWaveTag(uint16_t tag);

// Table sizes and keys in ascending order, for checks of the tables themselves.
int fourCCTableSize();
uint32_t fourCCTableKey(int index);
int waveTagTableSize();
uint16_t waveTagTableKey(int index);

} // namespace stillora
