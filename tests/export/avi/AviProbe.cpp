#include "AviProbe.h"

#include <QPainter>
#include <QProcess>

namespace stillora::test {

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out, err;
};

Result run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    Result r;
    if (!p.waitForStarted(10000)) return r;
    p.waitForFinished(180000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

QMap<QString, QString> Probe(const QString& path) {
    const Result r =
        run("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                        "stream=codec_name,nb_read_frames,width,height,r_frame_rate", "-of",
                        "default=noprint_wrappers=1", path});
    QMap<QString, QString> values;
    for (const QByteArray& line : r.out.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            values[QString::fromUtf8(line.left(eq))] =
                QString::fromUtf8(line.mid(eq + 1)).trimmed();
    }
    if (r.exitCode != 0 || !r.err.isEmpty()) values["error"] = QString::fromLocal8Bit(r.err);
    return values;
}

QString DecodeErrors(const QString& path) {
    const Result r = run("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
    if (r.exitCode != 0)
        return QString("exit %1: %2").arg(r.exitCode).arg(QString::fromLocal8Bit(r.err));
    return QString::fromLocal8Bit(r.err);
}

QByteArray DecodedFrame(const QString& path, int index) {
    const Result r = run("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-vf",
                                    QString("select=eq(n\\,%1)").arg(index), "-frames:v", "1", "-f",
                                    "rawvideo", "-pix_fmt", "bgra", "-"});
    return r.out;
}

QImage TestFrame(int n, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor((n * 37) % 256, (n * 91 + 40) % 256, (n * 53 + 90) % 256));
    QPainter painter(&image);
    painter.fillRect(
        QRect(size.width() / 4, size.height() / 4, size.width() / 3, size.height() / 3),
        QColor(250 - (n * 20) % 200, 30, 200));
    painter.end();
    for (int x = 0; x < size.width(); ++x)
        image.setPixel(x, 0, qRgb(255, 0, 0));
    for (int y = 1; y < size.height(); ++y)
        image.setPixel(0, y, qRgb(0, 255, 0));
    return image;
}

QByteArray PixelBytes(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QByteArray bytes;
    for (int y = 0; y < rgb.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 4);
    return bytes;
}

QByteArray ColourBytes(const QByteArray& bgra) {
    QByteArray colours;
    colours.reserve(bgra.size() / 4 * 3);
    for (int i = 0; i + 3 < bgra.size(); i += 4)
        colours.append(bgra.constData() + i, 3);
    return colours;
}

} // namespace stillora::test
