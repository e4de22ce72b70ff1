#include "video/CodecNames.h"
#include "video/MediaInfo.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace stillora;

namespace {

MediaStreamInfo video(int width, int height, int bits, int64_t timePerFrame, uint32_t code) {
    MediaStreamInfo s;
    s.kind = MediaStreamInfo::Kind::Video;
    s.format = MediaStreamInfo::Format::VideoInfo;
    s.hasHeader = true;
    s.width = width;
    s.height = height;
    s.bitsPerPixel = bits;
    s.averageTimePerFrame = timePerFrame;
    s.compression = code;
    return s;
}

MediaStreamInfo audio(uint16_t tag, int64_t bytesPerSecond, int rate, int channels) {
    MediaStreamInfo s;
    s.kind = MediaStreamInfo::Kind::Audio;
    s.format = MediaStreamInfo::Format::WaveFormat;
    s.hasHeader = true;
    s.formatTag = tag;
    s.averageBytesPerSecond = bytesPerSecond;
    s.samplesPerSecond = rate;
    s.channels = channels;
    return s;
}

// Restores the default locale after a test changes it.
class LocaleGuard {
public:
    ~LocaleGuard() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

TEST(MediaText, LengthsAboveAMinuteAreSplitIntoMinutesAndSeconds) {
    EXPECT_EQ(lengthText(true, 95.5), "1 min. 35.500 sec.");
    EXPECT_EQ(lengthText(true, 60.0), "60.000 sec.");
    EXPECT_EQ(lengthText(true, 60.25), "1 min. 0.250 sec.");
    EXPECT_EQ(lengthText(true, 3725.25), "62 min. 5.250 sec.");
    EXPECT_EQ(lengthText(true, 0.04), "0.040 sec.");
    EXPECT_EQ(lengthText(false, 0.0), "Unknown");
}

TEST(MediaText, VideoLineGivesSizeBitsFramesRateAndCodec) {
    EXPECT_EQ(streamDescription(video(320, 240, 32, 400000, fourCC('D', 'I', 'V', 'X')), 10.0),
              "Video format: 320 x 240, 32 Bits, 250 Frames, 25 Frames/Sec, OpenDivX (DivX 4.0 "
              "and later)");
    // 30000/1001 frames per second is stored as 333667 units of 100 ns.
    EXPECT_EQ(streamDescription(video(720, 480, 24, 333667, fourCC('d', 'v', 's', 'd')), 2.0),
              "Video format: 720 x 480, 24 Bits, 60 Frames, 29.970 Frames/Sec, Sony Digital "
              "Video (miniDV)");
    EXPECT_EQ(streamDescription(video(64, 48, 24, 400000, fourCC('d', 'i', 'v', 'x')), 1.0),
              "Video format: 64 x 48, 24 Bits, 25 Frames, 25 Frames/Sec, Unknown (divx)");
}

TEST(MediaText, VideoWithoutRateHasNoFrames) {
    EXPECT_EQ(streamDescription(video(160, 120, 24, 0, 0), 5.0),
              "Video format: 160 x 120, 24 Bits, 0 Frames, 0 Frames/Sec, Unknown (RGB)");
}

TEST(MediaText, AudioLineGivesCodecDataRateSampleRateAndChannels) {
    EXPECT_EQ(streamDescription(audio(0x0001, 176400, 44100, 2), 10.0),
              "Audio format: PCM, 1411.200 kBit/s, 44.100 kHz, Stereo");
    EXPECT_EQ(streamDescription(audio(0x0055, 16000, 48000, 1), 10.0),
              "Audio format: MPEG1 Layer-3, 128 kBit/s, 48 kHz, Mono");
    EXPECT_EQ(streamDescription(audio(0x2000, 48000, 48000, 6), 10.0),
              "Audio format: FAST Multimedia AG DVM (Dolby AC3), 384 kBit/s, 48 kHz, 6 Channels");
}

TEST(MediaText, CodecWithoutHeaderCodeIsNamedByItsDecoder) {
    MediaStreamInfo v = video(320, 240, 24, 400000, 0);
    v.codecWithoutCode = "theora";
    EXPECT_EQ(streamDescription(v, 1.0),
              "Video format: 320 x 240, 24 Bits, 25 Frames, 25 Frames/Sec, Unknown (theora)");
    MediaStreamInfo a = audio(0, 12000, 48000, 2);
    a.codecWithoutCode = "opus";
    EXPECT_EQ(streamDescription(a, 1.0), "Audio format: Unknown (opus), 96 kBit/s, 48 kHz, Stereo");
}

TEST(MediaText, StreamsWithoutHeaderOrKnownFormatSayLittle) {
    MediaStreamInfo v = video(0, 0, 0, 0, 0);
    v.hasHeader = false;
    EXPECT_EQ(streamDescription(v, 3.0), "Video format: ");
    MediaStreamInfo a = audio(1, 0, 0, 0);
    a.hasHeader = false;
    EXPECT_EQ(streamDescription(a, 3.0), "Audio format: ");
    MediaStreamInfo subtitles;
    subtitles.kind = MediaStreamInfo::Kind::Text;
    EXPECT_EQ(streamDescription(subtitles, 3.0), "Text format: Unknown");
    EXPECT_EQ(streamDescription(MediaStreamInfo{}, 3.0), "Unknown format: Unknown");
}

TEST(MediaText, KindNamesKeepTheirSpelling) {
    using K = MediaStreamInfo::Kind;
    EXPECT_EQ(mediaKindName(K::AnalogVideo), "Analogvideo");
    EXPECT_EQ(mediaKindName(K::AuxLine21Data), "AUXLine21Data");
    EXPECT_EQ(mediaKindName(K::Mpeg2Pes), "MPEG2_PES");
    EXPECT_EQ(mediaKindName(K::UrlStream), "URL_STREAM");
    EXPECT_EQ(mediaKindName(K::Timecode), "Timecode");
}

TEST(MediaText, NumbersShowDecimalsOnlyWhenFractional) {
    EXPECT_EQ(formatNumber(25.0), "25");
    EXPECT_EQ(formatNumber(29.97002997), "29.970");
    EXPECT_EQ(formatNumber(0.0), "0");
    EXPECT_EQ(formatNumber(1411.2), "1411.200");
    EXPECT_EQ(channelText(1), "Mono");
    EXPECT_EQ(channelText(2), "Stereo");
    EXPECT_EQ(channelText(6), "6 Channels");
    EXPECT_EQ(channelText(0), "0 Channels");
}

TEST(MediaText, DecimalsUseTheLocaleSeparatorWithoutGrouping) {
    LocaleGuard guard;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(lengthText(true, 95.5), "1 min. 35,500 sec.");
    EXPECT_EQ(streamDescription(audio(0x0001, 176400, 44100, 2), 1.0),
              "Audio format: PCM, 1411,200 kBit/s, 44,100 kHz, Stereo");
    EXPECT_EQ(formatNumber(123456.0), "123456");
}

TEST(MediaText, DescriptionStartsWithTheLengthAndListsEveryStream) {
    MediaProbe probe;
    probe.lengthKnown = true;
    probe.lengthSeconds = 10.0;
    probe.streams = {video(320, 240, 32, 400000, fourCC('D', 'I', 'V', 'X')),
                     audio(0x0001, 176400, 44100, 2)};
    EXPECT_EQ(describeMedia(probe),
              "Media length: 10.000 sec.\r\n"
              "Video format: 320 x 240, 32 Bits, 250 Frames, 25 Frames/Sec, OpenDivX (DivX 4.0 "
              "and later)\r\n"
              "Audio format: PCM, 1411.200 kBit/s, 44.100 kHz, Stereo\r\n");
}

TEST(MediaText, UnknownLengthCountsNoFrames) {
    MediaProbe probe;
    probe.streams = {video(320, 240, 24, 400000, fourCC('M', 'J', 'P', 'G'))};
    EXPECT_EQ(describeMedia(probe),
              "Media length: Unknown\r\n"
              "Video format: 320 x 240, 24 Bits, 0 Frames, 25 Frames/Sec, IBM Motion JPEG "
              "including Huffman Tables\r\n");
}

} // namespace
