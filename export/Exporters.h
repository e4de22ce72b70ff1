#pragma once
// Makes the exporter for the export kind and movie kind of a run.

#include "export/ExportShell.h"
#include "render/RenderExporter.h"
#include "render/RenderSettings.h"

#include <memory>

namespace stillora {

// The exporter for `settings.exportKind` (and `settings.movieKind` for
// movies), talking to the user through `shell`, which must outlive it.
// Null for numbered frames, which need none, and for a kind that has no
// exporter in this build (a render of it is then refused).
std::unique_ptr<RenderExporter> CreateExporter(const RenderSettings& settings, ExportShell& shell);

} // namespace stillora
