#pragma once
// What an exporter asks of whoever runs it. The window answers through the
// dialog service (real boxes and file dialogs, the desktop's default
// application); the batch tool has no person to ask, so it reports paths on
// standard output and errors on standard error instead. Tests script it.
//
// Every member is called on the thread that runs the render run.

#include "render/RenderPrompter.h"

#include <QString>

namespace stillora {

struct AVIOptions;
class TAVICompressor;

class ExportShell {
public:
    virtual ~ExportShell() = default;

    // True when a person answers the questions (the window). Exporters ask
    // their confirmation only then; otherwise they call outputWritten().
    virtual bool interactive() const = 0;
    // Shows `text` as a box of `kind` with `buttons` (an OR of
    // RenderPrompter::Button) and returns the button chosen.
    virtual RenderPrompter::Button ask(RenderPrompter::Kind kind, const QString& text,
                                       int buttons) = 0;
    // Opens a document (a page, a movie) with the system's default application.
    virtual void openDocument(const QString& path) = 0;
    // Asks for the name of a file to write; empty when the user cancels.
    virtual QString askSaveFileName(const QString& title, const QString& startPath,
                                    const QString& filter) = 0;
    // A finished output file (the batch tool prints its path).
    virtual void outputWritten(const QString& path) = 0;
    // A failure, in the program's own words, that ends the export (the
    // window shows an error box, the batch tool one line on standard error).
    virtual void reportError(const QString& message) = 0;

    // The AVI compression dialog: shows `options` and updates them with the
    // codec and settings chosen; false when the user cancels. Without a
    // person nothing is shown and the options stay as they came (codec from
    // the command line or the settings store).
    virtual bool chooseAviCompression(AVIOptions& options) {
        Q_UNUSED(options);
        return true;
    }
    // The AVI writer object that lives as long as the shell's owner (the
    // window); null lets the exporter make one for its run.
    virtual TAVICompressor* aviCompressor() { return nullptr; }
};

} // namespace stillora
