#pragma once
// The frame picker: a modal dialog in which the user picks one of a
// selection's stored frames, shown large in a one-row strip.

#include <QDialog>

#include <atomic>
#include <memory>

class QPushButton;

namespace stillora {

class TFrameGrid;
class TSelection;

class TfrmGetFrame : public QDialog {
    Q_OBJECT
public:
    explicit TfrmGetFrame(QWidget* parent = nullptr);

    // Shows `selection`'s frames modally with `startColumn` current and as
    // the origin of the labels. Returns the current column on OK (or a
    // double-click), -1 on Cancel, Escape, or when no column is current.
    // The selection must stay alive during the call; it is not kept after.
    int PickFrame(TSelection* selection, int startColumn);
    // The first half of PickFrame: fills the strip without showing it.
    void Prepare(TSelection* selection, int startColumn);

    TSelection* Selection() const { return selection_; }
    int Origin() const { return origin_; }
    // The label of a column: its frame number minus the origin (empty when
    // the column has no slot with a picture).
    QString ColumnLabel(int column) const;

    void grdTimeLineDblClick();

    TFrameGrid* grdTimeLine;
    QPushButton* Button1; // OK
    QPushButton* Button2; // Cancel

private:
    void grdTimeLineDrawCell(QPainter& painter, int column, const QRect& rect, bool selected,
                             bool focused);

    TSelection* selection_ = nullptr;
    int origin_ = 0;
};

// Takes one still out of the live ring: copies the whole ring, lets the user
// pick a frame starting at the ring's write position, and returns a new
// single-frame selection holding the picked picture in its disk-backed slot.
// Returns none when the user cancels or the ring holds no slots.
std::unique_ptr<TSelection> PickFromCaptureStack(TfrmGetFrame& picker, TSelection& captureStack,
                                                 std::atomic<bool>& captureActive);

} // namespace stillora
