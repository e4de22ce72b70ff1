// The main window driven through its real widgets on the offscreen platform,
// with a scripted media source and scripted dialog answers.

#include "app/Artwork.h"
#include "app/MainWindow.h"
#include "app/settings/SettingsStore.h"
#include "selection/SelectionFile.h"
#include "support/ScriptedDialogsScope.h"
#include "support/TestDirs.h"
#include "pluginhost/PluginLoader.h"
#include "video/NullMediaSource.h"
#include "views/browser/GraphicSelector.h"
#include "views/pages/ConfigPage.h"
#include "views/timeline/FrameGrid.h"
#include "views/timeline/GetFrame.h"
#include "views/timeline/Timeline.h"
#include "views/pages/FinalizePage.h"
#include "video/ScriptedMediaSource.h"
#include "views/DialogService.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace stillora;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { SetCacheFolder(dir.path()); }
    void TearDown() override {
        window.reset();
        SetCacheFolder(QString());
    }

    // A window on a scripted source of 100 frames, shown on the Start page.
    void make(bool openable = true) {
        auto source = std::make_unique<ScriptedMediaSource>(100);
        media = source.get();
        media->setOpenable(openable);
        window = std::make_unique<TfrmMain>(std::move(source));
        window->show();
    }
    // Picks an existing file on the Select page and enters Seek.
    void openClip() {
        QFile clip(dir.file("clip.avi"));
        ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
        clip.close();
        window->SetActivePage(TfrmMain::kwSelectSource);
        window->edtFiles->setText(dir.file("clip.avi"));
        window->SetActivePage(TfrmMain::kwSelect);
    }
    QString status() const { return window->lblState->text(); }
    QModelIndex root(int row) const { return window->Tree().index(row, 0); }
    void addFrameAt(int position) {
        window->actPause->trigger();
        window->TrackBar->setValue(position);
        window->actGetCurrentFrame->trigger();
    }

    test::ScratchDir dir;
    test::ScriptedDialogsScope scripted_;
    ScriptedDialogs* answers = scripted_.get();
    ScriptedMediaSource* media = nullptr;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(MainWindowTest, StartsOnTheStartPageWithItsTitleAndSize) {
    make();
    EXPECT_EQ(window->windowTitle(), "Stillora - Catch the moment...");
    EXPECT_EQ(window->size(), QSize(706, 494));
    EXPECT_EQ(window->ActivePage(), TfrmMain::kwWelcome);
    EXPECT_EQ(window->lblTitle->text(), "Start");
    EXPECT_TRUE(window->Animation->isRunning());
    ASSERT_EQ(window->KWNodes->count(), 6);
    const QStringList titles = {"Start", "Select", "Seek", "ApplyFX", "Config", "Finalize"};
    const QStringList names = {"kwWelcome", "kwSelectSource", "kwSelect", "kwIP", "kwExport", "kwFinish"};
    for (int page = 0; page < 6; ++page) {
        EXPECT_EQ(window->KWNodes->item(page)->text(), titles[page]);
        EXPECT_EQ(window->kw->widget(page)->objectName(), names[page]);
    }
    EXPECT_TRUE(window->btnNext->isVisible());
    EXPECT_TRUE(window->btnCancel->isVisible());
    EXPECT_FALSE(window->btnBack->isVisible());
    EXPECT_FALSE(window->btnFinish->isVisible());
}

TEST_F(MainWindowTest, AJumpRunsOnlyTheOldExitAndTheNewEnter) {
    make();
    window->KWNodes->setCurrentRow(TfrmMain::kwFinish);
    window->SetActivePage(TfrmMain::kwFinish);
    EXPECT_EQ(window->lblTitle->text(), "Finalize");
    EXPECT_FALSE(window->Animation->isRunning());
    EXPECT_EQ(window->Animation->frame(), 0);
    EXPECT_TRUE(window->btnFinish->isVisible());
    EXPECT_FALSE(window->btnFinish->isEnabled());
    EXPECT_TRUE(window->btnBack->isVisible());
    EXPECT_FALSE(window->btnNext->isVisible());
    EXPECT_FALSE(window->btnCancel->isVisible());
    EXPECT_TRUE(media->openedNames().empty()) << "Seek was not entered on the way";
    // And back again to the start: the animation runs once more.
    window->SetActivePage(TfrmMain::kwWelcome);
    EXPECT_TRUE(window->Animation->isRunning());
}

