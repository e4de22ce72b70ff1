// The exporters of web gallery and movie renders, made for each run.

#include "app/MainWindow.h"
#include "export/Exporters.h"
#include "export/gallery/GalleryExporter.h"
#include "views/pages/ConfigPage.h"
#include "views/pages/DialogExportShell.h"

#include <QLineEdit>

namespace stillora {

RenderExporter* TfrmMain::exporter(const RenderSettings& settings) {
    if (!exportShell_) exportShell_ = std::make_unique<DialogExportShell>(this);
    if (settings.exportKind == WebGallery) {
        // The gallery names an untitled index "index"; the title field follows.
        exporter_ = CreateGalleryExporter(*exportShell_, [this](const QString& title) {
            ConfigPage->edtPageTitle->setText(title);
        });
    } else {
        exporter_ = CreateExporter(settings, *exportShell_);
    }
    return exporter_.get();
}

} // namespace stillora
