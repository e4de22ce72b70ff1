#include "app/settings/SettingsBinder.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QColor>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace stillora {

namespace {

const char* const kSourceButtons[] = {"btnCapture", "btnFiles", "btnURL", "btnDVD"};

int ToInt(const SettingValue& value) {
    return std::holds_alternative<int32_t>(value) ? std::get<int32_t>(value) : 0;
}

QString ToText(const SettingValue& value) {
    return std::holds_alternative<QString>(value) ? std::get<QString>(value)
                                                  : QString::number(std::get<int32_t>(value));
}

bool HasProperty(const QObject* object, const char* name) {
    return object->property(name).isValid();
}

// Checks one button, or none when index is out of the list (an exclusive
// group refuses to release its last checked button, so it is lifted).
void CheckOnly(const QList<QAbstractButton*>& buttons, int index) {
    for (int i = 0; i < buttons.size(); ++i) {
        QAbstractButton* button = buttons[i];
        if (!button) continue;
        QButtonGroup* group = button->group();
        const bool exclusive = group && group->exclusive();
        const bool autoExclusive = button->autoExclusive();
        if (i != index) {
            if (exclusive) group->setExclusive(false);
            button->setAutoExclusive(false);
        }
        button->setChecked(i == index);
        if (i != index) {
            if (exclusive) group->setExclusive(true);
            button->setAutoExclusive(autoExclusive);
        }
    }
}

int CheckedIndex(const QList<QAbstractButton*>& buttons) {
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons[i] && buttons[i]->isChecked()) return i;
    return -1;
}

void SetIndexClamped(QObject* control, const char* property, int index, int lowest) {
    if (HasProperty(control, "count")) {
        const int count = control->property("count").toInt();
        index = count > 0 ? std::clamp(index, lowest, count - 1) : -1;
    }
    control->setProperty(property, index);
}

int ColourValue(const QColor& c) {
    return c.red() | c.green() << 8 | c.blue() << 16;
}

QColor ColourOf(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

std::optional<int> ReadInteger(const SettingsStore& store, const QString& name) {
    const std::optional<SettingValue> value = store.ReadSetting(name);
    if (!value) return std::nullopt;
    if (const int32_t* number = std::get_if<int32_t>(&*value)) return *number;
    bool ok = false;
    const int number = std::get<QString>(*value).trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

} // namespace

QObject* SettingsBinder::ControlOf(const SettingRow& row) const {
    if (!root_ || row.control.isEmpty()) return nullptr;
    return root_->findChild<QObject*>(row.control);
}

const SettingsBinder::Hook* SettingsBinder::HookOf(const SettingRow& row) const {
    auto found = hooks_.find(row.name.toCaseFolded());
    return found == hooks_.end() ? nullptr : &found->second;
}

void SettingsBinder::Apply(const SettingRow& row, const SettingValue& value) {
    if (row.property == ControlProperty::SourceButtons) {
        QList<QAbstractButton*> buttons;
        for (const char* name : kSourceButtons)
            buttons << (root_ ? root_->findChild<QAbstractButton*>(name) : nullptr);
        CheckOnly(buttons, ToInt(value));
        return;
    }
    if (row.property == ControlProperty::FontName || row.property == ControlProperty::FontSize) {
        if (!font_) return;
        if (row.property == ControlProperty::FontName)
            font_->setFamily(ToText(value));
        else
            font_->setPointSize(std::max(1, ToInt(value)));
        return;
    }
    QObject* control = ControlOf(row);
    if (!control) return;
    switch (row.property) {
    case ControlProperty::Checked:
        control->setProperty("checked", ToInt(value) != 0);
        break;
    case ControlProperty::Value:
    case ControlProperty::Position:
        control->setProperty("value", ToInt(value));
        break;
    case ControlProperty::ItemIndex:
        if (auto* group = qobject_cast<QButtonGroup*>(control))
            CheckOnly(group->buttons(), std::min(ToInt(value), int(group->buttons().size()) - 1));
        else if (HasProperty(control, "itemIndex"))
            control->setProperty("itemIndex", ToInt(value));
        else
            SetIndexClamped(control, "currentIndex", ToInt(value), -1);
        break;
    case ControlProperty::PageIndex:
        SetIndexClamped(control, "currentIndex", ToInt(value), 0);
        break;
    case ControlProperty::Text:
        if (auto* edit = qobject_cast<QPlainTextEdit*>(control))
            edit->setPlainText(ToText(value));
        else
            control->setProperty("text", ToText(value));
        break;
    case ControlProperty::Color:
        control->setProperty("color", ColourOf(ToInt(value)));
        break;
    default:
        break;
    }
}

std::optional<SettingValue> SettingsBinder::Current(const SettingRow& row) const {
    if (const Hook* hook = HookOf(row); hook && hook->get) return hook->get();
    if (row.property == ControlProperty::SourceButtons) {
        QList<QAbstractButton*> buttons;
        for (const char* name : kSourceButtons)
            buttons << (root_ ? root_->findChild<QAbstractButton*>(name) : nullptr);
        if (std::all_of(buttons.begin(), buttons.end(), [](auto* b) { return b == nullptr; }))
            return std::nullopt;
        const int index = CheckedIndex(buttons);
        if (index < 0) return std::nullopt; // no source chosen: keep what was stored
        return index;
    }
    if (row.property == ControlProperty::FontName || row.property == ControlProperty::FontSize) {
        if (!font_) return std::nullopt;
        if (row.property == ControlProperty::FontName) return font_->family();
        return font_->pointSize();
    }
    QObject* control = ControlOf(row);
    if (!control) return std::nullopt;
    switch (row.property) {
    case ControlProperty::Checked:
        return int32_t(control->property("checked").toBool() ? 1 : 0);
    case ControlProperty::Value:
    case ControlProperty::Position:
        return control->property("value").toInt();
    case ControlProperty::ItemIndex:
        if (auto* group = qobject_cast<QButtonGroup*>(control))
            return CheckedIndex(group->buttons());
        if (HasProperty(control, "itemIndex")) return control->property("itemIndex").toInt();
        return control->property("currentIndex").toInt();
    case ControlProperty::PageIndex:
        return control->property("currentIndex").toInt();
    case ControlProperty::Text:
        if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) return edit->toPlainText();
        return control->property("text").toString();
    case ControlProperty::Color:
        return ColourValue(control->property("color").value<QColor>());
    default:
        return std::nullopt;
    }
}