TEST_F(MainWindowTest, ASourceThatCannotBeOpenedSaysSoAndIsTriedAgain) {
    make(false);
    openClip();
    EXPECT_EQ(status(), "Cannot open: " + dir.file("clip.avi"));
    EXPECT_FALSE(window->SourceOpened);
    EXPECT_FALSE(window->TrackBar->isEnabled());
    EXPECT_FALSE(window->btnNext->isEnabled());
    EXPECT_FALSE(window->actPlay->isEnabled());
    window->SetActivePage(TfrmMain::kwIP);
    window->SetActivePage(TfrmMain::kwSelect);
    int opens = 0;
    for (const auto& call : media->calls()) opens += call.rfind("open", 0) == 0;
    EXPECT_EQ(opens, 2);
}

// A scripted source whose open indexes slowly: it reports 0, 25, 50 and 75 %
// 20 ms apart, and fails as cancelled when the handler says stop.
class SlowIndexingSource : public ScriptedMediaSource {
public:
    SlowIndexingSource() : ScriptedMediaSource(100) {}
    void setOpenProgress(OpenProgress progress) override { progress_ = std::move(progress); }
    bool open(SourceKind kind, const std::string& name, std::string* error) override {
        for (int percent = 0; progress_ && percent < 100; percent += 25) {
            QThread::msleep(20);
            const bool goOn = progress_(percent);
            if (afterReport) afterReport();
            if (!goOn) {
                if (error) *error = "Opening was cancelled.";
                return false;
            }
        }
        return ScriptedMediaSource::open(kind, name, error);
    }
    std::function<void()> afterReport;

private:
    OpenProgress progress_;
};

TEST_F(MainWindowTest, IndexingShowsItsShareKeepsTheWindowGoingAndEscapeStopsIt) {
    auto source = std::make_unique<SlowIndexingSource>();
    SlowIndexingSource* slow = source.get();
    window = std::make_unique<TfrmMain>(std::move(source));
    window->show();
    QStringList shown;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    int clicks = 0;
    QObject::connect(window->btnBack, &QPushButton::clicked, [&] { ++clicks; });
    slow->afterReport = [&] {
        shown << status();
        // A click while the file is indexed is held back, not handled inside the open.
        QCoreApplication::postEvent(window->btnBack,
                                    new QMouseEvent(QEvent::MouseButtonPress, QPointF(2, 2),
                                                    QPointF(2, 2), Qt::LeftButton,
                                                    Qt::LeftButton, Qt::NoModifier));
    };
    openClip();
    EXPECT_EQ(shown, QStringList({QString::fromUtf8("Indexing\u2026 0 %"),
                                  QString::fromUtf8("Indexing\u2026 25 %"),
                                  QString::fromUtf8("Indexing\u2026 50 %"),
                                  QString::fromUtf8("Indexing\u2026 75 %")}));
    EXPECT_TRUE(window->SourceOpened);
    EXPECT_GT(ticks, 0) << "timers ran while the file was indexed";
    EXPECT_EQ(clicks, 0);

    // Escape during the next open stops it; the open fails as any failed open does.
    shown.clear();
    slow->afterReport = [&] {
        shown << status();
        if (shown.size() == 2)
            QCoreApplication::postEvent(window.get(), new QKeyEvent(QEvent::KeyPress,
                                                                    Qt::Key_Escape,
                                                                    Qt::NoModifier));
    };
    window->SetActivePage(TfrmMain::kwSelectSource);
    window->edtFiles->clear();
    window->edtFiles->setText(dir.file("clip.avi"));
    window->SetActivePage(TfrmMain::kwSelect);
    EXPECT_EQ(shown.size(), 3);
    EXPECT_FALSE(window->SourceOpened);
    EXPECT_EQ(status(), "Cannot open: " + dir.file("clip.avi"));
}

