#pragma once
// The web gallery: beside every still of a render run a thumbnail and an
// image page, and at the end one index page with a table of thumbnails.
// The index is built in memory while the run goes on; pages are written in
// windows-1252, each under a temporary name first and renamed into place.

#include "export/ExportShell.h"
#include "render/RenderExporter.h"

#include <functional>
#include <memory>

namespace stillora {

// The exporter of "HTML Web Gallery" renders. `titleShown` (may be empty) is
// told the title the index was written under when it differs from the one
// typed: an empty title gives index.html and the title field then shows
// "index". All members run on the render run's thread.
std::unique_ptr<RenderExporter>
CreateGalleryExporter(ExportShell& shell,
                      std::function<void(const QString& title)> titleShown = {});

} // namespace stillora
