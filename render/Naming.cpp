#include "render/Naming.h"

#include "selection/Selection.h"

#include <QDir>
#include <QFileInfo>

namespace stillora {

QString StillExtension(int stillType) {
    return stillType == StillBmp ? QStringLiteral(".bmp") : QStringLiteral(".jpg");
}

QString MovieExtension(int movieKind, int videoFormat) {
    switch (movieKind) {
    case MovieAvi:
        return QStringLiteral(".avi");
    case MovieGif:
        return QStringLiteral(".gif");
    case MovieVideo:
        return videoFormat == VideoWebm ? QStringLiteral(".webm") : QStringLiteral(".mp4");
    default:
        return QStringLiteral(".swf");
    }
}

QString ExportFolderPrefix(const QString& folder) {
    if (folder.isEmpty() || folder.endsWith('/')) return folder;
    return folder + '/';
}

QString CleanNamePart(const QString& part) {
    QString clean = part;
    for (QChar& c : clean) {
        const ushort u = c.unicode();
        if (u == '/' || u == '\\' || u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            c = QLatin1Char('_');
    }
    return clean;
}

QString ComposeFrameName(const RenderSettings& settings, const QString& caption, int32_t counter) {
    const QString sep = CleanNamePart(settings.useSeparator ? settings.separator : QString());
    QString name = CleanNamePart(settings.rootName);
    if (settings.addSelectionName) name += sep + CleanNamePart(caption);
    name += sep + ZeroPad(counter, settings.digits);
    // A name that begins with a dot would be a hidden file: the user would
    // not see the stills just written.
    for (QChar& c : name) {
        if (c != QLatin1Char('.')) break;
        c = QLatin1Char('_');
    }
    return name + StillExtension(settings.stillType);
}

QString FramePath(const RenderSettings& settings, const QString& caption, int32_t counter) {
    return ExportFolderPrefix(settings.exportFolder) + ComposeFrameName(settings, caption, counter);
}

QString SampleName(const RenderSettings& settings, int32_t counter) {
    return ComposeFrameName(settings, QStringLiteral("selcaption"), counter);
}

QString ReplaceExtension(const QString& path, const QString& extension) {
    const int dot = path.lastIndexOf('.');
    if (dot >= 0 && dot > path.lastIndexOf('/')) return path.left(dot) + extension;
    return path + extension;
}

QString CheckExportFolder(const QString& folder, RenderPrompter& prompter,
                          const QString& workingDir) {
    QString result = folder;
    if (result.isEmpty()) {
        const QString work =
            ExportFolderPrefix(workingDir.isEmpty() ? QStringLiteral(".") : workingDir);
        result = work + QStringLiteral("export/");
        prompter.ask(RenderPrompter::Warning,
                     QStringLiteral("The export folder is not set.\nA Export subfolder will be "
                                    "created in the current folder.\n\nThe files whill be saved "
                                    "in:\n\n") +
                         result,
                     RenderPrompter::Ok);
    }
    const QString target = ExportFolderPrefix(result);
    if (!QFileInfo(target).isDir()) {
        const auto answer = prompter.ask(
            RenderPrompter::Warning,
            QStringLiteral("The destination folder doesn't exists.\nThe application will create "
                           "this folder for you.\n\nDo you want to proceed?"),
            RenderPrompter::Yes | RenderPrompter::No);
        // One level only: the parent must exist already.
        if (answer == RenderPrompter::Yes && !QDir().mkdir(target))
            prompter.ask(RenderPrompter::Error, QStringLiteral("Cannot create the export folder."),
                         RenderPrompter::Ok);
    }
    return result;
}

QString PrepareMovieFileName(const RenderSettings& settings) {
    const QString name =
        settings.exportFileName.isEmpty()
            ? settings.sourceName + QStringLiteral("_EXPORT") + MovieExtension(settings.movieKind, settings.video.format)
            : settings.exportFileName;
    return ReplaceExtension(name, MovieExtension(settings.movieKind, settings.video.format));
}

bool ConfirmFrameCollision(const QString& path, const QString& lastFramePath,
                           RenderPrompter& prompter) {
    if (path != lastFramePath || !QFileInfo::exists(lastFramePath)) return true;
    const auto answer = prompter.ask(
        RenderPrompter::Warning,
        QStringLiteral("A previously saved frame exists with the same filename.\n\n") +
            lastFramePath +
            QStringLiteral("\n\nDo you want to activate the file counter and continue?"),
        RenderPrompter::Yes | RenderPrompter::No);
    return answer == RenderPrompter::Yes;
}

} // namespace stillora
