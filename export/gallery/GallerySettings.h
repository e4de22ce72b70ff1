#pragma once
// The gallery exporter's options, as read from the Config page or the
// settings store and handed over in RenderSettings. The JPEG quality of the
// thumbnails is the stills' quality (RenderSettings::jpegQuality).

#include <QColor>
#include <QString>

namespace stillora {

struct GallerySettings {
    // Page title and heading; also the index file's base name ("index" when
    // empty).
    QString title = QStringLiteral("My Photo Gallery");
    // Table width in pixels as typed (four digits); unreadable gives 800.
    QString tableWidth = QStringLiteral("0800");
    int columns = 5;    // thumbnails per row, 1..25
    int rows = 5;       // kept with the settings; all thumbnails go on one page
    int thumbSize = 10; // thumbnail size in percent of the frame, 1..100
    QColor backColor = QColor(0, 0, 0);
    QColor textColor = QColor(255, 255, 255);
    QColor linkColor = QColor(148, 158, 254);
    QColor visitedColor = QColor(45, 80, 172);
    bool edge = false;   // a 1-pixel border around each thumbnail
    int cellSpacing = 1; // 0..9
    int cellPadding = 4; // 0..9
};

} // namespace stillora
