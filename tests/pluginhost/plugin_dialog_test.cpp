// The plug-in settings dialog built from the real plug-ins' tables.

#include "PluginFixture.h"
#include "views/DialogService.h"
#include "views/PluginSettingsDialog.h"

#include <QCheckBox>
#include <gtest/gtest.h>

using namespace stillora;
using namespace stillora::test;

TEST(PluginSettingsDialog, LightnessStacksATrackBarAndFourCheckBoxes) {
    TPluginRecord lightness = Plugin("Lightness");
    SetInt(lightness, 0, 0);
    QImage source = Filled(QSize(8, 8), QColor(200, 100, 0)), shown = source;
    int previews = 0;
    TfrmPluginSettings dialog;
    dialog.PreviewCallback = [&](const QImage&) { ++previews; };
    dialog.Bind(lightness, &source, &shown);
    dialog.BuildEditors();
    EXPECT_EQ(dialog.windowTitle(), "Lightness");
    ASSERT_EQ(dialog.Editors().size(), 5u);
    auto* amount = dialog.findChild<TfraTrackBar*>("fraTrackBar_0");
    ASSERT_NE(amount, nullptr);
    EXPECT_EQ(amount->lblName->text(), "Amount");
    EXPECT_EQ(amount->TrackBar->minimum(), -100);
    EXPECT_EQ(amount->TrackBar->maximum(), 100);
    int top = 10;
    for (QWidget* editor : dialog.Editors()) {
        EXPECT_EQ(editor->x(), 10) << editor->objectName().toStdString();
        EXPECT_EQ(editor->y(), top) << editor->objectName().toStdString();
        top += editor->height() + 5;
    }
    EXPECT_EQ(dialog.findChild<QCheckBox*>("CheckBox_4")->text(), "Negative");

    // Moving Amount writes the plug-in at once and repaints the preview.
    amount->TrackBar->setValue(25);
    EXPECT_EQ(lightness.GetParam(0)->Value.u.lVal, 25);
    EXPECT_EQ(amount->lblPos->text(), "25");
    EXPECT_EQ(QColor(shown.pixel(0, 0)), QColor(225, 125, 25));
    EXPECT_GE(previews, 1);
    EXPECT_EQ(dialog.GetSettings(), "FRATRACKBAR_0=25,CHECKBOX_1=1,CHECKBOX_2=1,CHECKBOX_3=1,CHECKBOX_4=0");

    // A second dialog restores the text, skipping malformed items.
    SetInt(lightness, 0, 0);
    TfrmPluginSettings again;
    again.Bind(lightness, &source, &shown);
    again.BuildEditors();
    again.SetSettings("fratrackbar_0=25,CHECKBOX_4=x,NOSUCH=3,garbage,CHECKBOX_1=0");
    EXPECT_EQ(again.findChild<TfraTrackBar*>("fraTrackBar_0")->TrackBar->value(), 25);
    EXPECT_FALSE(again.findChild<QCheckBox*>("CheckBox_1")->isChecked());
    EXPECT_FALSE(again.findChild<QCheckBox*>("CheckBox_4")->isChecked());
    EXPECT_EQ(lightness.GetParam(1)->Value.u.boolVal, 0) << "restoring writes the plug-in too";
    SetInt(lightness, 0, 0);
    SetBool(lightness, 1, true);
}

TEST(PluginSettingsDialog, KnobTickFrequencyFollowsItsRange) {
    // A plug-in of our own making with two knobs.
    static TPluginParam params[2] = {};
    params[0].Name = "Wide";
    params[0].ControlKind = STILLORA_CONTROL_KNOB;
    params[0].MinValue.vt = params[0].MaxValue.vt = STILLORA_VT_I4;
    params[0].MinValue.u.lVal = -100;
    params[0].MaxValue.u.lVal = 100;
    params[0].Left = params[0].Top = -1;
    params[1] = params[0];
    params[1].Name = "Narrow";
    params[1].MinValue.u.lVal = 0;
    params[1].MaxValue.u.lVal = 10;
    TPluginRecord knobs;
    knobs.PluginNameGet = [] { return "Knobs"; };
    knobs.GetParamCount = [] { return 2; };
    knobs.GetParam = [](int32_t i) { return i >= 0 && i < 2 ? &params[i] : nullptr; };
    TfrmPluginSettings dialog;
    dialog.Bind(knobs, nullptr, nullptr);
    dialog.BuildEditors();
    auto* wide = dialog.findChild<TfraRadioControl*>("FraRadioControl_0");
    auto* narrow = dialog.findChild<TfraRadioControl*>("FraRadioControl_1");
    ASSERT_TRUE(wide && narrow);
    EXPECT_EQ(wide->TrackBar->tickFrequency(), 12);
    EXPECT_EQ(narrow->TrackBar->tickFrequency(), 1);
    EXPECT_EQ(wide->size(), QSize(72, 71));
    narrow->TrackBar->setValue(7);
    EXPECT_EQ(params[1].Value.u.lVal, 7);
    EXPECT_EQ(params[1].Value.vt, STILLORA_VT_I4);
    EXPECT_EQ(dialog.GetSettings(), "FRARADIOCONTROL_0=0,FRARADIOCONTROL_1=7");
}
