#include "views/browser/GraphicSelector.h"

#include "views/DialogService.h"
#include "views/browser/ThumbnailView.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace stillora {

namespace {

const QString kCaption = QStringLiteral("Graphic Selector");
const QString kConfirmDelete = QStringLiteral("Do you really wont to delete this file?");
constexpr int kPanel0Width = 70;
constexpr int kPanel1ScanWidth = 102;
constexpr int kEdgeGrip = 6; // pixels from a resize frame edge that grab it

} // namespace

// ---------------------------------------------------------------------------
// TResizeFrame

TResizeFrame::TResizeFrame(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Size"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(2);
    setMinimumSize(kMinSize, kMinSize);
    setMouseTracking(true);
    setAutoFillBackground(true);
    setToolTip(QStringLiteral("Drag the edges to the new thumbnail size"));
}

Qt::Edges TResizeFrame::edgesAt(const QPoint& pos) const {
    Qt::Edges edges;
    if (pos.x() < kEdgeGrip) edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kEdgeGrip) edges |= Qt::RightEdge;
    if (pos.y() < kEdgeGrip) edges |= Qt::TopEdge;
    if (pos.y() >= height() - kEdgeGrip) edges |= Qt::BottomEdge;
    return edges;
}

void TResizeFrame::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("Resize Thumbnail"));
}

void TResizeFrame::mousePressEvent(QMouseEvent* event) {
    dragging_ =
        event->button() == Qt::LeftButton ? edgesAt(event->position().toPoint()) : Qt::Edges();
    pressGlobal_ = event->globalPosition().toPoint();
    pressGeometry_ = geometry();
    event->accept();
}

void TResizeFrame::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        const Qt::Edges edges = edgesAt(event->position().toPoint());
        const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
        if (horizontal && vertical)
            setCursor(((edges & Qt::LeftEdge) != 0) == ((edges & Qt::TopEdge) != 0)
                          ? Qt::SizeFDiagCursor
                          : Qt::SizeBDiagCursor);
        else if (horizontal)
            setCursor(Qt::SizeHorCursor);
        else if (vertical)
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - pressGlobal_;
    QRect r = pressGeometry_;
    if (dragging_ & Qt::LeftEdge)
        r.setLeft(std::min(r.left() + delta.x(), r.right() - kMinSize + 1));
    if (dragging_ & Qt::RightEdge)
        r.setRight(std::max(r.right() + delta.x(), r.left() + kMinSize - 1));
    if (dragging_ & Qt::TopEdge) r.setTop(std::min(r.top() + delta.y(), r.bottom() - kMinSize + 1));
    if (dragging_ & Qt::BottomEdge)
        r.setBottom(std::max(r.bottom() + delta.y(), r.top() + kMinSize - 1));
    if (r != geometry()) {
        setGeometry(r);
        emit resized();
    }
    event->accept();
}

void TResizeFrame::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = Qt::Edges();
    event->accept();
}

void TResizeFrame::enterEvent(QEnterEvent* event) {
    QFrame::enterEvent(event);
    emit mouseEntered();
}

void TResizeFrame::leaveEvent(QEvent* event) {
    QFrame::leaveEvent(event);
    emit mouseLeft();
}

// ---------------------------------------------------------------------------
// TfrmGraphicSelector

