#include "render/StillWriter.h"

#include "render/RenderSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    return WriteFileAtomically(path, data, error);
}

bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    auto fail = [error](int code) {
        if (error) *error = QString::fromLocal8Bit(std::strerror(code));
        return false;
    };
    // A hidden temporary beside the target, so that the rename stays within
    // one file system and never exposes a partial file under the final name.
    const QFileInfo target(path);
    const QByteArray temp = QFile::encodeName(target.path() + QStringLiteral("/.") +
                                              target.fileName() + QStringLiteral(".XXXXXX"));
    std::vector<char> name(temp.constData(), temp.constData() + temp.size() + 1);
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return fail(errno);
    auto discard = [&](int code) {
        ::close(fd);
        ::unlink(name.data());
        return fail(code);
    };
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return discard(errno);
        }
        p += n;
        left -= n;
    }
    // mkstemp makes the file private; a still is an ordinary document.
    if (::fchmod(fd, 0644) != 0) return discard(errno);
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(name.data());
        return fail(code);
    }
    if (::rename(name.data(), QFile::encodeName(path).constData()) != 0) {
        const int code = errno;
        ::unlink(name.data());
        return fail(code);
    }
    return true;
}

} // namespace stillora
