#include "views/timeline/Timeline.h"

#include "views/timeline/FrameGrid.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace stillora {

namespace {

constexpr int kCellSize = 64;
constexpr int kPictureBottom = 48;
constexpr int kLabelTop = 50;
const QColor kLime(0, 255, 0);
const QColor kLightGrey(230, 230, 230);

int32_t low32(int64_t n) {
    return static_cast<int32_t>(static_cast<uint32_t>(n));
}

// Small tool bar glyphs, drawn rather than shipped as files.
QIcon makeGlyph(int kind) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case 0: // film strip
        p.fillRect(1, 3, 14, 10, QColor(40, 40, 40));
        for (int x = 2; x < 15; x += 3) {
            p.fillRect(x, 4, 2, 1, Qt::white);
            p.fillRect(x, 11, 2, 1, Qt::white);
        }
        p.fillRect(3, 6, 4, 4, kLime);
        p.fillRect(9, 6, 4, 4, kLime);
        break;
    case 1: // eye
        p.setPen(QPen(Qt::black, 1.2));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(1.5, 4.5, 13, 7));
        p.setBrush(QColor(30, 90, 200));
        p.drawEllipse(QRectF(5.5, 5.5, 5, 5));
        break;
    default: // plus
        p.fillRect(7, 2, 2, 12, QColor(0, 140, 0));
        p.fillRect(2, 7, 12, 2, QColor(0, 140, 0));
        break;
    }
    return QIcon(pixmap);
}

QLabel* makePanel(QStatusBar* bar, const QString& name, const QString& text, int width) {
    auto* label = new QLabel(text, bar);
    label->setObjectName(name);
    label->setFixedWidth(width);
    bar->addWidget(label);
    return label;
}

} // namespace

TfrmTimeline::TfrmTimeline(TimelineHost& host, QWidget* parent)
    : QWidget(parent, Qt::Tool), host_(host) {
    setObjectName("frmTimeline");
    setWindowTitle("Timeline");
    resize(603, 160);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    actRender = new QAction(makeGlyph(0), "Render Timeline", this);
    actRender->setObjectName("actRender");
    ToolBar1->addAction(actRender);
    btnRender = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(actRender));
    if (btnRender) btnRender->setObjectName("btnRender");

    tbSpyBuffer = new QToolButton(ToolBar1);
    tbSpyBuffer->setObjectName("tbSpyBuffer");
    tbSpyBuffer->setCheckable(true);
    tbSpyBuffer->setIcon(makeGlyph(1));
    tbSpyBuffer->setToolTip("Spy Capture Buffer");
    tbSpyBuffer->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->addWidget(tbSpyBuffer);
    ToolBar1->addSeparator();
    ToolButton3 = new QToolButton(ToolBar1);
    ToolButton3->setObjectName("ToolButton3");
    ToolButton3->setIcon(makeGlyph(2));
    ToolButton3->setToolTip("Add the selected Timeline frame to Selections List.");
    ToolButton3->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->addWidget(ToolButton3);
    layout->addWidget(ToolBar1);

    grdTimeLine = new TFrameGrid(kCellSize, kCellSize, this);
    grdTimeLine->setObjectName("grdTimeLine");
    grdTimeLine->setToolTip("Frame Timeline/Framestack");
    QFont small = grdTimeLine->font();
    small.setPixelSize(9);
    grdTimeLine->setFont(small);
    grdTimeLine->setCellPainter(
        [this](QPainter& painter, int column, const QRect& rect, bool selected, bool focused) {
            grdTimelineDrawCell(painter, column, rect, selected, focused);
        });
    layout->addWidget(grdTimeLine, 1);

    sb = new QStatusBar(this);
    sb->setObjectName("sb");
    sbStatusTitle = makePanel(sb, "sbStatusTitle", " Status:", 42);
    sbStatus = makePanel(sb, "sbStatus", QString(), 150);
    sbInfoTitle = makePanel(sb, "sbInfoTitle", " Infos:", 38);
    sbInfo = makePanel(sb, "sbInfo", QString(), 50);
    layout->addWidget(sb);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(500);

    connect(actRender, &QAction::triggered, this, &TfrmTimeline::actRenderExecute);
    connect(tbSpyBuffer, &QToolButton::clicked, this, &TfrmTimeline::tbSpyBufferClick);
    connect(ToolButton3, &QToolButton::clicked, this, &TfrmTimeline::ToolButton3Click);
    connect(grdTimeLine, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex&) { grdTimeLineDblClick(); });
    connect(Timer1, &QTimer::timeout, this, &TfrmTimeline::Timer1Timer);
}

TfrmTimeline::~TfrmTimeline() {
    stopRequested_ = true;
}

bool TfrmTimeline::isAlive(const TSelection* selection) const {
    if (!selection) return false;
    if (selection == &host_.captureStack()) return true;
    const auto list = host_.selectionList();
    return std::find(list.begin(), list.end(), selection) != list.end();
}

void TfrmTimeline::setCells(std::vector<Cell> cells) {
    ++generation_;
    cells_ = std::move(cells);
    grdTimeLine->setColumnCount(static_cast<int>(cells_.size()));
    grdTimeLine->viewport()->update();
}

