#include "export/video/VideoExporter.h"

#include "export/StreamedMovieExporter.h"
#include "export/video/VideoWriter.h"

namespace stillora {

namespace {

class VideoExporter : public StreamedMovieExporter<VideoMovieWriter> {
public:
    using StreamedMovieExporter::StreamedMovieExporter;

protected:
    bool openWriter(QSize size, QString* reason) override {
        return writer_.open(movieFileName_, size, settings_.video, reason);
    }
};

} // namespace

std::unique_ptr<RenderExporter> CreateVideoExporter(ExportShell& shell) {
    return std::make_unique<VideoExporter>(shell);
}

} // namespace stillora
