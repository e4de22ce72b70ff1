#pragma once
// The exporter of a movie whose frames are encoded as they arrive (animated
// GIF, MP4, WebM): opened at the first picture, written beside its name and
// renamed when the run finishes. Only how the writer opens differs per kind.
// Called on the run's thread.

#include "export/ExportShell.h"
#include "export/MovieMessages.h"
#include "render/RenderExporter.h"

namespace stillora {

template <class Writer>
class StreamedMovieExporter : public RenderExporter {
public:
    explicit StreamedMovieExporter(ExportShell& shell) : shell_(shell) {}

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
        if (!writer_.isOpen() && !openWriter(frame.picture.size(), &reason))
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

protected:
    // Opens writer_ on movieFileName_ for pictures of `size`.
    virtual bool openWriter(QSize size, QString* reason) = 0;

    Writer writer_;
    RenderSettings settings_;
    QString movieFileName_;

private:
    bool stop(const QString& message) {
        failed_ = true;
        writer_.discard();
        shell_.reportError(message);
        return false;
    }

    ExportShell& shell_;
    bool failed_ = false;
};

} // namespace stillora
