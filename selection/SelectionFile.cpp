#include "selection/SelectionFile.h"

#include "selection/SelectionTree.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <array>
#include <cstring>
#include <limits>

namespace stillora {

namespace {

// windows-1252 bytes 0x80 to 0x9F. The five bytes the code page leaves
// undefined map to the C1 control of the same number, which makes the code
// page a one-to-one map of all 256 bytes.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t Cp1252ToUnicode(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char16_t(byte);
}

// The windows-1252 byte of a character, or -1 when it has none.
int UnicodeToCp1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (size_t i = 0; i < kCp1252High.size(); ++i)
        if (kCp1252High[i] == c) return int(0x80 + i);
    return -1;
}

bool IsValidUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString ignored = decoder(bytes);
    return !decoder.hasError();
}

bool HasHighBytes(const QByteArray& bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// Value type bytes of the component stream.
enum : unsigned char {
    vaNull = 0x00,
    vaInt8 = 0x02,
    vaInt16 = 0x03,
    vaInt32 = 0x04,
    vaString = 0x06,
    vaLString = 0x0C,
    vaInt64 = 0x13,
};

const QByteArray kSignature("TPF0", 4);
const QByteArray kClassName("TSelection");

class RecordWriter {
public:
    QByteArray bytes;

    void byte(unsigned char b) { bytes.append(char(b)); }
    void littleEndian(uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            byte(static_cast<unsigned char>(value >> (8 * i)));
    }
    void shortName(const QByteArray& name) {
        byte(static_cast<unsigned char>(name.size()));
        bytes.append(name);
    }
    void integer(const char* name, int64_t value) {
        shortName(name);
        if (value >= -128 && value <= 127) {
            byte(vaInt8);
            littleEndian(uint64_t(value), 1);
        } else if (value >= -32768 && value <= 32767) {
            byte(vaInt16);
            littleEndian(uint64_t(value), 2);
        } else if (value >= std::numeric_limits<int32_t>::min() &&
                   value <= std::numeric_limits<int32_t>::max()) {
            byte(vaInt32);
            littleEndian(uint64_t(value), 4);
        } else {
            byte(vaInt64);
            littleEndian(uint64_t(value), 8);
        }
    }
    void text(const char* name, const QString& value) {
        const QByteArray encoded = EncodeStoredText(value);
        shortName(name);
        if (encoded.size() <= 255) {
            byte(vaString);
            byte(static_cast<unsigned char>(encoded.size()));
        } else {
            byte(vaLString);
            littleEndian(uint64_t(encoded.size()), 4);
        }
        bytes.append(encoded);
    }
};

// The stored properties, in the order of the record.
enum class Prop {
    Tag,
    StartFrame,
    EndFrame,
    Caption,
    Index,
    FrmLength,
    SourceKind,
    IconsCount,
    IPList
};
enum class PropType { Int32, Int64, Text };

struct PropInfo {
    const char* name;
    Prop prop;
    PropType type;
};

constexpr PropInfo kProps[] = {
    {"Tag", Prop::Tag, PropType::Int32},
    {"StartFrame", Prop::StartFrame, PropType::Int64},
    {"EndFrame", Prop::EndFrame, PropType::Int64},
    {"Caption", Prop::Caption, PropType::Text},
    {"Index", Prop::Index, PropType::Int32},
    {"frmLength", Prop::FrmLength, PropType::Int32},
    {"SourceKind", Prop::SourceKind, PropType::Int32},
    {"IconsCount", Prop::IconsCount, PropType::Int32},
    {"IPList", Prop::IPList, PropType::Text},
};

const PropInfo* FindProp(const QByteArray& name) {
    for (const PropInfo& info : kProps)
        if (qstricmp(name.constData(), info.name) == 0) return &info;
    return nullptr;
}

// Bounded reads from a device: nothing is read or allocated beyond what the
// device still holds.
class Input {
public:
    explicit Input(QIODevice& device) : device_(device) {}

    qint64 left() const { return device_.size() - device_.pos(); }

    bool bytes(qint64 count, QByteArray& out) {
        if (count < 0 || count > left()) return false;
        out = device_.read(count);
        return out.size() == count;
    }
    bool byte(unsigned char& out) {
        char c;
        if (!device_.getChar(&c)) return false;
        out = static_cast<unsigned char>(c);
        return true;
    }
    bool signedLE(int size, int64_t& out) {
        QByteArray raw;
        if (!bytes(size, raw)) return false;
        uint64_t value = 0;
        for (int i = 0; i < size; ++i)
            value |= uint64_t(static_cast<unsigned char>(raw[i])) << (8 * i);
        if (size < 8 && (value >> (8 * size - 1)) & 1) value |= ~uint64_t(0) << (8 * size);
        out = static_cast<int64_t>(value);
        return true;
    }
    bool shortString(QByteArray& out) {
        unsigned char length;
        return byte(length) && bytes(length, out);
    }

private:
    QIODevice& device_;
};

bool ReadInteger(Input& in, unsigned char type, bool allow64, int64_t& value) {
    switch (type) {
    case vaInt8:
        return in.signedLE(1, value);
    case vaInt16:
        return in.signedLE(2, value);
    case vaInt32:
        return in.signedLE(4, value);
    case vaInt64:
        return allow64 && in.signedLE(8, value);
    default:
        return false;
    }
}

bool ReadText(Input& in, unsigned char type, QString& value) {
    QByteArray raw;
    if (type == vaString) {
        if (!in.shortString(raw)) return false;
    } else if (type == vaLString) {
        int64_t length;
        // The length is checked against the bytes left before anything is
        // allocated; a negative or oversized length is damage.
        if (!in.signedLE(4, length) || !in.bytes(length, raw)) return false;
    } else {
        return false;
    }
    value = DecodeStoredText(raw);
    return true;
}

bool ReadProperty(Input& in, const PropInfo& info, TSelection& s) {
    unsigned char type;
    if (!in.byte(type)) return false;
    if (info.type == PropType::Text) {
        QString text;
        if (!ReadText(in, type, text)) return false;
        (info.prop == Prop::Caption ? s.Caption : s.IPList) = text;
        return true;
    }
    int64_t value;
    if (!ReadInteger(in, type, info.type == PropType::Int64, value)) return false;
    const int32_t value32 = static_cast<int32_t>(value); // forms 02 to 04 always fit
    switch (info.prop) {
    case Prop::Tag:
        s.Tag = value32;
        break;
    case Prop::StartFrame:
        s.StartFrame = value;
        break;
    case Prop::EndFrame:
        s.EndFrame = value;
        break;
    case Prop::Index:
        s.Index = value32;
        break;
    case Prop::FrmLength:
        s.frmLength = value32;
        break;
    case Prop::SourceKind:
        s.SourceKind = value32;
        break;
    case Prop::IconsCount:
        s.StoredIconsCount = value32;
        break;
    default:
        return false;
    }
    return true;
}

bool ReadRecord(Input& in, TSelection& s) {
    QByteArray signature, ignored;
    if (!in.bytes(4, signature) || signature != kSignature) return false;
    if (!in.shortString(ignored) || !in.shortString(ignored)) return false; // class, component
    for (;;) {
        QByteArray name;
        if (!in.shortString(name)) return false;
        if (name.isEmpty()) break; // 00 ends the property list
        const PropInfo* info = FindProp(name);
        if (!info || !ReadProperty(in, *info, s)) return false;
    }
    unsigned char children;
    return in.byte(children) && children == vaNull;
}

// The chain of a selection read from a file, rebound by plug-in name. The
// plug-in host has the same rule; the selection layer cannot call up into it.
} // namespace

