#include "export/video/VideoExporter.h"

#include "export/MovieMessages.h"
#include "export/video/VideoWriter.h"

namespace stillora {

namespace {

class VideoExporter : public RenderExporter {
public:
    explicit VideoExporter(ExportShell& shell) : shell_(shell) {}

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
        if (!writer_.isOpen() &&
            !writer_.open(movieFileName_, frame.picture.size(), settings_.video, &reason))
            return stop(CannotCreateMovieMessage(movieFileName_, reason));
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
    VideoMovieWriter writer_;
    RenderSettings settings_;
    QString movieFileName_;
    bool failed_ = false;
};

} // namespace

std::unique_ptr<RenderExporter> CreateVideoExporter(ExportShell& shell) {
    return std::make_unique<VideoExporter>(shell);
}

} // namespace stillora