void SettingsBinder::SetupControls() {
    for (const SettingRow& row : SettingsTable()) {
        QObject* control = ControlOf(row);
        if (control && row.ranged &&
            (row.property == ControlProperty::Value || row.property == ControlProperty::Position)) {
            control->setProperty("minimum", row.minimum);
            control->setProperty("maximum", row.maximum);
        }
        Apply(row, row.formValue);
    }
}

SettingsLoadResult SettingsBinder::LoadAll(const SettingsStore& store) {
    const ResolvedSettings resolved = ResolveSettings(store);
    for (const ResolvedSetting& r : resolved.rows) {
        if (!r.applied) break; // the later controls keep their form values
        Apply(*r.row, r.value);
        if (const Hook* hook = HookOf(*r.row); hook && hook->set) hook->set(r.value);
    }
    return SettingsLoadResult{resolved.stoppedAt, resolved.sourceFile};
}

void SettingsBinder::StoreAll(SettingsStore& store) const {
    for (const SettingRow& row : SettingsTable())
        if (const std::optional<SettingValue> value = Current(row))
            StoreSettingValue(store, row, *value);
}

void RestorePlacement(const SettingsStore& store, const QString& prefix, QWidget* window,
                      bool withSize) {
    if (!window) return;
    const std::optional<int> left = ReadInteger(store, prefix + ".Left");
    const std::optional<int> top = ReadInteger(store, prefix + ".Top");
    if (left || top) window->move(left.value_or(window->x()), top.value_or(window->y()));
    if (withSize) {
        const std::optional<int> width = ReadInteger(store, prefix + ".Width");
        const std::optional<int> height = ReadInteger(store, prefix + ".Height");
        const int w = width && *width > 0 ? *width : window->width();
        const int h = height && *height > 0 ? *height : window->height();
        if (w != window->width() || h != window->height()) window->resize(w, h);
    }
    // A window placed on a screen that is gone would be out of reach.
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return;
    const QRect placed(window->pos(), window->size());
    for (const QScreen* screen : screens)
        if (screen->availableGeometry().intersects(placed)) return;
    window->move(QGuiApplication::primaryScreen()->availableGeometry().topLeft());
}

void SavePlacement(SettingsStore& store, const QString& prefix, const QWidget* window,
                   bool withSize) {
    if (!window) return;
    store.WriteSetting(prefix + ".Left", window->x());
    store.WriteSetting(prefix + ".Top", window->y());
    if (!withSize) return;
    store.WriteSetting(prefix + ".Width", window->width());
    store.WriteSetting(prefix + ".Height", window->height());
}

void RestoreWindowPlacements(const SettingsStore& store, const PlacedWindows& windows) {
    RestorePlacement(store, kMainWindowPlacement, windows.main, false);
    RestorePlacement(store, kImageViewerPlacement, windows.imageViewer);
    RestorePlacement(store, kTimelinePlacement, windows.timeline);
    RestorePlacement(store, kFramePickerPlacement, windows.framePicker);
}

void SaveWindowPlacements(SettingsStore& store, const PlacedWindows& windows) {
    SavePlacement(store, kMainWindowPlacement, windows.main, false);
    SavePlacement(store, kImageViewerPlacement, windows.imageViewer);
    SavePlacement(store, kTimelinePlacement, windows.timeline);
    SavePlacement(store, kFramePickerPlacement, windows.framePicker);
}

} // namespace stillora
