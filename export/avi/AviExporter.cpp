#include "export/avi/AviExporter.h"

#include "export/avi/AviCompressor.h"

namespace stillora {

namespace {

class AviExporter : public RenderExporter {
public:
    explicit AviExporter(ExportShell& shell) : shell_(shell) {
        compressor_ = shell.aviCompressor();
        if (!compressor_) {
            own_ = std::make_unique<TAVICompressor>();
            compressor_ = own_.get();
        }
    }
    ~AviExporter() override { compressor_->Close(); }

    void begin(const RenderSettings& settings, const QString& movieFileName) override {
        settings_ = settings;
        movieFileName_ = movieFileName;
        // Marked "not open": the movie opens at the first frame.
        compressor_->Close();
        opened_ = false;
        tried_ = false;
    }

    bool wantsStills(const RenderSettings&) const override { return false; }

    bool addFrame(const ExportFrame& frame) override {
        if (!opened_ && !tried_) {
            tried_ = true;
            AVIOptions options;
            SetDefaultAVIOptions(options);
            options.Rate = uint32_t(qMax(1, settings_.aviFrameRate));
            options.Width = frame.picture.width();
            options.Height = frame.picture.height();
            options.ShowDialog = true;
            options.Compress = true;
            // The codec chosen last time is proposed again.
            const AviSettings& chosen = settings_.avi;
            if (!chosen.handler.isEmpty()) {
                const AviCodecInfo* codec = FindAviCodec(chosen.handler);
                options.Handler = codec ? codec->fourcc : chosen.handler;
                options.Quality = qMin<uint32_t>(chosen.quality, 10000);
                options.KeyFrameEvery = chosen.keyFrameEvery;
                options.BytesPerSecond = chosen.bytesPerSecond;
                options.Flags = chosen.flags & (kAviFlagKeyFrames | kAviFlagDataRate);
            }
            compressor_->setCompressionDialog(
                [this](AVIOptions& o) { return shell_.chooseAviCompression(o); });
            opened_ = compressor_->Open(movieFileName_, options) == AviOk;
        }
        return AddFrameFromBitmap(compressor_, frame.picture, shell_);
    }

    void finish(const ExportSummary&) override {
        const bool wasOpen = compressor_->isOpen();
        const bool lost = compressor_->writeFailed();
        const int result = compressor_->Close();
        tried_ = false;
        if (!wasOpen) return;
        if (result != AviOk) {
            // The warning was shown already when a frame could not be written.
            if (!lost)
                shell_.reportError(QStringLiteral("The movie could not be completed:\n") +
                                   movieFileName_);
            return;
        }
        shell_.outputWritten(movieFileName_);
    }

    void abandon() override {
        compressor_->Close();
        tried_ = false;
    }

private:
    ExportShell& shell_;
    std::unique_ptr<TAVICompressor> own_;
    TAVICompressor* compressor_ = nullptr;
    RenderSettings settings_;
    QString movieFileName_;
    bool opened_ = false;
    bool tried_ = false;
};

} // namespace

std::unique_ptr<RenderExporter> CreateAviExporter(ExportShell& shell) {
    return std::make_unique<AviExporter>(shell);
}

} // namespace stillora
