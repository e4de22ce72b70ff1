#pragma once
// Runs a command-line tool (ffmpeg, ffprobe) to the end and collects what it
// printed.
//
// Qt starts a child with a vfork-style clone whose child runs on a piece of
// the parent thread's stack and calls libc through ThreadSanitizer's
// interceptors. That scrambles the sanitizer's record of the parent's stack:
// afterwards it reports races on stack objects that are guarded by a lock on
// both sides. posix_spawn's child runs only libc's own code, so tests that
// run under ThreadSanitizer start their tools through here.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace stillora::test {

struct ProgramRun {
    bool started = false;
    int exitCode = -1; // -1 when the tool did not exit by itself
    QByteArray output; // standard output
    QByteArray errors; // standard error
    bool ok() const { return started && exitCode == 0; }
};

// Runs `program` (looked up on PATH) with `arguments` and no input; a tool
// still running after `timeoutMs` is killed.
ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs = 60000);

} // namespace stillora::test
