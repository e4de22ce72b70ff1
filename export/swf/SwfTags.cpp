#include "export/swf/SwfTags.h"

#include <algorithm>
#include <cstdlib>

namespace stillora::swf {

namespace {

int digits(uint64_t value) {
    int n = 0;
    for (; value != 0; value >>= 1)
        ++n;
    return n;
}

// A straight edge stores its width minus 2 in four bits.
constexpr int kMinEdgeBits = 2;
constexpr int kMaxEdgeBits = 15 + 2;
constexpr int64_t kMaxEdgeDelta = (int64_t(1) << (kMaxEdgeBits - 1)) - 1;

} // namespace

int SignedBits(std::initializer_list<int64_t> values) {
    int widest = 0;
    for (const int64_t v : values)
        widest = std::max(widest, digits(static_cast<uint64_t>(v < 0 ? -v : v)));
    return widest + 1;
}

int UnsignedBits(uint32_t count) {
    return digits(count);
}

void BitWriter::unsignedBits(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
        pending_ = (pending_ << 1) | ((value >> i) & 1u);
        if (++pendingCount_ == 8) {
            out_.append(static_cast<char>(pending_ & 0xFF));
            pending_ = 0;
            pendingCount_ = 0;
        }
    }
}

void BitWriter::signedBits(int32_t value, int bits) {
    unsignedBits(static_cast<uint32_t>(value), bits);
}

void BitWriter::align() {
    if (pendingCount_ > 0) unsignedBits(0, 8 - pendingCount_);
}

void BitWriter::u8(uint8_t value) {
    align();
    out_.append(static_cast<char>(value));
}

void BitWriter::u16(uint16_t value) {
    u8(value & 0xFF);
    u8(value >> 8);
}

void BitWriter::u32(uint32_t value) {
    u16(value & 0xFFFF);
    u16(value >> 16);
}

void BitWriter::bytes(const QByteArray& data) {
    align();
    out_.append(data);
}

QByteArray BitWriter::data() {
    align();
    return out_;
}

void Rect::encode(BitWriter& out, int fixedBits) const {
    out.align();
    const int bits = fixedBits > 0 ? fixedBits : SignedBits({xMin, xMax, yMin, yMax});
    out.unsignedBits(static_cast<uint32_t>(bits), 5);
    for (const int32_t v : {xMin, xMax, yMin, yMax})
        out.signedBits(v, bits);
    out.align();
}

void Matrix::encode(BitWriter& out) const {
    out.align();
    out.unsignedBits(hasScale ? 1 : 0, 1);
    if (hasScale) {
        const int bits = SignedBits({scaleX, scaleY});
        out.unsignedBits(static_cast<uint32_t>(bits), 5);
        out.signedBits(scaleX, bits);
        out.signedBits(scaleY, bits);
    }
    out.unsignedBits(0, 1); // no rotation
    const int bits = SignedBits({translateX, translateY});
    out.unsignedBits(static_cast<uint32_t>(bits), 5);
    out.signedBits(translateX, bits);
    out.signedBits(translateY, bits);
    out.align();
}

void ColorTransform::encode(BitWriter& out) const {
    out.align();
    out.unsignedBits(0, 1); // no add terms
    out.unsignedBits(1, 1); // multiply terms
    const int bits = SignedBits({red, green, blue, alpha});
    out.unsignedBits(static_cast<uint32_t>(bits), 4);
    for (const int32_t v : {red, green, blue, alpha})
        out.signedBits(v, bits);
    out.align();
}

