#include "views/browser/ThumbnailDecoder.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace stillora {

namespace {

// Files larger than this are not read whole for a thumbnail.
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
// Largest decoded picture (in pixels) accepted before scaling down.
constexpr qint64 kMaxDecodedPixels = 64LL * 1024 * 1024;

struct JpegErrors {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

// libjpeg's default error handler ends the process; return to the decoder instead.
[[noreturn]] void jpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Corrupt-data warnings would otherwise go to stderr for every damaged file.
void jpegOutputMessage(j_common_ptr) {}

// Decodes `data` into `*out` at the smallest libjpeg scale (n/8) that still
// covers the thumbnail box. Only plain C objects live in this frame, so
// longjmp from the error handler skips no destructor.
// `*target` receives the thumbnail size worked out from the full picture size,
// which the reduced decode may round differently.
bool decodeJpegScaled(const unsigned char* data, unsigned long size, QSize box, QImage* out,
                      QSize* target) {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = jpegErrorExit;
    errors.mgr.output_message = jpegOutputMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.image_width == 0 ||
        cinfo.image_height == 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *target = FitThumbnailSize(QSize(int(std::min<JDIMENSION>(cinfo.image_width, 0x7fffffff)),
                                     int(std::min<JDIMENSION>(cinfo.image_height, 0x7fffffff))),
                               box);
    // Smallest n with image * n / 8 >= target in both directions.
    const double need = std::max(double(target->width()) / cinfo.image_width,
                                 double(target->height()) / cinfo.image_height);
    cinfo.scale_num = unsigned(std::clamp(int(need * 8.0 + 0.999), 1, 8));
    cinfo.scale_denom = 8;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    cinfo.out_color_space = JCS_EXT_BGRX; // the byte order of QImage::Format_RGB32
#else
    cinfo.out_color_space = JCS_EXT_XRGB;
#endif
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&cinfo); // libjpeg cannot turn these into RGB
        return false;
    }
    jpeg_calc_output_dimensions(&cinfo);
    if (qint64(cinfo.output_width) * cinfo.output_height > kMaxDecodedPixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (out->isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool looksLikeJpeg(const QByteArray& bytes) {
    return bytes.size() >= 3 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8 &&
           uchar(bytes[2]) == 0xFF;
}

QImage scaledTo(const QImage& picture, QSize size) {
    if (picture.isNull()) return {};
    QImage result = size == picture.size()
                        ? picture
                        : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result.format() == QImage::Format_RGB32 ? result
                                                   : result.convertToFormat(QImage::Format_RGB32);
}

} // namespace

QSize FitThumbnailSize(QSize source, QSize box) {
    if (source.isEmpty() || box.isEmpty()) return {1, 1};
    if (source.width() <= box.width() && source.height() <= box.height()) return source;
    QSize fit = source.scaled(box, Qt::KeepAspectRatio);
    return fit.expandedTo({1, 1});
}

QImage DecodeThumbnail(const QString& path, QSize box) {
    if (box.isEmpty()) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) return {};
    const QByteArray bytes = file.readAll();
    file.close();
    if (looksLikeJpeg(bytes)) {
        QImage decoded;
        QSize target;
        if (decodeJpegScaled(reinterpret_cast<const unsigned char*>(bytes.constData()),
                             static_cast<unsigned long>(bytes.size()), box, &decoded, &target))
            return scaledTo(decoded, target);
    }
    // Everything else, and JPEGs libjpeg cannot turn into RGB, through Qt's readers.
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize source = reader.size();
    if (source.isValid() && qint64(source.width()) * source.height() > kMaxDecodedPixels) return {};
    const QImage picture = reader.read();
    return scaledTo(picture, FitThumbnailSize(picture.size(), box));
}

} // namespace stillora
