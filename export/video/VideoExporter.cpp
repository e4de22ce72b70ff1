#include "export/video/VideoExporter.h"

namespace stillora {

std::unique_ptr<RenderExporter> CreateVideoExporter(ExportShell& shell) {
    Q_UNUSED(shell);
    return nullptr;
}

} // namespace stillora
