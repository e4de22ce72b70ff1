#pragma once
// Answers a run's questions from a queue and records what was asked.

#include "render/RenderPrompter.h"

#include <QStringList>

#include <deque>
#include <vector>

namespace stillora::test {

class ScriptedPrompter : public RenderPrompter {
public:
    struct Asked {
        Kind kind;
        QString text;
        int buttons;
    };
    // Used in order; when empty a question gets its first button of Ok, Yes, No.
    std::deque<Button> answers;
    std::vector<Asked> asked;

    Button ask(Kind kind, const QString& text, int buttons) override {
        asked.push_back({kind, text, buttons});
        if (!answers.empty()) {
            const Button answer = answers.front();
            answers.pop_front();
            return answer;
        }
        for (Button b : {Ok, Yes, No})
            if (buttons & b) return b;
        return Ok;
    }
    int count(const QString& start) const {
        int n = 0;
        for (const auto& a : asked)
            n += a.text.startsWith(start) ? 1 : 0;
        return n;
    }
};

} // namespace stillora::test