TEST_F(MainWindowTest, ClosingTheWindowWhileAFileIsIndexedStopsTheIndexAndThenCloses) {
    auto source = std::make_unique<SlowIndexingSource>();
    SlowIndexingSource* slow = source.get();
    window = std::make_unique<TfrmMain>(std::move(source));
    window->show();
    int reports = 0;
    bool visibleAfterClose = false;
    slow->afterReport = [&] {
        ++reports;
        // The user closes the window; it arrives in the next report's events.
        if (reports == 2) QTimer::singleShot(0, window.get(), [&] {
            window->close();
            visibleAfterClose = window->isVisible();
        });
    };
    openClip();
    EXPECT_EQ(reports, 3) << "the open stops at the report the close came in";
    EXPECT_TRUE(visibleAfterClose) << "the window stays until the open has stopped";
    EXPECT_FALSE(window->SourceOpened);
    EXPECT_FALSE(slow->isOpen());
    EXPECT_TRUE(window->isVisible());
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible()) << "then the close goes ahead";

    // A close when no open runs closes at once, as before.
    window->show();
    window->close();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, TheCancelButtonStopsAFileBeingIndexedAndNothingElse) {
    auto source = std::make_unique<SlowIndexingSource>();
    SlowIndexingSource* slow = source.get();
    window = std::make_unique<TfrmMain>(std::move(source));
    window->show();
    int reports = 0;
    slow->afterReport = [&] {
        // A click on the visible Cancel button, handled at the next report.
        if (++reports != 2) return;
        EXPECT_TRUE(window->btnCancel->isVisible());
        const QPoint centre = window->btnCancel->rect().center();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(window->btnCancel,
                                        new QMouseEvent(type, QPointF(centre), QPointF(centre),
                                                        Qt::LeftButton,
                                                        type == QEvent::MouseButtonPress
                                                            ? Qt::LeftButton
                                                            : Qt::NoButton,
                                                        Qt::NoModifier));
    };
    openClip();
    EXPECT_EQ(reports, 3) << "the open ended at the report after the click";
    EXPECT_FALSE(window->SourceOpened);
    EXPECT_TRUE(window->isVisible()) << "Cancel stopped the open, not the program";
    EXPECT_EQ(window->ActivePage(), TfrmMain::kwSelect);
}

TEST_F(MainWindowTest, TheRealProgramWithoutAMediaLayerFailsHonestly) {
    window = std::make_unique<TfrmMain>(std::make_unique<NullMediaSource>());
    window->SetActivePage(TfrmMain::kwSelect);
    EXPECT_EQ(status(), "Cannot open: Untitled");
}

TEST_F(MainWindowTest, SeekOpensAndPlaysOnceAndKeepsSelectionsOnReturn) {
    make();
    openClip();
    EXPECT_TRUE(window->SourceOpened);
    EXPECT_EQ(status(), "Stream is playing...");
    EXPECT_EQ(window->PlaybackState, 1);
    EXPECT_EQ(window->TrackBar->maximum(), 99);
    EXPECT_TRUE(window->TrackBar->isEnabled());
    EXPECT_FALSE(window->btnCapSettingsAction->isVisible());
    EXPECT_FALSE(window->btnNext->isEnabled()) << "no selection yet";

    addFrameAt(7);
    ASSERT_EQ(window->Tree().rowCount(), 1);
    EXPECT_EQ(root(0).data().toString(), "Frame_00007");
    EXPECT_TRUE(window->btnNext->isEnabled());

    window->SetActivePage(TfrmMain::kwIP);
    EXPECT_EQ(window->pnlSelections->parentWidget(), window->pnlSelContainerFilters);
    window->SetActivePage(TfrmMain::kwSelect);
    EXPECT_EQ(window->pnlSelections->parentWidget(), window->pnlSelContainerFrames);
    EXPECT_EQ(media->openedNames().size(), 1u);
    EXPECT_EQ(window->Tree().rowCount(), 1);

    // A new file name makes the next entry open anew, emptying the tree.
    window->SetActivePage(TfrmMain::kwSelectSource);
    window->edtFiles->setText("\"" + dir.file("clip.avi") + "\"");
    EXPECT_EQ(window->edtFiles->text(), dir.file("clip.avi")) << "quotes are stripped";
    window->SetActivePage(TfrmMain::kwSelect);
    EXPECT_EQ(media->openedNames().size(), 2u);
    EXPECT_EQ(window->Tree().rowCount(), 0);
    EXPECT_FALSE(window->btnNext->isEnabled());
}

