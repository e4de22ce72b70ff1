#include "export/swf/SwfExporter.h"

#include "export/MovieMessages.h"
#include "export/swf/SwfMovie.h"
#include "export/swf/SwfPreviewPage.h"

#include <QFileInfo>

namespace stillora {

namespace {

// Black frames before the first slide.
constexpr int kLeadInFrames = 30;

class SwfExporter : public RenderExporter {
public:
    SwfExporter(ExportShell& shell, std::function<void(const QString&)> fileNameChosen)
        : shell_(shell), fileNameChosen_(std::move(fileNameChosen)) {}

    void begin(const RenderSettings& settings, const QString& movieFileName) override {
        settings_ = settings;
        movieFileName_ = movieFileName;
        framesPerSlide_ = qBound(1, settings.framesPerSlide, 9999);
        framesPerFade_ = qBound(1, settings.framesPerFade, 9999);
        rate_ = qBound(1, settings.swfFrameRate, 30);
        movie_.begin();
        started_ = false;
    }

    // The slides are made from the stills.
    bool wantsStills(const RenderSettings&) const override { return true; }

    bool addFrame(const ExportFrame& frame) override {
        if (!started_) {
            movie_.addEmptyFrames(kLeadInFrames);
            started_ = true;
        }
        // The slide box is the still's own size, so the whole picture shows
        // in a movie frame of that size.
        movie_.addSlide(frame.stillPath, 0, 0, frame.picture.width(), frame.picture.height(),
                        static_cast<uint16_t>(frame.frameCounter & 0xFFFF), framesPerSlide_,
                        settings_.crossfade, framesPerFade_);
        return true;
    }

    void finish(const ExportSummary& summary) override {
        const QString name = outputName();
        movie_.fadeOutToBackground(framesPerFade_);
        movie_.addEmptyFrames(framesPerSlide_);
        QString error;
        const bool written = movie_.writeFile(name, summary.movieFrameWidth,
                                              summary.movieFrameHeight, rate_, &error);
        movie_.discard();

        swf::SwfPreviewFacts facts{name,
                                   summary.movieFrameWidth,
                                   summary.movieFrameHeight,
                                   summary.frameCounter,
                                   rate_,
                                   framesPerSlide_,
                                   framesPerFade_};
        if (!shell_.interactive()) {
            if (!written) {
                shell_.reportError(CannotWriteMovieMessage(name, error));
                return;
            }
            shell_.outputWritten(QFileInfo(name).absoluteFilePath());
            if (settings_.swfPreviewPage && writePage(facts))
                shell_.outputWritten(QFileInfo(swf::SwfPreviewPagePath(name)).absoluteFilePath());
            return;
        }
        // The window says nothing about a movie it could not write: the
        // confirmation follows either way.
        const QString question =
            QStringLiteral("The Macromedia Flash File (SWF) was created in:\r\n\r\n") + name +
            QStringLiteral("\r\n\r\nDo you want to view the result?");
        if (shell_.ask(RenderPrompter::Confirmation, question,
                       RenderPrompter::Yes | RenderPrompter::No) != RenderPrompter::Yes)
            return;
        if (writePage(facts))
            shell_.openDocument(QFileInfo(swf::SwfPreviewPagePath(name)).absoluteFilePath());
    }

    void abandon() override { movie_.discard(); }

private:
    // The output file name; an empty one is asked for in the window (the
    // batch tool falls back to the run's movie file name).
    QString outputName() {
        QString name = settings_.exportFileName;
        if (!name.isEmpty()) return name;
        if (!shell_.interactive()) return movieFileName_;
        name = shell_.askSaveFileName(QStringLiteral("Output File"), QString(),
                                      QStringLiteral("Macromedia Flash (*.swf)"));
        if (name.isEmpty()) return name;
        // The dialog's default extension.
        if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".swf");
        if (fileNameChosen_) fileNameChosen_(name);
        return name;
    }

    bool writePage(const swf::SwfPreviewFacts& facts) {
        QString error;
        if (swf::WriteSwfPreviewPage(facts, settings_.gallery, &error)) return true;
        shell_.reportError(QStringLiteral("Cannot write the preview page:\r\n\r\n") +
                           swf::SwfPreviewPagePath(facts.moviePath) + QStringLiteral("\r\n\r\n") +
                           error);
        return false;
    }

    ExportShell& shell_;
    std::function<void(const QString&)> fileNameChosen_;
    RenderSettings settings_;
    QString movieFileName_;
    int framesPerSlide_ = 60;
    int framesPerFade_ = 30;
    int rate_ = 30;
    bool started_ = false;
    swf::SwfMovie movie_;
};

} // namespace

std::unique_ptr<RenderExporter> CreateSwfExporter(ExportShell& shell,
                                                  std::function<void(const QString&)> chosen) {
    return std::make_unique<SwfExporter>(shell, std::move(chosen));
}

} // namespace stillora
