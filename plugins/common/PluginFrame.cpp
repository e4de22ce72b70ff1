#include "plugins/common/PluginFrame.h"

#include <cmath>
#include <cstring>

namespace stillora {

namespace {
// OLE tags beyond the three the interface stores, accepted when reading.
enum : uint16_t {
    kVtI2 = 2,
    kVtR4 = 4,
    kVtR8 = 5,
    kVtI1 = 16,
    kVtUI2 = 18,
    kVtUI4 = 19,
    kVtI8 = 20,
    kVtUI8 = 21,
    kVtInt = 22,
    kVtUInt = 23,
};

template <typename T> T Payload(const TPluginVariant& v) {
    T out;
    std::memcpy(&out, &v.u, sizeof(T));
    return out;
}

int32_t FromReal(double d) {
    if (!(d == d)) return 0; // NaN
    d = std::nearbyint(d);
    if (d >= 2147483647.0) return INT32_MAX;
    if (d <= -2147483648.0) return INT32_MIN;
    return int32_t(d);
}
} // namespace

int32_t VariantToInt(const TPluginVariant& v) {
    switch (v.vt) {
    case STILLORA_VT_I4:
    case kVtInt:
        return Payload<int32_t>(v);
    case STILLORA_VT_UI1:
        return Payload<uint8_t>(v);
    case STILLORA_VT_BOOL:
    case kVtI2:
        return Payload<int16_t>(v);
    case kVtI1:
        return Payload<int8_t>(v);
    case kVtUI2:
        return Payload<uint16_t>(v);
    case kVtUI4:
    case kVtUInt:
        return int32_t(Payload<uint32_t>(v));
    case kVtI8:
    case kVtUI8:
        return int32_t(Payload<int64_t>(v));
    case kVtR4:
        return FromReal(Payload<float>(v));
    case kVtR8:
        return FromReal(Payload<double>(v));
    default:
        return 0;
    }
}

TPluginVariant MakeVariantInt(int32_t value) {
    TPluginVariant v{};
    v.vt = STILLORA_VT_I4;
    v.u.lVal = value;
    return v;
}

TPluginVariant MakeVariantBool(bool value) {
    TPluginVariant v{};
    v.vt = STILLORA_VT_BOOL;
    v.u.boolVal = value ? -1 : 0;
    return v;
}

TPluginVariant MakeVariantByte(uint8_t value) {
    TPluginVariant v{};
    v.vt = STILLORA_VT_UI1;
    v.u.bVal = value;
    return v;
}

TPluginTable::TPluginTable(const char* name, TBuilder builder) {
    setName(name);
    params_.clear();
    if (builder) builder(*this);
}

void TPluginTable::setName(const char* name) {
    std::memset(name_, 0, sizeof(name_));
    if (name) std::strncpy(name_, name, sizeof(name_) - 1);
}

int32_t TPluginTable::addParam(const char* name, uint16_t valueKind, int32_t initial,
                               uint16_t controlKind) {
    names_.emplace_back(name ? name : "");
    TPluginParam p{};
    p.Name = names_.back().c_str();
    p.ValueKind = valueKind;
    p.ControlKind = controlKind;
    if (valueKind == STILLORA_VALUE_BOOLEAN)
        p.Value = MakeVariantBool(initial != 0);
    else if (initial >= 0 && initial <= 255)
        p.Value = MakeVariantByte(uint8_t(initial));
    else
        p.Value = MakeVariantInt(initial);
    p.MinValue = MakeVariantByte(0);
    p.MaxValue = MakeVariantByte(255);
    p.Left = STILLORA_POSITION_AUTO;
    p.Top = STILLORA_POSITION_AUTO;
    params_.push_back(p);
    return count() - 1;
}

int32_t TPluginTable::addRangedInteger(const char* name, uint16_t valueKind, int32_t initial,
                                       uint16_t controlKind, int32_t minimum, int32_t maximum) {
    const int32_t index = addParam(name, valueKind, initial, controlKind);
    params_[size_t(index)].MinValue = MakeVariantInt(minimum);
    params_[size_t(index)].MaxValue = MakeVariantInt(maximum);
    return index;
}

void TPluginTable::set(int32_t index, const TPluginVariant* value) {
    if (!exists(index) || !value) return;
    params_[size_t(index)].Value = *value;
}

const TPluginVariant* TPluginTable::value(int32_t index) const {
    return exists(index) ? &params_[size_t(index)].Value : nullptr;
}

int32_t TPluginTable::intValue(int32_t index) const {
    const TPluginVariant* v = value(index);
    return v ? VariantToInt(*v) : 0;
}

void RunPluginEffect(const TPluginTable& table, TPluginBitmap* source, TPluginBitmap* dest,
                     TEffectProc effect) {
    if (!source || !dest) return;
    source->setPixelFormat(TPixelFormat::pf24bit);
    dest->setPixelFormat(TPixelFormat::pf24bit);
    effect(table, *source, *dest);
    dest->setPixelFormat(TPixelFormat::pf32bit);
}

} // namespace stillora
