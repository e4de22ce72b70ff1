#include "BatchClips.h"

#include "support/ClipMaker.h"

#include <QProcess>

namespace stillora::test {

bool makeNumberedClip(const QString& path, int frames, QSize size, QString* error) {
    return makeClip(
        path, frames,
        {"-c:v", "libx264", "-bf", "3", "-g", "12", "-crf", "12", "-pix_fmt", "yuv420p"}, error,
        size);
}

namespace {
QStringList lines(const QByteArray& bytes) {
    QStringList result;
    for (const QString& line : QString::fromLocal8Bit(bytes).split('\n'))
        if (!line.trimmed().isEmpty()) result << line;
    return result;
}
} // namespace

QStringList ToolRun::errLines() const {
    return lines(err);
}

QStringList ToolRun::outLines() const {
    return lines(out);
}

ToolRun runTool(const QStringList& arguments, const QString& workingDir,
                const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDir);
    process.start(QStringLiteral(STILLORA_BIN_DIR "/stillora-batch"), arguments);
    ToolRun run;
    if (!process.waitForStarted(10000)) return run;
    process.waitForFinished(120000);
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace stillora::test
