// Fuzz target for the selection list reader: any input must read without a
// crash or a runaway allocation, and every record it accepts must write back
// into a record that reads as the same selection.
#include "selection/SelectionFile.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

using namespace stillora;

namespace {

bool SameStoredValues(const TSelection& a, const TSelection& b) {
    return a.Tag == b.Tag && a.StartFrame == b.StartFrame && a.EndFrame == b.EndFrame &&
           a.Caption == b.Caption && a.Index == b.Index && a.frmLength == b.frmLength &&
           a.SourceKind == b.SourceKind && a.IPList == b.IPList;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));

    // Any bytes decode to a text that survives encoding and decoding.
    const QString text = DecodeStoredText(bytes);
    if (DecodeStoredText(EncodeStoredText(text)) != text) abort();

    QBuffer input(&bytes);
    input.open(QIODevice::ReadOnly);
    SelectionRecordReader reader(input);
    while (std::unique_ptr<TSelection> selection = reader.Next()) {
        QByteArray record = WriteSelectionRecord(*selection);
        QBuffer again(&record);
        again.open(QIODevice::ReadOnly);
        SelectionRecordReader rereader(again);
        std::unique_ptr<TSelection> copy = rereader.Next();
        if (!copy || rereader.Next() || rereader.damaged()) abort();
        if (!SameStoredValues(*selection, *copy)) abort();
        if (copy->StoredIconsCount != selection->IconsCount()) abort();
    }
    return 0;
}
