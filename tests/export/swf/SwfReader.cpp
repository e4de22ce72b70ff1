#include "SwfReader.h"

#include <QFile>

#include <stdexcept>

namespace stillora::test::swfread {

namespace {

struct Fault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const QString& what, qint64 offset) {
    throw Fault(QStringLiteral("%1 at byte %2").arg(what).arg(offset).toStdString());
}

int digitsOf(uint64_t v) {
    int n = 0;
    for (; v; v >>= 1)
        ++n;
    return n;
}

// The smallest signed width for the values: digits of the largest
// magnitude plus a sign bit.
int needed(std::initializer_list<int64_t> values) {
    int widest = 0;
    for (int64_t v : values)
        widest = std::max(widest, digitsOf(static_cast<uint64_t>(v < 0 ? -v : v)));
    return widest + 1;
}

class Bits {
public:
    Bits(const QByteArray& data, qint64 begin, qint64 end) : d_(data), pos_(begin * 8), end_(end) {}

    uint64_t ub(int n) {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (pos_ / 8 >= end_) fail(QStringLiteral("bit field past the end"), pos_ / 8);
            const int byte = static_cast<unsigned char>(d_[static_cast<int>(pos_ / 8)]);
            v = (v << 1) | ((byte >> (7 - pos_ % 8)) & 1);
            ++pos_;
        }
        return v;
    }
    int64_t sb(int n) {
        if (n == 0) return 0;
        const uint64_t v = ub(n);
        const uint64_t sign = uint64_t(1) << (n - 1);
        return static_cast<int64_t>(v ^ sign) - static_cast<int64_t>(sign);
    }
    // The rest of the byte must be zero.
    void align() {
        while (pos_ % 8 != 0)
            if (ub(1) != 0) fail(QStringLiteral("padding bit set"), pos_ / 8);
    }
    void requireAligned() const {
        if (pos_ % 8 != 0) fail(QStringLiteral("field not byte-aligned"), pos_ / 8);
    }
    int u8() {
        requireAligned();
        return static_cast<int>(ub(8));
    }
    int u16() {
        const int lo = u8();
        return lo | (u8() << 8);
    }
    uint32_t u32() {
        const uint32_t lo = static_cast<uint32_t>(u16());
        return lo | (static_cast<uint32_t>(u16()) << 16);
    }
    QByteArray take(qint64 n) {
        requireAligned();
        if (pos_ / 8 + n > end_) fail(QStringLiteral("bytes past the end"), pos_ / 8);
        const QByteArray out = d_.mid(static_cast<int>(pos_ / 8), static_cast<int>(n));
        pos_ += n * 8;
        return out;
    }
    qint64 byte() const { return pos_ / 8; }
    bool atEnd() const { return pos_ / 8 >= end_; }

private:
    const QByteArray& d_;
    qint64 pos_;
    qint64 end_;
};

void checkWidth(int got, int want, const char* what, qint64 at) {
    if (got != want)
        fail(QStringLiteral("%1 written with %2 bits where %3 hold it")
                 .arg(QLatin1String(what))
                 .arg(got)
                 .arg(want),
             at);
}

Rect rect(Bits& b, bool header) {
    b.requireAligned();
    const qint64 at = b.byte();
    Rect r;
    r.nbits = static_cast<int>(b.ub(5));
    r.xMin = b.sb(r.nbits);
    r.xMax = b.sb(r.nbits);
    r.yMin = b.sb(r.nbits);
    r.yMax = b.sb(r.nbits);
    const int want = needed({r.xMin, r.xMax, r.yMin, r.yMax});
    checkWidth(r.nbits, header ? std::max(15, want) : want, "rectangle", at);
    b.align();
    return r;
}

Matrix matrix(Bits& b) {
    b.requireAligned();
    const qint64 at = b.byte();
    Matrix m;
    m.hasScale = b.ub(1);
    if (m.hasScale) {
        const int n = static_cast<int>(b.ub(5));
        m.scaleX = b.sb(n);
        m.scaleY = b.sb(n);
        checkWidth(n, needed({m.scaleX, m.scaleY}), "matrix scale", at);
    }
    if (b.ub(1)) fail(QStringLiteral("unexpected matrix rotation"), at);
    const int n = static_cast<int>(b.ub(5));
    m.translateX = b.sb(n);
    m.translateY = b.sb(n);
    checkWidth(n, needed({m.translateX, m.translateY}), "matrix translation", at);
    b.align();
    return m;
}

