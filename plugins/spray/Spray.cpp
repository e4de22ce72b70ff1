// Spray: every output pixel copies a source pixel at a random offset.

#include "plugins/common/PixelEngine.h"
#include "plugins/common/PluginFrame.h"

namespace {

enum { kAmount };

void BuildTable(stillora::TPluginTable& t) {
    t.addRangedInteger("Amount", STILLORA_VALUE_INTEGER, 10, STILLORA_CONTROL_TRACKBAR, 0, 255);
}

void Effect(const stillora::TPluginTable& t, TPluginBitmap& source, TPluginBitmap& dest) {
    stillora::TEngineArgs args;
    args.kind = stillora::ekSpray;
    args.value = stillora::MakeVariantInt(t.intValue(kAmount));
    stillora::RunEffectPass(source, dest, args);
}

} // namespace

STILLORA_PLUGIN("Spray", BuildTable, Effect)
