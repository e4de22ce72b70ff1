#include "app/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace stillora::art {

namespace {

const QColor kInk(52, 73, 94);
const QColor kAccent(41, 128, 185);
const QColor kGreen(39, 174, 96);
const QColor kRed(192, 57, 43);
const QColor kAmber(230, 126, 34);

void filmFrame(QPainter& p, const QRectF& r, const QColor& fill) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    const qreal hole = r.height() / 8;
    for (int i = 0; i < 3; ++i) {
        const qreal y = r.top() + r.height() * (0.2 + 0.3 * i);
        p.drawRect(QRectF(r.left() + 1, y, hole, hole));
        p.drawRect(QRectF(r.right() - 1 - hole, y, hole, hole));
    }
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c) {
    p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    QPolygonF head{to + d * 1.5, to - d * 3 + n * 3, to - d * 3 - n * 3};
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
}

void drawGlyph(QPainter& p, Glyph g) {
    // All glyphs are drawn on a 16 x 16 grid.
    p.setRenderHint(QPainter::Antialiasing);
    switch (g) {
    case Glyph::MarkIn:
    case Glyph::InPoint:
        p.setPen(QPen(kGreen, 2));
        p.drawLine(QPointF(4, 2), QPointF(4, 14));
        p.drawLine(QPointF(4, 2), QPointF(8, 2));
        p.drawLine(QPointF(4, 14), QPointF(8, 14));
        arrow(p, {14, 8}, {8, 8}, kGreen);
        break;
    case Glyph::MarkOut:
    case Glyph::OutPoint:
        p.setPen(QPen(kRed, 2));
        p.drawLine(QPointF(12, 2), QPointF(12, 14));
        p.drawLine(QPointF(12, 2), QPointF(8, 2));
        p.drawLine(QPointF(12, 14), QPointF(8, 14));
        arrow(p, {2, 8}, {8, 8}, kRed);
        break;
    case Glyph::AddSelection:
    case Glyph::IntervalRoot:
        filmFrame(p, QRectF(1, 4, 9, 9), QColor(174, 214, 241));
        filmFrame(p, QRectF(6, 3, 9, 9), QColor(133, 193, 233));
        if (g == Glyph::AddSelection) {
            p.setPen(QPen(kGreen, 2));
            p.drawLine(QPointF(12, 11), QPointF(12, 15));
            p.drawLine(QPointF(10, 13), QPointF(14, 13));
        }
        break;
    case Glyph::AddFrame:
    case Glyph::FrameRoot:
        filmFrame(p, QRectF(2, 2, 12, 12), QColor(171, 235, 198));
        p.setBrush(kAmber);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(8, 8), 2.5, 2.5);
        if (g == Glyph::AddFrame) {
            p.setPen(QPen(kGreen, 2));
            p.drawLine(QPointF(12, 10), QPointF(12, 15));
            p.drawLine(QPointF(9.5, 12.5), QPointF(14.5, 12.5));
        }
        break;
    case Glyph::Play:
        p.setBrush(kGreen);
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF{QPointF(4, 2), QPointF(14, 8), QPointF(4, 14)});
        break;
    case Glyph::Pause:
        p.setBrush(kAccent);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(3.5, 2.5, 3.5, 11));
        p.drawRect(QRectF(9, 2.5, 3.5, 11));
        break;
    case Glyph::Stop:
        p.setBrush(kRed);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
        break;
    case Glyph::CaptureSettings:
    case Glyph::Camera:
        p.setBrush(kInk);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(1, 4, 10, 9), 2, 2);
        p.drawPolygon(QPolygonF{QPointF(11, 7), QPointF(15, 5), QPointF(15, 12), QPointF(11, 10)});
        p.setBrush(QColor(133, 193, 233));
        p.drawEllipse(QPointF(6, 8.5), 2.5, 2.5);
        break;
    case Glyph::New:
        p.setBrush(Qt::white);
        p.setPen(QPen(kInk, 1));
        p.drawPolygon(QPolygonF{QPointF(3, 1.5), QPointF(10, 1.5), QPointF(13, 4.5), QPointF(13, 14.5), QPointF(3, 14.5)});
        break;
    case Glyph::Load:
        p.setBrush(QColor(244, 208, 63));
        p.setPen(QPen(QColor(156, 100, 12), 1));
        p.drawPolygon(QPolygonF{QPointF(1.5, 3.5), QPointF(6, 3.5), QPointF(7.5, 5), QPointF(14.5, 5), QPointF(14.5, 13.5), QPointF(1.5, 13.5)});
        break;
    case Glyph::Save:
        p.setBrush(kAccent);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(2, 2, 12, 12), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 2, 7, 4.5));
        p.drawRect(QRectF(4, 9, 8, 5));
        break;
    case Glyph::Delete:
        p.setPen(QPen(kRed, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case Glyph::Timeline:
        p.setPen(QPen(kInk, 1.5));
        p.drawLine(QPointF(1, 13), QPointF(15, 13));
        for (int i = 0; i < 3; ++i) filmFrame(p, QRectF(1.5 + i * 4.8, 4, 4.2, 6), QColor(174, 214, 241));
        break;
    case Glyph::Render:
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(1, 4, 14, 8));
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(8, 8), 2.8, 2.8);
        break;
    case Glyph::Collapse:
        p.setPen(QPen(kInk, 1.5));
        for (int i = 0; i < 3; ++i) p.drawLine(QPointF(5, 3.5 + i * 4.5), QPointF(14, 3.5 + i * 4.5));
        p.setBrush(kInk);
        p.drawRect(QRectF(1.5, 2.5, 2, 2));
        p.drawRect(QRectF(1.5, 7, 2, 2));
        p.drawRect(QRectF(1.5, 11.5, 2, 2));
        break;
    case Glyph::Stretch:
        arrow(p, {8, 8}, {2.5, 2.5}, kInk);
        arrow(p, {8, 8}, {13.5, 13.5}, kInk);
        break;
    case Glyph::Film:
        filmFrame(p, QRectF(1, 2, 14, 12), QColor(133, 193, 233));
        break;
    case Glyph::Globe:
        p.setPen(QPen(kAccent, 1.3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.drawEllipse(QPointF(8, 8), 3, 6.5);
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        break;
    case Glyph::Disc:
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(214, 219, 223));
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 8), 1.8, 1.8);
        break;
    case Glyph::Info:
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(8, 8), 7, 7);
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 7), QPointF(8, 12));
        p.drawPoint(QPointF(8, 4.3));
        break;
    case Glyph::FrameCount:
        p.setPen(QPen(kInk, 1.4));
        p.drawLine(QPointF(6, 2), QPointF(4.5, 14));
        p.drawLine(QPointF(11.5, 2), QPointF(10, 14));
        p.drawLine(QPointF(2, 6), QPointF(14, 6));
        p.drawLine(QPointF(2, 10.5), QPointF(14, 10.5));
        break;
    case Glyph::Chain: {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(142, 68, 173));
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const double a = i * M_PI / 5 - M_PI / 2;
            const double r = (i % 2) ? 2.8 : 7;
            const QPointF pt(8 + r * std::cos(a), 8 + r * std::sin(a));
            i ? star.lineTo(pt) : star.moveTo(pt);
        }
        star.closeSubpath();
        p.drawPath(star);
        break;
    }
    }
}

} // namespace

