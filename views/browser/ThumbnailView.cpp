#include "views/browser/ThumbnailView.h"

#include "views/browser/ThumbnailDecoder.h"

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>

#include <algorithm>

namespace stillora {

namespace {

constexpr int kCellPadding = 4; // around the picture box inside a cell
constexpr int kCrossPenWidth = 23;

} // namespace

TThumbnailView::TThumbnailView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("Viewer"));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4));
}

TThumbnailView::~TThumbnailView() {
    // Workers post their results to this object; none may outlive it.
    stopDecoding();
    pool_.waitForDone();
}

void TThumbnailView::clear() {
    stopDecoding();
    items_.clear();
    selected_ = -1;
    loaded_ = 0;
    scanning_ = false;
    updateLayout();
    viewport()->update();
}

void TThumbnailView::scan(const QString& folder, const QString& mask) {
    clear();
    folder_ = folder;
    mask_ = mask.isEmpty() ? QStringLiteral("*") : mask;
    if (!folder.isEmpty()) {
        QDir dir(folder);
        // Name filters compare without regard to case; only plain files (or
        // links to them) are listed, never folders.
        const QStringList names =
            dir.entryList(mask_.split(QLatin1Char(';'), Qt::SkipEmptyParts),
                          QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        items_.reserve(names.size());
        for (const QString& name : names)
            items_.push_back(Item{name, {}, false, false, false});
    }
    updateLayout();
    verticalScrollBar()->setValue(0);
    viewport()->update();
    scanning_ = true;
    emit scanStarted(items_.size());
    startDecoding();
}

void TThumbnailView::setMaxThumbSize(int width, int height) {
    const QSize box(std::clamp(width, kMinThumbSize, kMaxThumbSize),
                    std::clamp(height, kMinThumbSize, kMaxThumbSize));
    stopDecoding();
    box_ = box;
    for (Item& item : items_) {
        item.picture = QImage();
        item.loaded = false;
        item.broken = false;
    }
    loaded_ = 0;
    updateLayout();
    ensureVisible(selected_);
    viewport()->update();
    scanning_ = true;
    emit scanStarted(items_.size());
    startDecoding();
}

void TThumbnailView::startDecoding() {
    ++generation_;
    cancelled_ = std::make_shared<std::atomic<bool>>(false);
    if (items_.isEmpty()) {
        scanning_ = false;
        emit scanFinished();
        return;
    }
    // Queued in file order, so the top of the grid fills first.
    const quint64 generation = generation_;
    const auto cancelled = cancelled_;
    const QSize box = box_;
    for (int i = 0; i < items_.size(); ++i) {
        const QString path = filePath(i);
        pool_.start([this, generation, cancelled, box, path, i] {
            if (cancelled->load()) return;
            QImage picture = DecodeThumbnail(path, box);
            if (cancelled->load()) return;
            QMetaObject::invokeMethod(
                this,
                [this, generation, i, picture = std::move(picture)] {
                    thumbnailDecoded(generation, i, picture);
                },
                Qt::QueuedConnection);
        });
    }
}

void TThumbnailView::stopDecoding() {
    if (cancelled_) cancelled_->store(true);
    pool_.clear(); // tasks not started yet; running ones see the flag
    ++generation_;
}

void TThumbnailView::thumbnailDecoded(quint64 generation, int index, QImage picture) {
    if (generation != generation_ || index < 0 || index >= items_.size()) return;
    Item& item = items_[index];
    if (item.loaded) return;
    item.picture = std::move(picture);
    item.broken = item.picture.isNull();
    item.loaded = true;
    finishPicture(item);
    ++loaded_;
    viewport()->update(thumbnailRect(index));
    emit scanProgress(loaded_);
    if (loaded_ == items_.size() && scanning_) {
        scanning_ = false;
        emit scanFinished();
    }
}

// A broken file gets a grey box so the cross of a deleted file has something to cover.
void TThumbnailView::finishPicture(Item& item) const {
    if (item.broken && item.deleted && item.picture.isNull()) {
        item.picture = QImage(box_, QImage::Format_RGB32);
        item.picture.fill(QColor(0xC0, 0xC0, 0xC0));
    }
    if (!item.deleted || item.picture.isNull()) return;
    if (item.picture.format() != QImage::Format_RGB32)
        item.picture = item.picture.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&item.picture);
    painter.setRenderHint(QPainter::Antialiasing, false); // every cross pixel pure red
    painter.setPen(QPen(QColor(255, 0, 0), kCrossPenWidth));
    const int w = item.picture.width();
    const int h = item.picture.height();
    painter.drawLine(0, 0, w, h);
    painter.drawLine(0, h, w, 0);
}

void TThumbnailView::markDeleted(int index) {
    if (index < 0 || index >= items_.size() || items_[index].deleted) return;
    Item& item = items_[index];
    item.deleted = true;
    if (item.loaded) finishPicture(item);
    viewport()->update(cellRect(index));
}

QString TThumbnailView::fileName(int index) const {
    return index >= 0 && index < items_.size() ? items_[index].name : QString();
}

QString TThumbnailView::filePath(int index) const {
    if (index < 0 || index >= items_.size()) return {};
    return QDir(folder_).filePath(items_[index].name);
}

QImage TThumbnailView::thumbnail(int index) const {
    return index >= 0 && index < items_.size() ? items_[index].picture : QImage();
}

bool TThumbnailView::isLoaded(int index) const {
    return index >= 0 && index < items_.size() && items_[index].loaded;
}

bool TThumbnailView::isBroken(int index) const {
    return index >= 0 && index < items_.size() && items_[index].broken;
}

bool TThumbnailView::isDeleted(int index) const {
    return index >= 0 && index < items_.size() && items_[index].deleted;
}

