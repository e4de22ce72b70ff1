#include "render/StillWriter.h"

#include "render/RenderSettings.h"

#include <QSaveFile>
#include <QtEndian>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace stillora {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void jpegErrorExit(j_common_ptr cinfo) {
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    std::longjmp(error->jump, 1);
}

extern "C" void jpegSilence(j_common_ptr, int) {}

// Kept free of C++ objects with destructors, because libjpeg's errors leave
// it through longjmp. Rows are 32-bit blue, green, red, unused (RGB32).
bool encodeRows(const uchar* bits, int width, int height, qsizetype stride, int quality,
                unsigned char** buffer, unsigned long* size, char* message) {
    jpeg_compress_struct cinfo;
    JpegError error;
    cinfo.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = jpegErrorExit;
    error.mgr.emit_message = jpegSilence;
    error.message[0] = '\0';
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::strncpy(message, error.message, JMSG_LENGTH_MAX);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    // Baseline: quantisation tables limited to 8 bits.
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bits + stride * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

QImage asRgb32(const QImage& picture) {
    if (picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32)
        return picture;
    return picture.convertToFormat(QImage::Format_RGB32);
}

} // namespace

bool EncodeJpeg(const QImage& picture, int quality, QByteArray& out, QString* error) {
    if (picture.isNull()) {
        if (error) *error = QStringLiteral("The picture is empty.");
        return false;
    }
    const QImage rgb = asRgb32(picture);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = encodeRows(rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine(),
                               qBound(1, quality, 100), &buffer, &size, message);
    if (ok) out = QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    if (!ok && error) *error = QString::fromLocal8Bit(message);
    return ok;
}

bool EncodeBmp32(const QImage& picture, QByteArray& out, QString* error) {
    if (picture.isNull()) {
        if (error) *error = QStringLiteral("The picture is empty.");
        return false;
    }
    const QImage rgb = asRgb32(picture);
    const int width = rgb.width(), height = rgb.height();
    const quint32 imageSize = static_cast<quint32>(width) * static_cast<quint32>(height) * 4u;
    const quint32 headerSize = 14 + 40;
    out.resize(static_cast<qsizetype>(headerSize + imageSize));
    uchar* p = reinterpret_cast<uchar*>(out.data());
    std::memset(p, 0, headerSize);
    // BITMAPFILEHEADER
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(headerSize + imageSize, p + 2);
    qToLittleEndian<quint32>(headerSize, p + 10);
    // BITMAPINFOHEADER: bottom-up rows, no compression, 96 dpi.
    uchar* info = p + 14;
    qToLittleEndian<quint32>(40, info);
    qToLittleEndian<qint32>(width, info + 4);
    qToLittleEndian<qint32>(height, info + 8);
    qToLittleEndian<quint16>(1, info + 12);
    qToLittleEndian<quint16>(32, info + 14);
    qToLittleEndian<quint32>(0, info + 16);
    qToLittleEndian<quint32>(imageSize, info + 20);
    qToLittleEndian<qint32>(3780, info + 24);
    qToLittleEndian<qint32>(3780, info + 28);
    uchar* pixels = p + headerSize;
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const quint32*>(rgb.constScanLine(height - 1 - y));
        uchar* dst = pixels + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            const quint32 c = src[x];
            dst[4 * x + 0] = static_cast<uchar>(c);       // blue
            dst[4 * x + 1] = static_cast<uchar>(c >> 8);  // green
            dst[4 * x + 2] = static_cast<uchar>(c >> 16); // red
            dst[4 * x + 3] = 0;                           // reserved
        }
    }
    return true;
}

bool WriteStill(const QImage& picture, const QString& path, int stillType, int jpegQuality,
                QString* error) {
    QByteArray data;
    const bool encoded = stillType == StillBmp ? EncodeBmp32(picture, data, error)
                                               : EncodeJpeg(picture, jpegQuality, data, error);
    if (!encoded) return false;
    // QSaveFile writes a temporary file beside the target and renames it on
    // commit; anything short of a complete write leaves the target untouched.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        if (error) *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace stillora
