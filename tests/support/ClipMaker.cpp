#include "support/ClipMaker.h"

#include "video/ScriptedMediaSource.h"

#include <QProcess>

namespace stillora::test {

namespace {
bool finish(QProcess& process, QString* error) {
    process.waitForFinished(120000);
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok && error) *error = QString::fromLocal8Bit(process.readAllStandardError());
    return ok;
}
} // namespace

bool runFfmpeg(const QStringList& arguments, QString* error) {
    QProcess process;
    process.start("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y"} + arguments);
    if (!process.waitForStarted()) {
        if (error) *error = "ffmpeg cannot be started";
        return false;
    }
    return finish(process, error);
}

bool makeClip(const QString& path, int frames, const QStringList& encode, QString* error,
              QSize size, const std::function<QImage(int, QSize)>& picture) {
    QProcess process;
    const QString geometry = QString("%1x%2").arg(size.width()).arg(size.height());
    process.start("ffmpeg", QStringList{"-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgra",
                                        "-s", geometry, "-r", "25", "-i", "-"} +
                                encode + QStringList{path});
    if (!process.waitForStarted()) {
        if (error) *error = "ffmpeg cannot be started";
        return false;
    }
    for (int n = 0; n < frames; ++n) {
        const QImage image = picture ? picture(n, size) : ScriptedMediaSource::makeFrame(n, size);
        process.write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
        while (process.bytesToWrite() > (1 << 20))
            process.waitForBytesWritten(1000);
    }
    process.closeWriteChannel();
    return finish(process, error);
}

} // namespace stillora::test
