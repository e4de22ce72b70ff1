#include "export/gallery/GalleryExporter.h"

namespace stillora {

std::unique_ptr<RenderExporter> CreateGalleryExporter(ExportShell& shell) {
    Q_UNUSED(shell);
    return nullptr;
}

} // namespace stillora
