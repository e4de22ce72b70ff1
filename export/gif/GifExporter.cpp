#include "export/gif/GifExporter.h"

namespace stillora {

std::unique_ptr<RenderExporter> CreateGifExporter(ExportShell& shell) {
    Q_UNUSED(shell);
    return nullptr;
}

} // namespace stillora
