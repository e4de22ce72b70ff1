// The frame picker, and taking a still out of the live ring with it.

#include "TimelineFakes.h"

#include "views/timeline/FrameGrid.h"
#include "views/timeline/GetFrame.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace stillora {
namespace {

using test::AllocateRing;
using test::WriteRing;

class FramePicker : public ::testing::Test {
protected:
    FramePicker() {
        AllocateRing(ring);
        WriteRing(ring, 0, 25); // slot i holds frame i; the write position is back at 0
        ring.Index = 7;
        copy = NewSelection(0, 1, 0, ring, active);
    }

    // Runs PickFrame with `inside` called once the dialog is open; whatever
    // it leaves open is cancelled so a test never hangs.
    int Pick(TSelection* selection, int start, const std::function<void()>& inside) {
        QTimer::singleShot(0, &picker, [&] {
            opened = picker.isVisible();
            inside();
            if (picker.isVisible()) picker.reject();
        });
        return picker.PickFrame(selection, start);
    }
    QRect Cell(int column) {
        picker.grdTimeLine->scrollTo(picker.grdTimeLine->model()->index(0, column));
        return picker.grdTimeLine->visualRect(picker.grdTimeLine->model()->index(0, column));
    }

    TSelection ring{"Capture Stack"};
    std::atomic<bool> active{true};
    std::unique_ptr<TSelection> copy;
    TfrmGetFrame picker;
    bool opened = false;
};

TEST_F(FramePicker, OpensOnTheStartColumnWithLabelsCountedFromIt) {
    int current = -1;
    QString first, start, last;
    Pick(copy.get(), 7, [&] {
        current = picker.grdTimeLine->currentColumn();
        first = picker.ColumnLabel(0);
        start = picker.ColumnLabel(7);
        last = picker.ColumnLabel(24);
    });
    EXPECT_TRUE(opened);
    EXPECT_EQ(current, 7);
    EXPECT_EQ(first, "-7");
    EXPECT_EQ(start, "0");
    EXPECT_EQ(last, "17");
}

TEST_F(FramePicker, CellsShowTheirFrameLarge) {
    picker.resize(774, 366);
    picker.Prepare(copy.get(), 7);
    const QRect cell = Cell(9);
    const QImage shown = picker.grdTimeLine->viewport()->grab().toImage().copy(cell);
    EXPECT_EQ(ScriptedMediaSource::readNumber(shown), 9);
}

TEST_F(FramePicker, OkReturnsTheCurrentColumn) {
    const int picked = Pick(copy.get(), 7, [&] {
        picker.grdTimeLine->setCurrentColumn(12);
        picker.Button1->click();
    });
    EXPECT_EQ(picked, 12);
    EXPECT_EQ(picker.Selection(), nullptr);
}

TEST_F(FramePicker, CancelAndEscapeReturnMinusOne) {
    EXPECT_EQ(Pick(copy.get(), 7, [&] { picker.Button2->click(); }), -1);
    EXPECT_EQ(Pick(copy.get(), 7, [&] { QTest::keyClick(&picker, Qt::Key_Escape); }), -1);
    EXPECT_EQ(picker.Button2->text(), "&Cancel");
}

TEST_F(FramePicker, DoubleClickingACellReturnsItLikeOk) {
    const int picked = Pick(copy.get(), 7, [&] {
        const QPoint centre = Cell(3).center();
        QTest::mouseClick(picker.grdTimeLine->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(picker.grdTimeLine->viewport(), Qt::LeftButton, {}, centre);
    });
    EXPECT_EQ(picked, 3);
}

TEST_F(FramePicker, NothingToPickGivesMinusOne) {
    TSelection empty("Empty");
    EXPECT_EQ(Pick(&empty, 0, [&] { picker.Button1->click(); }), -1);
    EXPECT_EQ(Pick(copy.get(), 30, [&] { picker.Button1->click(); }), -1);
    EXPECT_EQ(Pick(nullptr, 0, [&] { picker.Button1->click(); }), -1);
}

TEST_F(FramePicker, ColumnsWithoutSlotsStayBlank) {
    // A selection whose length says more frames than it holds slots for.
    copy->frmLength = 30;
    picker.Prepare(copy.get(), 0);
    EXPECT_EQ(picker.grdTimeLine->columnCount(), 30);
    EXPECT_EQ(picker.ColumnLabel(27), "");
    Cell(27);
    picker.grdTimeLine->viewport()->grab();
}

class PickFromRing : public FramePicker {
protected:
    // Answers the picker once it is open: a column to take, or -1 to cancel.
    std::unique_ptr<TSelection> PickColumn(int column) {
        QTimer::singleShot(0, &picker, [this, column] {
            opened = picker.isVisible();
            startColumn = picker.grdTimeLine->currentColumn();
            if (column < 0) {
                picker.Button2->click();
                return;
            }
            picker.grdTimeLine->setCurrentColumn(column);
            picker.Button1->click();
        });
        auto result = PickFromCaptureStack(picker, ring, active);
        if (picker.isVisible()) picker.reject();
        return result;
    }
    int startColumn = -1;
};

TEST_F(PickFromRing, ThePickedSlotBecomesAStillSelection) {
    WriteRing(ring, 100, 3); // slots 7, 8, 9 now hold 100..102; the write position is 10
    const auto picked = PickColumn(8);

    EXPECT_EQ(startColumn, 10);
    ASSERT_TRUE(picked);
    EXPECT_TRUE(test::IsStampCaption(picked->Caption)) << picked->Caption.toStdString();
    EXPECT_EQ(picked->frmLength, 1);
    ASSERT_EQ(picked->IconsCount(), 1);
    QImage stored;
    ASSERT_TRUE(picked->CachedSlots[0]->load(stored));
    EXPECT_EQ(ScriptedMediaSource::readNumber(stored), 101);
    EXPECT_EQ(stored.size(), test::kRingFrameSize);
    EXPECT_EQ(ring.Index, 10);
    EXPECT_TRUE(active);
}

TEST_F(PickFromRing, CancellingGivesNothing) {
    EXPECT_FALSE(PickColumn(-1));
    EXPECT_TRUE(opened);
    EXPECT_TRUE(active);
}

TEST_F(PickFromRing, ARingWithoutSlotsOffersNothingToPick) {
    {
        std::lock_guard<std::mutex> lock(ring.SlotLock);
        ring.FreeSlots();
    }
    EXPECT_FALSE(PickColumn(3));
    EXPECT_FALSE(opened);
}

} // namespace
} // namespace stillora
