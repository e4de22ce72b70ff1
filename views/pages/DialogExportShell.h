#pragma once
// The window's answer to an exporter's questions: real message boxes and
// file dialogs through the dialog service, documents opened with the
// desktop's default application. Called on the user-interface thread.

#include "export/ExportShell.h"
#include "export/avi/AviSettings.h"

#include <functional>
#include <memory>

class QWidget;

namespace stillora {

// Asks a run's or an exporter's question through the dialog service.
RenderPrompter::Button AskThroughDialogs(RenderPrompter::Kind kind, const QString& text,
                                         int buttons, QWidget* parent);

class DialogExportShell : public ExportShell {
public:
    explicit DialogExportShell(QWidget* parent);
    ~DialogExportShell() override;

    bool interactive() const override { return true; }
    RenderPrompter::Button ask(RenderPrompter::Kind kind, const QString& text,
                               int buttons) override;
    void openDocument(const QString& path) override;
    QString askSaveFileName(const QString& title, const QString& startPath,
                            const QString& filter) override;
    // The window has its own confirmation; nothing to print.
    void outputWritten(const QString& path) override { Q_UNUSED(path); }
    void reportError(const QString& message) override;
    // The compression dialog; a confirmed choice is handed to the
    // remember callback (the window keeps it for the next run and the store).
    bool chooseAviCompression(AVIOptions& options) override;
    TAVICompressor* aviCompressor() override { return avi_.get(); }
    void setAviChoiceKeeper(std::function<void(const AviSettings&)> keep) {
        keep_ = std::move(keep);
    }

private:
    QWidget* parent_;
    std::unique_ptr<TAVICompressor> avi_;
    std::function<void(const AviSettings&)> keep_;
};

} // namespace stillora
