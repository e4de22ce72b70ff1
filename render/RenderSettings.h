#pragma once
// Everything a render or preview run reads from the Config and Finalize
// pages, as plain values, so that the run needs no window and a batch tool
// can fill it from the settings store.

#include "export/avi/AviSettings.h"
#include "export/gallery/GallerySettings.h"
#include "export/gif/GifSettings.h"
#include "export/video/VideoSettings.h"

#include <QColor>
#include <QString>

namespace stillora {

// Item indexes of the export kind, still file type and movie kind controls.
// They are stored in settings: new values only ever go at the end.
enum ExportKind : int { NumberedFrames = 0, WebGallery = 1, MovieExport = 2 };
enum StillType : int { StillJpeg = 0, StillBmp = 1 };
enum MovieKind : int { MovieSwf = 0, MovieAvi = 1, MovieGif = 2, MovieVideo = 3 };

// The quick superimpose overlay drawn on every processed frame.
struct SuperimposeSettings {
    bool drawText = false; // cbSuperimpose
    QString text;          // siText
    QString fontName = QStringLiteral("Verdana");
    int fontSize = 12; // points
    bool bold = false; // cbsiBold
    int position = 0;  // item index of siPosition
    QColor color = Qt::white;
    QColor shadow = Qt::black;
    bool drawTime = false; // cbTime
    bool drawDate = false; // cbDate
};

struct RenderSettings {
    // Naming of the stills.
    QString rootName = QStringLiteral("Untitled");
    bool useSeparator = true;
    QString separator = QStringLiteral("_");
    bool addSelectionName = true;
    int digits = 3;

    // Which frames of a selection are taken: every skipEvery-th when on.
    bool skipFrames = false;
    int skipEvery = 5;

    int exportKind = NumberedFrames;
    int stillType = StillJpeg;
    int jpegQuality = 65; // 1..100
    int movieKind = MovieSwf;
    QString exportFileName = QStringLiteral("untitled.swf");
    // Folder the stills go to; may be empty (see CheckExportFolder).
    QString exportFolder;
    // Name of the opened source, used for a movie without an output file name.
    QString sourceName = QStringLiteral("Untitled");

    // Exporter options handed over unchanged (the exporters read them).
    bool crossfade = true;
    int framesPerSlide = 60;
    int framesPerFade = 30;
    int swfFrameRate = 30;
    // The slideshow's preview page is written without asking (the batch
    // tool's --preview-page); the window asks instead.
    bool swfPreviewPage = false;
    int aviFrameRate = 1;
    // Options of the other exporters, one block each.
    GallerySettings gallery;
    AviSettings avi;
    GifSettings gif;
    VideoSettings video;

    // Pause after each previewed frame.
    bool previewDelayOn = false;
    int previewDelayMs = 25;

    SuperimposeSettings overlay;
};

} // namespace stillora
