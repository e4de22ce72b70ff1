#pragma once

#include "export/ExportShell.h"
#include "render/RenderExporter.h"

#include <memory>

namespace stillora {

// The "MP4 / WebM Video" movie: every rendered frame becomes `hold` frames
// of an H.264 MP4 or a VP9 WebM at MovieFileName. The file opens at the
// first frame and is completed when the run ends, also after a stop (with
// the frames done so far).
std::unique_ptr<RenderExporter> CreateVideoExporter(ExportShell& shell);

} // namespace stillora
