// Lightness: brightens or darkens chosen colour channels by a fixed amount,
// optionally followed by the negative of the result.

#include "plugins/common/PixelEngine.h"
#include "plugins/common/PluginFrame.h"

namespace {

enum { kAmount, kRed, kGreen, kBlue, kNegative };

void BuildTable(stillora::TPluginTable& t) {
    t.addRangedInteger("Amount", STILLORA_VALUE_INTEGER, 0, STILLORA_CONTROL_TRACKBAR, -100, 100);
    t.addBoolean("R Channel", true);
    t.addBoolean("G Channel", true);
    t.addBoolean("B Channel", true);
    t.addBoolean("Negative", false);
}

void Effect(const stillora::TPluginTable& t, TPluginBitmap& source, TPluginBitmap& dest) {
    stillora::TEngineArgs lightness;
    lightness.kind = stillora::ekLightness;
    lightness.red = t.boolValue(kRed);
    lightness.green = t.boolValue(kGreen);
    lightness.blue = t.boolValue(kBlue);
    lightness.value = stillora::MakeVariantInt(t.intValue(kAmount));
    stillora::RunEffectPass(source, dest, lightness);

    if (t.boolValue(kNegative)) {
        // The channel check boxes do not limit the negative: all three invert.
        stillora::TEngineArgs negative;
        negative.kind = stillora::ekNegative;
        negative.value = stillora::MakeVariantByte(0);
        stillora::RunEffectPass(dest, dest, negative);
    }
}

} // namespace

STILLORA_PLUGIN("Lightness", BuildTable, Effect)
