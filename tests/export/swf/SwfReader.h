#pragma once
// A strict reader of the SWF files the slideshow writes, written for the
// tests from the file format alone (it shares no code with the writer).
// Every tag the slideshow may write is decoded down to its bit fields; the
// reader fails on anything it does not expect: a length that does not match
// its content, a long tag header for a short body (or the other way), a
// field wider or narrower than the smallest width that holds its values,
// non-zero padding, a frame count that is not the number of ShowFrame tags,
// bytes after the End tag.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace stillora::test::swfread {

struct Rect {
    int nbits = 0;
    int64_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

struct Matrix {
    bool hasScale = false;
    int64_t scaleX = 0, scaleY = 0;
    int64_t translateX = 0, translateY = 0;
};

struct ColorTransform {
    int64_t red = 0, green = 0, blue = 0, alpha = 0;
};

struct FillStyle {
    int type = 0;
    int bitmapId = 0;
    Matrix matrix;
};

struct ShapeRecord {
    enum Kind { StyleChange, Edge, End } kind = End;
    bool newStyles = false, lineStyle = false, fillStyle1 = false, fillStyle0 = false,
         moveTo = false;
    int64_t moveX = 0, moveY = 0;
    int fill0 = 0, fill1 = 0, line = 0;
    bool vertical = false;
    int64_t dx = 0, dy = 0;
};

struct Tag {
    int code = -1;
    uint32_t length = 0;
    bool longHeader = false;
    // SetBackgroundColor
    int red = 0, green = 0, blue = 0;
    // DefineBitsJPEG2 and DefineShape
    int id = 0;
    QByteArray jpeg; // the bytes between the leading FF D9 FF D8 and the final FF D9
    Rect bounds;
    std::vector<FillStyle> fills;
    int lineStyles = 0;
    int numFillBits = 0, numLineBits = 0;
    std::vector<ShapeRecord> records;
    // PlaceObject2 and RemoveObject2
    int flags = 0;
    int depth = 0;
    int character = 0;
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> cx;
};

struct File {
    int version = 0;
    uint32_t length = 0;
    Rect frame;
    int rateFraction = 0, rate = 0;
    int frameCount = 0;
    std::vector<Tag> tags; // the End tag included
    int showFrames() const;
    // The tags with this code, in file order.
    std::vector<const Tag*> withCode(int code) const;
};

// Reads `data`; false with the first fault (and its offset) in *error.
bool Read(const QByteArray& data, File& file, QString* error);
bool ReadFile(const QString& path, File& file, QString* error);

} // namespace stillora::test::swfread
