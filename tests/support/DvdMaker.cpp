#include "support/DvdMaker.h"

#include "support/ClipMaker.h"
#include "video/ScriptedMediaSource.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

namespace stillora::test {

namespace {

bool run(const QString& program, const QStringList& arguments, QString* error,
         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        if (error) *error = program + " cannot be started";
        return false;
    }
    process.waitForFinished(120000);
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok && error) *error = program + ": " + QString::fromLocal8Bit(process.readAll());
    return ok;
}

} // namespace

bool makeDvdVolume(const QString& folder, const std::vector<DvdTitleCells>& titles,
                   QString* error) {
    QDir().mkpath(folder);
    const QString clips = folder + "/clips";
    QDir().mkpath(clips);
    QString xml = "<dvdauthor dest=\"" + folder + "\">\n<vmgm/>\n";
    for (size_t t = 0; t < titles.size(); ++t) {
        xml += "<titleset><titles><pgc>\n";
        int first = 0;
        for (size_t c = 0; c < titles[t].size(); ++c) {
            const QString clip = QString("%1/t%2c%3.mpg").arg(clips).arg(t + 1).arg(c + 1);
            const int offset = first;
            const auto numbered = [offset](int n, QSize size) {
                return ScriptedMediaSource::makeFrame(n + offset, size);
            };
            if (!makeClip(clip, titles[t][c], {"-target", "pal-dvd", "-an"}, error, QSize(720, 576),
                          numbered))
                return false;
            xml += "<vob file=\"" + clip + "\"/>\n";
            first += titles[t][c];
        }
        xml += "</pgc></titles></titleset>\n";
    }
    xml += "</dvdauthor>\n";
    QFile spec(clips + "/dvd.xml");
    if (!spec.open(QIODevice::WriteOnly)) return false;
    spec.write(xml.toUtf8());
    spec.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VIDEO_FORMAT", "PAL");
    if (!run("dvdauthor", {"-x", spec.fileName()}, error, environment)) return false;
    QDir(clips).removeRecursively();
    return true;
}

bool makeDvdImage(const QString& folder, const QString& image, QString* error) {
    return run("genisoimage", {"-quiet", "-dvd-video", "-V", "STILLORA", "-o", image, folder},
               error);
}

} // namespace stillora::test
