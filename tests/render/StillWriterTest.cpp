#include "render/StillWriter.h"
#include "render/RenderSettings.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

using namespace stillora;

namespace {

// Decodes with libjpeg itself, independently of the writer's code path.
struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<unsigned char> rgb;
};

Decoded decodeJpeg(const QByteArray& data) {
    Decoded d;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    EXPECT_FALSE(cinfo.progressive_mode);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    d.width = static_cast<int>(cinfo.output_width);
    d.height = static_cast<int>(cinfo.output_height);
    d.components = cinfo.output_components;
    d.rgb.resize(static_cast<size_t>(d.width) * d.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        unsigned char* row =
            d.rgb.data() + static_cast<size_t>(cinfo.output_scanline) * d.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return d;
}

QImage quadrants() {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    for (int y = 0; y < 48; ++y)
        for (int x = 32; x < 64; ++x)
            image.setPixel(x, y, qRgb(0, 0, 255));
    return image;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

TEST(StillWriter, JpegDecodesWithTheRightSizeAndColours) {
    test::ScratchDir dir;
    QString error;
    ASSERT_TRUE(WriteStill(quadrants(), dir.file("a.jpg"), StillJpeg, 90, &error))
        << error.toStdString();
    const Decoded d = decodeJpeg(readAll(dir.file("a.jpg")));
    ASSERT_EQ(d.width, 64);
    ASSERT_EQ(d.height, 48);
    ASSERT_EQ(d.components, 3);
    const unsigned char* left = &d.rgb[(24 * 64 + 8) * 3];
    const unsigned char* right = &d.rgb[(24 * 64 + 56) * 3];
    EXPECT_GT(left[0], 200);
    EXPECT_LT(left[2], 60);
    EXPECT_LT(right[0], 60);
    EXPECT_GT(right[2], 200);
    // Only the final file is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.jpg"});
}

TEST(StillWriter, QualityChangesTheCompression) {
    QImage noisy(128, 128, QImage::Format_RGB32);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            noisy.setPixel(x, y, qRgb((x * 37) % 256, (y * 91) % 256, (x * y) % 256));
    QByteArray low, high;
    ASSERT_TRUE(EncodeJpeg(noisy, 5, low, nullptr));
    ASSERT_TRUE(EncodeJpeg(noisy, 100, high, nullptr));
    EXPECT_LT(low.size() * 2, high.size());
}

TEST(StillWriter, BmpHas32BitsAndTheSamePixels) {
    test::ScratchDir dir;
    QImage picture = quadrants();
    picture.setPixel(0, 0, qRgb(1, 2, 3));
    ASSERT_TRUE(WriteStill(picture, dir.file("a.bmp"), StillBmp, 65, nullptr));
    const QByteArray data = readAll(dir.file("a.bmp"));
    ASSERT_EQ(data.size(), 54 + 64 * 48 * 4);
    EXPECT_EQ(data.left(2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(data[28]), 32); // bits per pixel
    // Bottom-up rows: pixel (0, 0) is the first of the last row.
    const int top = 54 + 47 * 64 * 4;
    EXPECT_EQ(static_cast<unsigned char>(data[top]), 3);
    EXPECT_EQ(static_cast<unsigned char>(data[top + 2]), 1);
    const QImage back(dir.file("a.bmp"));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), picture);
}

TEST(StillWriter, FailuresReportAReasonAndLeaveNoPartialFile) {
    test::ScratchDir dir;
    QFile blocker(dir.file("plain"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    EXPECT_FALSE(WriteStill(quadrants(), dir.file("plain/a.jpg"), StillJpeg, 65, &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(WriteStill(quadrants(), dir.file("missing/a.bmp"), StillBmp, 65, &error));
    EXPECT_FALSE(error.isEmpty());

    // A failed write over an existing still keeps the old one whole.
    ASSERT_TRUE(WriteStill(quadrants(), dir.file("b.jpg"), StillJpeg, 65, nullptr));
    const QByteArray before = readAll(dir.file("b.jpg"));
    error.clear();
    EXPECT_FALSE(WriteStill(QImage(), dir.file("b.jpg"), StillJpeg, 65, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readAll(dir.file("b.jpg")), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"b.jpg", "plain"}));
}