TEST_F(MainWindowTest, MarksMakeIntervalsInTheOrderTheyWereSet) {
    make();
    openClip();
    window->actPause->trigger();
    window->TrackBar->setValue(20);
    window->actMarkIn->trigger();
    EXPECT_EQ(status(), "InPoint set to 20");
    window->TrackBar->setValue(10);
    window->actMarkOut->trigger();
    EXPECT_EQ(window->lblStop->text(), "10");
    window->actAddCurrentSelection->trigger();
    EXPECT_EQ(status(), "Interval [20,10] added.");
    const QModelIndex range = root(0);
    EXPECT_EQ(range.data().toString(), "Range_00020_00010");
    QStringList children;
    for (int row = 0; row < 4; ++row) children << window->Tree().index(row, 0, range).data().toString();
    EXPECT_EQ(children, QStringList({"10", "20", "11 frames.", ""}));

    // Marks 5 and 5 make a single frame.
    window->TrackBar->setValue(5);
    window->actMarkIn->trigger();
    window->actMarkOut->trigger();
    window->actAddCurrentSelection->trigger();
    EXPECT_EQ(root(1).data().toString(), "Frame_00005");
}

TEST_F(MainWindowTest, ActivatingNodesSeeksToTheirFrames) {
    make();
    openClip();
    addFrameAt(7);
    window->actPause->trigger();
    window->TrackBar->setValue(30);
    window->actMarkIn->trigger();
    window->TrackBar->setValue(40);
    window->actMarkOut->trigger();
    window->actAddCurrentSelection->trigger();
    window->cbSeekDelay->setChecked(false);

    window->ActivateNode(root(0));
    EXPECT_EQ(status(), "Frame 7");
    EXPECT_EQ(media->currentFrame(), 7);
    EXPECT_EQ(window->TrackBar->value(), 7);
    EXPECT_EQ(window->lblStart->text(), "7");

    window->ActivateNode(window->Tree().index(1, 0, root(1)));
    EXPECT_EQ(status(), "OutPoint 40");
    EXPECT_EQ(media->currentFrame(), 40);
    EXPECT_EQ(window->lblStart->text(), "30");
    EXPECT_EQ(window->lblStop->text(), "40");

    window->ActivateNode(root(1));
    EXPECT_EQ(status(), "Interval [30,40]");
    EXPECT_EQ(media->currentFrame(), 30);

    // An edited in point activates its node at the new frame.
    window->Tree().setData(window->Tree().index(0, 0, root(1)), "33");
    EXPECT_EQ(status(), "InPoint 33");
    EXPECT_EQ(media->currentFrame(), 33);
}

TEST_F(MainWindowTest, DraggingTheSliderWhilePausedSeeksAndShowsTheFrameCount) {
    make();
    openClip();
    window->actPause->trigger();
    window->TrackBar->setValue(42);
    EXPECT_EQ(window->PlaybackState, 3);
    EXPECT_EQ(media->currentFrame(), 42);
    EXPECT_EQ(status(), "100");
    // While playing, moving the slider only names the frame.
    window->actPlay->trigger();
    window->TrackBar->setValue(50);
    EXPECT_EQ(status(), "Frame 50");
    EXPECT_EQ(media->currentFrame(), 42);
}

