#include "GifReader.h"

#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace stillora::test {

namespace {

// Looks for NETSCAPE2.0 in a run of extension blocks; returns blocks found.
int loopBlocks(const ExtensionBlock* blocks, int count, bool& endless) {
    int found = 0;
    for (int i = 0; i < count; ++i) {
        const ExtensionBlock& b = blocks[i];
        if (b.Function != APPLICATION_EXT_FUNC_CODE || b.ByteCount != 11 ||
            std::memcmp(b.Bytes, "NETSCAPE2.0", 11) != 0)
            continue;
        ++found;
        if (i + 1 < count && blocks[i + 1].Function == CONTINUE_EXT_FUNC_CODE &&
            blocks[i + 1].ByteCount == 3 && blocks[i + 1].Bytes[0] == 1)
            endless = blocks[i + 1].Bytes[1] == 0 && blocks[i + 1].Bytes[2] == 0;
    }
    return found;
}

} // namespace

GifReadBack ReadGif(const QString& path) {
    GifReadBack result;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) result.version = QString::fromLatin1(file.read(6));
    int code = 0;
    GifFileType* gif = DGifOpenFileName(QFile::encodeName(path).constData(), &code);
    if (!gif) {
        result.error = QString::fromLatin1(GifErrorString(code));
        return result;
    }
    if (DGifSlurp(gif) == GIF_ERROR) {
        result.error = QString::fromLatin1(GifErrorString(gif->Error));
        DGifCloseFile(gif, &code);
        return result;
    }
    result.width = gif->SWidth;
    result.height = gif->SHeight;
    result.loopBlocks += loopBlocks(gif->ExtensionBlocks, gif->ExtensionBlockCount,
                                    result.loopForever);
    QImage canvas(gif->SWidth, gif->SHeight, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        result.loopBlocks +=
            loopBlocks(image.ExtensionBlocks, image.ExtensionBlockCount, result.loopForever);
        GifFrameInfo info;
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
            info.delayCs = gcb.DelayTime;
            info.disposal = gcb.DisposalMode;
            info.transparent = gcb.TransparentColor;
        }
        const GifImageDesc& d = image.ImageDesc;
        info.left = d.Left;
        info.top = d.Top;
        info.width = d.Width;
        info.height = d.Height;
        info.localColors = d.ColorMap != nullptr;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        const QImage before = canvas;
        for (int y = 0; y < d.Height; ++y) {
            const int cy = d.Top + y;
            if (cy < 0 || cy >= canvas.height()) continue;
            auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(cy));
            for (int x = 0; x < d.Width; ++x) {
                const int cx = d.Left + x;
                if (cx < 0 || cx >= canvas.width()) continue;
                const int index = image.RasterBits[size_t(y) * size_t(d.Width) + size_t(x)];
                if (index == info.transparent) continue;
                if (!map || index >= map->ColorCount) continue;
                const GifColorType& c = map->Colors[index];
                row[cx] = qRgb(c.Red, c.Green, c.Blue);
            }
        }
        info.shown = canvas;
        result.frames.push_back(info);
        if (info.disposal == DISPOSE_BACKGROUND) {
            for (int y = d.Top; y < d.Top + d.Height && y < canvas.height(); ++y)
                for (int x = d.Left; x < d.Left + d.Width && x < canvas.width(); ++x)
                    canvas.setPixel(x, y, qRgb(0, 0, 0));
        } else if (info.disposal == DISPOSE_PREVIOUS) {
            canvas = before;
        }
    }
    DGifCloseFile(gif, &code);
    result.ok = true;
    return result;
}

ColourError CompareColours(const QImage& a, const QImage& b) {
    ColourError e;
    if (a.size() != b.size() || a.isNull()) {
        e.mean = 1e9;
        e.maximum = 255;
        return e;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int d[3] = {std::abs(qRed(p[col]) - qRed(q[col])),
                              std::abs(qGreen(p[col]) - qGreen(q[col])),
                              std::abs(qBlue(p[col]) - qBlue(q[col]))};
            for (int k : d) {
                sum += k;
                e.maximum = std::max(e.maximum, k);
            }
        }
    }
    e.mean = sum / (3.0 * x.width() * x.height());
    return e;
}

} // namespace stillora::test
