#pragma once
// The exported images browser ("Graphic Selector"): thumbnails of the
// pictures a numbered-frames render wrote, with each file's size, and a way
// to delete unwanted stills.
//
// Use: setFileMask("*.jpg"); setSourceFolder(folder); show(); or
// showFolder(folder, mask), which does the three. The window only ever
// deletes a file it shows, inside the shown folder, after the user said Yes.

#include "views/ElidedLabel.h"

#include <QFrame>
#include <QMainWindow>
#include <QString>

class QAction;
class QLabel;
class QProgressBar;
class QStatusBar;
class QToolBar;
class QWidget;

namespace stillora {

class TThumbnailView;

// A panel whose edges the user drags to choose a new thumbnail size.
class TResizeFrame : public QFrame {
    Q_OBJECT
public:
    static constexpr int kMinSize = 16;
    explicit TResizeFrame(QWidget* parent = nullptr);

signals:
    // The user dragged an edge (not emitted for setGeometry calls).
    void resized();
    void mouseEntered();
    void mouseLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Qt::Edges edgesAt(const QPoint& pos) const;

    Qt::Edges dragging_;
    QPoint pressGlobal_;
    QRect pressGeometry_;
};

class TfrmGraphicSelector : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmGraphicSelector(QWidget* parent = nullptr);

    // The view's filter, for example "*.jpg"; used by the next setSourceFolder.
    void setFileMask(const QString& mask);
    QString fileMask() const { return FFileMask; }
    // Stores the folder, clears the view and starts scanning it with the mask.
    void setSourceFolder(const QString& folder);
    QString sourceFolder() const { return FSourceFolder; }
    // Sets the mask and the folder, then shows and raises the window.
    void showFolder(const QString& folder, const QString& mask);

    int rememberedIndex() const { return FRememberedIndex; }
    bool sizeChanged() const { return FSizeChanged; }
    // "name [N Kb.]" for a file; a missing file counts as size -1 (0 Kb.).
    static QString FileDescription(const QString& path);

    // Controls, named as their objectName.
    QToolBar* ToolBar;
    QAction* actRefresh;
    QAction* FileDelete;
    QAction* tlbSize;
    TThumbnailView* Viewer;
    QStatusBar* SB;
    QLabel* SBPanel0;  // file count or " Scanning..."
    QWidget* SBPanel1; // holds the progress bar while scanning
    TElidedLabel* SBPanel2; // the selected file's description
    QProgressBar* Progress;
    TResizeFrame* Size;

public slots:
    void actRefreshExecute();
    void FileDeleteExecute();
    void tlbSizeClick(bool checked);
    void ViewerClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void ViewerScanStarted(int fileCount);
    void ViewerScanProgress(int loadedCount);
    void ViewerScanFinished();
    void SizeResize();
    void SizeMouseEnter();
    void SizeMouseLeave();
    void setPanel1Width(int width);
    // Deletes the file shown at `index`; false with the system's reason when it cannot.
    bool deleteShownFile(int index, QString* error) const;

    QString FSourceFolder;
    QString FFileMask = QStringLiteral("*.jpg");
    int FRememberedIndex = -1;
    bool FSizeChanged = false;
};

} // namespace stillora
