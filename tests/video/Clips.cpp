#include "Clips.h"

#include "support/ClipMaker.h"

#include <QDir>
#include <QTemporaryDir>

#include <map>
#include <vector>

namespace stillora::test {

namespace {
QTemporaryDir& scratch() {
    static QTemporaryDir dir(QDir::tempPath() + "/stillora-video-XXXXXX");
    return dir;
}
const QStringList kX264{"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"};
} // namespace

const std::vector<ClipKind>& clipKinds() {
    static const std::vector<ClipKind> kinds = {
        {"h264-bframes.mp4", 250, kX264 + QStringList{"-bf", "3", "-g", "60"}},
        {"h264-open-gop.mkv", 200,
         kX264 + QStringList{"-bf", "3", "-g", "50", "-x264-params", "open-gop=1"}},
        {"h264-bframes.avi", 200, kX264 + QStringList{"-bf", "3", "-g", "60"}},
        {"mpeg4-bframes.avi", 200, {"-c:v", "mpeg4", "-bf", "2", "-g", "50", "-q:v", "4"}},
        {"mjpeg.avi", 80, {"-c:v", "mjpeg", "-q:v", "4"}},
        {"h264-start-offset.mp4", 150,
         kX264 + QStringList{"-bf", "3", "-g", "60", "-output_ts_offset", "3.7"}},
        // Frame durations of 40, 80 and 120 ms in turn.
        {"h264-vfr.mkv", 150,
         kX264 + QStringList{"-bf", "3", "-g", "40", "-vf",
                             "setpts='(6*floor(N/3)+mod(N,3)*(mod(N,3)+1)/2)/(25*TB)'", "-fps_mode",
                             "vfr"}},
        {"mpeg2-bframes.ts", 150, {"-c:v", "mpeg2video", "-bf", "2", "-g", "30", "-q:v", "4"}},
        {"mpeg2-open-gop.mpg",
         150,
         {"-c:v", "mpeg2video", "-bf", "2", "-g", "30", "-q:v", "4", "-f", "vob"}},
        {"hevc.mkv",
         120,
         {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
          "log-level=error:bframes=3:keyint=40:open-gop=1"}},
    };
    return kinds;
}

QString scratchFile(const QString& name) {
    return scratch().filePath(name);
}

QString clipPath(const QString& name, QString* error) {
    static std::map<QString, QString> made;
    auto it = made.find(name);
    if (it != made.end()) return it->second;
    for (const ClipKind& kind : clipKinds()) {
        if (name != kind.name) continue;
        const QString path = scratchFile(name);
        QString message;
        const bool ok = makeClip(path, kind.frames, kind.encode, &message);
        if (error) *error = message;
        return made[name] = ok ? path : QString();
    }
    if (error) *error = "unknown clip " + name;
    return {};
}

} // namespace stillora::test
