#include "video/PacketCheck.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>

namespace stillora {

PacketCheck::PacketCheck(const AVCodecParameters& codec) {
    const uint8_t* extra = codec.extradata;
    const int extraSize = codec.extradata_size;
    switch (codec.codec_id) {
    case AV_CODEC_ID_H264:
        // An avcC record (first byte 1) means NAL units with length prefixes,
        // as MP4 and MKV store them; otherwise start codes.
        if (extraSize >= 7 && extra[0] == 1) {
            form_ = Form::LengthPrefixedH264;
            lengthSize_ = (extra[4] & 3) + 1;
        } else {
            form_ = Form::StartCode;
        }
        break;
    case AV_CODEC_ID_HEVC:
        if (extraSize >= 23 && extra[0] == 1) {
            form_ = Form::LengthPrefixedHevc;
            lengthSize_ = (extra[21] & 3) + 1;
        } else {
            form_ = Form::StartCode;
        }
        break;
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_MPEG4:
        form_ = Form::StartCode;
        mpeg4Part2_ = codec.codec_id == AV_CODEC_ID_MPEG4;
        break;
    case AV_CODEC_ID_MJPEG:
        form_ = Form::Jpeg;
        break;
    default:
        break;
    }
}

bool PacketCheck::looksIntact(const uint8_t* data, int size) const {
    switch (form_) {
    case Form::Unknown:
        return true;
    case Form::StartCode:
        return size >= 4 && data[0] == 0 && data[1] == 0 &&
               (data[2] == 1 || (data[2] == 0 && data[3] == 1));
    case Form::Jpeg:
        return size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
    case Form::LengthPrefixedH264:
    case Form::LengthPrefixedHevc:
        return nalUnitsIntact(data, size);
    }
    return true;
}

bool PacketCheck::holdsSeveralPictures(const uint8_t* data, int size) const {
    if (!mpeg4Part2_) return false;
    // Each picture (video object plane) begins with the start code 00 00 01 B6.
    int pictures = 0;
    for (int at = 0; at < size; ++at) {
        const void* found = std::memchr(data + at, 0xB6, size_t(size - at));
        if (!found) break;
        at = int(static_cast<const uint8_t*>(found) - data);
        if (at >= 3 && data[at - 1] == 1 && data[at - 2] == 0 && data[at - 3] == 0 && ++pictures > 1)
            return true;
    }
    return false;
}

bool PacketCheck::nalUnitsIntact(const uint8_t* data, int size) const {
    // The length prefixes must chain exactly to the packet's end, and every
    // unit's header must be a valid one.
    int at = 0;
    if (size <= 0) return false;
    while (at < size) {
        if (size - at < lengthSize_) return false;
        int64_t length = 0;
        for (int i = 0; i < lengthSize_; ++i)
            length = (length << 8) | data[at + i];
        at += lengthSize_;
        if (length == 0 || length > size - at) return false;
        const uint8_t header = data[at];
        if (header & 0x80) return false; // forbidden_zero_bit
        if (form_ == Form::LengthPrefixedH264) {
            if ((header & 0x1F) == 0) return false; // unspecified type
        } else {
            if (length < 2) return false;
            const int layer = ((header & 1) << 5) | (data[at + 1] >> 3);
            const int temporalIdPlus1 = data[at + 1] & 7;
            if (layer != 0 || temporalIdPlus1 == 0) return false;
        }
        at += static_cast<int>(length);
    }
    return true;
}

} // namespace stillora
