#include "video/MediaInfo.h"

#include "video/CodecNames.h"
#include "video/DisplayRotation.h"
#include "video/DvdTitle.h"
#include "video/MediaLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <cstring>
#include <memory>

namespace stillora {

namespace {

using Kind = MediaStreamInfo::Kind;

// Fixed notation with the locale's decimal separator and no grouping.
QString fixed(double x, int decimals) {
    QString text = QString::number(x, 'f', decimals);
    if (decimals > 0) text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return text;
}

bool isFormat(const AVFormatContext* context, const char* name) {
    return std::strcmp(context->iformat->name, name) == 0;
}

// Containers whose codec tag is the compression code of a bitmap header.
bool storesBitmapCodes(const AVFormatContext* context) {
    return isFormat(context, "avi") || isFormat(context, "asf");
}

// Containers whose codec tag is the format tag of a wave header.
bool storesWaveTags(const AVFormatContext* context) {
    return isFormat(context, "avi") || isFormat(context, "asf") || isFormat(context, "wav") ||
           isFormat(context, "w64");
}

// Matroska keeps bitmap and wave headers only for tracks stored in their
// compatibility modes; other tracks have no tag.
bool storesHeaderCodesWhenTagged(const AVFormatContext* context) {
    return std::strncmp(context->iformat->name, "matroska", 8) == 0;
}

uint32_t rawVideoCode(int pixelFormat) {
    switch (pixelFormat) {
    case AV_PIX_FMT_YUYV422:
        return fourCC('Y', 'U', 'Y', '2');
    case AV_PIX_FMT_UYVY422:
        return fourCC('U', 'Y', 'V', 'Y');
    case AV_PIX_FMT_YVYU422:
        return fourCC('Y', 'V', 'Y', 'U');
    case AV_PIX_FMT_YUV420P:
        return fourCC('I', '4', '2', '0');
    case AV_PIX_FMT_GRAY8:
        return fourCC('Y', '8', '0', '0');
    default:
        return 0; // RGB
    }
}

// The code a bitmap header would hold for a codec whose container has none.
std::optional<uint32_t> videoCodeOf(const AVCodecParameters* codec) {
    switch (codec->codec_id) {
    case AV_CODEC_ID_RAWVIDEO:
        return rawVideoCode(codec->format);
    case AV_CODEC_ID_H264:
        return fourCC('H', '2', '6', '4');
    case AV_CODEC_ID_H263:
        return fourCC('H', '2', '6', '3');
    case AV_CODEC_ID_MPEG4:
        return fourCC('M', 'P', '4', 'V');
    case AV_CODEC_ID_MJPEG:
        return fourCC('M', 'J', 'P', 'G');
    case AV_CODEC_ID_MPEG1VIDEO:
        return fourCC('M', 'P', 'G', '1');
    case AV_CODEC_ID_MPEG2VIDEO:
        return fourCC('M', 'P', 'G', '2');
    case AV_CODEC_ID_DVVIDEO:
        return fourCC('d', 'v', 's', 'd');
    case AV_CODEC_ID_MSMPEG4V1:
        return fourCC('M', 'P', 'G', '4');
    case AV_CODEC_ID_MSMPEG4V2:
        return fourCC('M', 'P', '4', '2');
    case AV_CODEC_ID_MSMPEG4V3:
        return fourCC('M', 'P', '4', '3');
    case AV_CODEC_ID_WMV1:
        return fourCC('W', 'M', 'V', '1');
    case AV_CODEC_ID_WMV2:
        return fourCC('W', 'M', 'V', '2');
    case AV_CODEC_ID_CINEPAK:
        return fourCC('C', 'V', 'I', 'D');
    case AV_CODEC_ID_SVQ1:
        return fourCC('S', 'V', 'Q', '1');
    case AV_CODEC_ID_SVQ3:
        return fourCC('S', 'V', 'Q', '3');
    case AV_CODEC_ID_RPZA:
        return fourCC('R', 'P', 'Z', 'A');
    case AV_CODEC_ID_SMC:
        return fourCC('S', 'M', 'C', '\0');
    case AV_CODEC_ID_INDEO3:
        return fourCC('I', 'V', '3', '2');
    case AV_CODEC_ID_INDEO4:
        return fourCC('I', 'V', '4', '1');
    case AV_CODEC_ID_INDEO5:
        return fourCC('I', 'V', '5', '0');
    case AV_CODEC_ID_HUFFYUV:
        return fourCC('H', 'F', 'Y', 'U');
    default:
        break;
    }
    // Otherwise the first code the RIFF tag list gives the codec, if any.
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    const unsigned int tag = av_codec_get_tag(tags, codec->codec_id);
    if (tag != 0) return tag;
    return std::nullopt;
}

// The tag a wave header would hold for a codec whose container has none.
std::optional<uint16_t> waveTagOf(const AVCodecParameters* codec) {
    const char* name = avcodec_get_name(codec->codec_id);
    if (codec->codec_id == AV_CODEC_ID_PCM_ALAW) return 0x0006;
    if (codec->codec_id == AV_CODEC_ID_PCM_MULAW) return 0x0007;
    if (std::strncmp(name, "pcm_f", 5) == 0) return 0x0003;
    if (std::strncmp(name, "pcm_s", 5) == 0 || std::strncmp(name, "pcm_u", 5) == 0) return 0x0001;
    const AVCodecTag* const tags[] = {avformat_get_riff_audio_tags(), nullptr};
    const unsigned int tag = av_codec_get_tag(tags, codec->codec_id);
    if (tag != 0 && tag <= 0xFFFF) return uint16_t(tag);
    return std::nullopt;
}

int bitsPerPixel(const AVCodecParameters* codec) {
    if (codec->bits_per_coded_sample > 0) return codec->bits_per_coded_sample;
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(AVPixelFormat(codec->format));
    return descriptor ? av_get_bits_per_pixel(descriptor) : 0;
}

MediaStreamInfo videoStream(const AVFormatContext* context, const AVStream* stream) {
    const AVCodecParameters* codec = stream->codecpar;
    MediaStreamInfo info;
    info.kind = Kind::Video;
    info.format = MediaStreamInfo::Format::VideoInfo;
    info.hasHeader = codec->width > 0 && codec->height > 0;
    info.width = codec->width;
    info.height = codec->height;
    info.bitsPerPixel = bitsPerPixel(codec);
    info.rotation = displayRotation(*stream);
    if (codec->color_trc == AVCOL_TRC_SMPTE2084) info.hdrTransfer = QStringLiteral("PQ");
    if (codec->color_trc == AVCOL_TRC_ARIB_STD_B67) info.hdrTransfer = QStringLiteral("HLG");
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    // A bitmap header stores the rate as whole 100 ns units per frame.
    if (rate.num > 0 && rate.den > 0)
        info.averageTimePerFrame = std::llround(1e7 * rate.den / rate.num);

    if (storesBitmapCodes(context) || (storesHeaderCodesWhenTagged(context) && codec->codec_tag)) {
        info.compression = codec->codec_tag;
    } else if (const auto code = videoCodeOf(codec)) {
        info.compression = *code;
    } else {
        info.codecWithoutCode = QString::fromLatin1(avcodec_get_name(codec->codec_id));
    }
    return info;
}

MediaStreamInfo audioStream(const AVFormatContext* context, const AVStream* stream) {
    const AVCodecParameters* codec = stream->codecpar;
    MediaStreamInfo info;
    info.kind = Kind::Audio;
    info.format = MediaStreamInfo::Format::WaveFormat;
    info.hasHeader = codec->sample_rate > 0 || codec->ch_layout.nb_channels > 0;
    info.averageBytesPerSecond = codec->bit_rate > 0 ? codec->bit_rate / 8 : 0;
    info.samplesPerSecond = codec->sample_rate;
    info.channels = codec->ch_layout.nb_channels;
    if (storesWaveTags(context) || (storesHeaderCodesWhenTagged(context) && codec->codec_tag)) {
        info.formatTag = uint16_t(codec->codec_tag);
    } else if (const auto tag = waveTagOf(codec)) {
        info.formatTag = *tag;
    } else {
        info.codecWithoutCode = QString::fromLatin1(avcodec_get_name(codec->codec_id));
    }
    return info;
}

MediaStreamInfo otherStream(const AVStream* stream) {
    MediaStreamInfo info;
    switch (stream->codecpar->codec_type) {
    case AVMEDIA_TYPE_SUBTITLE:
        info.kind = Kind::Text;
        break;
    case AVMEDIA_TYPE_DATA:
        if (stream->codecpar->codec_tag == fourCC('t', 'm', 'c', 'd')) info.kind = Kind::Timecode;
        break;
    default:
        break;
    }
    return info;
}

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

} // namespace

std::optional<MediaProbe> probeMedia(const QString& path) {
    // Only regular files: a pipe or a device could block the probe for ever.
    if (path.isEmpty() || !QFileInfo(path).isFile()) return std::nullopt;
    installMediaLog();

    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* raw = nullptr;
    // The file protocol prefix keeps names with a colon from being read as URLs.
    const QByteArray url = "file:" + QFile::encodeName(path);
    const int opened = avformat_open_input(&raw, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return std::nullopt;
    std::unique_ptr<AVFormatContext, InputCloser> context(raw);
    if (avformat_find_stream_info(context.get(), nullptr) < 0) return std::nullopt;
    if (context->nb_streams == 0) return std::nullopt;

    MediaProbe probe;
    const AVStream* first = context->streams[0];
    if (first->duration != AV_NOPTS_VALUE && first->duration > 0) {
        probe.lengthKnown = true;
        probe.lengthSeconds = double(first->duration) * av_q2d(first->time_base);
    } else if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
        probe.lengthKnown = true;
        probe.lengthSeconds = double(context->duration) / AV_TIME_BASE;
    }
    for (unsigned int i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        switch (stream->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            probe.streams.push_back(videoStream(context.get(), stream));
            break;
        case AVMEDIA_TYPE_AUDIO:
            probe.streams.push_back(audioStream(context.get(), stream));
            break;
        default:
            probe.streams.push_back(otherStream(stream));
            break;
        }
    }
    return probe;
}

QString mediaKindName(Kind kind) {
    switch (kind) {
    case Kind::AnalogAudio:
        return QStringLiteral("AnalogAudio");
    case Kind::AnalogVideo:
        return QStringLiteral("Analogvideo");
    case Kind::Audio:
        return QStringLiteral("Audio");
    case Kind::AuxLine21Data:
        return QStringLiteral("AUXLine21Data");
    case Kind::File:
        return QStringLiteral("File");
    case Kind::Interleaved:
        return QStringLiteral("Interleaved");
    case Kind::Lmrt:
        return QStringLiteral("LMRT");
    case Kind::Midi:
        return QStringLiteral("Midi");
    case Kind::Mpeg2Pes:
        return QStringLiteral("MPEG2_PES");
    case Kind::ScriptCommand:
        return QStringLiteral("ScriptCommand");
    case Kind::Stream:
        return QStringLiteral("Stream");
    case Kind::Text:
        return QStringLiteral("Text");
    case Kind::Timecode:
        return QStringLiteral("Timecode");
    case Kind::UrlStream:
        return QStringLiteral("URL_STREAM");
    case Kind::Video:
        return QStringLiteral("Video");
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("Unknown");
}

QString lengthText(bool known, double seconds) {
    if (!known) return QStringLiteral("Unknown");
    if (seconds > 60) {
        const auto minutes = static_cast<long long>(seconds / 60);
        return QString::number(minutes) + " min. " + fixed(seconds - 60.0 * minutes, 3) + " sec.";
    }
    return fixed(seconds, 3) + " sec.";
}

QString formatNumber(double x) {
    return fixed(x, x == std::trunc(x) ? 0 : 3);
}

QString channelText(int channels) {
    if (channels == 1) return QStringLiteral("Mono");
    if (channels == 2) return QStringLiteral("Stereo");
    return QString::number(channels) + " Channels";
}

QString streamDescription(const MediaStreamInfo& stream, double lengthSeconds) {
    QString text = mediaKindName(stream.kind) + " format: ";
    switch (stream.format) {
    case MediaStreamInfo::Format::VideoInfo: {
        if (!stream.hasHeader) break;
        const double fps =
            stream.averageTimePerFrame > 0 ? 10000000.0 / double(stream.averageTimePerFrame) : 0.0;
        const QString codec = stream.codecWithoutCode.isEmpty()
                                  ? codecNameOfFourCC(stream.compression)
                                  : "Unknown (" + stream.codecWithoutCode + ")";
        text += QStringLiteral("%1 x %2, %3 Bits, %4 Frames, %5 Frames/Sec, %6")
                    .arg(stream.width)
                    .arg(stream.height)
                    .arg(stream.bitsPerPixel)
                    .arg(fixed(lengthSeconds * fps, 0), formatNumber(fps), codec);
        if (!stream.hdrTransfer.isEmpty())
            text += QStringLiteral(", HDR (%1), shown tone-mapped").arg(stream.hdrTransfer);
        if (stream.rotation != 0)
            text += QStringLiteral(", shown turned %1\u00B0 clockwise").arg(stream.rotation);
        break;
    }
    case MediaStreamInfo::Format::WaveFormat: {
        if (!stream.hasHeader) break;
        const QString codec = stream.codecWithoutCode.isEmpty()
                                  ? codecNameOfWaveTag(stream.formatTag)
                                  : "Unknown (" + stream.codecWithoutCode + ")";
        text +=
            QStringLiteral("%1, %2 kBit/s, %3 kHz, %4")
                .arg(codec, formatNumber(double(stream.averageBytesPerSecond) * 8 / 1000),
                     formatNumber(stream.samplesPerSecond / 1000.0), channelText(stream.channels));
        break;
    }
    case MediaStreamInfo::Format::Other:
        text += QStringLiteral("Unknown");
        break;
    }
    return text;
}

QString describeMedia(const MediaProbe& probe) {
    const double length = probe.lengthKnown ? probe.lengthSeconds : 0.0;
    QString text = "Media length: " + lengthText(probe.lengthKnown, length) + "\r\n";
    for (const MediaStreamInfo& stream : probe.streams)
        text += streamDescription(stream, length) + "\r\n";
    return text;
}

QString mediaInfo(const QString& path) {
    // A DVD volume is described by its IFO files; an image that holds none is
    // probed like any other file.
    if (isDvdVolumePath(path)) {
        const QString dvd = dvdMediaInfo(path);
        if (!dvd.isEmpty() || QFileInfo(path).isDir()) return dvd;
    }
    const auto probe = probeMedia(path);
    return probe ? describeMedia(*probe) : QString();
}

QString mediaInfoBoxText(const QString& path) {
    return "Media Info for:\r\n\r\n" + QFileInfo(path).fileName() + "\r\n\r\n" + mediaInfo(path);
}

} // namespace stillora
