// The exported images browser window: listing, status texts, scanning,
// deleting with its questions, the thumbnail-size frame.
#include "support/ScriptedDialogsScope.h"
#include "views/browser/GraphicSelector.h"
#include "BrowserTestSupport.h"
#include "support/TestDirs.h"
#include "views/DialogService.h"
#include "views/browser/ThumbnailView.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

using namespace stillora;
using namespace stillora::test;

namespace {

class GraphicSelector : public ::testing::Test {
protected:

    // Writes stills named frame_001.jpg ... in `dir`.
    static void WriteFrames(const ScratchDir& dir, int count, const QString& ext = "jpg",
                            int width = 320, int height = 240) {
        for (int i = 1; i <= count; ++i)
            WritePicture(dir.file(QString("frame_%1.%2").arg(i, 3, 10, QChar('0')).arg(ext)), width,
                         height);
    }

    // Points the window at `folder`, shows it and waits for the scan.
    static void Open(TfrmGraphicSelector& window, const QString& folder, const QString& mask) {
        window.showFolder(folder, mask);
        ASSERT_TRUE(WaitForScan(*window.Viewer));
    }

    static QStringList Names(const TThumbnailView& view) {
        QStringList names;
        for (int i = 0; i < view.count(); ++i)
            names << view.fileName(i);
        return names;
    }

