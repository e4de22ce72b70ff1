#pragma once

#include "export/ExportShell.h"
#include "render/RenderExporter.h"

#include <functional>
#include <memory>

namespace stillora {

// The "Shockwave FLASH" slideshow: every still of a render run becomes a
// slide of one SWF movie, held in memory and written to the output file
// name when the run ends; then the preview page is offered (the window) or
// written on request (the batch tool). When the output file name is empty
// the window asks for one and `fileNameChosen` (may be empty) is told the
// name chosen. All members run on the render run's thread.
std::unique_ptr<RenderExporter>
CreateSwfExporter(ExportShell& shell, std::function<void(const QString&)> fileNameChosen = {});

} // namespace stillora
