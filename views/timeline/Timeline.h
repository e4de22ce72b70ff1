#pragma once
// The timeline window: a strip of frame pictures. For a live source it shows
// the frames a selection holds, or (spy button down) the live capture ring;
// for other sources it renders a thumbnail of every frame of every
// selection. A cell can be turned into a new single-frame selection.
//
// Cells refer to (selection, slot) pairs and are checked against the host's
// selection list whenever they are drawn or used, so a selection deleted
// while it is shown only empties its cells.

#include "selection/Selection.h"
#include "views/timeline/TimelineHost.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class QAction;
class QLabel;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;

namespace stillora {

class TFrameGrid;

class TfrmTimeline : public QWidget {
    Q_OBJECT
public:
    // `host` must outlive the window.
    explicit TfrmTimeline(TimelineHost& host, QWidget* parent = nullptr);
    ~TfrmTimeline() override;

    // What actTimeline does: for a live source show the current selection's
    // frames first; then show the window (not modal) and raise it.
    void ShowTimeline();
    // Activation of a live interval root: releases the spy button, makes
    // `selection` current and shows the window.
    void ShowLiveSelection(TSelection* selection);
    // After the selection list changed (delete, new list, new source):
    // forgets selections that are gone and repaints the strip.
    void RefreshGrid();

    // The selection whose frames are shown, or none. Setting none is ignored.
    TSelection* CurrentSelection() const { return current_; }
    void SetCurrentSelection(TSelection* selection);
    // A copy of the frame image in the current column (taken under the
    // slot lock), or none when that cell holds none.
    std::optional<TMemBitmap> SelectedBitmap() const;
    // The frame image of any column, as above.
    std::optional<TMemBitmap> CellBitmap(int column) const;
    // The label written under a cell's picture (empty without a picture).
    QString CellLabel(int column) const;

    void ShowSelectionFrames();
    // Renders thumbnails of every frame of every selection (non-live).
    // Called while a render runs, it asks that render to stop instead.
    void RenderThumbnails();
    bool IsRendering() const { return rendering_; }
    // Asks a running render to stop after the frame it is on.
    void StopRendering() { stopRequested_ = true; }

    // Handlers, public so the host and tests can drive them.
    void actRenderExecute();
    void grdTimeLineDblClick();
    void tbSpyBufferClick(bool down);
    void ToolButton3Click();
    void Timer1Timer();

    // Controls, named as their objectName.
    QToolBar* ToolBar1;
    QAction* actRender;
    QToolButton* btnRender; // the tool bar button of actRender
    QToolButton* tbSpyBuffer;
    QToolButton* ToolButton3;
    TFrameGrid* grdTimeLine;
    QStatusBar* sb;
    QLabel* sbStatusTitle; // panel 0 " Status:"
    QLabel* sbStatus;      // panel 1, the status text
    QLabel* sbInfoTitle;   // panel 2 " Infos:"
    QLabel* sbInfo;        // panel 3, the info text
    QTimer* Timer1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Cell {
        TSelection* selection;
        int slot;
    };
    void grdTimelineDrawCell(QPainter& painter, int column, const QRect& rect, bool selected,
                             bool focused);
    // True while `selection` is the ring or in the host's selection list.
    bool isAlive(const TSelection* selection) const;
    void addLiveCell(int column);
    void addFileCell(int column);
    void setCells(std::vector<Cell> cells);

    TimelineHost& host_;
    TSelection* current_ = nullptr;
    TSelection* previous_ = nullptr;
    std::vector<Cell> cells_;
    // Changes whenever the cells are replaced, so that a render suspended
    // in event processing notices that the strip is no longer its own.
    unsigned generation_ = 0;
    bool rendering_ = false;
    bool stopRequested_ = false;
};

} // namespace stillora
