// A web gallery rendered from the window: the confirmation, opening the
// index, and an empty title coming back as "index".
#include "app/MainWindow.h"
#include "selection/Selection.h"
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
#include <gtest/gtest.h>

using namespace stillora;

TEST(GalleryWindow, AnUntitledGalleryIsWrittenAsIndexAndOpenedOnYes) {
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
        for (int position : {4, 9}) {
            window.actPause->trigger();
            window.TrackBar->setValue(position);
            window.actGetCurrentFrame->trigger();
        }
        window.cbSeekDelay->setChecked(false);

        window.SetActivePage(TfrmMain::kwExport);
        ASSERT_TRUE(window.ConfigPage->rgExportAs->item(WebGallery)->isEnabled());
        window.ConfigPage->rgExportAs->setItemIndex(WebGallery);
        window.ConfigPage->edtPageTitle->setText("");
        window.SetActivePage(TfrmMain::kwFinish);
        window.FinalizePage->jvExportFolder->setText(dir.file("out"));
        ASSERT_TRUE(QDir().mkpath(dir.file("out")));
        answers->answers = {DialogService::Yes};
        window.FinalizePage->btnRender->click();

        const QString index = QFileInfo(dir.file("out/index.html")).absoluteFilePath();
        ASSERT_TRUE(QFileInfo::exists(index));
        ASSERT_FALSE(answers->texts().isEmpty());
        EXPECT_TRUE(answers->texts().last().startsWith("The web gallery created in:\r\n\r\n" +
                                                       index + "\r\n\r\nis ready to be viewed."));
        EXPECT_EQ(answers->openedDocuments, std::vector<QString>{index});
        EXPECT_EQ(window.ConfigPage->edtPageTitle->text(), "index");
        EXPECT_TRUE(window.KWNodes->isEnabled());
        const QStringList pages =
            QDir(dir.file("out")).entryList({"*.html"}, QDir::Files, QDir::Name);
        EXPECT_EQ(pages.size(), 3) << pages.join(' ').toStdString();
        EXPECT_EQ(QDir(dir.file("out")).entryList({"tmb_*.jpg"}, QDir::Files).size(), 2);
    }
    SetCacheFolder(QString());
}
