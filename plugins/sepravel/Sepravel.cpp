// Old Photo: the faded, tinted look of an old print, optionally grey.

#include "plugins/common/PixelEngine.h"
#include "plugins/common/PluginFrame.h"

namespace {

enum { kOldAspect, kGreyscale, kNegative };

void BuildTable(stillora::TPluginTable& t) {
    t.addBoolean("Old Aspect", true);
    t.addBoolean("Greyscale", false);
    // Offered in the settings dialog; the effect does not use it.
    t.addBoolean("Negative", false);
}

void Effect(const stillora::TPluginTable& t, TPluginBitmap& source, TPluginBitmap& dest) {
    const bool oldAspect = t.boolValue(kOldAspect);
    if (oldAspect) {
        // Works on the source itself, which keeps the result; dest gets a copy.
        stillora::TEngineArgs args;
        args.kind = stillora::ekOldAspect;
        args.value = stillora::MakeVariantByte(0);
        stillora::RunEffectPass(source, source, args);
        dest = source;
    }
    if (t.boolValue(kGreyscale)) {
        stillora::TEngineArgs args;
        args.kind = stillora::ekGrey;
        args.value = stillora::MakeVariantByte(0);
        stillora::RunEffectPass(oldAspect ? dest : source, dest, args);
    }
    // With neither flag set dest keeps the picture the host put into it.
}

} // namespace

STILLORA_PLUGIN("Old Photo", BuildTable, Effect)
