#pragma once
// One loaded plug-in as the host sees it: the library handle and the eight
// bound entry points. Effect entries on selections are copies of a record.

#include "plugins/common/StilloraPlugin.h"

#include <cstdint>
#include <string>
#include <vector>

namespace stillora {

struct TPluginRecord {
    void* Handle = nullptr; // owned by the loader; libraries are never unloaded
    TVersionProc Version = nullptr;
    TPluginNameGetProc PluginNameGet = nullptr;
    TRunProcProc RunProc = nullptr;
    TRunProcBMPProc RunProcBMP = nullptr;
    TSetParamProc SetParam = nullptr;
    TGetParamProc GetParam = nullptr;
    TGetParamCountProc GetParamCount = nullptr;
    TParamExistsProc ParamExists = nullptr;
    // The settings dialog's last control state, "NAME=value" pairs joined by ",".
    std::string Settings;

    // The plug-in's display name, or empty when it has none.
    std::string name() const {
        const char* text = PluginNameGet ? PluginNameGet() : nullptr;
        return text ? std::string(text) : std::string();
    }
};

using PluginTable = std::vector<TPluginRecord>;

// A parameter value as a 32-bit integer: bytes and booleans (1 or 0) widened.
inline int32_t VariantInt(const TPluginVariant& v) {
    switch (v.vt) {
    case STILLORA_VT_UI1:
        return v.u.bVal;
    case STILLORA_VT_BOOL:
        return v.u.boolVal ? 1 : 0;
    default:
        return v.u.lVal;
    }
}

// Index of the first record whose name equals `name` exactly, or -1.
inline int FindPluginByName(const PluginTable& table, const std::string& name) {
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].name() == name) return static_cast<int>(i);
    return -1;
}

} // namespace stillora