QIcon icon(Glyph glyph, int size) {
    QIcon result;
    for (int scale : {1, 2}) {
        QImage image(size * scale, size * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.scale(size * scale / 16.0, size * scale / 16.0);
        drawGlyph(p, glyph);
        p.end();
        result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}

QImage logo(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(33, 47, 61));
    sky.setColorAt(1, QColor(21, 67, 96));
    p.fillRect(image.rect(), sky);
    const qreal w = size.width(), h = size.height();
    // A short film strip across the middle, one frame caught in light.
    for (int i = 0; i < 5; ++i) {
        const QRectF frame(w * 0.1 + i * w * 0.165, h * 0.3, w * 0.15, h * 0.28);
        p.setPen(Qt::NoPen);
        p.setBrush(i == 2 ? QColor(243, 156, 18) : QColor(52, 73, 94));
        p.drawRoundedRect(frame, 4, 4);
    }
    p.setPen(QColor(236, 240, 241));
    QFont font = p.font();
    font.setPixelSize(qMax(12, int(h * 0.11)));
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(0, h * 0.62, w, h * 0.16), Qt::AlignCenter, QStringLiteral("Stillora"));
    font.setBold(false);
    font.setPixelSize(qMax(9, int(h * 0.05)));
    p.setFont(font);
    p.setPen(QColor(174, 214, 241));
    p.drawText(QRectF(0, h * 0.77, w, h * 0.1), Qt::AlignCenter, QStringLiteral("Catch the moment..."));
    return image;
}

Animation::Animation(QWidget* parent) : QWidget(parent) {
    timer_.setInterval(60);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % 120;
        update();
    });
    setMinimumSize(140, 140);
}

void Animation::start() { timer_.start(); }
void Animation::stop() { timer_.stop(); }
void Animation::rewind() {
    frame_ = 0;
    update();
}

void Animation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    p.translate((width() - side) / 2, (height() - side) / 2);
    p.scale(side / 160.0, side / 160.0);
    // Film strip sliding to the left under a lens.
    p.fillRect(QRectF(0, 55, 160, 50), QColor(44, 62, 80));
    const qreal offset = std::fmod(frame_ * 2.0, 40.0);
    for (int i = -1; i < 6; ++i) {
        const qreal x = i * 40 - offset + 4;
        const bool lit = x > 55 && x < 75 && (frame_ / 10) % 2 == 0;
        p.setPen(Qt::NoPen);
        p.setBrush(lit ? QColor(243, 156, 18) : QColor(93, 109, 126));
        p.drawRect(QRectF(x, 62, 32, 36));
        p.setBrush(QColor(236, 240, 241));
        for (int k = 0; k < 4; ++k) {
            p.drawRect(QRectF(x + k * 9, 57, 4, 3));
            p.drawRect(QRectF(x + k * 9, 100, 4, 3));
        }
    }
    // The lens with its shutter.
    p.setPen(QPen(QColor(33, 47, 61), 6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(80, 80), 34, 34);
    const qreal open = 12 + 10 * std::sin(frame_ * M_PI / 30);
    p.setPen(QPen(QColor(41, 128, 185, 160), 3));
    p.drawEllipse(QPointF(80, 80), open, open);
}

} // namespace stillora::art