TfrmGraphicSelector::TfrmGraphicSelector(QWidget* parent) : QMainWindow(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmGraphicSelector"));
    setWindowTitle(kCaption);
    resize(640, 480);

    ToolBar = addToolBar(QStringLiteral("Tools"));
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    actRefresh = new QAction(style()->standardIcon(QStyle::SP_BrowserReload),
                             QStringLiteral("Refresh"), this);
    actRefresh->setObjectName(QStringLiteral("actRefresh"));
    actRefresh->setShortcut(Qt::Key_F5);
    actRefresh->setToolTip(QStringLiteral("Refresh (F5)"));

    FileDelete =
        new QAction(style()->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("Delete"), this);
    FileDelete->setObjectName(QStringLiteral("FileDelete"));
    FileDelete->setShortcut(Qt::Key_Delete);
    FileDelete->setToolTip(QStringLiteral("Delete the selected file (Del)"));

    tlbSize = new QAction(style()->standardIcon(QStyle::SP_TitleBarNormalButton),
                          QStringLiteral("Size"), this);
    tlbSize->setObjectName(QStringLiteral("tlbSize"));
    tlbSize->setCheckable(true);
    tlbSize->setToolTip(QStringLiteral("Resize the thumbnails"));

    ToolBar->addAction(actRefresh);
    ToolBar->addAction(FileDelete);
    ToolBar->addSeparator();
    ToolBar->addAction(tlbSize);

    Viewer = new TThumbnailView(this);
    setCentralWidget(Viewer);

    Size = new TResizeFrame(Viewer->viewport());
    Size->setGeometry(QRect(QPoint(TThumbnailView::kSpacing * 2, TThumbnailView::kSpacing * 2),
                            Viewer->maxThumbSize()));
    Size->hide();

    SB = statusBar();
    SB->setObjectName(QStringLiteral("SB"));
    SB->setSizeGripEnabled(true);
    SBPanel0 = new QLabel(SB);
    SBPanel0->setObjectName(QStringLiteral("SBPanel0"));
    SBPanel0->setFixedWidth(kPanel0Width);
    SBPanel1 = new QWidget(SB);
    SBPanel1->setObjectName(QStringLiteral("SBPanel1"));
    auto* panel1Layout = new QHBoxLayout(SBPanel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    SBPanel2 = new TElidedLabel(SB);
    SBPanel2->setObjectName(QStringLiteral("SBPanel2"));
    SB->addWidget(SBPanel0);
    SB->addWidget(SBPanel1);
    SB->addWidget(SBPanel2, 1);

    // The progress bar lives in panel 1 and follows its size through the layout.
    Progress = new QProgressBar(SBPanel1);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 100);
    Progress->setTextVisible(false);
    panel1Layout->addWidget(Progress);
    Progress->reset(); // position -1: drawn empty
    Progress->hide();
    setPanel1Width(0);
    FRememberedIndex = -1;

    connect(actRefresh, &QAction::triggered, this, &TfrmGraphicSelector::actRefreshExecute);
    connect(FileDelete, &QAction::triggered, this, &TfrmGraphicSelector::FileDeleteExecute);
    connect(tlbSize, &QAction::toggled, this, &TfrmGraphicSelector::tlbSizeClick);
    connect(Viewer, &TThumbnailView::clicked, this, &TfrmGraphicSelector::ViewerClick);
    connect(Viewer, &TThumbnailView::scanStarted, this, &TfrmGraphicSelector::ViewerScanStarted);
    connect(Viewer, &TThumbnailView::scanProgress, this, &TfrmGraphicSelector::ViewerScanProgress);
    connect(Viewer, &TThumbnailView::scanFinished, this, &TfrmGraphicSelector::ViewerScanFinished);
    connect(Size, &TResizeFrame::resized, this, &TfrmGraphicSelector::SizeResize);
    connect(Size, &TResizeFrame::mouseEntered, this, &TfrmGraphicSelector::SizeMouseEnter);
    connect(Size, &TResizeFrame::mouseLeft, this, &TfrmGraphicSelector::SizeMouseLeave);
}

void TfrmGraphicSelector::setFileMask(const QString& mask) {
    FFileMask = mask;
}

void TfrmGraphicSelector::setSourceFolder(const QString& folder) {
    FSourceFolder = folder;
    Viewer->scan(folder, FFileMask);
}

void TfrmGraphicSelector::showFolder(const QString& folder, const QString& mask) {
    setFileMask(mask);
    setSourceFolder(folder);
    show();
    raise();
    activateWindow();
}

QString TfrmGraphicSelector::FileDescription(const QString& path) {
    const QFileInfo info(path);
    const qint64 size = info.exists() ? info.size() : -1;
    return info.fileName() + QStringLiteral(" [") + QString::number(size / 1024) +
           QStringLiteral(" Kb.]");
}

void TfrmGraphicSelector::setPanel1Width(int width) {
    SBPanel1->setFixedWidth(width);
    // A zero-wide item would still draw its frame in the status bar.
    SBPanel1->setVisible(width > 0);
}

void TfrmGraphicSelector::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) actRefreshExecute();
}

void TfrmGraphicSelector::keyReleaseEvent(QKeyEvent* event) {
    ViewerClick();
    QMainWindow::keyReleaseEvent(event);
}

void TfrmGraphicSelector::actRefreshExecute() {
    // While a scan is filling the view its empty selection is not the user's
    // choice; keep the index remembered from before so the scan can restore it.
    if (!Viewer->isScanning()) FRememberedIndex = Viewer->selectedIndex();
    if (Viewer->selectedIndex() == -1 && Viewer->count() > 0) Viewer->setSelectedIndex(0);
    const int selected = Viewer->selectedIndex();
    SBPanel2->setText(selected >= 0 ? FileDescription(Viewer->filePath(selected)) : QString());
}