ColorTransform cxform(Bits& b) {
    b.requireAligned();
    const qint64 at = b.byte();
    if (b.ub(1)) fail(QStringLiteral("unexpected add terms"), at);
    if (!b.ub(1)) fail(QStringLiteral("colour transform without multiply terms"), at);
    const int n = static_cast<int>(b.ub(4));
    ColorTransform c;
    c.red = b.sb(n);
    c.green = b.sb(n);
    c.blue = b.sb(n);
    c.alpha = b.sb(n);
    checkWidth(n, needed({c.red, c.green, c.blue, c.alpha}), "colour transform", at);
    b.align();
    return c;
}

void defineShape(Bits& b, Tag& t) {
    t.id = b.u16();
    t.bounds = rect(b, false);
    int fills = b.u8();
    if (fills == 255) fills = b.u16();
    for (int i = 0; i < fills; ++i) {
        FillStyle f;
        f.type = b.u8();
        if (f.type != 0x40 && f.type != 0x41 && f.type != 0x42 && f.type != 0x43)
            fail(QStringLiteral("fill style %1 is not a bitmap fill").arg(f.type), b.byte());
        f.bitmapId = b.u16();
        f.matrix = matrix(b);
        t.fills.push_back(f);
    }
    t.lineStyles = b.u8();
    if (t.lineStyles != 0) fail(QStringLiteral("unexpected line styles"), b.byte());
    t.numFillBits = static_cast<int>(b.ub(4));
    t.numLineBits = static_cast<int>(b.ub(4));
    checkWidth(t.numFillBits, digitsOf(static_cast<uint64_t>(fills)), "NumFillBits", b.byte());
    checkWidth(t.numLineBits, digitsOf(static_cast<uint64_t>(t.lineStyles)), "NumLineBits",
               b.byte());
    for (;;) {
        const qint64 at = b.byte();
        ShapeRecord r;
        if (b.ub(1) == 0) {
            r.newStyles = b.ub(1);
            r.lineStyle = b.ub(1);
            r.fillStyle1 = b.ub(1);
            r.fillStyle0 = b.ub(1);
            r.moveTo = b.ub(1);
            if (!r.newStyles && !r.lineStyle && !r.fillStyle1 && !r.fillStyle0 && !r.moveTo) {
                r.kind = ShapeRecord::End;
                t.records.push_back(r);
                break;
            }
            if (r.newStyles) fail(QStringLiteral("unexpected new styles"), at);
            r.kind = ShapeRecord::StyleChange;
            if (r.moveTo) {
                const int n = static_cast<int>(b.ub(5));
                r.moveX = b.sb(n);
                r.moveY = b.sb(n);
                checkWidth(n, needed({r.moveX, r.moveY}), "move", at);
            }
            if (r.fillStyle0) r.fill0 = static_cast<int>(b.ub(t.numFillBits));
            if (r.fillStyle1) r.fill1 = static_cast<int>(b.ub(t.numFillBits));
            if (r.lineStyle) r.line = static_cast<int>(b.ub(t.numLineBits));
            if (r.fill0 > fills || r.fill1 > fills)
                fail(QStringLiteral("fill style index past the styles"), at);
        } else {
            if (b.ub(1) != 1) fail(QStringLiteral("unexpected curved edge"), at);
            const int n = static_cast<int>(b.ub(4)) + 2;
            r.kind = ShapeRecord::Edge;
            if (b.ub(1)) {
                r.dx = b.sb(n);
                r.dy = b.sb(n);
                checkWidth(n, std::max(2, needed({r.dx, r.dy})), "edge", at);
            } else {
                r.vertical = b.ub(1);
                (r.vertical ? r.dy : r.dx) = b.sb(n);
                checkWidth(n, std::max(2, needed({r.dx + r.dy})), "edge", at);
            }
        }
        t.records.push_back(r);
    }
    b.align();
}

