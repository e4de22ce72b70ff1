#include "export/gif/GifExporter.h"

#include "export/StreamedMovieExporter.h"
#include "export/gif/GifWriter.h"

namespace stillora {

namespace {

class GifExporter : public StreamedMovieExporter<AnimatedGifWriter> {
public:
    using StreamedMovieExporter::StreamedMovieExporter;

protected:
    bool openWriter(QSize size, QString* reason) override {
        AnimatedGifWriter::Options options;
        options.delayCs = GifDelayFromMs(settings_.gif.frameDurationMs);
        options.loop = settings_.gif.loop;
        return writer_.open(movieFileName_, size, options, reason);
    }
};

} // namespace

std::unique_ptr<RenderExporter> CreateGifExporter(ExportShell& shell) {
    return std::make_unique<GifExporter>(shell);
}

} // namespace stillora