TEST_F(MainWindowTest, DeleteFollowsTheNodeKind) {
    make();
    openClip();
    addFrameAt(3);
    addFrameAt(4);
    QModelIndex first = root(0);
    window->SelTree->setCurrentIndex(window->Tree().index(0, 0, first));
    EXPECT_FALSE(window->actCut->isEnabled()) << "in point";
    window->SelTree->setCurrentIndex(window->Tree().index(2, 0, first));
    EXPECT_FALSE(window->actCut->isEnabled()) << "frame count";

    TSelection* selection = SelectionTree::SelectionOf(first);
    selection->Effects.push_back(TPluginRecord{});
    window->SelTree->setCurrentIndex(window->Tree().index(3, 0, first));
    EXPECT_TRUE(window->actCut->isEnabled());
    window->actCut->trigger();
    EXPECT_EQ(window->Tree().rowCount(), 2) << "the chain goes, the selection stays";
    EXPECT_TRUE(selection->Effects.empty());
    EXPECT_EQ(window->Tree().index(3, 0, root(0)).data().toString(), "(None)");

    window->SelTree->setCurrentIndex(root(0));
    window->actCut->trigger();
    ASSERT_EQ(window->Tree().rowCount(), 1);
    EXPECT_EQ(root(0).data().toString(), "Frame_00004");
    EXPECT_EQ(window->Selections().size(), 1u);
    EXPECT_TRUE(window->btnNext->isEnabled());
    window->SelTree->setCurrentIndex(root(0));
    window->actCut->trigger();
    EXPECT_FALSE(window->btnNext->isEnabled());

    // With nothing selected Delete only refreshes.
    window->SelTree->setCurrentIndex(QModelIndex());
    window->actCut->trigger();
    EXPECT_EQ(window->Tree().rowCount(), 0);
}

TEST_F(MainWindowTest, CancelAsksToSaveOnlyWhenThereAreSelections) {
    make();
    openClip();
    window->btnCancel->click();
    EXPECT_FALSE(window->isVisible()) << "an empty tree closes at once";
    EXPECT_TRUE(answers->asked.empty());
}

TEST_F(MainWindowTest, TheSaveQuestionsAnswersDecideClosing) {
    make();
    openClip();
    addFrameAt(9);
    QSignalSpy saved(window->actSave, &QAction::triggered);

    answers->answers = {DialogService::Cancel};
    window->btnCancel->click();
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(answers->asked.size(), 1u);
    EXPECT_EQ(answers->asked[0].text, "Do you want to save the changes before exit?");
    EXPECT_EQ(answers->asked[0].buttons, DialogService::Yes | DialogService::No | DialogService::Cancel);

    answers->answers = {DialogService::Yes};
    EXPECT_TRUE(window->AskSaveChanges());
    EXPECT_EQ(saved.count(), 1);

    answers->answers = {DialogService::No};
    window->SetActivePage(TfrmMain::kwExport);
    window->btnCancel->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(saved.count(), 1);
}

TEST_F(MainWindowTest, AFrameThatCannotBeGrabbedOffersVmrMode) {
    make();
    openClip();
    media->setGrabFails(true);
    answers->answers = {DialogService::Yes};
    window->SetActivePage(TfrmMain::kwIP);
    ASSERT_EQ(answers->asked.size(), 1u);
    EXPECT_EQ(answers->asked[0].text,
              "Stillora cannot grab the frame.\r\n\r\nDo you want to activate VMR mode and check again?");
    EXPECT_EQ(window->ActivePage(), TfrmMain::kwSelectSource);
    EXPECT_TRUE(window->cbVMRMode->isChecked());
    EXPECT_FALSE(window->SourceOpened);
}

