#pragma once

#include "export/ExportShell.h"
#include "render/RenderExporter.h"

#include <memory>

namespace stillora {

// The "Animated GIF" movie: every rendered frame becomes one frame of the GIF
// at MovieFileName, shown for the frame duration, looping when asked. The
// file opens at the first frame and is completed when the run ends, also
// after a stop (with the frames done so far).
std::unique_ptr<RenderExporter> CreateGifExporter(ExportShell& shell);

} // namespace stillora
