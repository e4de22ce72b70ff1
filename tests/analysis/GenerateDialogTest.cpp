// The "Generate selections" dialog: its live count, the stretch it works
// over, a decode on its thread with Cancel, and what Add hands over.

#include "support/ClipMaker.h"
#include "views/generate/GenerateDialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace stillora {
namespace {

GenerateDialog::Source steadySource(int64_t frames) {
    GenerateDialog::Source s;
    s.path = "/nonexistent/clip.mp4";
    s.frameCount = frames;
    for (int64_t n = 0; n < frames; ++n)
        s.times.push_back(double(n) / 25.0);
    s.markIn = 59; // marks in either order
    s.markOut = 20;
    return s;
}

void chooseMode(GenerateDialog& dialog, GenerateSettings::Mode mode) {
    auto* combo = dialog.findChild<QComboBox*>("cbGenerateMode");
    ASSERT_TRUE(combo);
    const int row = combo->findData(mode);
    ASSERT_GE(row, 0);
    combo->setCurrentIndex(row);
}

TEST(GenerateDialog, TheCountFollowsTheSettingsAndAddHandsTheSelectionsOver) {
    GenerateDialog dialog(steadySource(100));
    auto* count = dialog.findChild<QLabel*>("lblGenerateCount");
    auto* frames = dialog.findChild<QSpinBox*>("spinGenerateFrames");
    auto* add = dialog.findChild<QPushButton*>("btnGenerateAdd");
    ASSERT_TRUE(count && frames && add);
    EXPECT_EQ(count->text(), "1 selection will be added.");
    frames->setValue(10);
    EXPECT_EQ(count->text(), "10 selections will be added.");
    dialog.findChild<QRadioButton*>("rbBetweenMarks")->setChecked(true);
    EXPECT_EQ(dialog.range(), (FrameSpan{20, 59}));
    EXPECT_EQ(count->text(), "4 selections will be added.");
    chooseMode(dialog, GenerateSettings::EverySeconds);
    dialog.findChild<QDoubleSpinBox*>("spinGenerateSeconds")->setValue(0.5);
    EXPECT_EQ(dialog.pendingCount(), 4); // 20, 32 (0.48 s later), 45, 57
    ASSERT_TRUE(add->isEnabled());
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const SelectionList made = dialog.takeSelections();
    ASSERT_EQ(made.size(), 4u);
    EXPECT_EQ(made[0]->Caption, "Frame_00020");
    EXPECT_EQ(made[1]->Caption, "Frame_00032");
    EXPECT_EQ(made[3]->StartFrame, 57);
    EXPECT_TRUE(dialog.takeSelections().empty());
}

TEST(GenerateDialog, SourcesThatCannotBeDecodedOfferOnlyTheSteps) {
    GenerateDialog::Source source = steadySource(10);
    source.canDecode = false;
    GenerateDialog dialog(source);
    EXPECT_EQ(dialog.findChild<QComboBox*>("cbGenerateMode")->count(), 2);
}

TEST(GenerateDialog, ScenesDecodeOnceOnAThreadAndCancelStopsTheDecode) {
    QTemporaryDir dir;
    const QString clip = dir.filePath("shots.mp4");
    QString error;
    ASSERT_TRUE(test::runFfmpeg({"-filter_complex",
                                 "testsrc2=s=320x240:r=25,trim=end_frame=30,setpts=PTS-STARTPTS[a];"
                                 "smptebars=s=320x240:r=25,trim=end_frame=270,setpts=PTS-STARTPTS[b];"
                                 "[a][b]concat=n=2:v=1:a=0,format=yuv420p[v]",
                                 "-map", "[v]", "-c:v", "libx264", "-preset", "veryfast", clip},
                                &error))
        << error.toStdString();
    GenerateDialog::Source source = steadySource(300);
    source.path = clip;
    GenerateDialog dialog(source);
    auto* add = dialog.findChild<QPushButton*>("btnGenerateAdd");
    chooseMode(dialog, GenerateSettings::Scenes);
    // While the decode runs nothing can be added.
    EXPECT_FALSE(add->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.analysing(), 20000);
    EXPECT_EQ(dialog.pendingCount(), 2);
    // Other settings of the same mode decide from the same decode.
    dialog.findChild<QComboBox*>("cbSceneStill")->setCurrentIndex(2);
    dialog.findChild<QSpinBox*>("spinSensitivity")->setValue(70);
    EXPECT_FALSE(dialog.analysing());
    EXPECT_EQ(dialog.pendingCount(), 2);
    EXPECT_TRUE(add->isEnabled());

    // Sharpness needs a decode of its own; Cancel stops it and keeps the dialog.
    QSignalSpy closed(&dialog, &QDialog::finished);
    chooseMode(dialog, GenerateSettings::SharpestFrames);
    ASSERT_TRUE(dialog.analysing());
    QTest::mouseClick(dialog.findChild<QPushButton*>("btnGenerateCancel"), Qt::LeftButton);
    EXPECT_FALSE(dialog.analysing());
    EXPECT_TRUE(dialog.findChild<QLabel*>("lblGenerateCount")->text().contains("Cancelled"));
    EXPECT_FALSE(add->isEnabled());
    EXPECT_EQ(closed.count(), 0);
    // Choosing the mode again starts over and finishes.
    dialog.findChild<QSpinBox*>("spinGenerateFrames")->setValue(100);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.analysing(), 20000);
    EXPECT_EQ(dialog.pendingCount(), 3);
}

} // namespace
} // namespace stillora
