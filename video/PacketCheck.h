#pragma once
// Cheap tests of a packet's bytes against the form its codec gives every
// packet, made while a file is indexed (nothing is decoded then). A packet
// that fails was damaged on its way (a scratched disc, a broken download): the
// stretch around it is decoded at open to learn what a sequential decode
// makes of it. Codecs without a form to test pass every packet.
//
// Threads: any; the object is not changed after construction.

#include <cstdint>

struct AVCodecParameters;

namespace stillora {

class PacketCheck {
public:
    explicit PacketCheck(const AVCodecParameters& codec);
    bool looksIntact(const uint8_t* data, int size) const;
    // True for a packet that carries more than one picture: MPEG-4 Part 2 in
    // the "packed" form, where a reference frame and the B-frame after it
    // share a packet. False for codecs without such a form.
    bool holdsSeveralPictures(const uint8_t* data, int size) const;

private:
    enum class Form { Unknown, LengthPrefixedH264, LengthPrefixedHevc, StartCode, Jpeg };
    bool nalUnitsIntact(const uint8_t* data, int size) const;

    Form form_ = Form::Unknown;
    bool mpeg4Part2_ = false;
    int lengthSize_ = 4; // bytes of each NAL unit's length prefix
};

} // namespace stillora