void TfrmGraphicSelector::ViewerClick() {
    const int selected = Viewer->selectedIndex();
    if (selected < 0) {
        SBPanel2->clear();
        return;
    }
    const QString path = Viewer->filePath(selected);
    SBPanel2->setText(QFileInfo::exists(path) ? FileDescription(path)
                                              : QStringLiteral("Not found!"));
}

void TfrmGraphicSelector::ViewerScanStarted(int) {
    if (Progress->value() <= 0 && Progress->isHidden()) {
        setPanel1Width(kPanel1ScanWidth);
        Progress->show();
        SBPanel0->setText(QStringLiteral(" Scanning..."));
    }
}

void TfrmGraphicSelector::ViewerScanProgress(int loadedCount) {
    const int count = Viewer->count();
    Progress->setValue(count > 0 ? qRound(100.0 * loadedCount / count) : 0);
}

void TfrmGraphicSelector::ViewerScanFinished() {
    setWindowTitle(QDir::toNativeSeparators(FSourceFolder));
    Progress->hide();
    setPanel1Width(0);
    Progress->setValue(0);
    SBPanel0->setText(QString::number(Viewer->count()) + QStringLiteral(" File(s)"));
    if (FRememberedIndex != -1 && FRememberedIndex < Viewer->count()) {
        Viewer->setSelectedIndex(FRememberedIndex);
        ViewerClick();
    }
}

bool TfrmGraphicSelector::deleteShownFile(int index, QString* error) const {
    const QString name = Viewer->fileName(index);
    // Only a plain name listed from the shown folder with the shown mask; the
    // path is rebuilt here so nothing but that folder's entry can be reached.
    const bool plainName = !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
                           name != QLatin1String(".") && name != QLatin1String("..");
    if (!plainName || Viewer->folder() != FSourceFolder ||
        !QDir::match(Viewer->mask().split(QLatin1Char(';'), Qt::SkipEmptyParts), name)) {
        *error = QStringLiteral("The file is not one of the files shown.");
        return false;
    }
    // unlink removes a link rather than its target and never removes a folder.
    const QByteArray path = QFile::encodeName(QDir(FSourceFolder).filePath(name));
    if (::unlink(path.constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

void TfrmGraphicSelector::FileDeleteExecute() {
    const int selected = Viewer->selectedIndex();
    if (selected < 0) return;
    const QString path = Viewer->filePath(selected);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return;
    if (Dialogs().message(DialogService::Warning, kCaption, kConfirmDelete,
                          DialogService::Yes | DialogService::No, this) != DialogService::Yes)
        return;
    QString error;
    if (!deleteShownFile(selected, &error)) {
        // The file stays listed and uncrossed: it is still there.
        Dialogs().message(DialogService::Error, kCaption,
                          QStringLiteral("The file could not be deleted:\n%1\n\n%2")
                              .arg(QDir::toNativeSeparators(path), error),
                          DialogService::Ok, this);
        ViewerClick();
        return;
    }
    Viewer->markDeleted(selected);
    if (selected < Viewer->count() - 1) Viewer->setSelectedIndex(selected + 1);
    ViewerClick();
}

void TfrmGraphicSelector::tlbSizeClick(bool checked) {
    if (!checked) {
        Size->hide();
        return;
    }
    FSizeChanged = false;
    Size->raise();
    Size->show();
    if (Viewer->selectedIndex() == -1 && Viewer->count() > 0) Viewer->setSelectedIndex(0);
    if (Viewer->selectedIndex() >= 0)
        Size->setGeometry(Viewer->thumbnailRect(Viewer->selectedIndex()));
}

void TfrmGraphicSelector::SizeResize() {
    FSizeChanged = true;
}

void TfrmGraphicSelector::SizeMouseEnter() {
    SBPanel2->setText(QStringLiteral("Enter"));
}

void TfrmGraphicSelector::SizeMouseLeave() {
    if (!FSizeChanged || Size->isHidden()) return;
    Size->hide();
    // The rebuild reports a new scan; keep the current selection through it.
    FRememberedIndex = Viewer->selectedIndex();
    Viewer->setMaxThumbSize(Size->width(), Size->height());
    tlbSize->setChecked(false);
}

} // namespace stillora
