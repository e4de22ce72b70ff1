#pragma once
// The page that shows a finished slideshow in the browser: the movie in an
// object element and a table of its figures, in the web gallery's colours,
// written in windows-1252 beside the movie with the extension ".html".
//
// Pure functions and a file write; any thread.

#include "export/gallery/GallerySettings.h"

#include <QString>

namespace stillora::swf {

struct SwfPreviewFacts {
    QString moviePath; // as written; the page shows its name and full path
    int width = 0;
    int height = 0;
    int frames = 0; // the run's frame counter ("Length")
    int rate = 30;
    int framesPerSlide = 60;
    int framesPerFade = 30;
};

// The page's text (without the final CR LF).
QString SwfPreviewPageText(const SwfPreviewFacts& facts, const GallerySettings& colours);
// The movie's path with the extension ".html".
QString SwfPreviewPagePath(const QString& moviePath);
// Writes the page (its text and one CR LF) beside its final name and
// renames it into place. False with the reason in *error.
bool WriteSwfPreviewPage(const SwfPreviewFacts& facts, const GallerySettings& colours,
                         QString* error);

} // namespace stillora::swf
