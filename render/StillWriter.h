#pragma once
// Writes a frame as a still file: baseline JPEG (libjpeg) or a 32-bit BMP.
// The file is written under a temporary name in the target folder and renamed
// into place once complete, so a failed write never leaves a partial still
// under the final name.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace stillora {

// Encodes `picture` as a baseline JPEG of the given quality (1..100).
// Returns false with *error set when libjpeg refuses (an empty picture).
bool EncodeJpeg(const QImage& picture, int quality, QByteArray& out, QString* error);
// Encodes `picture` as a Windows bitmap file with 32 bits per pixel.
bool EncodeBmp32(const QImage& picture, QByteArray& out, QString* error);

// Writes the still of `stillType` (StillJpeg or StillBmp) to `path`.
// On failure returns false with the system's reason in *error.
bool WriteStill(const QImage& picture, const QString& path, int stillType, int jpegQuality,
                QString* error);

// Writes `data` to a temporary file in the target's folder and renames it
// to `path` once complete. On failure nothing is left behind, an existing
// file at `path` is untouched, and *error holds the system's reason.
// (No fsync: the guarantee is against failed writes, not power loss.)
bool WriteFileAtomically(const QString& path, const QByteArray& data, QString* error);

} // namespace stillora
