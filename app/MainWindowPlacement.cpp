// Window placement: restored once at start-up, stored once at closing;
// windows with nothing stored open beside the main window.

#include "app/MainWindow.h"

#include "app/WindowPlacement.h"
#include "app/settings/SettingsBinder.h"
#include "app/settings/SettingsStore.h"
#include "app/settings/SettingsTable.h"
#include "pluginhost/PluginSettingsText.h"
#include "views/browser/GraphicSelector.h"
#include "views/timeline/GetFrame.h"
#include "views/timeline/Timeline.h"
#include "views/viewer/ImageViewer.h"

namespace stillora {

void TfrmMain::RestorePlacements() {
    if (!settings_) return;
    RestoreWindowPlacements(*settings_,
                            {this, frmRender.get(), frmTimeline.get(), frmGetFrame.get()});
    // A window whose place was stored keeps it; the others go beside this one.
    const std::pair<QWidget*, QString> stored[] = {{frmRender.get(), kImageViewerPlacement},
                                                   {frmTimeline.get(), kTimelinePlacement},
                                                   {frmGetFrame.get(), kFramePickerPlacement}};
    for (const auto& [window, prefix] : stored)
        if (settings_->Contains(prefix + QStringLiteral(".Left"))) placer_->markPlaced(window);
}

void TfrmMain::closeOtherWindows() {
    for (QWidget* w : std::initializer_list<QWidget*>{frmRender.get(), frmGraphicSelector.get(),
                                                      frmTimeline.get(), frmGetFrame.get()})
        if (w) w->close();
}

void TfrmMain::LoadPluginSettings() {
    if (!settings_) return;
    for (TPluginRecord& record : plugins_) {
        const auto value = settings_->ReadSetting(PluginSettingsName(record));
        const QString* text = value ? std::get_if<QString>(&*value) : nullptr;
        if (!text) continue;
        record.Settings = text->toStdString();
        ApplySettingsText(record, *text);
    }
}

void TfrmMain::StorePluginSettings() {
    if (!settings_) return;
    // Only plug-ins whose dialog was used have a text; the others keep theirs.
    for (const TPluginRecord& record : plugins_)
        if (!record.Settings.empty())
            settings_->WriteSetting(PluginSettingsName(record),
                                    QString::fromStdString(record.Settings));
}

} // namespace stillora
