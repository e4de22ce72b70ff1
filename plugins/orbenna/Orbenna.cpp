// Circle Image: twists the picture around its centre into a spiral.

#include "plugins/common/PixelEngine.h"
#include "plugins/common/PluginFrame.h"

namespace {

enum { kRadius };

void BuildTable(stillora::TPluginTable& t) {
    t.addRangedInteger("Radius", STILLORA_VALUE_INTEGER, 100, STILLORA_CONTROL_TRACKBAR, 1, 200);
}

void Effect(const stillora::TPluginTable& t, TPluginBitmap& source, TPluginBitmap& dest) {
    stillora::TEngineArgs args;
    args.kind = stillora::ekCircle;
    args.value = stillora::MakeVariantInt(t.intValue(kRadius));
    stillora::RunEffectPass(source, dest, args);
}

} // namespace

STILLORA_PLUGIN("Circle Image", BuildTable, Effect)
