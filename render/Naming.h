#pragma once
// Where every output of a run goes and what it is called: still names, the
// sample name of the Config page, the export folder check and the movie file.

#include "render/RenderPrompter.h"
#include "render/RenderSettings.h"

#include <QString>

#include <cstdint>

namespace stillora {

// ".jpg" for JPEG stills, ".bmp" for BMP.
QString StillExtension(int stillType);
// ".swf", ".avi", ".gif", and ".mp4" or ".webm" by the video format.
QString MovieExtension(int movieKind, int videoFormat = VideoMp4);

// The export folder with one trailing '/' when it is not empty; an empty
// folder gives an empty prefix (names relative to the working directory).
QString ExportFolderPrefix(const QString& folder);

// `part` with every character that could lead a name out of its folder or
// break it (path separators, NUL and other control characters) turned into
// "_". Root names, separators and captions go through it, so a still's path
// always stays inside the export folder.
QString CleanNamePart(const QString& part);

// Bare file name of a still: root, separator and caption (when enabled),
// separator and the zero-padded counter, still extension; each part cleaned,
// and leading dots turned into "_" so that no still is a hidden file.
QString ComposeFrameName(const RenderSettings& settings, const QString& caption, int32_t counter);
// ExportFolderPrefix() followed by ComposeFrameName().
QString FramePath(const RenderSettings& settings, const QString& caption, int32_t counter);
// The name shown on the Config page: a frame of a selection called "selcaption".
QString SampleName(const RenderSettings& settings, int32_t counter);

// Replaces the extension of `path` (everything from the last '.' after the
// last path separator or drive colon) by `extension`, or appends it.
QString ReplaceExtension(const QString& path, const QString& extension);

// The start-of-render folder check. An empty folder becomes `workingDir`
// + "export/" after a warning; a missing folder is created (one level) after
// a Yes. The run goes on whatever happens; returns the folder to use.
QString CheckExportFolder(const QString& folder, RenderPrompter& prompter,
                          const QString& workingDir);

// The movie output path: the output file name, or the source name +
// "_EXPORT", with the movie kind's extension.
QString PrepareMovieFileName(const RenderSettings& settings);

// The name-collision question asked when a frame's path equals the last
// one and that file exists. Returns true when the frame may be written.
bool ConfirmFrameCollision(const QString& path, const QString& lastFramePath,
                           RenderPrompter& prompter);

} // namespace stillora
