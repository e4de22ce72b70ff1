// The timeline window: rendering thumbnails of a file's selections, showing
// the live ring and live selections, and turning cells into selections.

#include "TimelineFakes.h"

#include "views/timeline/FrameGrid.h"
#include "views/timeline/Timeline.h"

#include <QAction>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace stillora {
namespace {

using test::FakeHost;

std::vector<int64_t> CellNumbers(const TfrmTimeline& window) {
    std::vector<int64_t> numbers;
    for (int column = 0; column < window.grdTimeLine->columnCount(); ++column) {
        const auto bitmap = window.CellBitmap(column);
        numbers.push_back(bitmap ? ScriptedMediaSource::readNumber(bitmap->Picture) : -2);
    }
    return numbers;
}

// The picture part of a cell as it appears on screen.
QImage DrawnPicture(TfrmTimeline& window, int column) {
    TFrameGrid* grid = window.grdTimeLine;
    const QRect cell = grid->visualRect(grid->model()->index(0, column));
    const QImage shown = grid->viewport()->grab().toImage();
    return shown.copy(cell.left(), cell.top(), cell.width(), 48);
}

bool HasBrightPixel(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) > 200) return true;
    return false;
}

class TimelineRender : public ::testing::Test {
protected:
    FakeHost host{1};
    TfrmTimeline window{host};
    TSelection* first = host.addInterval(120, 122, "First");
    TSelection* second = host.addInterval(7, 8, "Second");
};

TEST_F(TimelineRender, OneThumbnailPerFrameOfEverySelectionInCreationOrder) {
    window.actRender->trigger();

    EXPECT_EQ(CellNumbers(window), (std::vector<int64_t>{120, 121, 122, 7, 8}));
    EXPECT_EQ(host.fetched, (std::vector<int64_t>{120, 121, 122, 7, 8}));
    EXPECT_EQ(window.CellLabel(0), "00000120");
    EXPECT_EQ(window.CellLabel(4), "00000008");
    EXPECT_EQ(window.CellBitmap(2)->Picture.size(), kThumbSlotSize);
    EXPECT_EQ(first->IconsCount(), 3);
    EXPECT_EQ(second->IconsCount(), 2);
    EXPECT_EQ(window.sbStatus->text(), "Rendering...");
    EXPECT_EQ(window.sbInfo->text(), "Second");
    EXPECT_FALSE(window.Timer1->isActive());
    EXPECT_FALSE(window.IsRendering());
}

TEST_F(TimelineRender, CellsShowThePictureAndALabelUnderIt) {
    window.resize(603, 160);
    window.actRender->trigger();

    EXPECT_EQ(ScriptedMediaSource::readNumber(DrawnPicture(window, 0)), 120);
    EXPECT_EQ(ScriptedMediaSource::readNumber(DrawnPicture(window, 4)), 8);
    const QImage shown = window.grdTimeLine->viewport()->grab().toImage();
    EXPECT_TRUE(HasBrightPixel(shown, QRect(12, 50, 40, 10)));
    // Past the last cell nothing is drawn.
    EXPECT_FALSE(HasBrightPixel(shown, QRect(5 * 64 + 8, 0, 40, 60)));
}

TEST_F(TimelineRender, AFailingGrabKeepsTheThumbnailsMadeSoFar) {
    host.failAt = 122;
    window.actRender->trigger();

    EXPECT_EQ(CellNumbers(window), (std::vector<int64_t>{120, 121}));
    EXPECT_EQ(window.sbStatus->text(), "Error on Rendering");
    EXPECT_EQ(host.fetched.back(), 122);
}

TEST_F(TimelineRender, ASecondClickStopsARunningRender) {
    // Delivered by the event processing that follows the first frame.
    QTimer::singleShot(0, &window, [&] { window.actRender->trigger(); });
    window.actRender->trigger();

    EXPECT_EQ(CellNumbers(window), (std::vector<int64_t>{120}));
    EXPECT_EQ(window.sbStatus->text(), "Rendering stopped");
    EXPECT_FALSE(window.IsRendering());
    EXPECT_TRUE(window.tbSpyBuffer->isEnabled());

    window.actRender->trigger();
    EXPECT_EQ(CellNumbers(window).size(), 5u);
}

