#include "views/pages/DialogExportShell.h"

#include "export/avi/AviCompressor.h"
#include "views/DialogService.h"
#include "views/avi/AviCompressionDialog.h"

namespace stillora {

namespace {

DialogService::Kind dialogKind(RenderPrompter::Kind kind) {
    switch (kind) {
    case RenderPrompter::Information:
        return DialogService::Information;
    case RenderPrompter::Warning:
        return DialogService::Warning;
    case RenderPrompter::Error:
        return DialogService::Error;
    case RenderPrompter::Confirmation:
        break;
    }
    return DialogService::Confirmation;
}

} // namespace

DialogExportShell::DialogExportShell(QWidget* parent)
    : parent_(parent), avi_(std::make_unique<TAVICompressor>()) {}

DialogExportShell::~DialogExportShell() = default;

bool DialogExportShell::chooseAviCompression(AVIOptions& options) {
    if (!AviCompressionDialogs().choose(options, parent_)) return false;
    if (keep_) {
        AviSettings chosen;
        chosen.handler = options.Handler.trimmed();
        chosen.quality = options.Quality;
        chosen.keyFrameEvery = options.KeyFrameEvery;
        chosen.bytesPerSecond = options.BytesPerSecond;
        chosen.flags = options.Flags & (kAviFlagKeyFrames | kAviFlagDataRate);
        keep_(chosen);
    }
    return true;
}

RenderPrompter::Button DialogExportShell::ask(RenderPrompter::Kind kind, const QString& text,
                                              int buttons) {
    return static_cast<RenderPrompter::Button>(
        Dialogs().message(dialogKind(kind), QString(), text, buttons, parent_));
}

void DialogExportShell::openDocument(const QString& path) {
    Dialogs().openDocument(path);
}

QString DialogExportShell::askSaveFileName(const QString& title, const QString& startPath,
                                           const QString& filter) {
    return Dialogs().saveFile(title, startPath, filter, nullptr, parent_);
}

void DialogExportShell::reportError(const QString& message) {
    Dialogs().message(DialogService::Error, QString(), message, DialogService::Ok, parent_);
}

} // namespace stillora
