// The information box's text for a DVD volume: what the IFO files say about
// the main title, without reading the title's packs.

#include "video/CodecNames.h"
#include "video/DvdTitle.h"
#include "video/MediaInfo.h"

#include <cmath>

namespace stillora {

QString dvdMediaInfo(const QString& path) {
    std::string error;
    const std::unique_ptr<DvdTitle> title = DvdTitle::open(path, &error);
    if (!title) return QString();
    const DvdTitleInfo& info = title->info();

    QString text = "Media length: " + lengthText(true, info.seconds) + "\r\n";
    QString which = info.titleNumber > 0 ? QString("DVD title %1").arg(info.titleNumber)
                                         : QString("DVD program chain %1").arg(info.programChain);
    if (info.titleCount > 0) which += QString(" of %1").arg(info.titleCount);
    text += which + QString(", title set %1: %2 chapters, %3 cells\r\n")
                        .arg(info.titleSet)
                        .arg(info.chapters)
                        .arg(info.cells);

    MediaStreamInfo video;
    video.kind = MediaStreamInfo::Kind::Video;
    video.format = MediaStreamInfo::Format::VideoInfo;
    video.hasHeader = true;
    video.width = info.width;
    video.height = info.height;
    video.bitsPerPixel = 12; // 4:2:0
    video.averageTimePerFrame = std::llround(10000000.0 / info.frameRate);
    video.compression =
        info.mpegVersion == 1 ? fourCC('M', 'P', 'G', '1') : fourCC('M', 'P', 'G', '2');
    text += streamDescription(video, info.seconds) + "\r\n";
    return text;
}

} // namespace stillora
