#pragma once
// What a batch run is set up from: the stored settings with the command
// line over them, and the loaded plug-ins with their parameters and chains.

#include "app/batch/BatchOptions.h"
#include "app/settings/SettingsTable.h"
#include "pluginhost/PluginRecord.h"
#include "render/RenderSettings.h"

#include <QString>

#include <vector>

namespace stillora::batch {

// The render settings as the window would hold them after loading `stored`,
// for a numbered-frames render (the export kind is always that one).
RenderSettings SettingsFromStore(const ResolvedSettings& stored);

// Applies the naming and writing options over `settings`. The root name and
// the output folder are left alone: they depend on the video and the
// working folder (see RootNameFor and OutputFolder).
void ApplyOverrides(const BatchOptions& options, RenderSettings& settings);

// The root name of a video's stills: --root, else the video's file name
// without its last extension.
QString RootNameFor(const BatchOptions& options, const QString& video);

// The absolute output folder, with a trailing "/": --out, else the stored
// folder, else "export/" under `workingDir` (as the window does).
QString OutputFolder(const BatchOptions& options, const RenderSettings& settings,
                     const QString& workingDir);

// Index of the plug-in called `name`: the exact name first, else the only
// one whose name matches without regard to case; -1 when none (or several).
int FindPlugin(const PluginTable& table, const QString& name);

// The names of the loaded plug-ins, for messages: "A, B, C" or "none".
QString PluginNames(const PluginTable& table);

// Every plug-in with its parameters, kinds, ranges and current values.
QString DescribePlugins(const PluginTable& table);

// Sets a parameter from "Plugin:Name=Value" through the plug-in's table.
// Returns false with a one-line reason when the plug-in or parameter is not
// there or the value is not one it takes; nothing changes then.
bool ApplyParameter(const PluginTable& table, const QString& spec, QString* error);

// Builds the chain of "A,B" (names separated by commas). Returns false with
// a one-line reason on a name that is not loaded.
bool BuildChain(const PluginTable& table, const QString& text, std::vector<TPluginRecord>& chain,
                QString* error);

// The names of a stored chain caption that no loaded plug-in carries.
QStringList MissingChainNames(const PluginTable& table, const QString& caption);

} // namespace stillora::batch
