#pragma once

#include "export/ExportShell.h"
#include "render/RenderExporter.h"

#include <memory>

namespace stillora {

// The "Windows AVI" movie: every rendered frame becomes one frame of the
// movie at MovieFileName, opened at the first frame with the codec chosen
// in the compression dialog (the shell's), closed when the run ends.
std::unique_ptr<RenderExporter> CreateAviExporter(ExportShell& shell);

} // namespace stillora