void TfrmTimeline::ShowTimeline() {
    if (host_.sourceKind() == 0) ShowSelectionFrames();
    show();
    raise();
}

void TfrmTimeline::ShowLiveSelection(TSelection* selection) {
    if (tbSpyBuffer->isChecked()) {
        tbSpyBuffer->setChecked(false);
        tbSpyBufferClick(false);
    }
    SetCurrentSelection(selection);
    show();
    raise();
}

void TfrmTimeline::RefreshGrid() {
    if (!isAlive(current_)) current_ = nullptr;
    if (!isAlive(previous_)) previous_ = nullptr;
    grdTimeLine->viewport()->update();
}

void TfrmTimeline::SetCurrentSelection(TSelection* selection) {
    if (!selection) return;
    // Remember what the spy button replaces (but never the ring itself).
    if (selection == &host_.captureStack() && current_ != selection) previous_ = current_;
    current_ = selection;
    ShowSelectionFrames();
}

void TfrmTimeline::ShowSelectionFrames() {
    if (!current_) return;
    if (!isAlive(current_)) {
        current_ = nullptr;
        return;
    }
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(current_->SlotLock);
        count = current_->IconsCount();
    }
    std::vector<Cell> cells;
    cells.reserve(static_cast<size_t>(count));
    for (int slot = 0; slot < count; ++slot)
        cells.push_back({current_, slot});
    setCells(std::move(cells));
    Timer1->start();
}

std::optional<TMemBitmap> TfrmTimeline::CellBitmap(int column) const {
    if (column < 0 || column >= static_cast<int>(cells_.size())) return std::nullopt;
    const Cell& cell = cells_[static_cast<size_t>(column)];
    if (!isAlive(cell.selection)) return std::nullopt;
    // The ring's writer replaces slot pictures under this lock; a shallow
    // copy taken here stays valid after it is released.
    std::lock_guard<std::mutex> lock(cell.selection->SlotLock);
    if (cell.slot < 0 || cell.slot >= cell.selection->IconsCount()) return std::nullopt;
    return cell.selection->MemSlots[static_cast<size_t>(cell.slot)];
}

std::optional<TMemBitmap> TfrmTimeline::SelectedBitmap() const {
    return CellBitmap(grdTimeLine->currentColumn());
}

QString TfrmTimeline::CellLabel(int column) const {
    const auto bitmap = CellBitmap(column);
    if (!bitmap || bitmap->Picture.isNull()) return QString();
    return ZeroPad(low32(bitmap->FrameNumber), 8);
}

void TfrmTimeline::grdTimelineDrawCell(QPainter& painter, int column, const QRect& rect,
                                       bool selected, bool focused) {
    painter.fillRect(rect, Qt::black);
    try {
        const auto bitmap = CellBitmap(column);
        if (!bitmap || bitmap->Picture.isNull()) return;
        const QRect picture(rect.left(), rect.top(), rect.width(), kPictureBottom - rect.top());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(picture, bitmap->Picture);
        painter.setFont(grdTimeLine->font());
        painter.setPen(selected ? kLightGrey : QColor(Qt::white));
        painter.drawText(
            QRect(rect.left() + 12, kLabelTop, rect.width() - 12, rect.bottom() - kLabelTop + 1),
            Qt::AlignLeft | Qt::AlignTop, ZeroPad(low32(bitmap->FrameNumber), 8));
        painter.setBrush(Qt::NoBrush);
        if (selected) {
            painter.setPen(Qt::red);
            painter.drawRect(picture.adjusted(0, 0, -1, -1));
        }
        if (focused) {
            painter.setPen(Qt::white);
            painter.drawRect(picture.adjusted(0, 0, -1, -1));
        }
    } catch (const std::exception&) {
        // A cell that cannot be drawn stays black.
    }
}

void TfrmTimeline::actRenderExecute() {
    if (rendering_) {
        // A second click stops the render in progress.
        stopRequested_ = true;
        return;
    }
    if (host_.sourceKind() == 0) {
        ShowSelectionFrames();
        update();
        grdTimeLine->viewport()->update();
    } else {
        RenderThumbnails();
    }
}