void TThumbnailView::setSelectedIndex(int index) {
    if (index < -1 || index >= items_.size()) return;
    if (index == selected_) {
        ensureVisible(index);
        return;
    }
    const int previous = selected_;
    selected_ = index;
    if (previous >= 0) viewport()->update(cellRect(previous));
    if (index >= 0) viewport()->update(cellRect(index));
    ensureVisible(index);
}

QSize TThumbnailView::cellSize() const {
    return {box_.width() + 2 * kCellPadding,
            box_.height() + 2 * kCellPadding + fontMetrics().height() + 2};
}

void TThumbnailView::updateLayout() {
    const QSize cell = cellSize();
    const int width = viewport()->width();
    columns_ = std::max(1, (width - kSpacing) / (cell.width() + kSpacing));
    const int rows = (items_.size() + columns_ - 1) / columns_;
    const int contentHeight = kSpacing + rows * (cell.height() + kSpacing);
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(cell.height() / 4 + 1);
    verticalScrollBar()->setRange(0, std::max(0, contentHeight - viewport()->height()));
}

// Each row is centred on its own, the last (shorter) one included.
int TThumbnailView::rowLeft(int row) const {
    const int inRow = std::clamp(int(items_.size()) - row * columns_, 1, columns_);
    const int rowWidth = inRow * cellSize().width() + (inRow - 1) * kSpacing;
    return std::max(kSpacing, (viewport()->width() - rowWidth) / 2);
}

QRect TThumbnailView::cellRect(int index) const {
    if (index < 0 || index >= items_.size()) return {};
    const QSize cell = cellSize();
    const int row = index / columns_;
    const int column = index % columns_;
    return QRect(rowLeft(row) + column * (cell.width() + kSpacing),
                 kSpacing + row * (cell.height() + kSpacing) - verticalScrollBar()->value(),
                 cell.width(), cell.height());
}

QRect TThumbnailView::thumbnailRect(int index) const {
    const QRect cell = cellRect(index);
    if (cell.isNull()) return {};
    return QRect(cell.topLeft() + QPoint(kCellPadding, kCellPadding), box_);
}

int TThumbnailView::indexAt(const QPoint& pos) const {
    const QSize cell = cellSize();
    const int y = pos.y() + verticalScrollBar()->value() - kSpacing;
    if (y < 0) return -1;
    const int row = y / (cell.height() + kSpacing);
    const int x = pos.x() - rowLeft(row);
    if (x < 0) return -1;
    const int column = x / (cell.width() + kSpacing);
    if (column >= columns_ || x % (cell.width() + kSpacing) >= cell.width() ||
        y % (cell.height() + kSpacing) >= cell.height())
        return -1;
    const int index = row * columns_ + column;
    return index < items_.size() ? index : -1;
}

void TThumbnailView::ensureVisible(int index) {
    const QRect cell = cellRect(index);
    if (cell.isNull()) return;
    QScrollBar* bar = verticalScrollBar();
    if (cell.top() < 0)
        bar->setValue(bar->value() + cell.top() - kSpacing);
    else if (cell.bottom() >= viewport()->height())
        bar->setValue(bar->value() + cell.bottom() - viewport()->height() + 1 + kSpacing);
}

void TThumbnailView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    const QPalette& pal = palette();
    const QFontMetrics metrics = fontMetrics();
    for (int i = 0; i < items_.size(); ++i) {
        const QRect cell = cellRect(i);
        if (cell.bottom() < exposed.top()) continue;
        if (cell.top() > exposed.bottom()) break;
        if (!cell.intersects(exposed)) continue;
        const Item& item = items_[i];
        const bool selected = i == selected_;
        if (selected) painter.fillRect(cell, pal.color(QPalette::Highlight));
        const QRect box = thumbnailRect(i);
        if (!item.picture.isNull()) {
            QRect picture(QPoint(), item.picture.size());
            picture.moveCenter(box.center());
            painter.drawImage(picture.topLeft(), item.picture);
        }
        if (!item.loaded || (item.broken && !item.deleted)) {
            painter.setPen(pal.color(QPalette::Mid));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            if (item.broken) painter.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
        }
        painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect caption(cell.left() + 2, box.bottom() + 2, cell.width() - 4, metrics.height());
        painter.drawText(caption, Qt::AlignHCenter | Qt::AlignVCenter,
                         metrics.elidedText(item.name, Qt::ElideMiddle, caption.width()));
    }
}

void TThumbnailView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateLayout();
}

void TThumbnailView::scrollContentsBy(int, int) {
    viewport()->update();
}

void TThumbnailView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        const int index = indexAt(event->position().toPoint());
        if (index >= 0) setSelectedIndex(index);
        emit clicked();
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void TThumbnailView::keyPressEvent(QKeyEvent* event) {
    if (items_.isEmpty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int last = items_.size() - 1;
    const int rowsPerPage = std::max(1, viewport()->height() / (cellSize().height() + kSpacing));
    const int current = selected_;
    int next = current;
    switch (event->key()) {
    case Qt::Key_Left:
        next = current - 1;
        break;
    case Qt::Key_Right:
        next = current + 1;
        break;
    case Qt::Key_Up:
        next = current - columns_;
        break;
    case Qt::Key_Down:
        next = current < 0 ? 0 : current + columns_;
        break;
    case Qt::Key_PageUp:
        next = current - columns_ * rowsPerPage;
        break;
    case Qt::Key_PageDown:
        next = current + columns_ * rowsPerPage;
        break;
    case Qt::Key_Home:
        next = 0;
        break;
    case Qt::Key_End:
        next = last;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    setSelectedIndex(std::clamp(next, 0, last));
    event->accept();
}

} // namespace stillora
