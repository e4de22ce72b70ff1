#pragma once
// A one-row grid of frame cells, drawn entirely by its owner: the strip of
// the timeline window and of the frame picker. Columns carry no data of
// their own; the owner knows what each column shows.

#include <QTableView>

#include <functional>

class QAbstractTableModel;

namespace stillora {

class TFrameGrid : public QTableView {
    Q_OBJECT
public:
    // Draws one cell into `rect` (viewport coordinates).
    using CellPainter = std::function<void(QPainter& painter, int column, const QRect& rect,
                                           bool selected, bool focused)>;

    TFrameGrid(int columnWidth, int rowHeight, QWidget* parent = nullptr);
    ~TFrameGrid() override;

    void setCellPainter(CellPainter painter) { painter_ = std::move(painter); }
    // Runs before every repaint of the cells (e.g. to check what they show).
    void setBeforePaint(std::function<void()> hook) { beforePaint_ = std::move(hook); }

    int columnCount() const;
    void setColumnCount(int count);
    // The current column, or -1 when there is none.
    int currentColumn() const;
    void setCurrentColumn(int column);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class Model;
    class Delegate;
    Model* model_;
    CellPainter painter_;
    std::function<void()> beforePaint_;
};

} // namespace stillora
