#pragma once
// Installs scripted dialog answers for as long as it lives, then gives the
// program its real dialogs back.

#include "views/DialogService.h"

#include <memory>

namespace stillora::test {

class ScriptedDialogsScope {
public:
    ScriptedDialogsScope() {
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs_ = scripted.get();
        SetDialogs(std::move(scripted));
    }
    ~ScriptedDialogsScope() { SetDialogs(nullptr); }
    ScriptedDialogsScope(const ScriptedDialogsScope&) = delete;
    ScriptedDialogsScope& operator=(const ScriptedDialogsScope&) = delete;

    ScriptedDialogs* get() const { return dialogs_; }

private:
    ScriptedDialogs* dialogs_;
};

} // namespace stillora::test
