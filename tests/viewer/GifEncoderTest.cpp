#include "views/viewer/GifEncoder.h"
#include "ViewerTestSupport.h"

#include <QSet>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace stillora;

namespace {

QImage smoothGradient(int size) {
    QImage picture(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            picture.setPixel(
                x, y,
                qRgb(x * 255 / (size - 1), y * 255 / (size - 1), (x + y) * 255 / (2 * (size - 1))));
    return picture;
}

QImage distinctColours(int count) {
    QImage picture(count, 2, QImage::Format_RGB32);
    for (int x = 0; x < count; ++x) {
        picture.setPixel(x, 0, qRgb(x % 256, (x * 7) % 256, x / 256 * 40));
        picture.setPixel(x, 1, qRgb(x % 256, (x * 7) % 256, x / 256 * 40));
    }
    return picture;
}

} // namespace

TEST(PaletteReduction, UpTo256ColoursAreKeptExactly) {
    const QImage picture = distinctColours(256);
    const PalettedPicture paletted = ReducePalette(picture, 256);
    ASSERT_EQ(paletted.palette.size(), 256u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 256; ++x)
            ASSERT_EQ(paletted.palette[paletted.indices[size_t(y) * 256 + x]], picture.pixel(x, y))
                << x << "," << y;

    // One colour more no longer fits and must be reduced.
    EXPECT_EQ(ReducePalette(distinctColours(257), 256).palette.size(), 256u);
}

TEST(PaletteReduction, ATrueColourGradientStaysClose) {
    const QImage picture = smoothGradient(256); // 65536 colours
    const PalettedPicture paletted = ReducePalette(picture, 256);
    ASSERT_EQ(paletted.palette.size(), 256u);
    double total = 0;
    int worst = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const QRgb want = picture.pixel(x, y);
            const QRgb got = paletted.palette[paletted.indices[size_t(y) * 256 + x]];
            for (int d :
                 {qRed(want) - qRed(got), qGreen(want) - qGreen(got), qBlue(want) - qBlue(got)}) {
                total += std::abs(d);
                worst = std::max(worst, std::abs(d));
            }
        }
    // A uniform palette of 256 entries (about 6 levels a channel) is off by
    // more than 10 a channel on average on this picture.
    EXPECT_LT(total / (256.0 * 256.0 * 3.0), 5.0);
    EXPECT_LT(worst, 16);
}

TEST(PaletteReduction, ASkippedColourTakesTheIndexAfterThePalette) {
    QImage picture(4, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(255, 255, 255));
    picture.setPixel(1, 0, qRgb(10, 20, 30));
    picture.setPixel(2, 0, qRgb(255, 255, 255));
    picture.setPixel(3, 0, qRgb(40, 50, 60));
    const QRgb white = qRgb(255, 255, 255);
    const PalettedPicture paletted = ReducePalette(picture, 255, &white);
    ASSERT_EQ(paletted.palette.size(), 2u);
    EXPECT_EQ(paletted.indices[0], 2);
    EXPECT_EQ(paletted.indices[2], 2);
    EXPECT_EQ(paletted.palette[paletted.indices[1]], qRgb(10, 20, 30));
    EXPECT_EQ(paletted.palette[paletted.indices[3]], qRgb(40, 50, 60));
}

TEST(GifEncoding, RefusesPicturesGifCannotHold) {
    QByteArray data;
    QString error;
    EXPECT_FALSE(EncodeGif(QImage(), {}, data, &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(EncodeGif(QImage(70000, 1, QImage::Format_RGB32), {}, data, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(data.isEmpty());
}
