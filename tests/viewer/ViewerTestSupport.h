#pragma once
// Helpers for the viewer tests: running the modal save dialog with actions
// scheduled inside it, and reading GIF files back with giflib.

#include "views/viewer/SaveImageDialog.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QTimer>

#include <functional>
#include <vector>

#include <gif_lib.h>

namespace stillora::test {

// Calls `whileOpen` once the dialog's modal loop runs; whatever it leaves
// open is cancelled, so a test never hangs on the dialog.
inline int RunDialog(TfrmImageProperties& dialog, const QImage* picture, int page,
                     const std::function<void()>& whileOpen, bool* shown = nullptr) {
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (shown) *shown = dialog.isVisible();
        whileOpen();
        if (dialog.isVisible()) dialog.reject();
    });
    timer.start(0);
    return dialog.execute(picture, page);
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct DecodedGif {
    bool ok = false;
    QByteArray signature; // "GIF87a" or "GIF89a"
    int width = 0;
    int height = 0;
    std::vector<QRgb> palette;
    std::vector<uint8_t> indices;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    QRgb pixel(int x, int y) const { return palette.at(indices.at(size_t(y) * width + x)); }
    int index(int x, int y) const { return indices.at(size_t(y) * width + x); }
};

inline DecodedGif DecodeGif(const QString& path) {
    DecodedGif out;
    out.signature = ReadAll(path).left(6);
    int error = 0;
    GifFileType* gif = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (!gif) return out;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1) {
        const SavedImage& image = gif->SavedImages[0];
        const ColorMapObject* map =
            image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
        out.width = image.ImageDesc.Width;
        out.height = image.ImageDesc.Height;
        for (int i = 0; map && i < map->ColorCount; ++i)
            out.palette.push_back(
                qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
        out.indices.assign(image.RasterBits, image.RasterBits + size_t(out.width) * out.height);
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK)
            out.transparentIndex = gcb.TransparentColor;
        out.ok = map != nullptr;
    }
    DGifCloseFile(gif, &error);
    return out;
}

} // namespace stillora::test
