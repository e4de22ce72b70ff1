#pragma once
// The real plug-ins of the build tree, loaded as the program loads them.

#include "pluginhost/PluginLoader.h"

#include <QColor>
#include <QImage>

namespace stillora::test {

inline const PluginTable& RealPlugins() {
    static PluginTable table = [] {
        PluginTable t;
        LoadPlugins(STILLORA_PLUGIN_DIR, t);
        return t;
    }();
    return table;
}

inline const TPluginRecord& Plugin(const char* name) {
    const int index = FindPluginByName(RealPlugins(), name);
    if (index < 0) throw std::runtime_error(std::string("plug-in not built: ") + name);
    return RealPlugins()[static_cast<size_t>(index)];
}

inline void SetInt(const TPluginRecord& plugin, int index, int value) {
    TPluginParam* p = plugin.GetParam(index);
    p->Value.vt = STILLORA_VT_I4;
    p->Value.u.llVal = 0;
    p->Value.u.lVal = value;
}

inline void SetBool(const TPluginRecord& plugin, int index, bool value) {
    TPluginParam* p = plugin.GetParam(index);
    p->Value.vt = STILLORA_VT_BOOL;
    p->Value.u.llVal = 0;
    p->Value.u.boolVal = value ? -1 : 0;
}

inline QImage Filled(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace stillora::test
