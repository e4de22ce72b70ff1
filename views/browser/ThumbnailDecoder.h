#pragma once
// Turns a picture file into a thumbnail that fits a box. JPEG files are
// decoded with libjpeg at a reduced scale, so a full-size still costs a
// fraction of a full decode; other formats (BMP among them) go through
// QImageReader.

#include <QImage>
#include <QSize>
#include <QString>

namespace stillora {

// The picture of `path` scaled to fit inside `box` with its aspect kept;
// never enlarged. A null image when the file cannot be read or decoded.
// Safe to call from any thread.
QImage DecodeThumbnail(const QString& path, QSize box);

// The size a picture of `source` gets inside `box`: aspect kept, never
// enlarged, at least 1 by 1.
QSize FitThumbnailSize(QSize source, QSize box);

} // namespace stillora
