// A DVD volume in the main window, read by the real media layer: the error
// boxes of a volume that cannot be played, and a title that plays, seeks and
// keeps its selection list beside its IFO file.

#include "app/MainWindow.h"
#include "support/DvdMaker.h"
#include "support/ScriptedDialogsScope.h"
#include "support/TestDirs.h"
#include "video/DvdTitle.h"
#include "video/FfmpegMediaSource.h"
#include "video/ScriptedMediaSource.h"
#include "views/DialogService.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace stillora;

namespace {

class DvdWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TfrmMain>(std::make_unique<FfmpegMediaSource>());
        window->show();
    }
    // Chooses the DVD kind with `path` on the Select page and enters Seek.
    void openDvd(const QString& path) {
        window->btnDVD->setChecked(true);
        window->edtDVDSource->setText(path);
        window->SetActivePage(TfrmMain::kwSelectSource);
        window->SetActivePage(TfrmMain::kwSelect);
    }
    QString status() const { return window->lblState->text(); }

    test::ScratchDir dir;
    test::ScriptedDialogsScope scripted_;
    ScriptedDialogs* answers = scripted_.get();
    std::unique_ptr<TfrmMain> window;
};

TEST_F(DvdWindowTest, AVolumeThatCannotBePlayedShowsAnErrorBoxAndTheStatus) {
    const QString notADvd = dir.file("holiday");
    QDir().mkpath(notADvd);
    openDvd(notADvd);
    ASSERT_EQ(answers->asked.size(), 1u);
    EXPECT_EQ(answers->asked[0].kind, DialogService::Error);
    EXPECT_EQ(answers->asked[0].caption, "Error");
    EXPECT_EQ(answers->asked[0].text, kDvdVolumeInvalid);
    EXPECT_EQ(answers->asked[0].buttons, DialogService::Ok);
    EXPECT_EQ(status(), "Cannot open: " + notADvd);
    EXPECT_FALSE(window->SourceOpened);
    EXPECT_FALSE(window->TrackBar->isEnabled());
}

TEST_F(DvdWindowTest, TheMainTitlePlaysSeeksAndKeepsItsListBesideTheIfo) {
    const QString volume = dir.file("disc");
    QString why;
    ASSERT_TRUE(test::makeDvdVolume(volume, {{20}, {30, 25}}, &why)) << why.toStdString();
    openDvd(volume + "/VIDEO_TS/VIDEO_TS.IFO");
    EXPECT_TRUE(answers->asked.empty());
    ASSERT_TRUE(window->SourceOpened) << status().toStdString();
    EXPECT_EQ(window->TrackBar->maximum(), 54);
    EXPECT_TRUE(window->TrackBar->isEnabled());

    window->actPause->trigger();
    for (int frame : {31, 29, 54, 30}) {
        window->SeekToFrame(frame, true);
        QImage grabbed;
        window->GrabFrame(grabbed);
        EXPECT_EQ(ScriptedMediaSource::readNumber(grabbed), frame);
    }
    window->TrackBar->setValue(40);
    window->actGetCurrentFrame->trigger();
    window->actSave->trigger();
    EXPECT_TRUE(answers->asked.empty());
    EXPECT_TRUE(QFile::exists(volume + "/VIDEO_TS/VIDEO_TS.sel"));
}

} // namespace
