#include "video/CodecNames.h"

#include <gtest/gtest.h>

using namespace stillora;

namespace {

uint32_t code(const char (&s)[5]) {
    return fourCC(s[0], s[1], s[2], s[3]);
}

TEST(CodecNames, TablesHoldEveryKeyOnceInAscendingOrder) {
    ASSERT_EQ(fourCCTableSize(), 332);
    ASSERT_EQ(waveTagTableSize(), 146);
    for (int i = 1; i < fourCCTableSize(); ++i)
        EXPECT_LT(fourCCTableKey(i - 1), fourCCTableKey(i)) << "video entry " << i;
    for (int i = 1; i < waveTagTableSize(); ++i)
        EXPECT_LT(waveTagTableKey(i - 1), waveTagTableKey(i)) << "audio entry " << i;
    EXPECT_EQ(fourCCTableKey(0), 0x00424752u);
    EXPECT_EQ(fourCCTableKey(fourCCTableSize() - 1), code("dvsd"));
    EXPECT_EQ(waveTagTableKey(waveTagTableSize() - 1), 0xFFFF);
}

TEST(CodecNames, FourCCsNameTheirCodecs) {
    EXPECT_EQ(codecNameOfFourCC(code("CVID")), "Cinepak by Radius YUV 4:2:2");
    EXPECT_EQ(codecNameOfFourCC(code("DIVX")), "OpenDivX (DivX 4.0 and later)");
    EXPECT_EQ(codecNameOfFourCC(code("DX50")), "DivX 5.0 codec");
    EXPECT_EQ(codecNameOfFourCC(code("XVID")), "XviD MPEG-4 codec");
    EXPECT_EQ(codecNameOfFourCC(code("MJPG")), "IBM Motion JPEG including Huffman Tables");
    EXPECT_EQ(codecNameOfFourCC(code("IV50")), "Intel Indeo Video 5.0 Wavelet");
    EXPECT_EQ(codecNameOfFourCC(code("MP43")), "Microsoft MPEG-4 V3");
    EXPECT_EQ(codecNameOfFourCC(code("WMV2")), "Windows Media Video 8");
    EXPECT_EQ(codecNameOfFourCC(code("YUY2")),
              "YUV 4:2:2 as for UYVY but with different component ordering within the u_int32 "
              "macropixel");
    for (uint32_t uncompressed : {0x00424752u, 0x00424944u, 0x00574152u})
        EXPECT_EQ(codecNameOfFourCC(uncompressed), "Full Frames (Uncompressed)");
    EXPECT_EQ(codecNameOfFourCC(0x20003859), "Simple grayscale video");
    EXPECT_EQ(codecNameOfFourCC(code("Y800")), "Simple grayscale video");
}

TEST(CodecNames, FourCCLettersMustMatchInCase) {
    EXPECT_EQ(codecNameOfFourCC(code("dvsd")), "Sony Digital Video (miniDV)");
    EXPECT_EQ(codecNameOfFourCC(code("DVSD")),
              "Sony Digital Video (DV) 525 lines at 29.97 Hz or 625 lines at 25.00 Hz");
    EXPECT_EQ(codecNameOfFourCC(code("divx")), "Unknown (divx)");
    EXPECT_EQ(codecNameOfFourCC(code("xvid")), "Unknown (xvid)");
    EXPECT_EQ(codecNameOfFourCC(code("Mjpg")), "Unknown (Mjpg)");
}

TEST(CodecNames, CodesOutsideTheTableShowTheirText) {
    EXPECT_EQ(codecNameOfFourCC(0), "Unknown (RGB)");
    EXPECT_EQ(codecNameOfFourCC(1), "Unknown (RLE8)");
    EXPECT_EQ(codecNameOfFourCC(2), "Unknown (RLE4)");
    EXPECT_EQ(codecNameOfFourCC(3), "Unknown (BITFIELDS)");
    EXPECT_EQ(codecNameOfFourCC(code("avc1")), "Unknown (avc1)");
}

TEST(CodecNames, EveryTableEntryHasADescription) {
    for (int i = 0; i < fourCCTableSize(); ++i) {
        const QString text = codecNameOfFourCC(fourCCTableKey(i));
        EXPECT_FALSE(text.isEmpty());
        EXPECT_FALSE(text.startsWith("Unknown (")) << text.toStdString();
    }
    for (int i = 0; i < waveTagTableSize(); ++i) {
        const QString text = codecNameOfWaveTag(waveTagTableKey(i));
        EXPECT_FALSE(text.isEmpty());
        EXPECT_FALSE(text.startsWith("Unknown (")) << text.toStdString();
    }
}

TEST(CodecNames, WaveTagsNameTheirCodecs) {
    EXPECT_EQ(codecNameOfWaveTag(0x0000), "Unknown Wave");
    EXPECT_EQ(codecNameOfWaveTag(0x0001), "PCM");
    EXPECT_EQ(codecNameOfWaveTag(0x0002), "ADPCM");
    EXPECT_EQ(codecNameOfWaveTag(0x0003), "IEEE Float");
    EXPECT_EQ(codecNameOfWaveTag(0x0055), "MPEG1 Layer-3");
    EXPECT_EQ(codecNameOfWaveTag(0x0161), "DivX WMA Audio V2");
    EXPECT_EQ(codecNameOfWaveTag(0x2000), "FAST Multimedia AG DVM (Dolby AC3)");
    EXPECT_EQ(codecNameOfWaveTag(0xFFFE), "Extensible wave format");
    EXPECT_EQ(codecNameOfWaveTag(0xFFFF), "In Development / Unregistered");
}

TEST(CodecNames, WaveTagsOutsideTheTableShowTheirNumber) {
    EXPECT_EQ(codecNameOfWaveTag(0x0009), "Unknown (9)");
    EXPECT_EQ(codecNameOfWaveTag(0x00FF), "Unknown (255)");
    EXPECT_EQ(codecNameOfWaveTag(0xFFFD), "Unknown (65533)");
}

} // namespace
