// An SWF slideshow rendered from the window: an emptied output file name is
// asked for at the end and shown in its field, the confirmation, the
// preview page opened on Yes.
#include "app/MainWindow.h"
#include "support/ScriptedDialogsScope.h"
#include "support/TestDirs.h"
#include "video/ScriptedMediaSource.h"
#include "views/DialogService.h"
#include "views/pages/ConfigPage.h"
#include "views/pages/FinalizePage.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace stillora;

TEST(SwfMainWindow, ASlideshowRenderAsksForTheEmptiedFileNameAndOpensThePreviewOnYes) {
    test::ScratchDir dir;
    SetCacheFolder(dir.path());
    test::ScriptedDialogsScope scripted;
    ScriptedDialogs* answers = scripted.get();
    {
        TfrmMain window(std::make_unique<ScriptedMediaSource>(100));
        window.show();
        QFile clip(dir.file("clip.avi"));
        ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
        clip.close();
        window.SetActivePage(TfrmMain::kwSelectSource);
        window.edtFiles->setText(dir.file("clip.avi"));
        window.SetActivePage(TfrmMain::kwSelect);
        for (int position : {4, 9, 20}) {
            window.actPause->trigger();
            window.TrackBar->setValue(position);
            window.actGetCurrentFrame->trigger();
        }
        window.cbSeekDelay->setChecked(false);

        window.SetActivePage(TfrmMain::kwExport);
        ASSERT_TRUE(window.ConfigPage->rgExportAs->item(MovieExport)->isEnabled());
        window.ConfigPage->rgExportAs->setItemIndex(MovieExport);
        window.ConfigPage->pagesMovie->setCurrentIndex(MovieSwf);
        window.ConfigPage->edtExportFileName->clear();
        window.SetActivePage(TfrmMain::kwFinish);
        window.FinalizePage->jvExportFolder->setText(dir.file("out"));
        ASSERT_TRUE(QDir().mkpath(dir.file("out")));
        answers->paths = {dir.file("movie")};
        answers->answers = {DialogService::Yes};
        window.FinalizePage->btnRender->click();

        const QString movie = dir.file("movie.swf");
        EXPECT_EQ(window.ConfigPage->edtExportFileName->text(), movie);
        ASSERT_TRUE(QFileInfo::exists(movie));
        ASSERT_FALSE(answers->texts().isEmpty());
        EXPECT_EQ(answers->texts().last(),
                  "The Macromedia Flash File (SWF) was created in:\r\n\r\n" + movie +
                      "\r\n\r\nDo you want to view the result?");
        EXPECT_EQ(answers->openedDocuments,
                  std::vector<QString>{QFileInfo(dir.file("movie.html")).absoluteFilePath()});
        // One still per frame, the slides' source.
        EXPECT_EQ(QDir(dir.file("out")).entryList({"*.jpg"}, QDir::Files).size(), 3);
        EXPECT_TRUE(window.KWNodes->isEnabled());
    }
    SetCacheFolder(QString());
}
