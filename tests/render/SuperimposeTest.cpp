#include "render/QuickSuperimpose.h"

#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

using namespace stillora;

namespace {

QImage gray(int w = 320, int h = 240) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    return image;
}

// Bounding box of the pixels of `picture` within `tolerance` of colour `c`.
QRect boxOf(const QImage& picture, QRgb c, int tolerance = 0) {
    QRect box;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            if (qAbs(qRed(p) - qRed(c)) <= tolerance && qAbs(qGreen(p) - qGreen(c)) <= tolerance &&
                qAbs(qBlue(p) - qBlue(c)) <= tolerance)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

int colours(const QImage& picture) {
    QSet<QRgb> set;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            set.insert(picture.pixel(x, y));
    return set.size();
}

} // namespace

TEST(SuperimposeLayout, PositionsFollowTheWordsOfTheItem) {
    const QStringList& items = SuperimposePositions();
    ASSERT_EQ(items.size(), 10);
    EXPECT_EQ(SuperimposePosition(720, 576, 100, 16, items[6]), QPoint(615, 555));
    EXPECT_EQ(SuperimposePosition(720, 576, 100, 16, items[0]), QPoint(310, 555));
    EXPECT_EQ(SuperimposePosition(720, 576, 100, 16, items[4]), QPoint(5, 5));
    // Both "Middle Center" items centre, halves truncated.
    EXPECT_EQ(SuperimposePosition(721, 577, 101, 17, items[2]), QPoint(360 - 50, 288 - 8));
    EXPECT_EQ(SuperimposePosition(721, 577, 101, 17, items[9]), QPoint(310, 280));
    // Wider than the frame: negative x.
    EXPECT_EQ(SuperimposePosition(100, 50, 300, 10, items[8]).x(), -205);
    EXPECT_EQ(SuperimposePosition(100, 50, 300, 10, ""), QPoint(0, 0));
}

TEST(Superimpose, NothingCheckedLeavesThePictureUntouched) {
    QImage picture = gray();
    const QImage before = picture.copy();
    SuperimposeSettings s;
    s.text = "Hello";
    QFont font;
    DrawQuickSuperimpose(picture, s, font, QDateTime::currentDateTime());
    EXPECT_EQ(picture, before);
}

TEST(Superimpose, FreeTextIsSmoothedWithItsShadowOnePixelBelow) {
    QImage picture = gray();
    SuperimposeSettings s;
    s.drawText = true;
    s.text = "Stillora";
    s.fontName = "DejaVu Sans";
    s.fontSize = 14;
    s.position = 6; // Bottom Right
    s.color = QColor(255, 255, 255);
    s.shadow = QColor(0, 0, 0);
    QFont font;
    DrawQuickSuperimpose(picture, s, font, QDateTime::currentDateTime());
    // Mostly covered pixels of each colour (edges are blended).
    const QRect text = boxOf(picture, qRgb(255, 255, 255), 40);
    const QRect shadow = boxOf(picture, qRgb(0, 0, 0), 40);
    ASSERT_FALSE(text.isEmpty());
    ASSERT_FALSE(shadow.isEmpty());
    EXPECT_EQ(shadow.bottom(), text.bottom() + 1);
    EXPECT_EQ(shadow.left(), text.left());
    // Bottom right with a 5-pixel margin.
    const QSize size = OverlayTextSize(font, s.text);
    EXPECT_LE(text.right(), 320 - 5 + 1);
    EXPECT_GE(text.left(), 320 - 5 - size.width() - 1);
    EXPECT_LE(shadow.bottom(), 240 - 5);
    // Smoothing leaves blended edge pixels between the three colours.
    EXPECT_GT(colours(picture), 3);
}

TEST(Superimpose, TimeIsUnsmoothedAndKeepsTheLastStyle) {
    QImage picture = gray();
    SuperimposeSettings s;
    s.drawTime = true;
    QFont font;
    const QDateTime now(QDate(2024, 5, 6), QTime(12, 34, 56));
    DrawQuickSuperimpose(picture, s, font, now);
    // Grey, white, and black at alpha 200 over grey: no edge shades.
    EXPECT_EQ(colours(picture), 3);
    const QRect white = boxOf(picture, qRgb(255, 255, 255));
    ASSERT_FALSE(white.isEmpty());
    EXPECT_GE(white.right(), 320 - 10 - 3);
    EXPECT_LE(white.right(), 320 - 10);
    EXPECT_FALSE(font.bold());

    // A bold free text makes later time stamps bold, also once it is off.
    s.drawText = true;
    s.bold = true;
    s.text = "x";
    QImage other = gray();
    DrawQuickSuperimpose(other, s, font, now);
    s.drawText = false;
    DrawQuickSuperimpose(other, s, font, now);
    EXPECT_TRUE(font.bold());
}

TEST(Superimpose, DateStandsTenPixelsAboveTheTime) {
    SuperimposeSettings s;
    QFont font;
    const QDateTime now(QDate(2024, 5, 6), QTime(12, 34, 56));
    s.drawTime = true;
    QImage timeOnly = gray();
    DrawQuickSuperimpose(timeOnly, s, font, now);
    s.drawTime = false;
    s.drawDate = true;
    QImage dateOnly = gray();
    DrawQuickSuperimpose(dateOnly, s, font, now);
    // The shadow's top row is the glyphs' top plus one; digits share their top.
    const QRect t = boxOf(timeOnly, qRgb(255, 255, 255));
    const QRect d = boxOf(dateOnly, qRgb(255, 255, 255));
    ASSERT_FALSE(t.isEmpty());
    ASSERT_FALSE(d.isEmpty());
    EXPECT_EQ(t.top() - d.top(), 10);
}