    stillora::test::ScriptedDialogsScope scripted_;
    ScriptedDialogs* dialogs = scripted_.get();
};

// --- Listing and status texts ---------------------------------------------

TEST_F(GraphicSelector, ShowsTheMatchingFilesSortedWithThumbnailsAndTheirCount) {
    ScratchDir dir;
    WriteFrames(dir, 3, "jpg", 1920, 1080);
    WriteFrames(dir, 2, "bmp");
    WriteBytes(dir.file("notes.txt"), "text");
    QDir(dir.path()).mkdir("sub.jpg"); // a folder matching the mask is not a picture
    TfrmGraphicSelector window;
    EXPECT_EQ(window.objectName(), "frmGraphicSelector");
    EXPECT_EQ(window.windowTitle(), "Graphic Selector");
    Open(window, dir.path(), "*.jpg");

    EXPECT_EQ(Names(*window.Viewer),
              QStringList({"frame_001.jpg", "frame_002.jpg", "frame_003.jpg"}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(window.Viewer->isLoaded(i));
        EXPECT_EQ(window.Viewer->thumbnail(i).size(), QSize(144, 81));
    }
    EXPECT_EQ(window.SBPanel0->text(), "3 File(s)");
    EXPECT_EQ(window.windowTitle(), dir.path());
    EXPECT_TRUE(window.Progress->isHidden());
    EXPECT_EQ(window.Progress->value(), 0);
    EXPECT_EQ(window.SBPanel1->width(), 0);
    // Showing refreshes: the first thumbnail is selected and described.
    EXPECT_EQ(window.Viewer->selectedIndex(), 0);
    EXPECT_EQ(window.SBPanel2->text(),
              TfrmGraphicSelector::FileDescription(dir.file("frame_001.jpg")));
}

TEST_F(GraphicSelector, TheMaskChoosesTheFilesAndIgnoresCase) {
    ScratchDir dir;
    WriteFrames(dir, 2, "jpg");
    WriteFrames(dir, 3, "bmp");
    WritePicture(dir.file("UPPER.BMP"), 64, 48);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.bmp");
    EXPECT_EQ(Names(*window.Viewer),
              QStringList({"UPPER.BMP", "frame_001.bmp", "frame_002.bmp", "frame_003.bmp"}));
    EXPECT_EQ(window.Viewer->thumbnail(0).size(), QSize(64, 48));
    EXPECT_EQ(window.SBPanel0->text(), "4 File(s)");

    window.setFileMask("*.jpg");
    window.setSourceFolder(dir.path());
    ASSERT_TRUE(WaitForScan(*window.Viewer));
    EXPECT_EQ(Names(*window.Viewer), QStringList({"frame_001.jpg", "frame_002.jpg"}));
}

TEST_F(GraphicSelector, DescriptionsGiveWholeKibibytesRoundedDown) {
    ScratchDir dir;
    WriteBytes(dir.file("a.jpg"), QByteArray(1500, 'x'));
    WriteBytes(dir.file("b.jpg"), QByteArray(1000, 'x'));
    WriteBytes(dir.file("c.jpg"), QByteArray(2048, 'x'));
    EXPECT_EQ(TfrmGraphicSelector::FileDescription(dir.file("a.jpg")), "a.jpg [1 Kb.]");
    EXPECT_EQ(TfrmGraphicSelector::FileDescription(dir.file("b.jpg")), "b.jpg [0 Kb.]");
    EXPECT_EQ(TfrmGraphicSelector::FileDescription(dir.file("c.jpg")), "c.jpg [2 Kb.]");
    EXPECT_EQ(TfrmGraphicSelector::FileDescription(dir.file("gone.jpg")), "gone.jpg [0 Kb.]");

    // Undecodable files are still listed (with a grey box) and described.
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    ASSERT_EQ(window.Viewer->count(), 3);
    EXPECT_TRUE(window.Viewer->isBroken(0));
    window.Viewer->setSelectedIndex(0);
    window.ViewerClick();
    EXPECT_EQ(window.SBPanel2->text(), "a.jpg [1 Kb.]");
    QFile::remove(dir.file("a.jpg"));
    window.ViewerClick();
    EXPECT_EQ(window.SBPanel2->text(), "Not found!");
}

TEST_F(GraphicSelector, ALongNameIsShortenedInTheMiddleSoItsSizeShows) {
    ScratchDir dir;
    const QString name = "Untitled_A selection with a rather long caption_000.jpg";
    WriteBytes(dir.file(name), QByteArray(3000, 'x'));
    TfrmGraphicSelector window;
    window.resize(300, 400);
    Open(window, dir.path(), "*.jpg");
    window.Viewer->setSelectedIndex(0);
    window.ViewerClick();
    QCoreApplication::processEvents();
    ASSERT_EQ(window.SBPanel2->text(), name + " [2 Kb.]");
    const QString shown = window.SBPanel2->shownText();
    EXPECT_NE(shown, window.SBPanel2->text());
    EXPECT_TRUE(shown.startsWith("Untitled_")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("000.jpg [2 Kb.]")) << shown.toStdString();
}

TEST_F(GraphicSelector, AnEmptyOrMissingFolderShowsNoFilesAndSelectsNothing) {
    ScratchDir dir;
    WriteFrames(dir, 2, "bmp");
    for (const QString& folder : {dir.path(), dir.file("missing")}) {
        TfrmGraphicSelector window;
        Open(window, folder, "*.jpg");
        EXPECT_EQ(window.Viewer->count(), 0);
        EXPECT_EQ(window.SBPanel0->text(), "0 File(s)");
        EXPECT_TRUE(window.Progress->isHidden());
        EXPECT_FALSE(window.SBPanel1->isVisible());
        EXPECT_EQ(window.Viewer->selectedIndex(), -1);
        EXPECT_EQ(window.SBPanel2->text(), "");
        window.FileDeleteExecute(); // nothing to delete, nothing asked
        EXPECT_TRUE(dialogs->asked.empty());
    }
}

// --- Scanning -------------------------------------------------------------

TEST_F(GraphicSelector, ScanningShowsTheProgressBarAndKeepsTheWindowResponsive) {
    ScratchDir dir;
    WriteFrames(dir, 24, "jpg", 1920, 1080);
    TfrmGraphicSelector window;
    window.show();
    QSignalSpy progress(window.Viewer, &TThumbnailView::scanProgress);
    bool timerRanDuringScan = false;
    window.setFileMask("*.jpg");
    window.setSourceFolder(dir.path());
    // The list is known at once; pictures arrive later, so the call returns quickly.
    EXPECT_EQ(window.Viewer->count(), 24);
    EXPECT_EQ(window.Viewer->loadedCount(), 0);
    EXPECT_TRUE(window.Viewer->isScanning());
    EXPECT_EQ(window.SBPanel0->text(), " Scanning...");
    EXPECT_FALSE(window.Progress->isHidden());
    EXPECT_EQ(window.SBPanel1->width(), 102);
    QTimer::singleShot(0, &window, [&] { timerRanDuringScan = window.Viewer->isScanning(); });
    ASSERT_TRUE(WaitForScan(*window.Viewer));
    EXPECT_TRUE(timerRanDuringScan);

    ASSERT_EQ(progress.count(), 24);
    EXPECT_EQ(progress.last().at(0).toInt(), 24);
    EXPECT_EQ(window.SBPanel0->text(), "24 File(s)");
    EXPECT_TRUE(window.Progress->isHidden());
    EXPECT_EQ(window.Progress->value(), 0);
}

TEST_F(GraphicSelector, ProgressIsTheLoadedShareInPercent) {
    ScratchDir dir;
    WriteFrames(dir, 3);
    TfrmGraphicSelector window;
    window.show();
    std::vector<int> values;
    QObject::connect(window.Viewer, &TThumbnailView::scanProgress, &window,
                     [&] { values.push_back(window.Progress->value()); });
    window.setSourceFolder(dir.path());
    ASSERT_TRUE(WaitForScan(*window.Viewer));
    EXPECT_EQ(values, (std::vector<int>{33, 67, 100}));
}

TEST_F(GraphicSelector, ANewFolderDuringAScanReplacesTheOldOneCompletely) {
    ScratchDir first, second;
    WriteFrames(first, 20, "jpg", 1280, 720);
    WriteFrames(second, 2, "bmp");
    TfrmGraphicSelector window;
    window.show();
    QSignalSpy finished(window.Viewer, &TThumbnailView::scanFinished);
    window.setSourceFolder(first.path());
    window.setFileMask("*.bmp");
    window.setSourceFolder(second.path());
    ASSERT_TRUE(WaitForScan(*window.Viewer));
    QTest::qWait(200); // results of the abandoned scan must not land
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(Names(*window.Viewer), QStringList({"frame_001.bmp", "frame_002.bmp"}));
    EXPECT_EQ(window.Viewer->loadedCount(), 2);
    EXPECT_EQ(window.windowTitle(), second.path());
}

TEST_F(GraphicSelector, ClosingTheWindowDuringAScanIsSafe) {
    ScratchDir dir;
    WriteFrames(dir, 30, "jpg", 1920, 1080);
    auto window = std::make_unique<TfrmGraphicSelector>();
    window->showFolder(dir.path(), "*.jpg");
    QTest::qWait(5);
    ASSERT_TRUE(window->Viewer->isScanning());
    window.reset();
    QTest::qWait(50); // no queued result may reach the destroyed view (the sanitizer build checks)
    EXPECT_TRUE(QFile::exists(dir.file("frame_030.jpg")));
}

TEST_F(GraphicSelector, TheSelectionRememberedAtTheLastRefreshReturnsAfterANewExport) {
    ScratchDir six, five, four;
    WriteFrames(six, 6);
    WriteFrames(five, 5);
    WriteFrames(four, 4);
    TfrmGraphicSelector window;
    Open(window, six.path(), "*.jpg");
    window.Viewer->setSelectedIndex(4);
    window.actRefreshExecute();
    EXPECT_EQ(window.rememberedIndex(), 4);

    window.hide();
    Open(window, five.path(), "*.jpg");
    EXPECT_EQ(window.Viewer->selectedIndex(), 4);
    EXPECT_EQ(window.SBPanel2->text(),
              "frame_005.jpg [" +
                  QString::number(QFileInfo(five.file("frame_005.jpg")).size() / 1024) + " Kb.]");

    window.Viewer->setSelectedIndex(4);
    window.actRefreshExecute();
    window.hide();
    Open(window, four.path(), "*.jpg");
    EXPECT_EQ(window.Viewer->selectedIndex(), 0); // from the refresh on showing, not index 4
}

// --- Deleting -------------------------------------------------------------

TEST_F(GraphicSelector, AnsweringNoKeepsTheFile) {
    ScratchDir dir;
    WriteFrames(dir, 2);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    dialogs->answers.push_back(DialogService::No);
    window.FileDeleteExecute();
    ASSERT_EQ(dialogs->asked.size(), 1u);
    EXPECT_EQ(dialogs->asked[0].kind, DialogService::Warning);
    EXPECT_EQ(dialogs->asked[0].text, "Do you really wont to delete this file?");
    EXPECT_EQ(dialogs->asked[0].buttons, DialogService::Yes | DialogService::No);
    EXPECT_TRUE(QFile::exists(dir.file("frame_001.jpg")));
    EXPECT_FALSE(window.Viewer->isDeleted(0));
    EXPECT_EQ(window.Viewer->selectedIndex(), 0);
}

TEST_F(GraphicSelector, AnsweringYesDeletesTheFileCrossesItOutAndMovesOn) {
    ScratchDir dir;
    WriteFrames(dir, 3);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    window.Viewer->setSelectedIndex(1);
    dialogs->answers.push_back(DialogService::Yes);
    window.FileDelete->trigger();

    EXPECT_FALSE(QFile::exists(dir.file("frame_002.jpg")));
    EXPECT_TRUE(QFile::exists(dir.file("frame_001.jpg")));
    EXPECT_TRUE(QFile::exists(dir.file("frame_003.jpg")));
    EXPECT_EQ(window.Viewer->count(), 3); // the crossed thumbnail stays
    EXPECT_TRUE(window.Viewer->isDeleted(1));
    const QImage crossed = window.Viewer->thumbnail(1);
    const int w = crossed.width(), h = crossed.height();
    for (QPoint p : {QPoint(w / 2, h / 2), QPoint(0, 0), QPoint(w - 1, h - 1), QPoint(0, h - 1),
                     QPoint(w - 1, 0), QPoint(w / 4, h / 4 + 8)})
        EXPECT_EQ(crossed.pixel(p), qRgb(255, 0, 0)) << p.x() << "," << p.y();
    EXPECT_NE(crossed.pixel(w / 2, 2), qRgb(255, 0, 0)); // between the arms
    EXPECT_NE(window.Viewer->thumbnail(0).pixel(w / 2, h / 2), qRgb(255, 0, 0));

    EXPECT_EQ(window.Viewer->selectedIndex(), 2);
    EXPECT_EQ(window.SBPanel2->text(),
              TfrmGraphicSelector::FileDescription(dir.file("frame_003.jpg")));

    // A crossed-out file is gone: selecting it says so, and nothing is asked again.
    window.Viewer->setSelectedIndex(1);
    window.ViewerClick();
    EXPECT_EQ(window.SBPanel2->text(), "Not found!");
    window.FileDeleteExecute();
    EXPECT_EQ(dialogs->asked.size(), 1u);
}

TEST_F(GraphicSelector, DeletingTheLastThumbnailKeepsTheSelectionOnIt) {
    ScratchDir dir;
    WriteFrames(dir, 2);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    window.Viewer->setSelectedIndex(1);
    dialogs->answers.push_back(DialogService::Yes);
    window.FileDeleteExecute();
    EXPECT_FALSE(QFile::exists(dir.file("frame_002.jpg")));
    EXPECT_EQ(window.Viewer->selectedIndex(), 1);
    EXPECT_TRUE(window.Viewer->isDeleted(1));
    EXPECT_EQ(window.SBPanel2->text(), "Not found!");
}

TEST_F(GraphicSelector, AFileThatCannotBeDeletedIsReportedAndStaysListed) {
    ScratchDir dir;
    WriteFrames(dir, 2);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    // The still was replaced by a non-empty folder of the same name.
    ASSERT_TRUE(QFile::remove(dir.file("frame_001.jpg")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("frame_001.jpg"));
    WriteBytes(dir.file("frame_001.jpg/keep.txt"), "keep");

    dialogs->answers.push_back(DialogService::Yes);
    window.FileDeleteExecute();
    ASSERT_EQ(dialogs->asked.size(), 2u);
    EXPECT_EQ(dialogs->asked[1].kind, DialogService::Error);
    EXPECT_TRUE(dialogs->asked[1].text.contains("could not be deleted"));
    EXPECT_TRUE(dialogs->asked[1].text.contains(dir.file("frame_001.jpg")));
    EXPECT_TRUE(QFile::exists(dir.file("frame_001.jpg/keep.txt")));
    EXPECT_FALSE(window.Viewer->isDeleted(0));
    EXPECT_EQ(window.Viewer->selectedIndex(), 0);
    EXPECT_EQ(window.Viewer->count(), 2);
}

TEST_F(GraphicSelector, DeletingNeverReachesAFileOutsideTheShownFolder) {
    ScratchDir shown, other;
    WriteFrames(shown, 1);
    WriteFrames(other, 1);
    WritePicture(other.file("target.jpg"), 64, 48);
    ASSERT_TRUE(QFile::link(other.file("target.jpg"), shown.file("link.jpg")));
    TfrmGraphicSelector window;
    Open(window, shown.path(), "*.jpg");
    ASSERT_EQ(Names(*window.Viewer), QStringList({"frame_001.jpg", "link.jpg"}));

    dialogs->answers = {DialogService::Yes, DialogService::Yes};
    window.Viewer->setSelectedIndex(1);
    window.FileDeleteExecute(); // removes the link, not what it points at
    EXPECT_FALSE(QFileInfo(shown.file("link.jpg")).isSymLink());
    EXPECT_TRUE(QFile::exists(other.file("target.jpg")));

    window.Viewer->setSelectedIndex(0);
    window.FileDeleteExecute();
    EXPECT_FALSE(QFile::exists(shown.file("frame_001.jpg")));
    EXPECT_TRUE(QFile::exists(other.file("frame_001.jpg")));
}

TEST_F(GraphicSelector, ANewMaskAffectsOnlyTheNextScanNotTheShownFiles) {
    ScratchDir dir;
    WriteFrames(dir, 1, "jpg");
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    // A new mask is only for the next scan; the shown list and its files stay as they are.
    window.setFileMask("*.bmp");
    dialogs->answers.push_back(DialogService::Yes);
    window.FileDeleteExecute();
    EXPECT_FALSE(QFile::exists(dir.file("frame_001.jpg")));
    EXPECT_TRUE(window.Viewer->isDeleted(0));
}

// --- Keys and the thumbnail size frame ------------------------------------

TEST_F(GraphicSelector, ArrowKeysMoveTheSelectionAndTheKeyReleaseDescribesIt) {
    ScratchDir dir;
    WriteFrames(dir, 3);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    QTest::keyClick(window.Viewer, Qt::Key_Right);
    EXPECT_EQ(window.Viewer->selectedIndex(), 1);
    EXPECT_EQ(window.SBPanel2->text(),
              TfrmGraphicSelector::FileDescription(dir.file("frame_002.jpg")));
    QTest::keyClick(window.Viewer, Qt::Key_End);
    EXPECT_EQ(window.Viewer->selectedIndex(), 2);
    EXPECT_TRUE(window.SBPanel2->text().startsWith("frame_003.jpg ["));
}

TEST_F(GraphicSelector, AClickSelectsTheThumbnailUnderTheMouse) {
    ScratchDir dir;
    WriteFrames(dir, 3);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    const QRect third = window.Viewer->thumbnailRect(2);
    QTest::mouseClick(window.Viewer->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(window.Viewer->selectedIndex(), 2);
    EXPECT_TRUE(window.SBPanel2->text().startsWith("frame_003.jpg ["));
    // The row is centred: as much free space left of the first as right of the last.
    ASSERT_EQ(window.Viewer->thumbnailRect(0).top(), third.top());
    const int left = window.Viewer->thumbnailRect(0).left();
    const int right = window.Viewer->viewport()->width() - third.right() - 1;
    EXPECT_LE(std::abs(left - right), 2);
    EXPECT_EQ(window.Viewer->thumbnailRect(1).left() - window.Viewer->thumbnailRect(0).right() - 1,
              TThumbnailView::kSpacing + 8); // two cell paddings and the spacing
}

TEST_F(GraphicSelector, TheSizeFrameCoversTheSelectedThumbnailAndResizesAllOfThem) {
    ScratchDir dir;
    WriteFrames(dir, 3, "jpg", 1920, 1080);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    window.Viewer->setSelectedIndex(1);
    window.tlbSize->setChecked(true);
    EXPECT_TRUE(window.Size->isVisible());
    EXPECT_EQ(window.Size->geometry(), window.Viewer->thumbnailRect(1));
    EXPECT_FALSE(window.sizeChanged());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(window.Size, &enter);
    EXPECT_EQ(window.SBPanel2->text(), "Enter");

    // Drag the bottom-right corner 56 pixels right and 24 down: 200 by 120.
    const QPoint corner(window.Size->width() - 2, window.Size->height() - 2);
    QTest::mousePress(window.Size, Qt::LeftButton, {}, corner);
    QTest::mouseMove(window.Size, corner + QPoint(56, 24));
    QTest::mouseRelease(window.Size, Qt::LeftButton, {}, corner + QPoint(56, 24));
    EXPECT_TRUE(window.sizeChanged());
    EXPECT_EQ(window.Size->size(), QSize(200, 120));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(window.Size, &leave);
    EXPECT_FALSE(window.Size->isVisible());
    EXPECT_FALSE(window.tlbSize->isChecked());
    EXPECT_EQ(window.Viewer->maxThumbSize(), QSize(200, 120));
    ASSERT_TRUE(WaitForScan(*window.Viewer));
    EXPECT_EQ(window.Viewer->thumbnail(0).size(), QSize(200, 112));
    EXPECT_EQ(window.Viewer->selectedIndex(), 1);
}

TEST_F(GraphicSelector, TheSizeFrameAppliesNothingUnlessResized) {
    ScratchDir dir;
    WriteFrames(dir, 2);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    window.tlbSize->setChecked(true);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(window.Size, &leave);
    EXPECT_TRUE(window.Size->isVisible());
    EXPECT_TRUE(window.tlbSize->isChecked());

    window.Size->resize(60, 40); // moved by hand, then the tool is switched off
    window.tlbSize->setChecked(false);
    EXPECT_FALSE(window.Size->isVisible());
    EXPECT_EQ(window.Viewer->maxThumbSize(), QSize(144, 96));
}

TEST_F(GraphicSelector, TheSizeFrameCannotBeDraggedBelowSixteenPixels) {
    ScratchDir dir;
    WriteFrames(dir, 1);
    TfrmGraphicSelector window;
    Open(window, dir.path(), "*.jpg");
    window.tlbSize->setChecked(true);
    const QPoint corner(window.Size->width() - 2, window.Size->height() - 2);
    QTest::mousePress(window.Size, Qt::LeftButton, {}, corner);
    QTest::mouseMove(window.Size, corner - QPoint(500, 500));
    QTest::mouseRelease(window.Size, Qt::LeftButton, {}, corner - QPoint(500, 500));
    EXPECT_EQ(window.Size->size(), QSize(16, 16));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(window.Size, &leave);
    EXPECT_EQ(window.Viewer->maxThumbSize(), QSize(16, 16));
    ASSERT_TRUE(WaitForScan(*window.Viewer));
    EXPECT_EQ(window.Viewer->thumbnail(0).size(), QSize(16, 12));
}

} // namespace
