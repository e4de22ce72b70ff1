#include "export/Exporters.h"

#include "export/avi/AviExporter.h"
#include "export/gallery/GalleryExporter.h"
#include "export/gif/GifExporter.h"
#include "export/swf/SwfExporter.h"
#include "export/video/VideoExporter.h"

namespace stillora {

std::unique_ptr<RenderExporter> CreateExporter(const RenderSettings& settings, ExportShell& shell) {
    switch (settings.exportKind) {
    case WebGallery:
        return CreateGalleryExporter(shell);
    case MovieExport:
        switch (settings.movieKind) {
        case MovieSwf:
            return CreateSwfExporter(shell);
        case MovieAvi:
            return CreateAviExporter(shell);
        case MovieGif:
            return CreateGifExporter(shell);
        case MovieVideo:
            return CreateVideoExporter(shell);
        }
        return nullptr;
    default:
        return nullptr;
    }
}

} // namespace stillora
