#include "render/QuickSuperimpose.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>
#include <ctime>

namespace stillora {

namespace {

// One-bit coverage mask of `text` drawn with its top-left at `origin`.
QImage glyphMask(QSize size, QPoint origin, const QString& text, QFont font) {
    QImage mask(size, QImage::Format_Grayscale8);
    mask.fill(0);
    font.setStyleStrategy(QFont::NoAntialias);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(origin.x(), origin.y() + QFontMetrics(font).ascent(), text);
    return mask;
}

// Blends `color` over the picture where `mask` covers it; mask pixel (0, 0)
// lies on picture pixel `at`. Pixels outside the picture are clipped.
void blendMask(QImage& picture, const QImage& mask, QPoint at, const QColor& color) {
    const int alpha = color.alpha();
    const int r = color.red(), g = color.green(), b = color.blue();
    for (int my = 0; my < mask.height(); ++my) {
        const int py = at.y() + my;
        if (py < 0 || py >= picture.height()) continue;
        const uchar* m = mask.constScanLine(my);
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(py));
        for (int mx = 0; mx < mask.width(); ++mx) {
            const int px = at.x() + mx;
            if (m[mx] == 0 || px < 0 || px >= picture.width()) continue;
            const int a = m[mx] * alpha / 255;
            const QRgb old = line[px];
            auto mix = [a](int from, int to) { return from + ((to - from) * a + 127) / 255; };
            line[px] = qRgb(mix(qRed(old), r), mix(qGreen(old), g), mix(qBlue(old), b));
        }
    }
}

// `when` formatted by strftime with the locale the program was started in.
QString strftimeText(const QDateTime& when, const char* format) {
    const std::time_t seconds = static_cast<std::time_t>(when.toSecsSinceEpoch());
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return QString();
    char text[128];
    const size_t length = std::strftime(text, sizeof text, format, &local);
    return QString::fromLocal8Bit(text, static_cast<qsizetype>(length));
}

} // namespace

QString LocalTimeText(const QDateTime& when) { return strftimeText(when, "%X"); }

QString LocalDateText(const QDateTime& when) { return strftimeText(when, "%x"); }

const QStringList& SuperimposePositions() {
    static const QStringList items{
        QStringLiteral("Bottom Center"), QStringLiteral("Top Center"),
        QStringLiteral("Middle Center"), QStringLiteral("Bottom Left"),
        QStringLiteral("Top Left"),      QStringLiteral("Middle Left"),
        QStringLiteral("Bottom Right"),  QStringLiteral("Top Right"),
        QStringLiteral("Middle Right"),  QStringLiteral("Middle Center")};
    return items;
}

QPoint SuperimposePosition(int W, int H, int w, int h, const QString& positionText) {
    // Integer division truncates toward zero, as the layout requires.
    int x = 0, y = 0;
    if (positionText.contains(QLatin1String("Center"))) x = W / 2 - w / 2;
    if (positionText.contains(QLatin1String("Left"))) x = 5;
    if (positionText.contains(QLatin1String("Right"))) x = W - w - 5;
    if (positionText.contains(QLatin1String("Top"))) y = 5;
    if (positionText.contains(QLatin1String("Bottom"))) y = H - h - 5;
    if (positionText.contains(QLatin1String("Middle"))) y = H / 2 - h / 2;
    return QPoint(x, y);
}

int OverlayPixelSize(int points) {
    return qMax(1, static_cast<int>(std::lround(points * 96.0 / 72.0)));
}

QSize OverlayTextSize(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    return QSize(metrics.horizontalAdvance(text), metrics.height());
}

void DrawOverlayText(QImage& picture, QPoint at, const QString& text, const QFont& font,
                     const QColor& color, bool smoothed) {
    if (text.isEmpty() || picture.isNull()) return;
    if (picture.format() != QImage::Format_RGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    const QSize size = OverlayTextSize(font, text);
    // Room around the advance box for glyphs that overhang it.
    const int margin = size.height() / 2 + 2;
    if (!smoothed) {
        const QImage mask =
            glyphMask(size + QSize(2 * margin, 2 * margin), QPoint(margin, margin), text, font);
        blendMask(picture, mask, at - QPoint(margin, margin), color);
        return;
    }
    QFont big = font;
    big.setPixelSize(2 * font.pixelSize());
    const QImage bigMask = glyphMask(2 * (size + QSize(2 * margin, 2 * margin)),
                                     QPoint(2 * margin, 2 * margin), text, big);
    QImage mask(bigMask.width() / 2, bigMask.height() / 2, QImage::Format_Grayscale8);
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* a = bigMask.constScanLine(2 * y);
        const uchar* b = bigMask.constScanLine(2 * y + 1);
        uchar* out = mask.scanLine(y);
        for (int x = 0; x < mask.width(); ++x)
            out[x] =
                static_cast<uchar>((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) / 4);
    }
    blendMask(picture, mask, at - QPoint(margin, margin), color);
}

void DrawQuickSuperimpose(QImage& picture, const SuperimposeSettings& settings, QFont& canvasFont,
                          const QDateTime& now) {
    if (!settings.drawText && !settings.drawTime && !settings.drawDate) return;
    if (picture.isNull()) return;
    const int W = picture.width(), H = picture.height();
    const QColor black(0, 0, 0, 200), white(255, 255, 255);

    if (settings.drawText) {
        canvasFont.setFamily(settings.fontName);
        canvasFont.setPixelSize(OverlayPixelSize(settings.fontSize));
        canvasFont.setBold(settings.bold);
        const QSize size = OverlayTextSize(canvasFont, settings.text);
        const QStringList& items = SuperimposePositions();
        const QString item = settings.position >= 0 && settings.position < items.size()
                                 ? items[settings.position]
                                 : QString();
        const QPoint at = SuperimposePosition(W, H, size.width(), size.height(), item);
        QColor shadow = settings.shadow, color = settings.color;
        shadow.setAlpha(255);
        color.setAlpha(255);
        DrawOverlayText(picture, at + QPoint(0, 1), settings.text, canvasFont, shadow, true);
        DrawOverlayText(picture, at, settings.text, canvasFont, color, true);
    }

    // Time and date share a small font that keeps the style set above.
    auto stamp = [&](const QString& text, int above) {
        canvasFont.setFamily(QStringLiteral("Small Fonts"));
        canvasFont.setPixelSize(OverlayPixelSize(7));
        const QSize size = OverlayTextSize(canvasFont, text);
        const QPoint at(W - size.width() - 10, H - size.height() - above);
        DrawOverlayText(picture, at + QPoint(0, 1), text, canvasFont, black, false);
        DrawOverlayText(picture, at, text, canvasFont, white, false);
    };
    if (settings.drawTime) stamp(LocalTimeText(now), 5);
    if (settings.drawDate) stamp(LocalDateText(now), 15);
}

} // namespace stillora
