#include "views/pages/PageWidgets.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QColorDialog>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QRegion>
#include <QScreen>

namespace stillora {

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items,
                         Qt::Orientation orientation, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)) {
    QBoxLayout* layout = orientation == Qt::Horizontal
                             ? static_cast<QBoxLayout*>(new QHBoxLayout(this))
                             : new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_->addButton(button, i);
        layout->addWidget(button);
    }
    if (orientation == Qt::Horizontal) layout->addStretch(1);
    connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) emit itemIndexChanged(id);
    });
    connect(group_, &QButtonGroup::idClicked, this, &TRadioGroup::clicked);
}

void TRadioGroup::setName(const QString& name) {
    setObjectName(name);
    for (int i = 0; i < count(); ++i)
        group_->button(i)->setObjectName(QString("%1_item%2").arg(name).arg(i));
}

int TRadioGroup::itemIndex() const {
    return group_->checkedId();
}

int TRadioGroup::count() const {
    return static_cast<int>(group_->buttons().size());
}

QAbstractButton* TRadioGroup::item(int index) const {
    return group_->button(index);
}

void TRadioGroup::setItemIndex(int index) {
    index = qBound(-1, index, count() - 1);
    if (index == itemIndex()) return;
    if (index < 0) {
        group_->setExclusive(false);
        if (QAbstractButton* b = group_->checkedButton()) b->setChecked(false);
        group_->setExclusive(true);
        emit itemIndexChanged(-1);
        return;
    }
    group_->button(index)->setChecked(true);
}

void TRadioGroup::setItemEnabled(int index, bool enabled) {
    if (QAbstractButton* b = group_->button(index)) b->setEnabled(enabled);
}

TColorButton::TColorButton(const QColor& color, QWidget* parent) : QToolButton(parent) {
    setColor(color);
    setIconSize(QSize(20, 12));
    connect(this, &QToolButton::clicked, this, &TColorButton::pick);
}

void TColorButton::setColor(const QColor& color) {
    const bool changed = color != color_;
    color_ = color;
    QPixmap swatch(20, 12);
    swatch.fill(color);
    QPainter(&swatch).drawRect(0, 0, 19, 11);
    setIcon(QIcon(swatch));
    if (changed) emit colorChanged(color);
}

void TColorButton::pick() {
    const QColor picked = QColorDialog::getColor(color_, this, toolTip());
    if (picked.isValid()) setColor(picked);
}

namespace {

// Pictures that follow each other closer than this are a stream.
constexpr qint64 kStreamGapMs = 100;
// After this long without a new picture the last one is drawn smoothly.
constexpr int kSettleMs = 150;

// The last picture scaled for a streaming view: the source and destination
// views of a run without effects show the same picture at the same size and
// draw the same copy.
struct ScaledCopy {
    qint64 key = 0;
    QSize size;
    QImage image;
};

ScaledCopy& lastScaled() {
    static ScaledCopy copy;
    return copy;
}

} // namespace

TPictureView::TPictureView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(80, 60);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // paintEvent() covers every pixel: the background only where no picture is.
    setAttribute(Qt::WA_OpaquePaintEvent);
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void TPictureView::setPicture(const QImage& picture) {
    if (sinceSet_.isValid()) {
        lastGapMs_ = sinceSet_.restart();
    } else {
        sinceSet_.start();
        lastGapMs_ = -1;
    }
    picture_ = picture;
    settle_.start();
    update();
}

bool TPictureView::streaming() const {
    return lastGapMs_ >= 0 && lastGapMs_ < kStreamGapMs && sinceSet_.isValid() &&
           sinceSet_.elapsed() < kStreamGapMs;
}

void TPictureView::clear() {
    setPicture(QImage());
}

void TPictureView::setStretched() {
    stretched_ = true;
    update();
}

void TPictureView::setScale(double scale) {
    stretched_ = false;
    scale_ = scale;
    update();
}

void TPictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect target;
    if (!picture_.isNull()) {
        if (stretched_) {
            const QSize size = picture_.size().scaled(this->size(), Qt::KeepAspectRatio);
            target =
                QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        } else {
            target = QRect(QPoint(0, 0), picture_.size() * scale_);
        }
    }
    if (picture_.isNull() || picture_.hasAlphaChannel()) {
        painter.fillRect(rect(), palette().dark());
    } else {
        for (const QRect& part : QRegion(rect()).subtracted(QRegion(target)))
            painter.fillRect(part, palette().dark());
    }
    if (picture_.isNull() || target.isEmpty()) return;
    if (stretched_ && streaming() && target.size() != picture_.size()) {
        ScaledCopy& copy = lastScaled();
        if (copy.key != picture_.cacheKey() || copy.size != target.size()) {
            copy.image = QImage(); // the old copy goes before the new one is made
            copy.image =
                picture_.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
            copy.key = picture_.cacheKey();
            copy.size = target.size();
        }
        painter.drawImage(target.topLeft(), copy.image);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture_);
}

void TPictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked();
    QWidget::mouseDoubleClickEvent(event);
}

TTextSlot::TTextSlot(QLabel* label, const QString& widest, QWidget* parent)
    : QWidget(parent), label_(label), widest_(widest) {
    label_->setParent(this);
    label_->move(0, 0);
    label_->show();
    setSizePolicy(label_->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
}

QSize TTextSlot::sizeHint() const {
    const QMargins m = label_->contentsMargins();
    const int around = 2 * (label_->frameWidth() + qMax(0, label_->margin()));
    const QFontMetrics metrics = label_->fontMetrics();
    const int width =
        widest_.isEmpty() ? 0 : metrics.horizontalAdvance(widest_) + m.left() + m.right() + around;
    return QSize(width, metrics.height() + m.top() + m.bottom() + around);
}

QSize TTextSlot::minimumSizeHint() const {
    return sizeHint();
}

void TTextSlot::resizeEvent(QResizeEvent*) {
    label_->setFixedSize(size());
}

RepaintPacer::RepaintPacer(QWidget* window) : window_(window) {
    const QScreen* screen = window ? window->screen() : nullptr;
    const qreal rate = screen && screen->refreshRate() >= 1 ? screen->refreshRate() : 60;
    intervalMs_ = qMax(1, qRound(1000 / rate));
    due_.setSingleShot(true);
    connect(&due_, &QTimer::timeout, this, [this] { requestPaint(); });
    if (window_) window_->installEventFilter(this);
}

RepaintPacer::~RepaintPacer() {
    if (!window_) return;
    window_->removeEventFilter(this);
    if (held_) requestPaint();
}

void RepaintPacer::requestPaint() {
    if (window_)
        QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest),
                                    Qt::LowEventPriority);
}

bool RepaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || event->type() != QEvent::UpdateRequest) return false;
    if (!sincePaint_.isValid() || sincePaint_.elapsed() >= intervalMs_) {
        sincePaint_.start();
        held_ = false;
        due_.stop();
        ++painted_;
        return false;
    }
    // Qt sends no further request until this one is served: the timer does.
    held_ = true;
    ++deferred_;
    if (!due_.isActive()) due_.start(static_cast<int>(intervalMs_ - sincePaint_.elapsed()));
    return true;
}

} // namespace stillora
