#pragma once
// The pieces of an SWF file that the slideshow writes: a bit writer, the
// records (rectangle, matrix, colour transform, fill styles, shape records)
// and the tags, each of which encodes itself. Integers are little-endian;
// bit fields are written from the most significant bit and padded to a byte
// where the format says so. All lengths are in twips (20 per pixel).
//
// Plain values and pure functions; any thread, one object at a time.

#include <QByteArray>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

namespace stillora::swf {

constexpr int kTwipsPerPixel = 20;

// Tag codes written by the slideshow.
enum TagCode : uint16_t {
    TagEnd = 0,
    TagShowFrame = 1,
    TagDefineShape = 2,
    TagSetBackgroundColor = 9,
    TagDefineBitsJpeg2 = 21,
    TagPlaceObject2 = 26,
    TagRemoveObject2 = 28,
};

// Width of a bit field that holds every value of `values` as a signed
// number: the binary digits of the largest magnitude plus one for the sign;
// 1 when all are 0.
int SignedBits(std::initializer_list<int64_t> values);
// Width of a style index field for `count` styles: the binary digits of the
// count, 0 for none.
int UnsignedBits(uint32_t count);

class BitWriter {
public:
    // `bits` low bits of `value`, most significant first.
    void unsignedBits(uint32_t value, int bits);
    void signedBits(int32_t value, int bits);
    // Pads the current byte with zero bits.
    void align();
    // Byte-aligned fields (the writer aligns first).
    void u8(uint8_t value);
    void u16(uint16_t value);
    void u32(uint32_t value);
    void bytes(const QByteArray& data);
    // The bytes written, the last one padded.
    QByteArray data();

private:
    QByteArray out_;
    uint32_t pending_ = 0; // bits not yet in out_
    int pendingCount_ = 0;
};

// RECT. `fixedBits` > 0 writes every field with that width instead of the
// smallest that holds them (the movie header's frame rectangle).
struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    void encode(BitWriter& out, int fixedBits = 0) const;
};

// MATRIX without rotation. Scales are 16.16 numbers.
struct Matrix {
    bool hasScale = false;
    int32_t scaleX = 0, scaleY = 0;
    int32_t translateX = 0, translateY = 0;
    void encode(BitWriter& out) const;
};

// CXFORMWITHALPHA with multiply terms only (8.8 numbers, 256 = 1.0).
struct ColorTransform {
    int32_t red = 256, green = 256, blue = 256, alpha = 256;
    void encode(BitWriter& out) const;
};

// A clipped or repeating bitmap fill.
struct FillStyle {
    uint8_t type = 0x41; // clipped bitmap
    uint16_t bitmapId = 0;
    Matrix matrix;
};

// A shape record: a style change (with a move), a straight edge or the end.
struct ShapeRecord {
    enum Kind { StyleChange, StraightEdge, EndShape };
    Kind kind = EndShape;
    // Style change: which parts are present.
    bool newStyles = false, lineStyle = false, fillStyle1 = false, fillStyle0 = false,
         moveTo = false;
    int32_t moveX = 0, moveY = 0;
    uint32_t fillStyle0Index = 0, fillStyle1Index = 0, lineStyleIndex = 0;
    // Straight edge: a horizontal (vertical false) or vertical line.
    bool vertical = false;
    int32_t delta = 0;
    void encode(BitWriter& out, int numFillBits, int numLineBits) const;
};

// Straight edges from the current point, `delta` twips along one axis. An
// edge longer than the record's widest field holds is split into equal
// pieces, so that any picture size can be outlined.
std::vector<ShapeRecord> StraightEdges(bool vertical, int64_t delta);

class Tag {
public:
    virtual ~Tag() = default;
    virtual uint16_t code() const = 0;
    virtual QByteArray body() const = 0;
    // Header (short for bodies up to 62 bytes, long from 63) and body.
    void encode(QByteArray& out) const;
};

// The tag header alone: (code × 64) + length for 0 to 62 bytes, else
// (code × 64) + 63 followed by the length as 32 bits.
QByteArray TagHeader(uint16_t code, uint32_t length);

class SetBackgroundColorTag : public Tag {
public:
    SetBackgroundColorTag(uint8_t r, uint8_t g, uint8_t b) : r_(r), g_(g), b_(b) {}
    uint16_t code() const override { return TagSetBackgroundColor; }
    QByteArray body() const override;

private:
    uint8_t r_, g_, b_;
};

class ShowFrameTag : public Tag {
public:
    uint16_t code() const override { return TagShowFrame; }
    QByteArray body() const override { return {}; }
};

class EndTag : public Tag {
public:
    uint16_t code() const override { return TagEnd; }
    QByteArray body() const override { return {}; }
};

// A JPEG picture: the file's bytes unchanged, between an empty table
// segment (FF D9 FF D8) and a closing FF D9.
class DefineBitsJpeg2Tag : public Tag {
public:
    DefineBitsJpeg2Tag(uint16_t id, QByteArray jpeg) : id_(id), jpeg_(std::move(jpeg)) {}
    uint16_t code() const override { return TagDefineBitsJpeg2; }
    QByteArray body() const override;

private:
    uint16_t id_;
    QByteArray jpeg_;
};

class DefineShapeTag : public Tag {
public:
    uint16_t id = 0;
    Rect bounds;
    std::vector<FillStyle> fillStyles;
    std::vector<ShapeRecord> records; // the end record included
    uint16_t code() const override { return TagDefineShape; }
    QByteArray body() const override;
};

// Places a character (character ≠ 0) or moves the one at the depth.
class PlaceObject2Tag : public Tag {
public:
    uint16_t depth = 0;
    uint16_t character = 0;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    uint8_t flags() const;
    uint16_t code() const override { return TagPlaceObject2; }
    QByteArray body() const override;
};

class RemoveObject2Tag : public Tag {
public:
    explicit RemoveObject2Tag(uint16_t depth) : depth_(depth) {}
    uint16_t code() const override { return TagRemoveObject2; }
    QByteArray body() const override;

private:
    uint16_t depth_;
};

} // namespace stillora::swf
