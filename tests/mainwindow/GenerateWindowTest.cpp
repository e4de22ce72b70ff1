// The Seek page's generated selections and exchanged lists, through the
// window's own actions, with a scripted source of 100 frames at 25 a second.

#include "analysis/SelectionExchange.h"
#include "app/MainWindow.h"
#include "support/ScriptedDialogsScope.h"
#include "support/TestDirs.h"
#include "video/ScriptedMediaSource.h"
#include "views/DialogService.h"
#include "views/generate/GenerateDialog.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace stillora;

namespace {

class GenerateWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetCacheFolder(dir.path());
        auto source = std::make_unique<ScriptedMediaSource>(100);
        window = std::make_unique<TfrmMain>(std::move(source));
        window->show();
        QFile clip(dir.file("clip.avi"));
        ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
        clip.close();
        window->SetActivePage(TfrmMain::kwSelectSource);
        window->edtFiles->setText(dir.file("clip.avi"));
        window->SetActivePage(TfrmMain::kwSelect);
        ASSERT_TRUE(window->SourceOpened);
    }
    void TearDown() override {
        window.reset();
        SetCacheFolder(QString());
    }
    QStringList captions() const {
        QStringList list;
        for (const TSelection* s : window->Tree().TopLevelSelections())
            list << s->Caption;
        return list;
    }
    QAction* action(const char* name) const { return window->findChild<QAction*>(name); }

    test::ScratchDir dir;
    test::ScriptedDialogsScope scripted_;
    ScriptedDialogs* answers = scripted_.get();
    std::unique_ptr<TfrmMain> window;
};

TEST_F(GenerateWindowTest, TheToolButtonAndTheTreeMenuOfferTheActions) {
    auto* button = window->findChild<QToolButton*>("tbtnGenerate");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->defaultAction(), action("actGenerate"));
    EXPECT_EQ(action("actGenerate")->text(), "Generate selections\u2026");
    auto* menu = window->findChild<QMenu*>("SelTreeMenu");
    ASSERT_TRUE(menu);
    const QList<QAction*> offered = menu->actions();
    for (const char* name : {"actGenerate", "actImportList", "actExportList"})
        EXPECT_TRUE(offered.contains(action(name))) << name;
}

TEST_F(GenerateWindowTest, GeneratedSelectionsLandInTheTreeAsHandMadeOnes) {
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<GenerateDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->findChild<QSpinBox*>("spinGenerateFrames")->setValue(25);
        dialog->findChild<QPushButton*>("btnGenerateAdd")->click();
        answered = true;
    });
    action("actGenerate")->trigger();
    ASSERT_TRUE(answered);
    EXPECT_EQ(captions(), QStringList({"Frame_00000", "Frame_00025", "Frame_00050", "Frame_00075"}));
    EXPECT_EQ(window->lblState->text(), "4 selections added.");
    EXPECT_TRUE(window->btnNext->isEnabled());
}

TEST_F(GenerateWindowTest, ImportNamesTheDamagedLinesAndExportWritesWhatImportReads) {
    QFile csv(dir.file("list.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("Caption,First frame,Last frame,Start time,End time\n"
              "Harbour,10,19,,\n"
              "broken,10\n"
              ",30,30,,\n");
    csv.close();
    answers->paths.push_back(dir.file("list.csv"));
    action("actImportList")->trigger();
    EXPECT_EQ(captions(), QStringList({"Harbour", "Frame_00030"}));
    ASSERT_EQ(answers->asked.size(), 1u);
    EXPECT_EQ(answers->asked[0].kind, DialogService::Warning);
    EXPECT_TRUE(answers->asked[0].text.contains("Line 3: ")) << answers->asked[0].text.toStdString();

    // Without an extension the list is saved as CSV.
    answers->paths.push_back(dir.file("saved"));
    action("actExportList")->trigger();
    ASSERT_TRUE(QFile::exists(dir.file("saved.csv")));
    std::vector<double> times;
    for (int n = 0; n < 100; ++n)
        times.push_back(n / 25.0);
    const ExchangeReadResult read = readSelectionsFile(dir.file("saved.csv"), FrameClock(times, 25));
    ASSERT_EQ(read.selections.size(), 2u);
    EXPECT_EQ(read.selections[0], (ExchangedSelection{{10, 19}, "Harbour"}));
    EXPECT_EQ(read.selections[1], (ExchangedSelection{{30, 30}, "Frame_00030"}));
}

} // namespace
