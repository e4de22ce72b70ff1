#pragma once
// The shared frame of a plug-in: its name buffer and parameter table, variant
// helpers, and the STILLORA_PLUGIN macro that defines the eight exports.
//
// A plug-in's source then holds only its table and its effect:
//
//   static void BuildTable(stillora::TPluginTable& t) {
//       t.addRangedInteger("Amount", STILLORA_VALUE_INTEGER, 0,
//                          STILLORA_CONTROL_TRACKBAR, -100, 100);
//   }
//   static void Effect(const stillora::TPluginTable& t, TPluginBitmap& source,
//                      TPluginBitmap& dest) { ... }
//   STILLORA_PLUGIN("My Effect", BuildTable, Effect)
//
// The macro builds the table once when the library is loaded and wraps the
// effect in the steps every plug-in shares: return at once on a null bitmap,
// set source and destination to 24 bits per pixel, run the effect, set the
// destination to 32 bits per pixel.

#include "plugins/common/PluginBitmap.h"
#include "plugins/common/PluginKitApi.h"
#include "plugins/common/StilloraPlugin.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace stillora {

// Variant conversions. Readers accept any integer, boolean or real tag.
STILLORA_KIT_API int32_t VariantToInt(const TPluginVariant& v);
inline bool VariantToBool(const TPluginVariant& v) {
    return VariantToInt(v) != 0;
}
STILLORA_KIT_API TPluginVariant MakeVariantInt(int32_t value);  // tag I4
STILLORA_KIT_API TPluginVariant MakeVariantBool(bool value);    // tag BOOL, -1 or 0
STILLORA_KIT_API TPluginVariant MakeVariantByte(uint8_t value); // tag UI1

class STILLORA_KIT_API TPluginTable {
public:
    using TBuilder = void (*)(TPluginTable& table);

    // Sets the name and builds the table with builder (which may be null).
    TPluginTable(const char* name, TBuilder builder);
    TPluginTable(const TPluginTable&) = delete;
    TPluginTable& operator=(const TPluginTable&) = delete;

    // Zero-fills the 128-byte name buffer and copies at most 127 bytes of name.
    void setName(const char* name);
    const char* name() const { return name_; }

    // Appends an entry: Value = initial (a byte when it fits 0..255 and the
    // kind is integer, a boolean when the kind is boolean, else a 32-bit
    // integer), MinValue = 0 and MaxValue = 255 as bytes, Left = Top = -1.
    // Returns the new index. The name is copied.
    int32_t addParam(const char* name, uint16_t valueKind, int32_t initial, uint16_t controlKind);
    // addParam, then MinValue and MaxValue set to the bounds as 32-bit integers.
    int32_t addRangedInteger(const char* name, uint16_t valueKind, int32_t initial,
                             uint16_t controlKind, int32_t minimum, int32_t maximum);
    // Shorthands: a check box, and an integer on a track bar.
    int32_t addBoolean(const char* name, bool initial) {
        return addParam(name, STILLORA_VALUE_BOOLEAN, initial ? -1 : 0, STILLORA_CONTROL_CHECKBOX);
    }
    int32_t addInteger(const char* name, int32_t initial, int32_t minimum, int32_t maximum) {
        return addRangedInteger(name, STILLORA_VALUE_INTEGER, initial, STILLORA_CONTROL_TRACKBAR,
                                minimum, maximum);
    }

    // The export contracts of StilloraPlugin.h.
    int32_t count() const { return int32_t(params_.size()); }
    bool exists(int32_t index) const { return index >= 0 && index < count(); }
    TPluginParam* get(int32_t index) { return exists(index) ? &params_[size_t(index)] : nullptr; }
    void set(int32_t index, const TPluginVariant* value);

    // Current values for the effect; 0 / false for an unknown index.
    int32_t intValue(int32_t index) const;
    bool boolValue(int32_t index) const { return intValue(index) != 0; }
    const TPluginVariant* value(int32_t index) const;

private:
    char name_[STILLORA_PLUGIN_NAME_SIZE];
    std::vector<TPluginParam> params_;
    std::deque<std::string> names_; // stable storage for TPluginParam::Name
};

using TEffectProc = void (*)(const TPluginTable& table, TPluginBitmap& source, TPluginBitmap& dest);

// The shared RunProcBMP steps around an effect (see above).
STILLORA_KIT_API void RunPluginEffect(const TPluginTable& table, TPluginBitmap* source,
                                      TPluginBitmap* dest, TEffectProc effect);

} // namespace stillora

// Defines the eight exports of a plug-in. Use once, at file scope, in one
// source file of the plug-in.
#define STILLORA_PLUGIN(displayName, buildTable, effect)                                           \
    namespace {                                                                                    \
    stillora::TPluginTable& StilloraPluginTable() {                                                \
        static stillora::TPluginTable table(displayName, buildTable);                              \
        return table;                                                                              \
    }                                                                                              \
    /* Build the table at load time, before the host asks for it. */                               \
    const bool stilloraPluginTableBuilt = (StilloraPluginTable(), true);                           \
    }                                                                                              \
    extern "C" {                                                                                   \
    STILLORA_PLUGIN_EXPORT uint16_t Version(void) {                                                \
        return STILLORA_PLUGIN_VERSION;                                                            \
    }                                                                                              \
    STILLORA_PLUGIN_EXPORT const char* PluginNameGet(void) {                                       \
        return StilloraPluginTable().name();                                                       \
    }                                                                                              \
    STILLORA_PLUGIN_EXPORT void SetParam(int32_t index, const TPluginVariant* value) {             \
        StilloraPluginTable().set(index, value);                                                   \
    }                                                                                              \
    STILLORA_PLUGIN_EXPORT uint8_t ParamExists(int32_t index) {                                    \
        return StilloraPluginTable().exists(index) ? 1 : 0;                                        \
    }                                                                                              \
    STILLORA_PLUGIN_EXPORT int32_t GetParamCount(void) {                                           \
        return StilloraPluginTable().count();                                                      \
    }                                                                                              \
    STILLORA_PLUGIN_EXPORT TPluginParam* GetParam(int32_t index) {                                 \
        return StilloraPluginTable().get(index);                                                   \
    }                                                                                              \
    STILLORA_PLUGIN_EXPORT void RunProcBMP(TPluginBitmap* source, TPluginBitmap* dest) {           \
        stillora::RunPluginEffect(StilloraPluginTable(), source, dest, effect);                    \
    }                                                                                              \
    STILLORA_PLUGIN_EXPORT void RunProc(void*, void*) {}                                           \
    }                                                                                              \
    /* Each export must match its function type in StilloraPlugin.h. */                            \
    namespace {                                                                                    \
    [[maybe_unused]] constexpr TVersionProc stilloraCheckVersion = &Version;                       \
    [[maybe_unused]] constexpr TPluginNameGetProc stilloraCheckName = &PluginNameGet;              \
    [[maybe_unused]] constexpr TSetParamProc stilloraCheckSet = &SetParam;                         \
    [[maybe_unused]] constexpr TParamExistsProc stilloraCheckExists = &ParamExists;                \
    [[maybe_unused]] constexpr TGetParamCountProc stilloraCheckCount = &GetParamCount;             \
    [[maybe_unused]] constexpr TGetParamProc stilloraCheckGet = &GetParam;                         \
    [[maybe_unused]] constexpr TRunProcBMPProc stilloraCheckRunBmp = &RunProcBMP;                  \
    [[maybe_unused]] constexpr TRunProcProc stilloraCheckRun = &RunProc;                           \
    }
