// The exporters of web gallery and movie renders, made for each run.

#include "app/MainWindow.h"
#include "app/settings/SettingsBinder.h"
#include "export/Exporters.h"
#include "export/gallery/GalleryExporter.h"
#include "export/swf/SwfExporter.h"
#include "views/pages/ConfigPage.h"
#include "views/pages/DialogExportShell.h"

#include <QLineEdit>

namespace stillora {

RenderExporter* TfrmMain::exporter(const RenderSettings& settings) {
    if (!exportShell_) {
        auto shell = std::make_unique<DialogExportShell>(this);
        shell->setAviChoiceKeeper(
            [this](const AviSettings& chosen) { ConfigPage->aviCompression = chosen; });
        exportShell_ = std::move(shell);
    }
    if (settings.exportKind == WebGallery) {
        // The gallery names an untitled index "index"; the title field follows.
        exporter_ = CreateGalleryExporter(*exportShell_, [this](const QString& title) {
            ConfigPage->edtPageTitle->setText(title);
        });
    } else if (settings.exportKind == MovieExport && settings.movieKind == MovieSwf) {
        // A movie name chosen in the file dialog at the end goes into the field.
        exporter_ = CreateSwfExporter(*exportShell_, [this](const QString& name) {
            ConfigPage->edtExportFileName->setText(name);
        });
    } else {
        exporter_ = CreateExporter(settings, *exportShell_);
    }
    return exporter_.get();
}

void TfrmMain::BindAviSettings(SettingsBinder& binder) {
    AviSettings& avi = ConfigPage->aviCompression;
    auto integer = [](uint32_t& field) {
        return SettingsBinder::Hook{[&field] { return SettingValue(int32_t(field)); },
                                    [&field](const SettingValue& v) {
                                        if (auto* n = std::get_if<int32_t>(&v))
                                            field = uint32_t(*n);
                                    }};
    };
    binder.SetHook("AviCompressor.Handler", {[&avi] { return SettingValue(avi.handler); },
                                             [&avi](const SettingValue& v) {
                                                 if (auto* t = std::get_if<QString>(&v))
                                                     avi.handler = *t;
                                             }});
    binder.SetHook("AviCompressor.Quality", integer(avi.quality));
    binder.SetHook("AviCompressor.KeyFrameEvery", integer(avi.keyFrameEvery));
    binder.SetHook("AviCompressor.BytesPerSecond", integer(avi.bytesPerSecond));
    binder.SetHook("AviCompressor.Flags", integer(avi.flags));
}

} // namespace stillora