QString SelectionFileName(const QString& sourceName) {
    const int slash = sourceName.lastIndexOf('/');
    const int dot = sourceName.lastIndexOf('.');
    if (dot > slash) return sourceName.left(dot) + QStringLiteral(".sel");
    return sourceName + QStringLiteral(".sel");
}

QByteArray EncodeStoredText(const QString& text) {
    QByteArray single;
    single.reserve(text.size());
    for (QChar c : text) {
        const int b = UnicodeToCp1252(c.unicode());
        if (b < 0) return text.toUtf8();
        single.append(char(b));
    }
    // windows-1252 bytes that also read as UTF-8 would come back as other
    // characters ("Ã©" would turn into "é"); UTF-8 keeps such a text intact.
    if (HasHighBytes(single) && IsValidUtf8(single)) return text.toUtf8();
    return single;
}

QString DecodeStoredText(const QByteArray& bytes) {
    if (HasHighBytes(bytes) && IsValidUtf8(bytes)) return QString::fromUtf8(bytes);
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text.append(QChar(Cp1252ToUnicode(static_cast<unsigned char>(c))));
    return text;
}

QByteArray WriteSelectionRecord(const TSelection& s) {
    RecordWriter w;
    w.bytes.append(kSignature);
    w.shortName(kClassName);
    w.byte(0); // no component name
    // Integers are written even when they equal the 32-bit minimum: left
    // out, such a value would read back as 0.
    w.integer("Tag", s.Tag);
    if (s.StartFrame != 0) w.integer("StartFrame", s.StartFrame);
    if (s.EndFrame != 0) w.integer("EndFrame", s.EndFrame);
    if (!s.Caption.isEmpty()) w.text("Caption", s.Caption);
    w.integer("Index", s.Index);
    w.integer("frmLength", s.frmLength);
    w.integer("SourceKind", s.SourceKind);
    w.integer("IconsCount", s.IconsCount());
    if (!s.IPList.isEmpty()) w.text("IPList", s.IPList);
    w.byte(0); // end of the property list
    w.byte(0); // end of the (empty) list of child components
    return w.bytes;
}

