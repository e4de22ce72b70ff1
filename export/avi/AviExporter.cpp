#include "export/avi/AviExporter.h"

namespace stillora {

std::unique_ptr<RenderExporter> CreateAviExporter(ExportShell& shell) {
    Q_UNUSED(shell);
    return nullptr;
}

} // namespace stillora
