#include "views/VideoWindow.h"

#include <QMetaObject>
#include <QPainter>

namespace stillora {

TVideoWindow::TVideoWindow(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
}

void TVideoWindow::setLogo(const QImage& logo) {
    logo_ = logo;
    update();
}

void TVideoWindow::frameArrived() {
    // Called on the decoding thread: hand over to the window's own thread.
    QMetaObject::invokeMethod(this, "refresh", Qt::QueuedConnection);
}

void TVideoWindow::refresh() {
    if (!source_) return;
    QImage frame;
    if (source_(frame)) {
        frame_ = std::move(frame);
        update();
    }
}

void TVideoWindow::clearFrame() {
    frame_ = QImage();
    update();
}

void TVideoWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    // The logo sits at the top-left; a frame, when shown, covers it.
    if (frame_.isNull()) {
        if (!logo_.isNull()) {
            const QImage scaled = logo_.size().boundedTo(size()) == logo_.size()
                                      ? logo_
                                      : logo_.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
            p.drawImage(QPoint(0, 0), scaled);
        }
        return;
    }
    QSize target = frame_.size().scaled(size(), Qt::KeepAspectRatio);
    QRect box(QPoint((width() - target.width()) / 2, (height() - target.height()) / 2), target);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(box, frame_);
}

} // namespace stillora
