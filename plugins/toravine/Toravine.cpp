// Toravine Glow: lifts edges against a flat background with a 5 x 5 glow
// kernel, mirrored at the borders.

#include "plugins/common/PluginFrame.h"
#include "plugins/toravine/LinearFilter.h"

namespace {

void BuildTable(stillora::TPluginTable& t) {
    t.addBoolean("Channel 1", true);
    t.addBoolean("Channel 2", true);
    t.addBoolean("Channel 3", true);
    t.addBoolean("Channel 4", true);
}

void Effect(const stillora::TPluginTable& t, TPluginBitmap& source, TPluginBitmap& dest) {
    const bool channels[4] = {t.boolValue(0), t.boolValue(1), t.boolValue(2), t.boolValue(3)};
    stillora::TBitmapRun run(source, dest);
    stillora::ApplyLinearFilter(run, stillora::kGlowFilter, channels);
    // run's destructor hands the result to dest, also after an error
}

} // namespace

STILLORA_PLUGIN("Toravine Glow", BuildTable, Effect)
