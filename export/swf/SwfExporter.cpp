#include "export/swf/SwfExporter.h"

namespace stillora {

std::unique_ptr<RenderExporter> CreateSwfExporter(ExportShell& shell) {
    Q_UNUSED(shell);
    return nullptr;
}

} // namespace stillora
