#include "app/batch/BatchGenerate.h"

#include "selection/SelectionFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace stillora::batch {

std::optional<GenerateSettings> GenerateSettingsOf(const BatchOptions& options) {
    GenerateSettings settings;
    if (options.everyFrames) {
        settings.mode = GenerateSettings::EveryFrames;
        settings.frames = *options.everyFrames;
    } else if (options.everySeconds) {
        settings.mode = GenerateSettings::EverySeconds;
        settings.seconds = *options.everySeconds;
    } else if (options.scenes) {
        settings.mode = GenerateSettings::Scenes;
        settings.sensitivity = *options.scenes;
        settings.still = static_cast<SceneStill>(options.sceneStill.value_or(0));
    } else if (options.sharpest) {
        settings.mode = GenerateSettings::SharpestFrames;
        settings.frames = *options.sharpest;
    } else {
        return std::nullopt;
    }
    return settings;
}

FrameClock ClockOf(MediaSource& media) { return FrameClock(media.frameTimes(), media.frameRate()); }

bool GenerateSelections(const GenerateSettings& settings, const QString& video, MediaSource& media,
                        int sourceKind, const ScanProgress& progress, SelectionList* out,
                        QString* problem) {
    const int64_t count = media.frameCount();
    const FrameSpan range{0, count - 1};
    std::vector<double> times;
    if (settings.mode == GenerateSettings::EverySeconds) {
        times = media.frameTimes();
        if (static_cast<int64_t>(times.size()) != count) {
            *problem = QStringLiteral("the frame times of \"%1\" are not known").arg(video);
            return false;
        }
    }
    VideoProfile profile;
    if (needsProfile(settings)) {
        if (sourceKind != static_cast<int>(SourceKind::File)) {
            *problem = QStringLiteral("\"%1\" is no video file: scenes and sharpness are measured in files only")
                           .arg(video);
            return false;
        }
        ProfileRequest request;
        request.path = QFile::encodeName(video).toStdString();
        request.frameCount = count;
        request.sharpness = needsSharpness(settings);
        std::string error;
        if (!scanProfile(request, &profile, progress, &error)) {
            *problem = QStringLiteral("cannot analyse \"%1\": %2").arg(video, QString::fromStdString(error));
            return false;
        }
        // The decode is the reference: a damaged end may hold fewer frames.
        if (profile.last() < range.last) {
            *problem = QStringLiteral("\"%1\" decodes to %2 frames, not %3")
                           .arg(video)
                           .arg(profile.frames.size())
                           .arg(count);
            return false;
        }
    }
    *out = makeSelections(generateSpans(settings, range, times, needsProfile(settings) ? &profile : nullptr),
                          sourceKind);
    return true;
}

bool IsExchangeList(const QString& path) { return exchangeFormatOf(path) != ExchangeFormat::Unknown; }

bool WriteSelectionList(const QString& path, const std::vector<TSelection*>& selections, MediaSource& media,
                        const QString& video, QString* problem) {
    if (IsExchangeList(path)) {
        QString error;
        if (!writeSelectionsFile(path, exchangedFrom(selections), ClockOf(media), QFileInfo(video).fileName(),
                                 &error)) {
            *problem = error;
            return false;
        }
        return true;
    }
    if (QFileInfo(path).suffix().toLower() != QLatin1String("sel")) {
        *problem = QStringLiteral("--write-selections writes .sel, .csv or .edl files, not \"%1\"").arg(path);
        return false;
    }
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    for (const TSelection* selection : selections)
        if (ok) {
            const QByteArray record = WriteSelectionRecord(*selection);
            ok = file.write(record) == record.size();
        }
    if (!ok || !file.commit()) {
        *problem = QStringLiteral("cannot write \"%1\"").arg(path);
        return false;
    }
    return true;
}

} // namespace stillora::batch
