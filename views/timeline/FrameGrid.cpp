#include "views/timeline/FrameGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace stillora {

class TFrameGrid::Model : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 1; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : columns;
    }
    QVariant data(const QModelIndex&, int) const override { return {}; }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }
    void resize(int count) {
        if (count == columns) return;
        if (count > columns) {
            beginInsertColumns({}, columns, count - 1);
            columns = count;
            endInsertColumns();
        } else {
            beginRemoveColumns({}, count, columns - 1);
            columns = count;
            endRemoveColumns();
        }
    }
    int columns = 0;
};

class TFrameGrid::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(TFrameGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        painter->setClipRect(option.rect);
        if (grid_->painter_)
            grid_->painter_(*painter, index.column(), option.rect,
                            option.state.testFlag(QStyle::State_Selected),
                            option.state.testFlag(QStyle::State_HasFocus));
        painter->restore();
    }

private:
    TFrameGrid* grid_;
};

TFrameGrid::TFrameGrid(int columnWidth, int rowHeight, QWidget* parent)
    : QTableView(parent), model_(new Model(this)) {
    setModel(model_);
    setItemDelegate(new Delegate(this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(columnWidth);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::Text, QColor(0, 255, 0));
    setPalette(colours);
    setAutoFillBackground(true);
}

TFrameGrid::~TFrameGrid() = default;

int TFrameGrid::columnCount() const {
    return model_->columns;
}

void TFrameGrid::setColumnCount(int count) {
    model_->resize(std::max(0, count));
}

int TFrameGrid::currentColumn() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() : -1;
}

void TFrameGrid::setCurrentColumn(int column) {
    if (column < 0 || column >= model_->columns) {
        setCurrentIndex({});
        return;
    }
    setCurrentIndex(model_->index(0, column));
}

void TFrameGrid::paintEvent(QPaintEvent* event) {
    if (beforePaint_) beforePaint_();
    QTableView::paintEvent(event);
}

} // namespace stillora
