// The selection model without any window: captions, slots, the tree's node
// layout, in-place edits, deleting and reordering.

#include "selection/Selection.h"
#include "selection/SelectionTree.h"
#include "support/TestDirs.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <set>

using namespace stillora;

namespace {

struct Model {
    SelectionList list;
    SelectionTree tree{list};
    TSelection stack{"Capture Stack"};
    std::atomic<bool> captureActive{true};

    Model() {
        stack.StartFrame = 0;
        stack.EndFrame = 24;
        stack.frmLength = 25;
    }
    QModelIndex add(int64_t in, int64_t out, int kind = 1) {
        return tree.AddSelectionToTree(NewSelection(in, out, kind, stack, captureActive));
    }
    QStringList childCaptions(const QModelIndex& root) const {
        QStringList captions;
        for (int row = 0; row < tree.rowCount(root); ++row) captions << tree.index(row, 0, root).data().toString();
        return captions;
    }
};

} // namespace

TEST(Numbers, ZeroPadFillsWithZerosAndNeverCuts) {
    EXPECT_EQ(ZeroPad(7, 5), "00007");
    EXPECT_EQ(ZeroPad(123456, 5), "123456");
    EXPECT_EQ(ZeroPad(0, 1), "0");
    EXPECT_EQ(ZeroPad(5000000000LL, 3), "5000000000");
}

TEST(Numbers, StampsHaveTheirFixedShape) {
    EXPECT_TRUE(QRegularExpression("^\\d{9}$").match(MakeStamp()).hasMatch()) << MakeStamp().toStdString();
    EXPECT_TRUE(QRegularExpression("^\\d{6}_\\d{9}\\.\\$\\$\\$$").match(MakeCacheName()).hasMatch())
        << MakeCacheName().toStdString();
}

TEST(NewSelection, NamesFramesAndRangesInTheOrderOfTheMarks) {
    Model m;
    const QModelIndex frame = m.add(7, 7);
    EXPECT_EQ(frame.data().toString(), "Frame_00007");
    EXPECT_EQ(SelectionTree::ImageIndexOf(frame), SelectionTree::FrameRoot);
    EXPECT_EQ(m.childCaptions(frame), QStringList({"7", "7", "1 frame.", ""}));

    const QModelIndex range = m.add(20, 10);
    TSelection* s = SelectionTree::SelectionOf(range);
    EXPECT_EQ(s->Caption, "Range_00020_00010");
    EXPECT_EQ(s->StartFrame, 10);
    EXPECT_EQ(s->EndFrame, 20);
    EXPECT_EQ(s->frmLength, 11);
    EXPECT_EQ(s->Index, 20) << "Index keeps the first mark, taken before the swap";
    EXPECT_EQ(SelectionTree::ImageIndexOf(range), SelectionTree::IntervalRoot);
    EXPECT_EQ(m.childCaptions(range), QStringList({"10", "20", "11 frames.", ""}));
    EXPECT_TRUE(m.captureActive) << "the ring writer is let go again afterwards";
}

TEST(NewSelection, LiveSelectionsCopyTheRingAndAreNamedAfterTheClock) {
    test::ScratchDir dir;
    SetCacheFolder(dir.path());
    Model m;
    m.stack.AllocateSlots(QSize(32, 24));
    for (int i = 0; i < 25; ++i) m.stack.MemSlots[i].Picture.fill(QColor(i * 10, 0, 0));
    m.stack.Index = 3;
    auto single = NewSelection(0, 0, 0, m.stack, m.captureActive);
    EXPECT_TRUE(single->Caption.startsWith("Frame_"));
    EXPECT_EQ(single->Caption.size(), 6 + 9);
    ASSERT_EQ(single->IconsCount(), 1);
    QImage cached;
    ASSERT_TRUE(single->CachedSlots[0]->load(cached));
    EXPECT_EQ(qRed(cached.pixel(0, 0)), 30) << "the slot at the ring's Index";

    auto all = NewSelection(0, 1, 0, m.stack, m.captureActive);
    EXPECT_TRUE(all->Caption.startsWith("Range_"));
    ASSERT_EQ(all->IconsCount(), 25);
    EXPECT_EQ(all->MemSlots[24].Picture.size(), QSize(32, 24));
    EXPECT_EQ(qRed(all->MemSlots[24].Picture.pixel(0, 0)), 240);
    SetCacheFolder(QString());
}

TEST(NewestSlot, IsTheOneBeforeIndexOrTheLast) {
    TSelection stack;
    stack.EndFrame = 24;
    stack.AllocateSlots(QSize(4, 4));
    stack.Index = 0;
    EXPECT_EQ(NewestSlot(stack), 24);
    stack.Index = 5;
    EXPECT_EQ(NewestSlot(stack), 4);
}

TEST(CachedSlots, HaveUniqueFilesThatGoWithTheSlot) {
    test::ScratchDir dir;
    SetCacheFolder(dir.path());
    QStringList files;
    {
        TSelection s;
        s.EndFrame = 49; // fifty slots made within a few milliseconds
        s.AllocateSlots(QSize(8, 8));
        std::set<QString> names;
        for (auto& slot : s.CachedSlots) {
            names.insert(slot->fileName());
            QImage picture(8, 8, QImage::Format_RGB32);
            picture.fill(Qt::red);
            ASSERT_TRUE(slot->store(picture));
            files << slot->fileName();
        }
        EXPECT_EQ(names.size(), 50u);
        QImage back;
        ASSERT_TRUE(s.CachedSlots[7]->load(back));
        EXPECT_EQ(back.pixel(3, 3), QColor(Qt::red).rgb());
    }
    for (const QString& f : files) EXPECT_FALSE(QFile::exists(f)) << f.toStdString();
    SetCacheFolder(QString());
}