TEST_F(MainWindowTest, LiveFramesFillTheRingNewestBeforeIndex) {
    make();
    media->setDevices({{"Test Camera", "/dev/video9"}});
    window->SetActivePage(TfrmMain::kwSelectSource);
    window->btnCapture->click();
    EXPECT_EQ(status(), "Live capture video streams.");
    EXPECT_EQ(window->edtCapture->currentText(), "Test Camera");
    EXPECT_FALSE(window->edtFiles->isEnabled());
    window->SetActivePage(TfrmMain::kwSelect);
    ASSERT_TRUE(window->SourceOpened);
    EXPECT_TRUE(window->btnCapSettingsAction->isVisible());
    EXPECT_FALSE(window->TrackBar->isEnabled());
    ASSERT_EQ(window->CaptureStack().IconsCount(), 25);

    media->pushLiveFrames(25); // frames 0..24: the ring is full and Index is back at 0
    EXPECT_EQ(window->CaptureStack().Index, 0);
    window->actGetCurrentFrame->trigger();
    ASSERT_EQ(window->Tree().rowCount(), 1);
    TSelection* frame = SelectionTree::SelectionOf(root(0));
    EXPECT_TRUE(frame->Caption.startsWith("Frame_"));
    QImage picture;
    ASSERT_TRUE(frame->CachedSlots[0]->load(picture));
    EXPECT_EQ(ScriptedMediaSource::readNumber(picture), 24) << "the newest frame is in the last slot";

    media->pushLiveFrames(5); // frames 25..29
    EXPECT_EQ(window->CaptureStack().Index, 5);
    for (int slot = 0; slot < 25; ++slot) {
        const int expected = slot < 5 ? 25 + slot : slot;
        EXPECT_EQ(ScriptedMediaSource::readNumber(window->CaptureStack().MemSlots[slot].Picture), expected) << slot;
    }
    // Seeks are ignored for a live source.
    const size_t calls = media->calls().size();
    window->SeekToFrame(3, false);
    EXPECT_EQ(media->calls().size(), calls);
}

TEST_F(MainWindowTest, LiveAddSelectionPicksAFrameOutOfTheRing) {
    make();
    media->setDevices({{"Test Camera", "/dev/video9"}});
    window->SetActivePage(TfrmMain::kwSelectSource);
    window->btnCapture->click();
    window->SetActivePage(TfrmMain::kwSelect);
    ASSERT_TRUE(window->SourceOpened);
    media->pushLiveFrames(30); // frames 0..29; the ring's write position is 5

    // The picker opens on the write position; take the column after it.
    int startColumn = -1;
    QTimer::singleShot(0, window->frmGetFrame.get(), [&] {
        startColumn = window->frmGetFrame->grdTimeLine->currentColumn();
        window->frmGetFrame->grdTimeLine->setCurrentColumn(6);
        window->frmGetFrame->Button1->click();
    });
    window->actAddCurrentSelection->trigger();
    EXPECT_EQ(startColumn, 5);
    ASSERT_EQ(window->Tree().rowCount(), 1);
    TSelection* still = SelectionTree::SelectionOf(root(0));
    EXPECT_TRUE(still->Caption.startsWith("Frame_"));
    QImage picture;
    ASSERT_TRUE(still->CachedSlots[0]->load(picture));
    EXPECT_EQ(ScriptedMediaSource::readNumber(picture), 6) << "slot 6 holds frame 6";

    // Cancelling the picker adds nothing.
    QTimer::singleShot(0, window->frmGetFrame.get(), [&] { window->frmGetFrame->Button2->click(); });
    window->actAddCurrentSelection->trigger();
    EXPECT_EQ(window->Tree().rowCount(), 1);

    window->actTimeline->trigger();
    EXPECT_TRUE(window->frmTimeline->isVisible());
}

TEST_F(MainWindowTest, NoCaptureDeviceMeansALiveOpenFails) {
    make();
    window->SetActivePage(TfrmMain::kwSelectSource);
    window->btnCapture->click();
    EXPECT_EQ(window->edtCapture->count(), 1);
    EXPECT_EQ(window->edtCapture->currentText(), "- No Capture Devices Found -");
    EXPECT_FALSE(window->edtCapture->isEnabled());
    window->SetActivePage(TfrmMain::kwSelect);
    EXPECT_EQ(status(), "Cannot open: - No Capture Devices Found -");
}

