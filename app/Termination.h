#pragma once
// Lets the program end as if its main window were closed when the system or
// a terminal asks it to stop (SIGTERM, SIGHUP, SIGINT): a run stops at its
// next frame boundary, the settings are stored and every window closes. A
// second such signal ends the program at once. A signal the program was
// started with ignored (nohup) stays ignored.
//
// Threads: CloseOnTermination() is called once, on the user-interface
// thread; the window is closed on that thread, from its event loop.

class QWidget;

namespace stillora {

// Returns false, changing nothing, when the signals cannot be watched.
bool CloseOnTermination(QWidget* window);

} // namespace stillora
