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
};

} // namespace stillora