std::unique_ptr<TSelection> SelectionRecordReader::Next() {
    if (done_) return nullptr;
    Input in(device_);
    if (in.left() <= 0) {
        done_ = true;
        return nullptr;
    }
    auto selection = std::make_unique<TSelection>();
    if (!ReadRecord(in, *selection)) {
        done_ = true;
        damaged_ = true;
        return nullptr;
    }
    return selection;
}

bool SaveSelectionFile(const QString& path, const SelectionTree& tree) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    for (const TSelection* selection : tree.TopLevelSelections()) {
        const QByteArray record = WriteSelectionRecord(*selection);
        if (file.write(record) != record.size()) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

SelectionLoadResult LoadSelectionFile(const QString& path, SelectionTree& tree,
                                      const PluginTable& plugins) {
    SelectionLoadResult result;
    const QFileInfo info(path);
    if (!info.exists()) return result;
    result.outcome = SelectionLoadResult::CannotOpen;
    // Only regular files: a folder, a pipe or a device is no list (and a
    // pipe would block the window on opening).
    if (!info.isFile()) return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential()) return result;
    result.outcome = SelectionLoadResult::Loaded;

    SelectionRecordReader reader(file);
    while (std::unique_ptr<TSelection> selection = reader.Next()) {
        selection->Effects.clear();
        RebindChainFromCaption(*selection, selection->IPList, plugins);
        tree.AddSelectionToTree(std::move(selection));
        ++result.added;
    }
    result.damaged = reader.damaged();
    return result;
}

QString SaveSelectionsForSource(const QString& sourceName, const SelectionTree& tree) {
    return SaveSelectionFile(SelectionFileName(sourceName), tree) ? QString()
                                                                  : kCannotSaveSelectionFile;
}

QString LoadSelectionsForSource(const QString& sourceName, SelectionTree& tree,
                                const PluginTable& plugins) {
    const SelectionLoadResult result =
        LoadSelectionFile(SelectionFileName(sourceName), tree, plugins);
    return result.outcome == SelectionLoadResult::Loaded ? QString() : kCannotLoadSelectionFile;
}

} // namespace stillora
