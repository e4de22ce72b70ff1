#include "BatchClips.h"

#include "video/ScriptedMediaSource.h"

#include <QProcess>

namespace stillora::test {

bool makeNumberedClip(const QString& path, int frames, QSize size, QString* error) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-v",
                            "error",    "-y",
                            "-f",       "rawvideo",
                            "-pix_fmt", "bgra",
                            "-s",       QString("%1x%2").arg(size.width()).arg(size.height()),
                            "-r",       "25",
                            "-i",       "-",
                            "-c:v",     "libx264",
                            "-bf",      "3",
                            "-g",       "12",
                            "-crf",     "12",
                            "-pix_fmt", "yuv420p",
                            path});
    if (!ffmpeg.waitForStarted()) {
        if (error) *error = "ffmpeg cannot be started";
        return false;
    }
    for (int n = 0; n < frames; ++n) {
        const QImage image = ScriptedMediaSource::makeFrame(n, size);
        ffmpeg.write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
        ffmpeg.waitForBytesWritten(5000);
    }
    ffmpeg.closeWriteChannel();
    ffmpeg.waitForFinished(60000);
    const bool ok = ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
    if (!ok && error) *error = QString::fromLocal8Bit(ffmpeg.readAllStandardError());
    return ok;
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
