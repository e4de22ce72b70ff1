#include "selection/SelectionTree.h"

#include <algorithm>

namespace stillora {

SelectionTree::SelectionTree(SelectionList& list, QObject* parent)
    : QStandardItemModel(parent), list_(list) {
    setColumnCount(1);
}

QString SelectionTree::ChildCaption(const TSelection& selection, int kind) {
    switch (kind) {
    case InPointNode: return QString::number(selection.StartFrame);
    case OutPointNode: return QString::number(selection.EndFrame);
    case FrameCountNode:
        return QString::number(selection.frmLength) +
               (selection.frmLength == 1 ? QStringLiteral(" frame.") : QStringLiteral(" frames."));
    case ChainNode: return selection.IPList;
    default: return selection.Caption;
    }
}

QStandardItem* SelectionTree::makeNode(TSelection* selection, int kind, const QString& caption) {
    auto* item = new QStandardItem(caption);
    item->setData(QVariant::fromValue(static_cast<void*>(selection)), SelectionRole);
    item->setData(kind, ImageIndexRole);
    if (!icons_[kind].isNull()) item->setIcon(icons_[kind]);
    item->setDragEnabled(kind <= FrameRoot);
    item->setDropEnabled(true);
    return item;
}

QModelIndex SelectionTree::AddSelectionToTree(std::unique_ptr<TSelection> owned) {
    TSelection* selection = owned.get();
    list_.push_back(std::move(owned));
    QStandardItem* root =
        makeNode(selection, selection->frmLength == 1 ? FrameRoot : IntervalRoot, selection->Caption);
    for (int kind = InPointNode; kind <= ChainNode; ++kind)
        root->appendRow(makeNode(selection, kind, ChildCaption(*selection, kind)));
    appendRow(root);
    return root->index();
}

void SelectionTree::RefreshSelectionNode(const QModelIndex& rootIndex) {
    QStandardItem* root = itemFromIndex(rootIndex);
    TSelection* selection = SelectionOf(rootIndex);
    if (!root || !selection) return;
    for (int row = 0; row < root->rowCount(); ++row) {
        QStandardItem* child = root->child(row);
        child->setData(QVariant::fromValue(static_cast<void*>(selection)), SelectionRole);
        const int kind = child->data(ImageIndexRole).toInt();
        if (kind == ChainNode) selection->RefreshChainCaption();
        if (kind >= InPointNode) child->setText(ChildCaption(*selection, kind));
    }
}

void SelectionTree::Clear() {
    removeRows(0, rowCount());
    list_.clear();
}

QModelIndex SelectionTree::RemoveRoot(const QModelIndex& root) {
    if (!root.isValid() || root.parent().isValid()) return {};
    TSelection* selection = SelectionOf(root);
    const int row = root.row();
    removeRow(row);
    auto found = std::find_if(list_.begin(), list_.end(),
                              [&](const std::unique_ptr<TSelection>& s) { return s.get() == selection; });
    if (found != list_.end()) list_.erase(found);
    if (rowCount() == 0) return {};
    return index(std::min(row, rowCount() - 1), 0);
}

bool SelectionTree::MoveRoot(int from, const QModelIndex& target) {
    if (from < 0 || from >= rowCount()) return false;
    int to = target.isValid() ? RootOf(target).row() : rowCount();
    if (to == from) return true;
    QList<QStandardItem*> group = takeRow(from);
    if (to > from) --to;
    insertRow(to, group);
    return true;
}

bool SelectionTree::CanDelete(const QModelIndex& index) {
    if (!SelectionOf(index)) return false;
    const int kind = ImageIndexOf(index);
    return kind == IntervalRoot || kind == FrameRoot || kind == ChainNode;
}

TSelection* SelectionTree::SelectionOf(const QModelIndex& index) {
    if (!index.isValid()) return nullptr;
    return static_cast<TSelection*>(index.data(SelectionRole).value<void*>());
}

int SelectionTree::ImageIndexOf(const QModelIndex& index) {
    return index.isValid() ? index.data(ImageIndexRole).toInt() : -1;
}

QModelIndex SelectionTree::RootOf(const QModelIndex& index) {
    QModelIndex root = index;
    while (root.parent().isValid()) root = root.parent();
    return root;
}

std::vector<TSelection*> SelectionTree::TopLevelSelections() const {
    std::vector<TSelection*> result;
    for (int row = 0; row < rowCount(); ++row)
        if (TSelection* s = SelectionOf(index(row, 0))) result.push_back(s);
    return result;
}

QModelIndex SelectionTree::RootOfSelection(const TSelection* selection) const {
    for (int row = 0; row < rowCount(); ++row)
        if (SelectionOf(index(row, 0)) == selection) return index(row, 0);
    return {};
}

Qt::ItemFlags SelectionTree::flags(const QModelIndex& index) const {
    return QStandardItemModel::flags(index) | Qt::ItemIsEditable;
}

bool SelectionTree::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole) return QStandardItemModel::setData(index, value, role);
    const QString text = value.toString();
    if (!QStandardItemModel::setData(index, text, role)) return false;
    TSelection* selection = SelectionOf(index);
    if (!selection) return true;
    const int kind = ImageIndexOf(index);
    if (kind == IntervalRoot || kind == FrameRoot) {
        selection->Caption = text;
        return true;
    }
    if (kind == ChainNode) return true;
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    // A frame count below one would turn the interval inside out.
    if (!ok || (kind == FrameCountNode && number < 1)) return true;
    if (kind == InPointNode) selection->StartFrame = number;
    if (kind == OutPointNode) selection->EndFrame = number;
    if (kind == FrameCountNode) selection->EndFrame = selection->StartFrame + number - 1;
    emit NodeEdited(index);
    return true;
}

} // namespace stillora
