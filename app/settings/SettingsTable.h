#pragma once
// The settings table: every stored choice of the wizard pages, described
// once as data. Loading and storing both walk it, the window through
// SettingsBinder, the batch renderer (no widgets) through ResolveSettings.

#include "app/settings/SettingsStore.h"

#include <QString>

#include <vector>

namespace stillora {

enum class SettingType {
    Integer, // stored as an integer, clamped to the row's range
    Check,   // stored as 1 (on) or 0 (off); any non-zero integer reads as on
    Colour,  // stored as an integer: red in the low byte, then green, then blue
    Text,
};

// Which property of its control a row drives (see SettingsBinder.h).
enum class ControlProperty {
    Checked,
    Value,
    Position,
    ItemIndex,
    PageIndex,
    Text,
    Color,
    SourceButtons, // which of btnCapture, btnFiles, btnURL, btnDVD is down
    FontName,      // the overlay font the window keeps
    FontSize,
};

// Extra rule applied to a text on reading (and, for the folder, on writing).
enum class TextRule {
    None,
    StripQuotes,       // one leading and one trailing double quote removed
    TrailingSeparator, // a non-empty folder ends with "/"
};

struct SettingRow {
    QString name; // stored name
    SettingType type;
    ControlProperty property;
    QString control;           // objectName of the control; empty for rows without a widget
    SettingValue defaultValue; // when the store has no value
    SettingValue formValue;    // what the control shows before settings are applied
    bool ranged = false;
    int minimum = 0;
    int maximum = 0;
    TextRule rule = TextRule::None;
};

// Every row, in reading order.
const std::vector<SettingRow>& SettingsTable();
// The row of that name (compared without regard to case), or nullptr.
const SettingRow* FindSettingRow(const QString& name);

// Names of the window placement values: prefix + ".Left" and so on.
inline const QString kMainWindowPlacement = QStringLiteral("AppForm"); // Left and Top only
inline const QString kImageViewerPlacement = QStringLiteral("frmRender");
inline const QString kTimelinePlacement = QStringLiteral("frmTimeline");
inline const QString kFramePickerPlacement = QStringLiteral("frmGetFrame");

// Text helpers of the two special rows.
QString StripQuotes(const QString& text);
QString WithTrailingSeparator(const QString& folder);

// A stored value turned into the row's type: integers, check and colour
// rows take integers and texts that read as integers; text rows take texts
// and integers (as decimal text). Returns false when the value cannot be
// converted. Integers are clamped to the row's range, check values become
// 0 or 1, colours lose their top byte, and texts get the row's rule.
bool ConvertForRow(const SettingRow& row, const SettingValue& stored, SettingValue& out);

// What every row holds after loading, without any widget.
struct ResolvedSetting {
    const SettingRow* row;
    SettingValue value;
    bool applied; // false from the first row that could not be applied on
};

struct ResolvedSettings {
    std::vector<ResolvedSetting> rows; // table order
    // Name of the row whose stored value could not be applied (loading
    // stopped there; it and every later row keep their form values), or empty.
    QString stoppedAt;
    // The cleaned "edtFiles.Text" when a file of that name exists.
    QString sourceFile;

    const SettingValue* value(const QString& name) const;
    int integer(const QString& name) const; // 0 when missing or a text
    QString text(const QString& name) const;
};

// Reads every row in table order with its default. Loading stops silently at
// the first value that cannot be converted.
ResolvedSettings ResolveSettings(const SettingsStore& store);

// Stores one row's value with the row's conversion (check boxes as 0 or 1,
// the export folder with its trailing separator). A value of the wrong type
// for its row is stored as converted when possible, else left out.
void StoreSettingValue(SettingsStore& store, const SettingRow& row, const SettingValue& value);

} // namespace stillora