TEST(CachedSlots, AnUnwritableFolderLeavesThemEmpty) {
    test::ScratchDir dir;
    // A folder path below a regular file cannot be written, even by root.
    QFile blocker(dir.file("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SetCacheFolder(dir.file("not-a-folder/cache"));
    TSelection s;
    s.AllocateSlots(QSize(8, 8));
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    EXPECT_FALSE(s.CachedSlots[0]->store(picture));
    EXPECT_FALSE(s.CachedSlots[0]->filled());
    QImage kept(2, 2, QImage::Format_RGB32);
    kept.fill(Qt::green);
    EXPECT_FALSE(s.CachedSlots[0]->load(kept));
    EXPECT_EQ(kept.pixel(0, 0), QColor(Qt::green).rgb()) << "the previous picture stays";
    SetCacheFolder(QString());
}

TEST(SelectionTreeEdits, NumbersChangeTheSelectionAndTextsDoNot) {
    Model m;
    const QModelIndex root = m.add(10, 19);
    TSelection* s = SelectionTree::SelectionOf(root);
    int edited = 0;
    QObject::connect(&m.tree, &SelectionTree::NodeEdited, [&] { ++edited; });

    const QModelIndex count = m.tree.index(2, 0, root);
    EXPECT_TRUE(m.tree.setData(count, "5"));
    EXPECT_EQ(s->EndFrame, 14);
    EXPECT_EQ(edited, 1);
    EXPECT_EQ(s->frmLength, 10) << "the stored length stays as created";

    for (const char* bad : {"abc", "", "99999999999", "0", "-3"}) {
        EXPECT_TRUE(m.tree.setData(count, bad));
        EXPECT_EQ(s->EndFrame, 14) << bad;
        EXPECT_EQ(count.data().toString(), bad) << "the node keeps the typed text";
    }
    EXPECT_EQ(edited, 1);

    m.tree.setData(m.tree.index(0, 0, root), " 12 ");
    EXPECT_EQ(s->StartFrame, 12);
    m.tree.setData(m.tree.index(1, 0, root), "40");
    EXPECT_EQ(s->EndFrame, 40);
    m.tree.setData(m.tree.index(3, 0, root), "Lightness");
    EXPECT_TRUE(s->Effects.empty());
    m.tree.setData(root, "Sunset");
    EXPECT_EQ(s->Caption, "Sunset");
    EXPECT_EQ(edited, 3);
}

TEST(SelectionTreeEdits, DeleteIsForRootsAndChainNodesOnly) {
    Model m;
    const QModelIndex root = m.add(1, 5);
    EXPECT_TRUE(SelectionTree::CanDelete(root));
    EXPECT_FALSE(SelectionTree::CanDelete(m.tree.index(0, 0, root)));
    EXPECT_FALSE(SelectionTree::CanDelete(m.tree.index(1, 0, root)));
    EXPECT_FALSE(SelectionTree::CanDelete(m.tree.index(2, 0, root)));
    EXPECT_TRUE(SelectionTree::CanDelete(m.tree.index(3, 0, root)));
    EXPECT_FALSE(SelectionTree::CanDelete(QModelIndex()));
}

TEST(SelectionTreeEdits, RemovingARootFreesItsSelectionAndPicksTheNext) {
    Model m;
    m.add(1, 1);
    const QModelIndex second = m.add(2, 2);
    m.add(3, 3);
    QModelIndex next = m.tree.RemoveRoot(second);
    EXPECT_EQ(m.list.size(), 2u);
    EXPECT_EQ(next.data().toString(), "Frame_00003");
    next = m.tree.RemoveRoot(next);
    EXPECT_EQ(next.data().toString(), "Frame_00001");
    next = m.tree.RemoveRoot(next);
    EXPECT_FALSE(next.isValid());
    EXPECT_TRUE(m.list.empty());
    EXPECT_TRUE(m.tree.isEmpty());
}

TEST(SelectionTreeOrder, GroupsMoveWholeAndStayAtTheTop) {
    Model m;
    m.add(1, 1);
    m.add(2, 2);
    m.add(3, 3);
    auto order = [&] {
        QStringList captions;
        for (TSelection* s : m.tree.TopLevelSelections()) captions << s->Caption;
        return captions;
    };
    EXPECT_TRUE(m.tree.MoveRoot(2, m.tree.index(0, 0)));
    EXPECT_EQ(order(), QStringList({"Frame_00003", "Frame_00001", "Frame_00002"}));
    // A drop on a child goes in front of that child's root.
    const QModelIndex childOfThird = m.tree.index(1, 0, m.tree.index(2, 0));
    EXPECT_TRUE(m.tree.MoveRoot(0, childOfThird));
    EXPECT_EQ(order(), QStringList({"Frame_00001", "Frame_00003", "Frame_00002"}));
    // A drop on nothing moves to the end.
    EXPECT_TRUE(m.tree.MoveRoot(0, QModelIndex()));
    EXPECT_EQ(order(), QStringList({"Frame_00003", "Frame_00002", "Frame_00001"}));
    EXPECT_FALSE(m.tree.MoveRoot(7, QModelIndex()));
    for (int row = 0; row < 3; ++row) EXPECT_EQ(m.tree.rowCount(m.tree.index(row, 0)), 4);
}

TEST(ChainCaption, NamesJoinedByCommaOrNone) {
    TSelection s;
    EXPECT_EQ(s.ChainCaption(), "(None)");
    TPluginRecord a, b;
    a.PluginNameGet = [] { return "Lightness"; };
    b.PluginNameGet = [] { return "Spray"; };
    s.Effects = {a, b};
    EXPECT_EQ(s.RefreshChainCaption(), "Lightness,Spray");
    EXPECT_EQ(s.IPList, "Lightness,Spray");
}
