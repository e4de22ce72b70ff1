#include "app/Termination.h"

#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace stillora {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_wakeFd = -1; // write end of the pipe the window's event loop watches

extern "C" void onTermination(int) {
    const int saved = errno;
    // The next such signal ends the program at once.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    for (int signal : kSignals)
        sigaction(signal, &fallback, nullptr);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wakeFd, &byte, 1);
    errno = saved;
}

} // namespace

bool CloseOnTermination(QWidget* window) {
    if (g_wakeFd >= 0) return true;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    g_wakeFd = fds[1];
    const int wakeRead = fds[0];
    auto* notifier = new QSocketNotifier(wakeRead, QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [notifier, wakeRead, window] {
        char bytes[16];
        while (::read(wakeRead, bytes, sizeof bytes) > 0) {
        }
        notifier->setEnabled(false);
        window->close();
    });
    struct sigaction action = {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals) {
        struct sigaction before = {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
    return true;
}

} // namespace stillora
