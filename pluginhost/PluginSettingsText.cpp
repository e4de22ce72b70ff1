#include "pluginhost/PluginSettingsText.h"

#include <QStringList>

#include <algorithm>

namespace stillora {

namespace {

const char* editorPrefix(int controlKind) {
    switch (controlKind) {
    case STILLORA_CONTROL_TRACKBAR:
        return "FRATRACKBAR_";
    case STILLORA_CONTROL_CHECKBOX:
        return "CHECKBOX_";
    case STILLORA_CONTROL_KNOB:
        return "FRARADIOCONTROL_";
    default:
        return nullptr;
    }
}

} // namespace

QString PluginSettingsName(const TPluginRecord& record) {
    return QStringLiteral("PluginSettings.") + QString::fromLocal8Bit(record.name().c_str());
}

int ApplySettingsText(const TPluginRecord& record, const QString& text) {
    if (!record.GetParam || !record.GetParamCount) return 0;
    const int count = record.GetParamCount();
    int written = 0;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString name = item.left(eq).trimmed().toUpper();
        bool ok = false;
        const int value = item.mid(eq + 1).trimmed().toInt(&ok);
        if (!ok) continue;
        const int underscore = name.lastIndexOf(QLatin1Char('_'));
        if (underscore < 0) continue;
        const int index = name.mid(underscore + 1).toInt(&ok);
        if (!ok || index < 0 || index >= count) continue;
        TPluginParam* p = record.GetParam(index);
        const char* prefix = p ? editorPrefix(p->ControlKind) : nullptr;
        if (!prefix || name.left(underscore + 1) != QLatin1String(prefix)) continue;
        if (p->ControlKind == STILLORA_CONTROL_CHECKBOX) {
            p->Value.vt = STILLORA_VT_BOOL;
            p->Value.u.llVal = 0;
            p->Value.u.boolVal = value != 0 ? -1 : 0;
        } else {
            const int lo = VariantInt(p->MinValue), hi = VariantInt(p->MaxValue);
            p->Value.vt = STILLORA_VT_I4;
            p->Value.u.llVal = 0;
            p->Value.u.lVal = lo <= hi ? std::clamp(value, lo, hi) : value;
        }
        ++written;
    }
    return written;
}

} // namespace stillora
