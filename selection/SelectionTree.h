#pragma once
// The selection tree: one group per selection, a root node and four children
// (in point, out point, frame count, effect chain), every node carrying its
// selection. The tree's top-level order is the order selections are rendered
// and stored in. Plain model logic; the window shows it in a tree view.

#include "selection/Selection.h"

#include <QIcon>
#include <QStandardItemModel>

#include <array>

namespace stillora {

class SelectionTree : public QStandardItemModel {
    Q_OBJECT
public:
    // Node kinds, told apart by their image index.
    enum NodeKind {
        IntervalRoot = 0,
        FrameRoot = 1,
        InPointNode = 2,
        OutPointNode = 3,
        FrameCountNode = 4,
        ChainNode = 5,
    };
    static constexpr int SelectionRole = Qt::UserRole + 1;
    static constexpr int ImageIndexRole = Qt::UserRole + 2;

    explicit SelectionTree(SelectionList& list, QObject* parent = nullptr);

    // Icons for the six node kinds (optional; shown as decoration).
    void setIcons(const std::array<QIcon, 6>& icons) { icons_ = icons; }

    // Appends the selection to the list and its group after every root.
    QModelIndex AddSelectionToTree(std::unique_ptr<TSelection> selection);
    // Recomputes the children's captions of a root (the chain caption too).
    void RefreshSelectionNode(const QModelIndex& root);
    // Frees every selection and empties the tree.
    void Clear();
    // Removes a root's selection and group; returns the node selected next
    // (the root now at its place, the one before it, or none).
    QModelIndex RemoveRoot(const QModelIndex& root);
    // Moves the group of root row `from` in front of `target`'s group; a drop
    // on a child goes in front of that child's root, a drop on nothing to
    // the end. Returns false (and changes nothing) when `from` is no root.
    bool MoveRoot(int from, const QModelIndex& target);

    // Delete is allowed on roots and effect chain children only.
    static bool CanDelete(const QModelIndex& index);
    static TSelection* SelectionOf(const QModelIndex& index);
    static int ImageIndexOf(const QModelIndex& index);
    static QModelIndex RootOf(const QModelIndex& index);

    // Selections of the top-level nodes, in tree order.
    std::vector<TSelection*> TopLevelSelections() const;
    QModelIndex RootOfSelection(const TSelection* selection) const;
    bool isEmpty() const { return rowCount() == 0; }

    // In-place editing: the node keeps the typed text; the selection changes
    // when the text is a valid number for a frame node.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static QString ChildCaption(const TSelection& selection, int kind);

signals:
    // A child node was edited into a new value (the caller activates it).
    void NodeEdited(const QModelIndex& index);

private:
    QStandardItem* makeNode(TSelection* selection, int kind, const QString& caption);

    SelectionList& list_;
    std::array<QIcon, 6> icons_;
};

} // namespace stillora
