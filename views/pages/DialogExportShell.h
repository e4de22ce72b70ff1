#pragma once
// The window's answer to an exporter's questions: real message boxes and
// file dialogs through the dialog service, documents opened with the
// desktop's default application. Called on the user-interface thread.

#include "export/ExportShell.h"

class QWidget;

namespace stillora {

class DialogExportShell : public ExportShell {
public:
    explicit DialogExportShell(QWidget* parent) : parent_(parent) {}

    bool interactive() const override { return true; }
    RenderPrompter::Button ask(RenderPrompter::Kind kind, const QString& text,
                               int buttons) override;
    void openDocument(const QString& path) override;
    QString askSaveFileName(const QString& title, const QString& startPath,
                            const QString& filter) override;
    // The window has its own confirmation; nothing to print.
    void outputWritten(const QString& path) override { Q_UNUSED(path); }
    void reportError(const QString& message) override;

private:
    QWidget* parent_;
};

} // namespace stillora
