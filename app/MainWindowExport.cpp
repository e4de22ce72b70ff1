// The exporters of web gallery and movie renders, made for each run.

#include "app/MainWindow.h"
#include "export/Exporters.h"
#include "views/pages/DialogExportShell.h"

namespace stillora {

RenderExporter* TfrmMain::exporter(const RenderSettings& settings) {
    if (!exportShell_) exportShell_ = std::make_unique<DialogExportShell>(this);
    exporter_ = CreateExporter(settings, *exportShell_);
    return exporter_.get();
}

} // namespace stillora
