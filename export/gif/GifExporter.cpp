#include "export/gif/GifExporter.h"

#include "export/MovieMessages.h"
#include "export/gif/GifWriter.h"

namespace stillora {

namespace {

class GifExporter : public RenderExporter {
public:
    explicit GifExporter(ExportShell& shell) : shell_(shell) {}

    void begin(const RenderSettings& settings, const QString& movieFileName) override {
        writer_.discard();
        settings_ = settings;
        movieFileName_ = movieFileName;
        failed_ = false;
    }

    bool wantsStills(const RenderSettings&) const override { return false; }

    bool addFrame(const ExportFrame& frame) override {
        if (failed_) return false;
        // A frame that could not be fetched has no picture: leave it out.
        if (frame.picture.isNull()) return true;
        QString reason;
        if (!writer_.isOpen()) {
            AnimatedGifWriter::Options options;
            options.delayCs = GifDelayFromMs(settings_.gif.frameDurationMs);
            options.loop = settings_.gif.loop;
            if (!writer_.open(movieFileName_, frame.picture.size(), options, &reason))
                return stop(CannotCreateMovieMessage(movieFileName_, reason));
        }
        if (!writer_.addFrame(frame.picture, &reason))
            return stop(CannotWriteMovieMessage(movieFileName_, reason));
        return true;
    }

    void finish(const ExportSummary&) override {
        if (!writer_.isOpen()) return;
        QString reason;
        if (writer_.close(&reason))
            shell_.outputWritten(movieFileName_);
        else
            shell_.reportError(CannotWriteMovieMessage(movieFileName_, reason));
    }

    void abandon() override { writer_.discard(); }

private:
    bool stop(const QString& message) {
        failed_ = true;
        writer_.discard();
        shell_.reportError(message);
        return false;
    }

    ExportShell& shell_;
    AnimatedGifWriter writer_;
    RenderSettings settings_;
    QString movieFileName_;
    bool failed_ = false;
};

} // namespace

std::unique_ptr<RenderExporter> CreateGifExporter(ExportShell& shell) {
    return std::make_unique<GifExporter>(shell);
}

} // namespace stillora