TEST_F(MainWindowTest, SelectionsAreSavedBesideTheSourceAndComeBackOnOpening) {
    make();
    openClip();
    addFrameAt(12);
    window->actPause->trigger();
    window->TrackBar->setValue(30);
    window->actMarkIn->trigger();
    window->TrackBar->setValue(35);
    window->actMarkOut->trigger();
    window->actAddCurrentSelection->trigger();
    window->actSave->trigger();
    EXPECT_TRUE(answers->asked.empty());
    EXPECT_TRUE(QFile::exists(dir.file("clip.sel")));

    // Opening the source again reads its list.
    window->SetActivePage(TfrmMain::kwSelectSource);
    window->btnFiles->click();
    window->SetActivePage(TfrmMain::kwSelect);
    ASSERT_EQ(window->Tree().rowCount(), 2);
    EXPECT_EQ(root(0).data().toString(), "Frame_00012");
    EXPECT_EQ(SelectionTree::SelectionOf(root(1))->EndFrame, 35);
    EXPECT_TRUE(window->btnNext->isEnabled());

    // Load appends; a list that cannot be written says so.
    window->actLoad->trigger();
    EXPECT_EQ(window->Tree().rowCount(), 4);
    window->SourceName = dir.file("no-such-folder/clip.avi");
    window->actSave->trigger();
    window->actLoad->trigger();
    EXPECT_EQ(answers->texts(), QStringList({"Cannot save selection file.", "Cannot load selection file."}));
}

TEST_F(MainWindowTest, SettingsComeBackAfterARestart) {
    const QString file = dir.file("config/settings.json");
    {
        SettingsStore store(file);
        window = std::make_unique<TfrmMain>(std::make_unique<ScriptedMediaSource>(10), &store);
        // First start: the stored defaults, not the form's values.
        EXPECT_TRUE(window->btnFiles->isChecked());
        EXPECT_EQ(window->CurrentSourceKind, 1);
        EXPECT_TRUE(window->cbSeekDelay->isChecked());
        EXPECT_EQ(window->spinSeekDelay->value(), 100);
        window->cbSeekDelay->setChecked(false);
        window->spinSeekDelay->setValue(5000); // clamped by the control
        window->cbVMRMode->setChecked(true);
        window->close();
        window.reset();
    }
    SettingsStore store(file);
    EXPECT_EQ(std::get<int32_t>(*store.ReadSetting("SPINSEEKDELAY.value")), 999);
    window = std::make_unique<TfrmMain>(std::make_unique<ScriptedMediaSource>(10), &store);
    EXPECT_FALSE(window->cbSeekDelay->isChecked());
    EXPECT_EQ(window->spinSeekDelay->value(), 999);
}

