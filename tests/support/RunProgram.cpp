#include "support/RunProgram.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace stillora::test {

namespace {

// Closes its descriptor when it goes.
struct Fd {
    int fd = -1;
    ~Fd() { reset(); }
    void reset() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

} // namespace

ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs) {
    ProgramRun run;
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return run;
    Fd outRead{out[0]}, outWrite{out[1]};
    if (::pipe2(err, O_CLOEXEC) != 0) return run;
    Fd errRead{err[0]}, errWrite{err[1]};

    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.fd, 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.fd, 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    run.started = true;
    outWrite.reset();
    errWrite.reset();

    // Read both pipes until the tool closes them, so that neither fills up.
    QElapsedTimer clock;
    clock.start();
    bool killed = false;
    while (outRead.fd >= 0 || errRead.fd >= 0) {
        pollfd fds[2] = {{outRead.fd, POLLIN, 0}, {errRead.fd, POLLIN, 0}};
        const int left = timeoutMs - static_cast<int>(clock.elapsed());
        if (left <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (::poll(fds, 2, left) < 0 && errno != EINTR) break;
        Fd* ends[2] = {&outRead, &errRead};
        QByteArray* sinks[2] = {&run.output, &run.errors};
        for (int i = 0; i < 2; ++i) {
            if (ends[i]->fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t n = ::read(ends[i]->fd, buffer, sizeof buffer);
            if (n > 0)
                sinks[i]->append(buffer, n);
            else if (n == 0 || errno != EINTR)
                ends[i]->reset();
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!killed && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

} // namespace stillora::test