TEST_F(TimelineRender, ClosingTheWindowStopsARunningRender) {
    window.show();
    host.whileFetching = [&](int64_t frame) {
        if (frame == 121) window.close();
    };
    window.actRender->trigger();

    EXPECT_EQ(CellNumbers(window), (std::vector<int64_t>{120}));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(TimelineRender, ASelectionDeletedDuringTheRenderIsLeftOut) {
    host.whileFetching = [&](int64_t frame) {
        if (frame == 121) host.remove(first);
    };
    window.actRender->trigger();

    // The cell of the deleted selection stays, empty; the next one renders.
    EXPECT_EQ(CellNumbers(window), (std::vector<int64_t>{-2, 7, 8}));
    EXPECT_EQ(window.sbStatus->text(), "Rendering...");
    window.grdTimeLine->viewport()->grab();
}

TEST_F(TimelineRender, TheWindowMayBeDestroyedWhileAFrameIsFetched) {
    auto* doomed = new TfrmTimeline(host);
    host.whileFetching = [&](int64_t frame) {
        if (frame == 121) delete doomed;
    };
    doomed->RenderThumbnails();
    EXPECT_EQ(host.fetched.back(), 121);
}

TEST_F(TimelineRender, SelectionsWithoutFramesAreSkipped) {
    host.addInterval(9, 4, "Backwards");
    host.addInterval(30, 30, "Single");
    window.actRender->trigger();

    EXPECT_EQ(CellNumbers(window), (std::vector<int64_t>{120, 121, 122, 7, 8, 30}));
}

TEST_F(TimelineRender, AddingACellSelectsExactlyThatFrame) {
    window.actRender->trigger();
    window.grdTimeLine->setCurrentColumn(3);
    window.ToolButton3->click();

    ASSERT_EQ(host.list.size(), 3u);
    const TSelection& added = *host.list.back();
    EXPECT_TRUE(test::IsStampCaption(added.Caption)) << added.Caption.toStdString();
    EXPECT_EQ(added.StartFrame, 7);
    EXPECT_EQ(added.EndFrame, 7);
    EXPECT_EQ(added.frmLength, 1);
    EXPECT_EQ(added.Index, 7);
    EXPECT_EQ(added.SourceKind, 1);
}

TEST_F(TimelineRender, WithoutACurrentCellNothingIsAddedOrSought) {
    EXPECT_FALSE(window.SelectedBitmap());
    window.ToolButton3->click();
    window.grdTimeLineDblClick();
    window.actRender->trigger();
    window.grdTimeLine->setCurrentColumn(-1);
    window.ToolButton3->click();
    window.grdTimeLineDblClick();

    EXPECT_EQ(host.list.size(), 2u);
    EXPECT_TRUE(host.seeks.empty());
}

TEST_F(TimelineRender, DoubleClickingACellSeeksToItsFrame) {
    window.show();
    window.actRender->trigger();
    const QRect cell = window.grdTimeLine->visualRect(window.grdTimeLine->model()->index(0, 4));
    QTest::mouseClick(window.grdTimeLine->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(window.grdTimeLine->viewport(), Qt::LeftButton, {}, cell.center());

    EXPECT_EQ(host.seeks, (std::vector<int64_t>{8}));
}

class TimelineLive : public ::testing::Test {
protected:
    TimelineLive() {
        test::AllocateRing(host.ring);
        test::WriteRing(host.ring, 0, 30); // slots 0..4 hold 25..29, slots 5..24 hold 5..24
        shown = host.addInterval(0, 2, "Shown");
        shown->AllocateSlots(kThumbSlotSize);
        for (int i = 0; i < 3; ++i)
            shown->MemSlots[static_cast<size_t>(i)].Picture =
                ScriptedMediaSource::makeFrame(500 + i, kThumbSlotSize);
    }
    static std::vector<int64_t> RingOrder() {
        std::vector<int64_t> numbers;
        for (int slot = 0; slot < 25; ++slot)
            numbers.push_back(slot < 5 ? 25 + slot : slot);
        return numbers;
    }

    FakeHost host{0};
    TfrmTimeline window{host};
    TSelection* shown = nullptr;
};

TEST_F(TimelineLive, TheSpyButtonShowsTheRingAndReturnsToTheSelectionShownBefore) {
    // Released with nothing shown before, the ring stays.
    window.tbSpyBuffer->click();
    window.tbSpyBuffer->click();
    EXPECT_EQ(window.CurrentSelection(), &host.ring);

    window.SetCurrentSelection(shown);
    window.SetCurrentSelection(nullptr);
    EXPECT_EQ(CellNumbers(window), (std::vector<int64_t>{500, 501, 502}));

    window.tbSpyBuffer->click();
    EXPECT_EQ(window.CurrentSelection(), &host.ring);
    EXPECT_EQ(CellNumbers(window), RingOrder());
    EXPECT_TRUE(window.Timer1->isActive());

    window.tbSpyBuffer->click();
    EXPECT_FALSE(window.tbSpyBuffer->isChecked());
    EXPECT_EQ(window.CurrentSelection(), shown);
    EXPECT_EQ(CellNumbers(window), (std::vector<int64_t>{500, 501, 502}));
}

TEST_F(TimelineLive, TheRingStripFollowsNewFramesTwiceASecond) {
    window.show();
    window.tbSpyBuffer->click();
    int paints = 0;
    struct Counter : QObject {
        int* count;
        explicit Counter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++*count;
            return false;
        }
    } counter(&paints);
    QTest::qWait(100);
    window.grdTimeLine->viewport()->installEventFilter(&counter);
    test::WriteRing(host.ring, 100, 1); // lands in slot 5
    QTest::qWait(1150);
    window.grdTimeLine->viewport()->removeEventFilter(&counter);

    EXPECT_GE(paints, 2);
    EXPECT_EQ(ScriptedMediaSource::readNumber(DrawnPicture(window, 5)), 100);
}

TEST_F(TimelineLive, ActivatingALiveIntervalReleasesTheSpyButton) {
    window.tbSpyBuffer->click();
    window.ShowLiveSelection(shown);

    EXPECT_FALSE(window.tbSpyBuffer->isChecked());
    EXPECT_EQ(window.CurrentSelection(), shown);
    EXPECT_EQ(window.grdTimeLine->columnCount(), 3);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(TimelineLive, RenderOnALiveSourceShowsTheCurrentSelectionWithoutTouchingIt) {
    window.SetCurrentSelection(shown);
    window.actRender->trigger();
    EXPECT_TRUE(host.fetched.empty());
    EXPECT_EQ(CellNumbers(window), (std::vector<int64_t>{500, 501, 502}));
}

TEST_F(TimelineLive, AddingARingCellMakesAStillOfThatSlotAndMovesTheWritePosition) {
    window.tbSpyBuffer->click();
    window.grdTimeLine->setCurrentColumn(6);
    window.ToolButton3->click();

    ASSERT_EQ(host.list.size(), 2u);
    const TSelection& added = *host.list.back();
    EXPECT_TRUE(test::IsStampCaption(added.Caption)) << added.Caption.toStdString();
    EXPECT_EQ(added.frmLength, 1);
    EXPECT_EQ(added.StartFrame, 0);
    EXPECT_EQ(added.EndFrame, 0);
    EXPECT_EQ(added.Index, 6);
    EXPECT_EQ(added.SourceKind, 0);
    ASSERT_EQ(added.IconsCount(), 1);
    QImage still;
    ASSERT_TRUE(added.CachedSlots[0]->load(still));
    EXPECT_EQ(ScriptedMediaSource::readNumber(still), 6);
    EXPECT_EQ(host.ring.Index, 6);
}

TEST_F(TimelineLive, DoubleClickOffersTheRingsDiskSlotToTheViewer) {
    window.tbSpyBuffer->click();
    window.grdTimeLine->setCurrentColumn(4);
    window.grdTimeLineDblClick();
    EXPECT_EQ(host.viewerCalls, 1);
    EXPECT_EQ(host.viewerSelection, &host.ring);
    EXPECT_TRUE(host.viewerPicture.isNull());

    host.ring.CachedSlots[4]->store(ScriptedMediaSource::makeFrame(77, test::kRingFrameSize));
    window.grdTimeLineDblClick();
    EXPECT_EQ(host.viewerCalls, 2);
    EXPECT_EQ(ScriptedMediaSource::readNumber(host.viewerPicture), 77);
}

TEST_F(TimelineLive, ARingWithoutSlotsShowsNothingUntilItGetsThem) {
    {
        std::lock_guard<std::mutex> lock(host.ring.SlotLock);
        host.ring.FreeSlots();
    }
    window.tbSpyBuffer->click();
    EXPECT_EQ(window.grdTimeLine->columnCount(), 0);
    window.ToolButton3->click();
    window.grdTimeLineDblClick();
    window.grdTimeLine->viewport()->grab();
    EXPECT_EQ(host.list.size(), 1u);

    test::AllocateRing(host.ring);
    host.ring.Index = 0;
    test::WriteRing(host.ring, 0, 25);
    window.Timer1Timer();
    EXPECT_EQ(window.grdTimeLine->columnCount(), 25);
    EXPECT_EQ(CellNumbers(window).back(), 24);
}

TEST_F(TimelineLive, AddingACellPastTheRingsSlotsAddsNothing) {
    // A selection longer than the ring is shown; its last cells have no ring slot.
    TSelection* longer = host.addInterval(0, 29, "Longer");
    longer->AllocateSlots(kThumbSlotSize);
    window.SetCurrentSelection(longer);
    window.grdTimeLine->setCurrentColumn(27);
    window.ToolButton3->click();
    EXPECT_EQ(host.list.size(), 2u);
    EXPECT_EQ(host.ring.Index, 5);
}

TEST_F(TimelineLive, DeletingTheShownSelectionEmptiesItsCells) {
    window.SetCurrentSelection(shown);
    window.grdTimeLine->setCurrentColumn(1);
    host.remove(shown);
    window.RefreshGrid();

    EXPECT_EQ(window.CurrentSelection(), nullptr);
    EXPECT_FALSE(window.SelectedBitmap());
    window.grdTimeLine->viewport()->grab();
    window.ToolButton3->click();
    window.Timer1Timer();
    EXPECT_TRUE(host.list.empty());
}

TEST_F(TimelineLive, TheStripDrawsWhileTheRingIsWritten) {
    window.resize(603, 160);
    window.tbSpyBuffer->click();
    std::atomic<bool> done{false};
    std::thread writer([&] {
        int64_t next = 1000;
        while (!done)
            test::WriteRing(host.ring, next++, 1);
    });
    int unreadable = 0;
    for (int round = 0; round < 30; ++round) {
        window.grdTimeLine->viewport()->grab();
        for (int64_t number : CellNumbers(window))
            unreadable += number < 0;
    }
    done = true;
    writer.join();
    EXPECT_EQ(unreadable, 0);
}

} // namespace
} // namespace stillora
