#pragma once
// GIF writing for single pictures: a median-cut palette reduction to at most
// 256 colours and a GIF89a encoder (giflib) with an optional transparent
// colour. No widgets: callers decide how to report a failure.

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>

#include <cstdint>
#include <vector>

namespace stillora {

// A picture reduced to a palette: one palette index per pixel, row by row.
struct PalettedPicture {
    int width = 0;
    int height = 0;
    std::vector<QRgb> palette; // opaque colours, at most the requested count
    std::vector<uint8_t> indices;
};

// Reduces `picture` to at most `maxColours` (1..256) colours by median cut;
// the alpha channel is ignored. A picture with no more distinct colours than
// that keeps every colour exactly. When `skip` is given, pixels of exactly
// that colour take the index palette.size() (one past the reduced colours)
// and do not compete for palette entries.
PalettedPicture ReducePalette(const QImage& picture, int maxColours, const QRgb* skip = nullptr);

struct GifOptions {
    bool transparent = false;
    QRgb transparentColor = 0; // pixels of exactly this colour become transparent
};

// Encodes `picture` as a single-image GIF89a file. Returns false with
// *error set for an empty picture, one larger than GIF allows (65535 pixels
// a side) or an encoder failure.
bool EncodeGif(const QImage& picture, const GifOptions& options, QByteArray& out, QString* error);

} // namespace stillora