void TfrmTimeline::RenderThumbnails() {
    if (rendering_) {
        stopRequested_ = true;
        return;
    }
    rendering_ = true;
    stopRequested_ = false;
    const QPointer<TfrmTimeline> self(this);
    Timer1->stop();
    tbSpyBuffer->setEnabled(false);
    setCells({});
    const unsigned generation = generation_;
    sbStatus->setText("Rendering...");

    bool failed = false;
    bool stopped = false;
    auto interrupted = [&] { return stopRequested_ || generation != generation_; };
    try {
        for (TSelection* selection : host_.selectionList()) {
            // Events processed while a frame is fetched may have freed it.
            if (!isAlive(selection)) continue;
            {
                std::lock_guard<std::mutex> lock(selection->SlotLock);
                selection->AllocateSlots(kThumbSlotSize);
            }
            sbInfo->setText(selection->Caption);
            for (int slot = 0;; ++slot) {
                if (interrupted()) {
                    stopped = true;
                    break;
                }
                if (!isAlive(selection) || slot >= selection->IconsCount()) break;
                const int64_t frame = selection->StartFrame + slot;
                QImage grabbed;
                const bool ok = host_.seekAndGrab(frame, grabbed);
                if (!self) return; // the window was destroyed meanwhile
                if (interrupted()) {
                    stopped = true;
                    break;
                }
                if (!ok || grabbed.isNull()) {
                    failed = true;
                    break;
                }
                if (!isAlive(selection)) break;
                const QImage thumb =
                    grabbed.scaled(kThumbSlotSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_RGB32);
                {
                    std::lock_guard<std::mutex> lock(selection->SlotLock);
                    if (slot >= selection->IconsCount()) break;
                    selection->MemSlots[static_cast<size_t>(slot)].Picture = thumb;
                }
                cells_.push_back({selection, slot});
                grdTimeLine->setColumnCount(static_cast<int>(cells_.size()));
                QCoreApplication::processEvents();
                if (!self) return;
            }
            if (failed || stopped) break;
        }
    } catch (const std::exception&) {
        failed = true;
    }

    rendering_ = false;
    stopRequested_ = false;
    tbSpyBuffer->setEnabled(true);
    if (failed)
        sbStatus->setText("Error on Rendering");
    else if (stopped)
        sbStatus->setText("Rendering stopped");
    if (generation == generation_) grdTimeLine->setColumnCount(static_cast<int>(cells_.size()));
    grdTimeLine->viewport()->update();
}

void TfrmTimeline::grdTimeLineDblClick() {
    if (host_.sourceKind() == 0) {
        // The ring keeps its frames in memory only; its disk-backed slots are
        // normally empty, and then the viewer keeps what it shows.
        TSelection& stack = host_.captureStack();
        const int column = grdTimeLine->currentColumn();
        QImage picture;
        bool loaded = false;
        {
            std::lock_guard<std::mutex> lock(stack.SlotLock);
            if (column >= 0 && column < static_cast<int>(stack.CachedSlots.size()))
                loaded = stack.CachedSlots[static_cast<size_t>(column)]->load(picture);
        }
        host_.showFrameInViewer(stack, loaded ? &picture : nullptr);
        return;
    }
    const auto bitmap = SelectedBitmap();
    if (!bitmap) return;
    host_.seekTo(bitmap->FrameNumber);
}

void TfrmTimeline::ToolButton3Click() {
    const auto bitmap = SelectedBitmap();
    if (!bitmap) return;
    if (host_.sourceKind() == 0)
        addLiveCell(grdTimeLine->currentColumn());
    else
        addFileCell(grdTimeLine->currentColumn());
}

void TfrmTimeline::addLiveCell(int column) {
    TSelection& stack = host_.captureStack();
    auto selection = std::make_unique<TSelection>();
    selection->Tag = stack.Tag;
    selection->StartFrame = 0;
    selection->EndFrame = 0;
    selection->frmLength = 1;
    selection->AllocateSlots(kThumbSlotSize);
    QImage picture;
    {
        // Moving the write position and taking the slot's picture happen
        // under one lock, so the writer cannot slip a frame in between.
        std::lock_guard<std::mutex> lock(stack.SlotLock);
        if (column < 0 || column >= stack.IconsCount()) return;
        stack.Index = column;
        selection->Index = column;
        picture = stack.MemSlots[static_cast<size_t>(column)].Picture;
    }
    selection->CachedSlots[0]->store(picture);
    selection->Caption = "Frame_" + MakeStamp();
    selection->SourceKind = host_.sourceKind();
    host_.addSelection(std::move(selection));
}

void TfrmTimeline::addFileCell(int column) {
    const auto bitmap = CellBitmap(column);
    if (!bitmap) return;
    const int32_t frame = low32(bitmap->FrameNumber);
    auto selection = std::make_unique<TSelection>("Frame_" + MakeStamp());
    selection->StartFrame = frame;
    selection->EndFrame = frame;
    selection->Index = frame;
    selection->frmLength = 1;
    selection->SourceKind = host_.sourceKind();
    host_.addSelection(std::move(selection));
}

void TfrmTimeline::tbSpyBufferClick(bool down) {
    if (down) {
        SetCurrentSelection(&host_.captureStack());
        return;
    }
    if (previous_ && isAlive(previous_)) SetCurrentSelection(previous_);
}

void TfrmTimeline::Timer1Timer() {
    // The ring gets its slots when a live source is opened: follow that.
    if (current_ == &host_.captureStack()) {
        int count = 0;
        {
            std::lock_guard<std::mutex> lock(current_->SlotLock);
            count = current_->IconsCount();
        }
        if (count != static_cast<int>(cells_.size())) ShowSelectionFrames();
    }
    grdTimeLine->viewport()->update();
}

void TfrmTimeline::closeEvent(QCloseEvent* event) {
    if (rendering_) stopRequested_ = true;
    QWidget::closeEvent(event);
}

} // namespace stillora
