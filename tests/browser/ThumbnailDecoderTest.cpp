// Thumbnails from JPEG (scaled libjpeg decoding), BMP and broken files.
#include "views/browser/ThumbnailDecoder.h"
#include "BrowserTestSupport.h"
#include "support/TestDirs.h"

#include <gtest/gtest.h>

using namespace stillora;
using namespace stillora::test;

namespace {

const QSize kBox(144, 96);

TEST(ThumbnailDecoder, AFullHdJpegShrinksToTheBoxWithItsAspectAndColours) {
    ScratchDir dir;
    WritePicture(dir.file("big.jpg"), 1920, 1080);
    const QImage thumb = DecodeThumbnail(dir.file("big.jpg"), kBox);
    ASSERT_FALSE(thumb.isNull());
    EXPECT_EQ(thumb.size(), QSize(144, 81));
    EXPECT_EQ(thumb.format(), QImage::Format_RGB32);
    EXPECT_TRUE(Near(thumb.pixelColor(20, 40), Qt::red))
        << thumb.pixelColor(20, 40).name().toStdString();
    EXPECT_TRUE(Near(thumb.pixelColor(124, 40), Qt::blue))
        << thumb.pixelColor(124, 40).name().toStdString();
    EXPECT_EQ(qAlpha(thumb.pixel(10, 10)), 255);
}

TEST(ThumbnailDecoder, ATallPictureIsLimitedByTheBoxHeight) {
    ScratchDir dir;
    WritePicture(dir.file("tall.jpg"), 600, 1200);
    EXPECT_EQ(DecodeThumbnail(dir.file("tall.jpg"), kBox).size(), QSize(48, 96));
}

TEST(ThumbnailDecoder, ASmallPictureKeepsItsSize) {
    ScratchDir dir;
    WritePicture(dir.file("small.jpg"), 40, 30);
    WritePicture(dir.file("small.bmp"), 40, 30);
    EXPECT_EQ(DecodeThumbnail(dir.file("small.jpg"), kBox).size(), QSize(40, 30));
    EXPECT_EQ(DecodeThumbnail(dir.file("small.bmp"), kBox).size(), QSize(40, 30));
}

TEST(ThumbnailDecoder, BmpAndGreyJpegPicturesDecode) {
    ScratchDir dir;
    WritePicture(dir.file("a.bmp"), 720, 576, Qt::green, Qt::black);
    const QImage bmp = DecodeThumbnail(dir.file("a.bmp"), kBox);
    ASSERT_EQ(bmp.size(), QSize(120, 96));
    EXPECT_TRUE(Near(bmp.pixelColor(10, 50), Qt::green, 10));
    EXPECT_TRUE(Near(bmp.pixelColor(110, 50), Qt::black, 10));

    QImage grey(400, 300, QImage::Format_Grayscale8);
    grey.fill(200);
    ASSERT_TRUE(grey.save(dir.file("grey.jpg")));
    const QImage thumb = DecodeThumbnail(dir.file("grey.jpg"), kBox);
    ASSERT_EQ(thumb.size(), QSize(128, 96));
    EXPECT_TRUE(Near(thumb.pixelColor(64, 48), QColor(200, 200, 200), 6));
}

TEST(ThumbnailDecoder, BrokenOrMissingFilesGiveNoPictureAndDoNotEndTheProgram) {
    ScratchDir dir;
    WriteBytes(dir.file("garbage.jpg"), QByteArray::fromHex("ffd8ffe0") + " not really a jpeg");
    WriteBytes(dir.file("empty.jpg"), QByteArray());
    WriteBytes(dir.file("text.bmp"), QByteArray("BM but nothing else"));
    EXPECT_TRUE(DecodeThumbnail(dir.file("garbage.jpg"), kBox).isNull());
    EXPECT_TRUE(DecodeThumbnail(dir.file("empty.jpg"), kBox).isNull());
    EXPECT_TRUE(DecodeThumbnail(dir.file("text.bmp"), kBox).isNull());
    EXPECT_TRUE(DecodeThumbnail(dir.file("missing.jpg"), kBox).isNull());
    EXPECT_TRUE(DecodeThumbnail(dir.path(), kBox).isNull()); // a folder
}

TEST(ThumbnailDecoder, ATruncatedJpegStillGivesAThumbnailOfItsTop) {
    ScratchDir dir;
    WritePicture(dir.file("full.jpg"), 1280, 720);
    QFile full(dir.file("full.jpg"));
    ASSERT_TRUE(full.open(QIODevice::ReadOnly));
    WriteBytes(dir.file("cut.jpg"), full.readAll().left(int(full.size() / 2)));
    const QImage thumb = DecodeThumbnail(dir.file("cut.jpg"), kBox);
    ASSERT_EQ(thumb.size(), QSize(144, 81));
    EXPECT_TRUE(Near(thumb.pixelColor(20, 5), Qt::red));
}

TEST(ThumbnailDecoder, FitSizeKeepsAspectAndNeverEnlarges) {
    EXPECT_EQ(FitThumbnailSize({1920, 1080}, {144, 96}), QSize(144, 81));
    EXPECT_EQ(FitThumbnailSize({100, 50}, {144, 96}), QSize(100, 50));
    EXPECT_EQ(FitThumbnailSize({10000, 10}, {144, 96}), QSize(144, 1));
    EXPECT_EQ(FitThumbnailSize({0, 0}, {144, 96}), QSize(1, 1));
}

} // namespace
