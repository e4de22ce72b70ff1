#pragma once
// The settings text of a plug-in's dialog ("FRATRACKBAR_0=25,CHECKBOX_1=1")
// written straight into the plug-in's parameters, without the dialog. At
// start-up this brings back the values the user set in an earlier session,
// so that effect chains run with them from the first frame.

#include "pluginhost/PluginRecord.h"

#include <QString>

namespace stillora {

// The stored-settings name of a plug-in's dialog text.
QString PluginSettingsName(const TPluginRecord& record);

// Writes every item of `text` whose editor name matches its parameter's
// control kind (FRATRACKBAR_i for a track bar, CHECKBOX_i for a check box,
// FRARADIOCONTROL_i for a knob) into parameter i: track bars and knobs as a
// 32-bit integer clamped to the parameter's bounds, check boxes as a boolean.
// Malformed items and items naming no such parameter are skipped. Returns the
// number of parameters written. Called on the user-interface thread.
int ApplySettingsText(const TPluginRecord& record, const QString& text);

} // namespace stillora