void placeObject2(Bits& b, Tag& t) {
    t.flags = b.u8();
    if (t.flags & 0xF0) fail(QStringLiteral("unexpected PlaceObject2 flags"), b.byte());
    const bool hasCharacter = t.flags & 0x02, move = t.flags & 0x01;
    if (!hasCharacter && !move) fail(QStringLiteral("neither a placement nor a move"), b.byte());
    t.depth = b.u16();
    if (hasCharacter) t.character = b.u16();
    if (t.flags & 0x04) t.matrix = matrix(b);
    if (t.flags & 0x08) t.cx = cxform(b);
}

Tag tag(Bits& b) {
    Tag t;
    const qint64 at = b.byte();
    const int word = b.u16();
    t.code = word >> 6;
    t.length = static_cast<uint32_t>(word & 63);
    if (t.length == 63) {
        t.longHeader = true;
        t.length = b.u32();
        if (t.length < 63) fail(QStringLiteral("long header for a body of %1").arg(t.length), at);
    }
    const qint64 begin = b.byte();
    QByteArray body = b.take(t.length);
    Bits in(body, 0, body.size());
    switch (t.code) {
    case 0:
    case 1:
        break;
    case 9:
        t.red = in.u8();
        t.green = in.u8();
        t.blue = in.u8();
        break;
    case 21: {
        t.id = in.u16();
        const QByteArray data = in.take(body.size() - 2);
        if (!data.startsWith(QByteArray("\xFF\xD9\xFF\xD8", 4)) ||
            !data.endsWith(QByteArray("\xFF\xD9", 2)) || data.size() < 6)
            fail(QStringLiteral("picture data without its markers"), begin);
        t.jpeg = data.mid(4, data.size() - 6);
        break;
    }
    case 2:
        defineShape(in, t);
        break;
    case 26:
        placeObject2(in, t);
        break;
    case 28:
        t.depth = in.u16();
        break;
    default:
        fail(QStringLiteral("unexpected tag %1").arg(t.code), at);
    }
    if (!in.atEnd())
        fail(QStringLiteral("tag %1 has %2 bytes more than its content")
                 .arg(t.code)
                 .arg(body.size() - in.byte()),
             begin);
    return t;
}

} // namespace

int File::showFrames() const {
    int n = 0;
    for (const Tag& t : tags)
        n += t.code == 1 ? 1 : 0;
    return n;
}

std::vector<const Tag*> File::withCode(int code) const {
    std::vector<const Tag*> out;
    for (const Tag& t : tags)
        if (t.code == code) out.push_back(&t);
    return out;
}

bool Read(const QByteArray& data, File& file, QString* error) {
    file = File{};
    try {
        Bits b(data, 0, data.size());
        if (b.take(3) != "FWS") fail(QStringLiteral("no FWS signature"), 0);
        file.version = b.u8();
        file.length = b.u32();
        if (file.length != static_cast<uint32_t>(data.size()))
            fail(QStringLiteral("file length %1 for %2 bytes").arg(file.length).arg(data.size()),
                 4);
        file.frame = rect(b, true);
        file.rateFraction = b.u8();
        file.rate = b.u8();
        file.frameCount = b.u16();
        for (;;) {
            if (b.atEnd()) fail(QStringLiteral("no End tag"), b.byte());
            file.tags.push_back(tag(b));
            if (file.tags.back().code == 0) break;
        }
        if (!b.atEnd()) fail(QStringLiteral("bytes after the End tag"), b.byte());
        if (file.frameCount != file.showFrames())
            fail(QStringLiteral("frame count %1 for %2 ShowFrame tags")
                     .arg(file.frameCount)
                     .arg(file.showFrames()),
                 19);
    } catch (const Fault& fault) {
        if (error) *error = QString::fromStdString(fault.what());
        return false;
    }
    return true;
}

bool ReadFile(const QString& path, File& file, QString* error) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("cannot open ") + path;
        return false;
    }
    return Read(in.readAll(), file, error);
}

} // namespace stillora::test::swfread
