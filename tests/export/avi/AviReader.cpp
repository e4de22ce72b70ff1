#include "AviReader.h"

#include <QFile>
#include <QtEndian>

namespace stillora::test {

namespace {

class Reader {
public:
    Reader(QFile& file, AviStructure& out) : f_(file), out_(out) {}

    bool fail(const QString& why) {
        out_.error = why;
        return false;
    }

    bool header(QString& id, uint32_t& size) {
        char h[8];
        if (f_.read(h, 8) != 8) return false;
        id = QString::fromLatin1(h, 4);
        size = qFromLittleEndian<uint32_t>(h + 4);
        return true;
    }

    // Walks the chunks between `from` and `to`.
    bool walk(int64_t from, int64_t to, int moviIndex) {
        int64_t at = from;
        while (at + 8 <= to) {
            if (!f_.seek(at)) return fail("seek");
            QString id;
            uint32_t size = 0;
            if (!header(id, size)) return fail("short chunk header");
            const int64_t data = at + 8;
            const int64_t end = data + size + (size & 1);
            if (end > to) return fail(QString("chunk %1 runs past its list").arg(id));
            if (moviIndex >= 0) out_.movi[size_t(moviIndex)].push_back({id, at, size});
            if (id == "LIST") {
                const QString type = QString::fromLatin1(f_.read(4));
                if (type == "movi") {
                    out_.moviCodes.push_back(data);
                    out_.movi.emplace_back();
                    if (!walk(data + 4, end, int(out_.movi.size()) - 1)) return false;
                } else if (!walk(data + 4, end, moviIndex)) {
                    return false;
                }
            } else if (moviIndex < 0) {
                const QByteArray bytes = f_.read(size);
                if (id == "avih") out_.avih = bytes;
                if (id == "strh") out_.strh = bytes;
                if (id == "strf") out_.strf = bytes;
                if (id == "strn") out_.strn = bytes;
                if (id == "indx") out_.indx = bytes;
                if (id == "dmlh") out_.dmlh = bytes;
                if (id == "idx1")
                    for (int i = 0; i + 16 <= bytes.size(); i += 16)
                        out_.idx1.push_back(
                            {QString::fromLatin1(bytes.mid(i, 4)), AviStructure::u32(bytes, i + 4),
                             AviStructure::u32(bytes, i + 8), AviStructure::u32(bytes, i + 12)});
            }
            at = end;
        }
        return true;
    }

    bool top() {
        int64_t at = 0;
        const int64_t size = f_.size();
        while (at + 12 <= size) {
            if (!f_.seek(at)) return fail("seek");
            QString id;
            uint32_t length = 0;
            if (!header(id, length) || id != "RIFF")
                return fail("no RIFF part at " + QString::number(at));
            out_.riffTypes.push_back(QString::fromLatin1(f_.read(4)));
            const int64_t end = at + 8 + length;
            if (end > size) return fail("RIFF part runs past the end of the file");
            if (!walk(at + 12, end, -1)) return false;
            at = end + (length & 1);
        }
        if (at != size) return fail("bytes after the last RIFF part");
        return true;
    }

private:
    QFile& f_;
    AviStructure& out_;
};

} // namespace

uint32_t AviStructure::u32(const QByteArray& data, int offset) {
    if (offset + 4 > data.size()) return 0xdeadbeef;
    return qFromLittleEndian<uint32_t>(data.constData() + offset);
}

uint16_t AviStructure::u16(const QByteArray& data, int offset) {
    if (offset + 2 > data.size()) return 0xdead;
    return qFromLittleEndian<uint16_t>(data.constData() + offset);
}

AviStructure ReadAvi(const QString& path) {
    AviStructure s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        s.error = "cannot open " + path;
        return s;
    }
    s.ok = Reader(file, s).top();
    return s;
}

QByteArray ReadChunkData(const QString& path, const AviChunk& chunk, int64_t limit) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(chunk.position + 8)) return {};
    return file.read(qMin<int64_t>(chunk.size, limit));
}

} // namespace stillora::test
