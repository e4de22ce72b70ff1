// Skarrow: adds uniform random noise, per channel or one value per pixel.
// Draws come from the process-wide generator, which is never reseeded here.

#include "plugins/common/PixelEngine.h"
#include "plugins/common/PluginFrame.h"

namespace {

enum { kAmount, kMonochrome };

void BuildTable(stillora::TPluginTable& t) {
    t.addRangedInteger("Amount", STILLORA_VALUE_INTEGER, 0, STILLORA_CONTROL_TRACKBAR, 0, 200);
    t.addBoolean("Monochrome", false);
}

void Effect(const stillora::TPluginTable& t, TPluginBitmap& source, TPluginBitmap& dest) {
    stillora::TEngineArgs args;
    args.kind = stillora::ekNoise;
    args.value = stillora::MakeVariantInt(t.intValue(kAmount));
    args.mono = t.boolValue(kMonochrome);
    stillora::RunEffectPass(source, dest, args);
}

} // namespace

STILLORA_PLUGIN("Skarrow", BuildTable, Effect)
