#include "views/timeline/GetFrame.h"

#include "selection/Selection.h"
#include "views/timeline/FrameGrid.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>
#include <mutex>

namespace stillora {

namespace {
constexpr int kColumnWidth = 384;
constexpr int kRowHeight = 288;
const QColor kLightGrey(230, 230, 230);
} // namespace

TfrmGetFrame::TfrmGetFrame(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("frmGetFrame");
    setWindowTitle("Get Frame");
    setModal(true);
    setMinimumWidth(400);
    setFixedHeight(366);
    resize(774, 366);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    grdTimeLine = new TFrameGrid(kColumnWidth, kRowHeight, this);
    grdTimeLine->setObjectName("grdTimeLine");
    grdTimeLine->setToolTip("Frame Timeline/Framestack");
    grdTimeLine->setSelectionMode(QAbstractItemView::SingleSelection);
    QFont bold = grdTimeLine->font();
    bold.setBold(true);
    bold.setPointSize(10);
    grdTimeLine->setFont(bold);
    grdTimeLine->setCellPainter(
        [this](QPainter& painter, int column, const QRect& rect, bool selected, bool focused) {
            grdTimeLineDrawCell(painter, column, rect, selected, focused);
        });
    layout->addWidget(grdTimeLine, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    Button2 = new QPushButton("&Cancel", this);
    Button2->setObjectName("Button2");
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(grdTimeLine, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex&) { grdTimeLineDblClick(); });
}

void TfrmGetFrame::Prepare(TSelection* selection, int startColumn) {
    selection_ = selection;
    origin_ = startColumn;
    grdTimeLine->setColumnCount(selection ? selection->frmLength : 0);
    grdTimeLine->clearSelection();
    grdTimeLine->setCurrentColumn(startColumn);
    if (grdTimeLine->currentColumn() >= 0)
        grdTimeLine->scrollTo(grdTimeLine->model()->index(0, startColumn),
                              QAbstractItemView::PositionAtCenter);
    grdTimeLine->viewport()->update();
}

int TfrmGetFrame::PickFrame(TSelection* selection, int startColumn) {
    Prepare(selection, startColumn);
    grdTimeLine->setFocus();
    const int answer = exec();
    const int column = grdTimeLine->currentColumn();
    // The selection is the caller's; forget it so no later repaint uses it.
    selection_ = nullptr;
    grdTimeLine->setColumnCount(0);
    return answer == QDialog::Accepted ? column : -1;
}

QString TfrmGetFrame::ColumnLabel(int column) const {
    if (!selection_ || column < 0) return QString();
    std::lock_guard<std::mutex> lock(selection_->SlotLock);
    if (column >= selection_->IconsCount()) return QString();
    const TMemBitmap& bitmap = selection_->MemSlots[static_cast<size_t>(column)];
    if (bitmap.Picture.isNull()) return QString();
    return QString::number(bitmap.FrameNumber - origin_);
}

void TfrmGetFrame::grdTimeLineDrawCell(QPainter& painter, int column, const QRect& rect,
                                       bool selected, bool focused) {
    if (!selection_) return;
    painter.fillRect(rect, Qt::black);
    try {
        QImage picture;
        int64_t number = 0;
        {
            std::lock_guard<std::mutex> lock(selection_->SlotLock);
            if (column < 0 || column >= selection_->IconsCount()) return;
            picture = selection_->MemSlots[static_cast<size_t>(column)].Picture;
            number = selection_->MemSlots[static_cast<size_t>(column)].FrameNumber;
        }
        if (picture.isNull()) return;
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(rect.left(), rect.top(), rect.width(), kRowHeight), picture);
        painter.setFont(grdTimeLine->font());
        painter.setPen(selected ? kLightGrey : QColor(Qt::white));
        painter.drawText(rect.left() + 12, rect.bottom() - 20 + painter.fontMetrics().ascent(),
                         QString::number(number - origin_));
        if (selected || focused) {
            painter.setPen(Qt::red);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
        }
    } catch (const std::exception&) {
        // A cell that cannot be drawn stays black.
    }
}

void TfrmGetFrame::grdTimeLineDblClick() {
    Button1->click();
}

std::unique_ptr<TSelection> PickFromCaptureStack(TfrmGetFrame& picker, TSelection& captureStack,
                                                 std::atomic<bool>& captureActive) {
    int start = 0;
    {
        std::lock_guard<std::mutex> lock(captureStack.SlotLock);
        // Before a live source has been opened the ring has nothing to offer.
        if (captureStack.IconsCount() == 0) return nullptr;
        start = captureStack.Index;
    }
    // A private copy of the whole ring: the live writer keeps going meanwhile.
    const auto copy = NewSelection(0, 1, 0, captureStack, captureActive);
    const int picked = picker.PickFrame(copy.get(), start);
    if (picked < 0 || picked >= copy->IconsCount()) return nullptr;
    auto still = NewSelection(0, 0, 0, captureStack, captureActive);
    if (!still->CachedSlots.empty())
        still->CachedSlots[0]->store(copy->MemSlots[static_cast<size_t>(picked)].Picture);
    return still;
}

} // namespace stillora
