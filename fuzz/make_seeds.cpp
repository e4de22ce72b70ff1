// Writes a few valid selection list files as the fuzzer's starting corpus.
#include "selection/SelectionFile.h"

#include <QFile>
#include <QString>

#include <cstdio>

using namespace stillora;

namespace {

std::unique_ptr<TSelection> Make(int64_t in, int64_t out, const QString& caption,
                                 const QString& chain) {
    auto s = std::make_unique<TSelection>(caption);
    s->StartFrame = in;
    s->EndFrame = out;
    s->Index = static_cast<int32_t>(in);
    s->frmLength = static_cast<int32_t>(out - in + 1);
    s->SourceKind = 1;
    s->IPList = chain;
    return s;
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + '/';
    const QByteArray interval = WriteSelectionRecord(*Make(10, 20, "Range_00010_00020", "(None)"));
    const QByteArray frame = WriteSelectionRecord(*Make(0, 0, "Frame_00000", QString()));
    const QByteArray wide = WriteSelectionRecord(
        *Make(5000000000LL, 5000000100LL, QString(300, 'x'), "Lightness,Spray"));
    const QByteArray unicode =
        WriteSelectionRecord(*Make(70000, 70001, QString::fromUtf8("Été ✓ Ω"), "A,,B,"));
    bool ok = Write(folder + "interval.sel", interval) && Write(folder + "frame.sel", frame) &&
              Write(folder + "long.sel", wide) && Write(folder + "unicode.sel", unicode) &&
              Write(folder + "several.sel", interval + frame + wide + unicode);
    return ok ? 0 : 1;
}