void ShapeRecord::encode(BitWriter& out, int numFillBits, int numLineBits) const {
    switch (kind) {
    case EndShape:
        out.unsignedBits(0, 6);
        return;
    case StyleChange:
        out.unsignedBits(0, 1);
        out.unsignedBits(newStyles, 1);
        out.unsignedBits(lineStyle, 1);
        out.unsignedBits(fillStyle1, 1);
        out.unsignedBits(fillStyle0, 1);
        out.unsignedBits(moveTo, 1);
        if (moveTo) {
            const int bits = SignedBits({moveX, moveY});
            out.unsignedBits(static_cast<uint32_t>(bits), 5);
            out.signedBits(moveX, bits);
            out.signedBits(moveY, bits);
        }
        if (fillStyle0) out.unsignedBits(fillStyle0Index, numFillBits);
        if (fillStyle1) out.unsignedBits(fillStyle1Index, numFillBits);
        if (lineStyle) out.unsignedBits(lineStyleIndex, numLineBits);
        return;
    case StraightEdge: {
        const int bits = std::clamp(SignedBits({delta}), kMinEdgeBits, kMaxEdgeBits);
        out.unsignedBits(1, 1); // edge
        out.unsignedBits(1, 1); // straight
        out.unsignedBits(static_cast<uint32_t>(bits - 2), 4);
        out.unsignedBits(0, 1); // not a general line
        out.unsignedBits(vertical, 1);
        out.signedBits(delta, bits);
        return;
    }
    }
}

std::vector<ShapeRecord> StraightEdges(bool vertical, int64_t delta) {
    const int64_t magnitude = std::llabs(delta);
    const int64_t pieces = std::max<int64_t>(1, (magnitude + kMaxEdgeDelta - 1) / kMaxEdgeDelta);
    std::vector<ShapeRecord> edges;
    int64_t done = 0;
    for (int64_t i = 1; i <= pieces; ++i) {
        // Rounded partial sums keep the pieces within one twip of each other.
        const int64_t upTo = delta * i / pieces;
        ShapeRecord edge;
        edge.kind = ShapeRecord::StraightEdge;
        edge.vertical = vertical;
        edge.delta = static_cast<int32_t>(upTo - done);
        edges.push_back(edge);
        done = upTo;
    }
    return edges;
}

QByteArray TagHeader(uint16_t code, uint32_t length) {
    BitWriter out;
    if (length < 63) {
        out.u16(static_cast<uint16_t>((code << 6) | length));
    } else {
        out.u16(static_cast<uint16_t>((code << 6) | 63));
        out.u32(length);
    }
    return out.data();
}

void Tag::encode(QByteArray& out) const {
    const QByteArray content = body();
    out += TagHeader(code(), static_cast<uint32_t>(content.size()));
    out += content;
}

QByteArray SetBackgroundColorTag::body() const {
    BitWriter out;
    out.u8(r_);
    out.u8(g_);
    out.u8(b_);
    return out.data();
}

QByteArray DefineBitsJpeg2Tag::body() const {
    BitWriter out;
    out.u16(id_);
    out.bytes(QByteArray("\xFF\xD9\xFF\xD8", 4));
    out.bytes(jpeg_);
    out.bytes(QByteArray("\xFF\xD9", 2));
    return out.data();
}

QByteArray DefineShapeTag::body() const {
    BitWriter out;
    out.u16(id);
    bounds.encode(out);
    const auto count = static_cast<uint32_t>(fillStyles.size());
    if (count < 255) {
        out.u8(static_cast<uint8_t>(count));
    } else {
        out.u8(255);
        out.u16(static_cast<uint16_t>(count));
    }
    for (const FillStyle& fill : fillStyles) {
        out.u8(fill.type);
        out.u16(fill.bitmapId);
        fill.matrix.encode(out);
    }
    out.u8(0); // no line styles
    const int fillBits = UnsignedBits(count);
    const int lineBits = 0;
    out.unsignedBits(static_cast<uint32_t>(fillBits), 4);
    out.unsignedBits(static_cast<uint32_t>(lineBits), 4);
    for (const ShapeRecord& record : records)
        record.encode(out, fillBits, lineBits);
    return out.data();
}

uint8_t PlaceObject2Tag::flags() const {
    uint8_t f = 0;
    if (colorTransform) f |= 0x08;
    if (matrix) f |= 0x04;
    f |= character != 0 ? 0x02 : 0x01;
    return f;
}

QByteArray PlaceObject2Tag::body() const {
    BitWriter out;
    out.u8(flags());
    out.u16(depth);
    if (character != 0) out.u16(character);
    if (matrix) matrix->encode(out);
    if (colorTransform) colorTransform->encode(out);
    return out.data();
}

QByteArray RemoveObject2Tag::body() const {
    BitWriter out;
    out.u16(depth_);
    return out.data();
}

} // namespace stillora::swf
