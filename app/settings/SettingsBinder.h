#pragma once
// Applies the settings table to the main window's controls and reads them
// back, and restores and saves window placement.
//
// Controls are found by objectName under the root widget
// (root->findChild<QObject*>(row.control)); a row whose control does not
// exist is skipped on loading and not written on storing, so its stored
// value stays as it is until the control arrives. What each kind of row
// needs of its control:
//   Checked        a bool "checked" property (QCheckBox, checkable QGroupBox).
//   Value          an int "value" property (QSpinBox); SetupControls() sets
//                  "minimum" and "maximum" from the row's range.
//   Position       the same (QSlider or any QAbstractSlider).
//   ItemIndex      a QButtonGroup (parented under the root): the index is the
//                  checked button's position in buttons(), the order they were
//                  added, -1 for none; or an int "itemIndex" property (a radio
//                  group widget of the window's own, which clamps it itself);
//                  or an int "currentIndex" property (QComboBox), clamped to
//                  -1 .. count-1 when the control has an int "count" property.
//   PageIndex      an int "currentIndex" property (QTabWidget, QStackedWidget),
//                  clamped to 0 .. count-1.
//   Text           QPlainTextEdit's plain text, else a QString "text"
//                  property (QLineEdit).
//   Color          a QColor "color" property (declared or dynamic) on the
//                  colour control; stored as red | green << 8 | blue << 16.
//   SourceButtons  ("SelectedSource") checkable buttons btnCapture, btnFiles,
//                  btnURL and btnDVD for source kinds 0 to 3: applying pushes
//                  the matching one down (setChecked, so no clicked handler
//                  runs); storing takes the one that is down.
//   FontName/Size  ("FontDialog.Font.*") the QFont passed to SetFont().
// Hooks (SetHook) serve rows whose value lives in the window rather than in
// a control, e.g. "SelectedSource" -> CurrentSourceKind and
// "ExportMediaType" -> the export kind.
//
// At start-up:  binder.SetupControls(); (after building the controls)
//               RefreshCaptureDevices(); auto r = binder.LoadAll(store);
//               if (!r.sourceFile.isEmpty()) SourceName = r.sourceFile;
//               SourceOpened = false;
//               ... after every window exists: RestoreWindowPlacements(...).
// At closing:   binder.StoreAll(store); SaveWindowPlacements(...);
//               store.Save(); (its result may be ignored: a failed save
//               leaves the previous file in place).

#include "app/settings/SettingsTable.h"

#include <QFont>
#include <QString>

#include <functional>
#include <map>
#include <optional>

class QObject;
class QWidget;

namespace stillora {

struct SettingsLoadResult {
    // Name of the row whose value could not be applied (loading stopped
    // there), or empty when every row was applied.
    QString stoppedAt;
    // The cleaned "edtFiles.Text" when a file of that name exists: it
    // becomes the window's SourceName.
    QString sourceFile;
};

class SettingsBinder {
public:
    struct Hook {
        // Gives the value to store in place of the control's (may be empty).
        std::function<SettingValue()> get;
        // Runs after the value was applied to the control, if there is one.
        std::function<void(const SettingValue&)> set;
    };

    explicit SettingsBinder(QWidget* root) : root_(root) {}

    void SetHook(const QString& rowName, Hook hook) {
        hooks_[rowName.toCaseFolded()] = std::move(hook);
    }
    // The overlay font the window keeps for "FontDialog.Font.Name" and ".Size".
    void SetFont(QFont* font) { font_ = font; }

    // Gives every control present its range and its form value.
    void SetupControls();
    // Reads every row in table order and applies it; stops silently at the
    // first value that cannot be applied, leaving the later controls as they are.
    SettingsLoadResult LoadAll(const SettingsStore& store);
    // Writes every row that has a control or a hook (does not Save()).
    void StoreAll(SettingsStore& store) const;

    // The control of a row, or nullptr.
    QObject* ControlOf(const SettingRow& row) const;

private:
    void Apply(const SettingRow& row, const SettingValue& value);
    std::optional<SettingValue> Current(const SettingRow& row) const;
    const Hook* HookOf(const SettingRow& row) const;

    QWidget* root_;
    QFont* font_ = nullptr;
    std::map<QString, Hook> hooks_;
};

// Window placement: for each of ".Left", ".Top" and, with size,
// ".Width", ".Height", a stored integer is applied. Sizes below 1 are
// ignored, and a window that would land on no screen is moved to the
// primary screen.
void RestorePlacement(const SettingsStore& store, const QString& prefix, QWidget* window,
                      bool withSize = true);
void SavePlacement(SettingsStore& store, const QString& prefix, const QWidget* window,
                   bool withSize = true);

// The four placed windows; null ones are skipped.
struct PlacedWindows {
    QWidget* main = nullptr;        // "AppForm", position only
    QWidget* imageViewer = nullptr; // "frmRender"
    QWidget* timeline = nullptr;    // "frmTimeline"
    QWidget* framePicker = nullptr; // "frmGetFrame"
};
void RestoreWindowPlacements(const SettingsStore& store, const PlacedWindows& windows);
void SaveWindowPlacements(SettingsStore& store, const PlacedWindows& windows);

} // namespace stillora
