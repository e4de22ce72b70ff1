#pragma once
// The one interface through which a render run feeds an exporter (web
// gallery, slideshow, movie). Preview runs never call it.

#include "render/RenderSettings.h"

#include <QImage>
#include <QString>

#include <cstdint>

namespace stillora {

class TSelection;

// One processed frame handed to the exporter.
struct ExportFrame {
    const QImage& picture;    // the destination picture, overlay included
    const QString& stillPath; // the still just written (or its name for AVI runs)
    const TSelection& selection;
    int64_t sourceFrame;  // frame number in the source
    int32_t frameCounter; // number of frames processed before this one
};

// What a run leaves behind for the exporter's finish step.
struct ExportSummary {
    int32_t frameCounter;
    int movieFrameWidth;
    int movieFrameHeight;
    QString lastFramePath;
};

class RenderExporter {
public:
    virtual ~RenderExporter() = default;
    // Called once when a render run starts, after the export folder check
    // (gallery) or with the worked-out movie file name (movie kinds).
    virtual void begin(const RenderSettings& settings, const QString& movieFileName) = 0;
    // False when the run writes no stills for this exporter (AVI).
    virtual bool wantsStills(const RenderSettings& settings) const = 0;
    // Called after every frame that was named and not refused. Returning
    // false stops the run before the next frame.
    virtual bool addFrame(const ExportFrame& frame) = 0;
    // Called once at the end of every run that began, also after a stop.
    virtual void finish(const ExportSummary& summary) = 0;
    // Called instead of finish() when the run leaves with an error (a failed
    // effect), so that open files can be closed.
    virtual void abandon() {}
};

} // namespace stillora
