#pragma once
// Helpers for the browser tests: pictures written at test time and waiting
// for a thumbnail scan to end.

#include "views/browser/ThumbnailView.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTest>

#include <gtest/gtest.h>

namespace stillora::test {

// A picture, left half `left`, right half `right`, saved in the format its
// name's extension gives.
inline void WritePicture(const QString& path, int width, int height, QColor left = Qt::red,
                         QColor right = Qt::blue, int quality = 90) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(right);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 2; ++x)
            picture.setPixelColor(x, y, left);
    ASSERT_TRUE(picture.save(path, nullptr, quality)) << path.toStdString();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline bool WaitForScan(const TThumbnailView& view, int timeoutMs = 20000) {
    return QTest::qWaitFor([&] { return !view.isScanning(); }, timeoutMs);
}

// True when two colours differ by at most `tolerance` in each channel.
inline bool Near(QColor a, QColor b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace stillora::test
