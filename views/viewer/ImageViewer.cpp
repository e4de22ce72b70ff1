#include "views/viewer/ImageViewer.h"

#include "views/viewer/SaveImageDialog.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace stillora {

// Paints the exposed part of the picture at the view's scale.
class TImageView::Canvas : public QWidget {
public:
    explicit Canvas(TImageView* view) : view_(view) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        const QImage& picture = view_->picture_;
        if (picture.isNull()) return;
        const double s = view_->scale_;
        const QRectF exposed(event->rect());
        const QRectF source(exposed.x() / s, exposed.y() / s, exposed.width() / s,
                            exposed.height() / s);
        QPainter painter(this);
        // Smoothing helps when shrinking; enlarged pixels stay sharp.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, s < 1.0);
        painter.drawImage(exposed, picture, source);
    }

private:
    TImageView* view_;
};

TImageView::TImageView(QWidget* parent) : QScrollArea(parent), canvas_(new Canvas(this)) {
    QPalette black = viewport()->palette();
    black.setColor(QPalette::Window, Qt::black);
    viewport()->setPalette(black);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    setWidgetResizable(false);
    setAlignment(Qt::AlignCenter);
    setWidget(canvas_);
    updateCanvas();
}

void TImageView::setPicture(const QImage& picture) {
    picture_ = picture.isNull() || picture.format() == QImage::Format_RGB32
                   ? picture
                   : picture.convertToFormat(QImage::Format_RGB32);
    updateCanvas();
}

void TImageView::setScale(double scale) {
    if (!std::isfinite(scale) || scale < 0.01 || scale > 32.0) return;
    scale_ = scale;
    updateCanvas();
}

void TImageView::updateCanvas() {
    if (picture_.isNull()) {
        canvas_->resize(0, 0);
    } else {
        canvas_->resize(std::max(1, static_cast<int>(std::lround(picture_.width() * scale_))),
                        std::max(1, static_cast<int>(std::lround(picture_.height() * scale_))));
    }
    canvas_->update();
}

TfrmRender::TfrmRender(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmRender");
    setWindowTitle("Render");
    // A tool window of its own beside the main window, not embedded in it.
    setWindowFlag(Qt::Window);

    Image32 = new TImageView;
    Image32->setObjectName("Image32");
    setCentralWidget(Image32);

    Files1 = menuBar()->addMenu("&Files");
    Files1->setObjectName("Files1");
    Saveas1 = Files1->addAction("Save as...");
    Saveas1->setObjectName("Saveas1");
    Close1 = Files1->addAction("&Close");
    Close1->setObjectName("Close1");
    connect(Saveas1, &QAction::triggered, this, &TfrmRender::Saveas1Click);
    connect(Close1, &QAction::triggered, this, &TfrmRender::Close1Click);

    Zoom1 = menuBar()->addMenu("Zoom");
    Zoom1->setObjectName("Zoom1");
    zoomGroup_ = new QActionGroup(this);
    zoomGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (int percent : {10, 25, 50, 75, 100, 125, 150, 200}) {
        QAction* item = Zoom1->addAction(QStringLiteral("%1%").arg(percent));
        item->setObjectName(QStringLiteral("Zoom%1").arg(percent));
        item->setCheckable(true);
        item->setChecked(percent == 100);
        item->setData(percent / 100.0);
        zoomGroup_->addAction(item);
        zoomItems << item;
        connect(item, &QAction::triggered, this,
                [this, item] { setScale(item->data().toDouble()); });
    }

    Plugins1 = menuBar()->addMenu("Plugins");
    Plugins1->setObjectName("Plugins1");

    resize(480, 400);
}

void TfrmRender::setPicture(const QImage& picture) {
    Image32->setPicture(picture);
}

void TfrmRender::setScale(double scale) {
    Image32->setScale(scale);
    const double shown = Image32->scale();
    QAction* match = nullptr;
    for (QAction* item : zoomItems)
        if (std::abs(item->data().toDouble() - shown) < 1e-9) match = item;
    if (match) {
        match->setChecked(true);
    } else if (QAction* checked = zoomGroup_->checkedAction()) {
        // An exclusive group will not let its last item go unchecked.
        zoomGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
        checked->setChecked(false);
        zoomGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
}

TfrmImageProperties* TfrmRender::saveDialog() {
    if (!saveDialog_) saveDialog_ = new TfrmImageProperties(this);
    return saveDialog_;
}

void TfrmRender::Saveas1Click() {
    // The dialog works on its own copy, so a new frame arriving while it is
    // open cannot change the picture being saved.
    const QImage copy = picture().copy();
    saveDialog()->execute(copy.isNull() ? nullptr : &copy);
}

void TfrmRender::Close1Click() {
    close();
}

void TfrmRender::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; it keeps its picture and zoom.
    event->accept();
    emit closed();
}

} // namespace stillora
