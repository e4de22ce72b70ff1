#pragma once
// Finds the effect plug-ins in a folder, loads each library and binds its
// eight entry points by name. Libraries stay loaded for the life of the
// program.

#include "pluginhost/PluginRecord.h"

#include <stdexcept>
#include <string>

namespace stillora {

// Raised when the folder cannot be read or a plug-in fails while loading;
// the records bound until then stay in the table.
struct PluginLoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Empties `table`, then appends a record for every "*.so" in `folder` (in
// name order) that loads and exports PluginNameGet; calls Version of each.
// Files that do not load, or lack PluginNameGet, are skipped silently; a
// missing or empty folder gives an empty table.
void LoadPlugins(const std::string& folder, PluginTable& table);

} // namespace stillora
