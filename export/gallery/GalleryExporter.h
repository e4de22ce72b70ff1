#pragma once

#include "export/ExportShell.h"
#include "render/RenderExporter.h"

#include <memory>

namespace stillora {

// Null until this exporter is built.
std::unique_ptr<RenderExporter> CreateGalleryExporter(ExportShell& shell);

} // namespace stillora
