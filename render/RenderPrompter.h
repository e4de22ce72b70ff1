#pragma once
// The questions and notices a run asks, without any window: the program
// answers them with real message boxes, tests and batch tools with scripts.
// Kinds and buttons have the same values as DialogService's, so a window
// can pass them straight on.

#include <QString>

namespace stillora {

class RenderPrompter {
public:
    enum Kind { Information, Warning, Error, Confirmation };
    enum Button { Ok = 1, Yes = 2, No = 4, Cancel = 8 };

    virtual ~RenderPrompter() = default;
    // Shows `text` with the buttons (an OR of Button) and returns the one chosen.
    virtual Button ask(Kind kind, const QString& text, int buttons) = 0;

    // A still could not be written to `path` for `reason`: Yes cancels the
    // run, No goes on with the next frame. By default the error question is
    // asked through ask(); a tool without a person answers it itself.
    virtual Button writeFailed(const QString& path, const QString& reason) {
        return ask(Error,
                   QStringLiteral("Error converting frame:\n") + reason + QStringLiteral("\n\n") +
                       path + QStringLiteral("\n\nDo you want to cancel the current process?"),
                   Yes | No);
    }
};

} // namespace stillora