TEST_F(MainWindowTest, ARenderWritesEverySelectedFrameThroughItsChain) {
    make();
    openClip();
    addFrameAt(4);
    addFrameAt(9);
    window->cbSeekDelay->setChecked(false);
    // The window's plug-ins come from beside the program; take the build's own.
    LoadPlugins(STILLORA_PLUGIN_DIR, window->Plugins());
    const int lightness = FindPluginByName(window->Plugins(), "Lightness");
    ASSERT_GE(lightness, 0);
    TSelection* second = SelectionTree::SelectionOf(root(1));
    second->Effects.push_back(window->Plugins()[lightness]);
    TPluginParam* amount = window->Plugins()[lightness].GetParam(0);
    amount->Value.vt = STILLORA_VT_I4;
    amount->Value.u.lVal = -100;

    window->SetActivePage(TfrmMain::kwExport);
    window->ConfigPage->edtRootName->setText("shot");
    window->ConfigPage->rgExportType->setItemIndex(1); // BMP: exact pixels
    window->SetActivePage(TfrmMain::kwFinish);
    EXPECT_FALSE(window->btnFinish->isEnabled());
    EXPECT_FALSE(window->btnCancel->isVisible());
    window->FinalizePage->jvExportFolder->setText(dir.file("out"));
    ASSERT_TRUE(QDir().mkpath(dir.file("out")));
    window->FinalizePage->btnRender->click();

    EXPECT_TRUE(window->btnFinish->isEnabled());
    EXPECT_FALSE(window->btnCancel->isVisible());
    EXPECT_TRUE(window->KWNodes->isEnabled());
    EXPECT_TRUE(window->frmGraphicSelector->isVisible()) << "the browser shows the exported stills";
    const QStringList files = QDir(dir.file("out")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();
    const QImage first(QDir(dir.file("out")).filePath(files[0]));
    EXPECT_EQ(ScriptedMediaSource::readNumber(first), 4);
    const QImage darkened(QDir(dir.file("out")).filePath(files[1]));
    ASSERT_FALSE(darkened.isNull());
    // Every channel of frame 9 went through Lightness -100: white cells turn 155, black stay 0.
    const QImage plain = ScriptedMediaSource::makeFrame(9, darkened.size());
    for (int y = 0; y < plain.height(); y += 3)
        for (int x = 0; x < plain.width(); x += 3) {
            const QRgb p = plain.pixel(x, y);
            ASSERT_EQ(darkened.pixel(x, y), qRgb(std::max(0, qRed(p) - 100), std::max(0, qGreen(p) - 100),
                                                 std::max(0, qBlue(p) - 100)))
                << x << "," << y;
        }
    amount->Value.u.lVal = 0;
}

TEST_F(MainWindowTest, ARenderDecodingAheadWritesWhatTheStepByStepRenderWrites) {
    make();
    openClip();
    for (int frame : {4, 9, 30, 31})
        addFrameAt(frame);
    window->SetActivePage(TfrmMain::kwExport);
    window->ConfigPage->edtRootName->setText("shot");
    window->ConfigPage->rgExportType->setItemIndex(1); // BMP: exact pixels
    window->FinalizePage->cbSuperimpose->setChecked(true);
    window->FinalizePage->siText->setText("Ahead");
    const auto renderInto = [&](const QString& folder, bool safeSeek) {
        window->cbSeekDelay->setChecked(safeSeek);
        window->spinSeekDelay->setValue(1);
        window->SetActivePage(TfrmMain::kwFinish);
        window->FinalizePage->jvExportFolder->setText(dir.file(folder));
        ASSERT_TRUE(QDir().mkpath(dir.file(folder)));
        window->FinalizePage->btnRender->click();
        window->SetActivePage(TfrmMain::kwExport);
    };
    renderInto("steps", true);  // fetched through the window, one frame at a time
    renderInto("ahead", false); // fetched on the run's own thread
    EXPECT_EQ(window->TrackBar->value(), 31) << "the slider shows where the run left the source";

    const QStringList steps = QDir(dir.file("steps")).entryList(QDir::Files, QDir::Name);
    const QStringList ahead = QDir(dir.file("ahead")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(steps.size(), 4);
    ASSERT_EQ(ahead, steps);
    for (const QString& name : steps) {
        QFile a(dir.file("steps/" + name)), b(dir.file("ahead/" + name));
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_TRUE(a.readAll() == b.readAll()) << name.toStdString();
    }
}

TEST_F(MainWindowTest, TheQuestionMarkButtonDescribesTheChosenFile) {
    make();
    window->SetActivePage(TfrmMain::kwSelectSource);
    window->edtFiles->setText(dir.file("missing.avi"));
    window->SpeedButton2->click();
    ASSERT_EQ(answers->asked.size(), 1u);
    EXPECT_EQ(answers->asked[0].kind, DialogService::Information);
    EXPECT_TRUE(answers->asked[0].text.startsWith("Media Info for:\r\n\r\nmissing.avi\r\n"))
        << answers->asked[0].text.toStdString();
}

TEST(Artwork, IconsAndLogoAreDrawn) {
    for (auto glyph : {art::Glyph::Play, art::Glyph::IntervalRoot, art::Glyph::Chain}) {
        const QImage image = art::icon(glyph).pixmap(16, 16).toImage();
        int painted = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) painted += qAlpha(image.pixel(x, y)) > 0;
        EXPECT_GT(painted, 20);
    }
    EXPECT_EQ(art::logo().size(), QSize(384, 288));
}

} // namespace
