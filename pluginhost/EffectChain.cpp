#include "pluginhost/EffectChain.h"

#include "plugins/common/PluginBitmap.h"

namespace stillora {

namespace {

void toPlugin(const QImage& image, TPluginBitmap& bitmap) {
    const QImage rgb32 = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    bitmap.assignBGRX(rgb32.width(), rgb32.height(), rgb32.constBits(), rgb32.bytesPerLine());
}

QImage fromPlugin(const TPluginBitmap& bitmap) {
    QImage image(bitmap.width(), bitmap.height(), QImage::Format_RGB32);
    if (!image.isNull()) bitmap.copyToBGRX(image.bits(), image.bytesPerLine());
    return image;
}

} // namespace

void ApplyEffectEntry(const TPluginRecord& entry, QImage& src, QImage& dst) {
    const uint16_t version = entry.Version ? entry.Version() : STILLORA_PLUGIN_VERSION;
    if (version == STILLORA_PLUGIN_VERSION_OLD) {
        if (entry.RunProc) entry.RunProc(&src, &dst);
        return;
    }
    if (!entry.RunProcBMP) return;
    TPluginBitmap source, dest;
    toPlugin(src, source);
    toPlugin(dst, dest);
    entry.RunProcBMP(&source, &dest);
    dst = fromPlugin(dest);
}

void RunChain(const std::vector<TPluginRecord>& entries, QImage& picture) {
    for (const TPluginRecord& entry : entries) {
        QImage input = picture;
        QImage output = picture.copy();
        ApplyEffectEntry(entry, input, output);
        picture = output;
    }
}

void PreviewChain(const TSelection* selection, const std::vector<TPluginRecord>& highlighted, QImage& picture) {
    if (selection) RunChain(selection->Effects, picture);
    RunChain(highlighted, picture);
}

void AttachEffects(TSelection& selection, const std::vector<TPluginRecord>& records, bool keep) {
    if (!keep) selection.Effects.clear();
    selection.Effects.insert(selection.Effects.end(), records.begin(), records.end());
}

} // namespace stillora
