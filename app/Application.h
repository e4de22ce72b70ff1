#pragma once
// Application-wide set-up shared by the program and its tests.

namespace stillora {

// Names the application "Stillora" and picks the widget style. No display
// name is set: the windowing layer would append it to every window caption,
// and each window's caption is exactly its own text.
void SetupApplication();

} // namespace stillora
