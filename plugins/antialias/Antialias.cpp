// Antialias: replaces each pixel by the mean of its four direct neighbours in
// the chosen colour channels.

#include "plugins/common/PixelEngine.h"
#include "plugins/common/PluginFrame.h"

namespace {

enum { kRed, kGreen, kBlue };

void BuildTable(stillora::TPluginTable& t) {
    t.addBoolean("R Channel", true);
    t.addBoolean("G Channel", true);
    t.addBoolean("B Channel", true);
}

void Effect(const stillora::TPluginTable& t, TPluginBitmap& source, TPluginBitmap& dest) {
    stillora::TEngineArgs args;
    args.kind = stillora::ekAntialias;
    args.red = t.boolValue(kRed);
    args.green = t.boolValue(kGreen);
    args.blue = t.boolValue(kBlue);
    args.value = stillora::MakeVariantByte(0);
    stillora::RunEffectPass(source, dest, args);
}

} // namespace

STILLORA_PLUGIN("Antialias", BuildTable, Effect)
