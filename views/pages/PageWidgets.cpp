#include "views/pages/PageWidgets.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>

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

TPictureView::TPictureView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(80, 60);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TPictureView::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
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
    painter.fillRect(rect(), palette().dark());
    if (picture_.isNull()) return;
    QRect target;
    if (stretched_) {
        const QSize size = picture_.size().scaled(this->size(), Qt::KeepAspectRatio);
        target = QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    } else {
        target = QRect(QPoint(0, 0), picture_.size() * scale_);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture_);
}

void TPictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked();
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace stillora
