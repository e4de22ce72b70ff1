#include "views/pages/DialogExportShell.h"

#include "export/avi/AviCompressor.h"
#include "views/DialogService.h"
#include "views/avi/AviCompressionDialog.h"

namespace stillora {

RenderPrompter::Button AskThroughDialogs(RenderPrompter::Kind kind, const QString& text,
                                         int buttons, QWidget* parent) {
    static_assert(int(RenderPrompter::Yes) == int(DialogService::Yes) &&
                  int(RenderPrompter::No) == int(DialogService::No) &&
                  int(RenderPrompter::Ok) == int(DialogService::Ok) &&
                  int(RenderPrompter::Cancel) == int(DialogService::Cancel));
    DialogService::Kind dialogKind = DialogService::Confirmation;
    switch (kind) {
    case RenderPrompter::Information:
        dialogKind = DialogService::Information;
        break;
    case RenderPrompter::Warning:
        dialogKind = DialogService::Warning;
        break;
    case RenderPrompter::Error:
        dialogKind = DialogService::Error;
        break;
    case RenderPrompter::Confirmation:
        break;
    }
    return static_cast<RenderPrompter::Button>(
        Dialogs().message(dialogKind, QString(), text, buttons, parent));
}

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
    return AskThroughDialogs(kind, text, buttons, parent_);
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
