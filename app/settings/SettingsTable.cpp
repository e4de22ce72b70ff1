#include "app/settings/SettingsTable.h"

#include <QFileInfo>

#include <algorithm>

namespace stillora {

namespace {

using P = ControlProperty;
using T = SettingType;

SettingRow Row(const char* name, T type, P property, const char* control, SettingValue def,
               SettingValue form) {
    return SettingRow{name, type, property, control, std::move(def), std::move(form)};
}

SettingRow Ranged(SettingRow row, int minimum, int maximum) {
    row.ranged = true;
    row.minimum = minimum;
    row.maximum = maximum;
    return row;
}

SettingRow WithRule(SettingRow row, TextRule rule) {
    row.rule = rule;
    return row;
}

SettingRow Check(const char* name, const char* control, bool def, bool form) {
    return Row(name, T::Check, P::Checked, control, int32_t(def), int32_t(form));
}

SettingRow Spin(const char* name, const char* control, int def, int form, int min, int max) {
    return Ranged(Row(name, T::Integer, P::Value, control, def, form), min, max);
}

SettingRow Text(const char* name, const char* control, const char* def, const char* form) {
    return Row(name, T::Text, P::Text, control, QString::fromUtf8(def), QString::fromUtf8(form));
}

SettingRow Colour(const char* name, const char* control, int def, int form) {
    return Row(name, T::Colour, P::Color, control, def, form);
}

constexpr int kWhite = 16777215;
constexpr int kBlack = 0;

std::vector<SettingRow> BuildTable() {
    return {
        // Source kind: 0 live, 1 file, 2 stream, 3 DVD; no button down on the form.
        Ranged(Row("SelectedSource", T::Integer, P::SourceButtons, "", 1, -1), 0, 3),
        // Export kind: numbered frames, web gallery, slideshow/movie.
        Ranged(Row("ExportMediaType", T::Integer, P::ItemIndex, "rgExportAs", 0, 0), 0, 2),
        // Capture devices: clamped to the list's length when applied.
        Row("edtCapture.ItemIndex", T::Integer, P::ItemIndex, "edtCapture", 0, 0),
        Ranged(Row("rgExportType.ItemIndex", T::Integer, P::ItemIndex, "rgExportType", 0, 0), 0, 1),
        Check("cbSelname.Checked", "cbSelName", true, true),
        Check("cbSeparator.Checked", "cbSeparator", true, true),
        Text("edtSeparator.Text", "edtSeparator", "_", "_"),
        Spin("spinDigits.Value", "spinDigits", 3, 5, 1, 12),
        Check("cbSkipFrames.Checked", "cbSkipFrames", false, false),
        Spin("spinSkipFrames.Value", "spinSkipFrames", 5, 1, 1, 9999),
        Check("cbPreviewDelay.Checked", "cbPreviewDelay", false, false),
        Spin("spinPreviewDelay.Value", "spinPreviewDelay", 25, 100, 25, 5000),
        Check("cbTime.Checked", "cbTime", false, false),
        Check("cbDate.Checked", "cbDate", false, false),
        Spin("spinThumbSize.Value", "spinThumbSize", 10, 20, 1, 100),
        Ranged(Row("tbJpegComp.Position", T::Integer, P::Position, "tbJPEGComp", 65, 65), 1, 100),
        // Movie kind: SWF slideshow, AVI, animated GIF, MP4 / WebM video.
        Ranged(Row("pagesMovie.ActivePageIndex", T::Integer, P::PageIndex, "pagesMovie", 0, 0), 0,
               3),
        Spin("spinFramesPerSlide.Value", "spinFramesPerSlide", 60, 10, 1, 9999),
        Spin("spinFramesPerFade.Value", "spinFramesPerFade", 30, 30, 1, 9999),
        Spin("spinFrameRate.Value", "spinFrameRate", 30, 30, 1, 30),
        Check("cbCrossfade.Checked", "cbCrossfade", true, true),
        Spin("spinAVIFrameRate.Value", "spinAVIFrameRate", 1, 1, 1, 30),
        Spin("spinGIFFrameDuration.Value", "spinGIFFrameDuration", 1000, 1000, 0, 99999),
        Check("chkGIFLoop.Checked", "chkGIFLoop", false, false),
        Text("edtPageTitle.text", "edtPageTitle", "My Photo Gallery", ""),
        WithRule(Text("jvExportFolder.text", "jvExportFolder", "", ""),
                 TextRule::TrailingSeparator),
        Check("cbSuperimpose.Checked", "cbSuperimpose", false, false),
        Text("siText.Text", "siText", "© 2026 Stillora", "© 2026 Stillora"),
        // Ten positions; no item on the form.
        Ranged(Row("siPosition.ItemIndex", T::Integer, P::ItemIndex, "siPosition", 0, -1), -1, 9),
        Colour("siColor.Color", "siColor", kWhite, kWhite),
        Colour("siShadow.Color", "siShadow", kBlack, kBlack),
        Row("FontDialog.Font.Name", T::Text, P::FontName, "", QStringLiteral("Verdana"),
            QStringLiteral("MS Sans Serif")),
        // A font needs a positive size.
        Ranged(Row("FontDialog.Font.Size", T::Integer, P::FontSize, "", 12, 8), 1, 999),
        Check("cbsiBold.Checked", "cbsiBold", false, false),
        Check("cbSeekDelay.Checked", "cbSeekDelay", true, true),
        Spin("spinSeekDelay.Value", "spinSeekDelay", 100, 100, 1, 999),
        WithRule(Text("edtFiles.Text", "edtFiles", "", ""), TextRule::StripQuotes),
        Text("meTableWidth.Text", "meTableWidth", "0800", "800"),
        Spin("spinCols.Value", "spinCols", 5, 5, 1, 25),
        Spin("spinRows.Value", "spinRows", 5, 5, 1, 25),
        Colour("cbBackColor.Color", "cbBackColor", kBlack, kBlack),
        Colour("cbTextColor.Color", "cbTextColor", kWhite, kWhite),
        Colour("cbLinkColor.Color", "cbLinkColor", 16686740, 16686740),
        Colour("cbVisitedColor.Color", "cbVisitedColor", 11292717, 11292717),
        Check("cbEdge.Checked", "cbEdge", false, false),
        Spin("spinCellSpacing.Value", "spinCellSpacing", 1, 1, 0, 9),
        Spin("spinCellPadding.Value", "spinCellPadding", 4, 4, 0, 9),
        Text("edtExportFileName.text", "edtExportFileName", "untitled.swf", ""),
        // The AVI codec and options last chosen in the compression dialog
        // (no control: the window keeps them); an empty handler proposes Cinepak.
        Text("AviCompressor.Handler", "", "", ""),
        Ranged(Row("AviCompressor.Quality", T::Integer, P::Value, "", 5000, 5000), 0, 10000),
        Ranged(Row("AviCompressor.KeyFrameEvery", T::Integer, P::Value, "", 18, 18), 1, 9999),
        Ranged(Row("AviCompressor.BytesPerSecond", T::Integer, P::Value, "", 153600, 153600), 1024,
               1 << 30),
        Ranged(Row("AviCompressor.Flags", T::Integer, P::Value, "", 6, 6), 0, 6),
        // The MP4 / WebM Video page: format (0 MP4, 1 WebM), frame rate,
        // frames each still is held for, constant rate factor.
        Ranged(Row("rgVideoFormat.ItemIndex", T::Integer, P::ItemIndex, "rgVideoFormat", 0, 0), 0,
               1),
        Spin("spinVideoFrameRate.Value", "spinVideoFrameRate", 25, 25, 1, 60),
        Spin("spinVideoHold.Value", "spinVideoHold", 1, 1, 1, 9999),
        Spin("spinVideoQuality.Value", "spinVideoQuality", 23, 23, 0, 51),
    };
}

} // namespace

const std::vector<SettingRow>& SettingsTable() {
    static const std::vector<SettingRow> table = BuildTable();
    return table;
}

const SettingRow* FindSettingRow(const QString& name) {
    for (const SettingRow& row : SettingsTable())
        if (row.name.compare(name, Qt::CaseInsensitive) == 0) return &row;
    return nullptr;
}

QString StripQuotes(const QString& text) {
    QString result = text;
    if (result.startsWith('"')) result.remove(0, 1);
    if (result.endsWith('"')) result.chop(1);
    return result;
}

QString WithTrailingSeparator(const QString& folder) {
    if (folder.isEmpty() || folder.endsWith('/')) return folder;
    return folder + '/';
}

bool ConvertForRow(const SettingRow& row, const SettingValue& stored, SettingValue& out) {
    if (row.type == SettingType::Text) {
        QString text = std::holds_alternative<QString>(stored)
                           ? std::get<QString>(stored)
                           : QString::number(std::get<int32_t>(stored));
        if (row.rule == TextRule::StripQuotes) text = StripQuotes(text);
        if (row.rule == TextRule::TrailingSeparator) text = WithTrailingSeparator(text);
        out = text;
        return true;
    }
    int32_t number;
    if (const int32_t* stored32 = std::get_if<int32_t>(&stored)) {
        number = *stored32;
    } else {
        bool ok = false;
        number = std::get<QString>(stored).trimmed().toInt(&ok);
        if (!ok) return false;
    }
    switch (row.type) {
    case SettingType::Check:
        number = number != 0 ? 1 : 0;
        break;
    case SettingType::Colour:
        number &= 0xFFFFFF;
        break;
    default:
        if (row.ranged) number = std::clamp<int32_t>(number, row.minimum, row.maximum);
        break;
    }
    out = number;
    return true;
}

const SettingValue* ResolvedSettings::value(const QString& name) const {
    for (const ResolvedSetting& r : rows)
        if (r.row->name.compare(name, Qt::CaseInsensitive) == 0) return &r.value;
    return nullptr;
}

int ResolvedSettings::integer(const QString& name) const {
    const SettingValue* v = value(name);
    return v && std::holds_alternative<int32_t>(*v) ? std::get<int32_t>(*v) : 0;
}

QString ResolvedSettings::text(const QString& name) const {
    const SettingValue* v = value(name);
    return v && std::holds_alternative<QString>(*v) ? std::get<QString>(*v) : QString();
}

ResolvedSettings ResolveSettings(const SettingsStore& store) {
    ResolvedSettings result;
    for (const SettingRow& row : SettingsTable()) {
        SettingValue value;
        const bool stopped = !result.stoppedAt.isEmpty();
        if (!stopped &&
            !ConvertForRow(row, store.ReadSettingOrDefault(row.name, row.defaultValue), value))
            result.stoppedAt = row.name;
        if (!result.stoppedAt.isEmpty()) {
            result.rows.push_back({&row, row.formValue, false});
            continue;
        }
        result.rows.push_back({&row, value, true});
        if (row.rule == TextRule::StripQuotes) {
            const QString file = std::get<QString>(value);
            if (!file.isEmpty() && QFileInfo(file).isFile()) result.sourceFile = file;
        }
    }
    return result;
}

void StoreSettingValue(SettingsStore& store, const SettingRow& row, const SettingValue& value) {
    if (row.type == SettingType::Text) {
        // Texts are stored as the control shows them; only the folder rule
        // applies on writing.
        QString text = std::holds_alternative<QString>(value)
                           ? std::get<QString>(value)
                           : QString::number(std::get<int32_t>(value));
        if (row.rule == TextRule::TrailingSeparator) text = WithTrailingSeparator(text);
        store.WriteSetting(row.name, text);
        return;
    }
    SettingValue converted;
    if (ConvertForRow(row, value, converted)) store.WriteSetting(row.name, converted);
}

} // namespace stillora
