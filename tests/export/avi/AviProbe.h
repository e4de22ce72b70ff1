#pragma once
// What real readers make of a movie: ffprobe's frame count and the ffmpeg
// command line's decode, plus test frames and a recording shell.

#include "export/ExportShell.h"

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>

namespace stillora::test {

// ffprobe -count_frames of the first video stream: codec_name,
// nb_read_frames, width, height, r_frame_rate.
QMap<QString, QString> Probe(const QString& path);
// Decodes every frame with `ffmpeg -v error ... -f null -`; empty when it
// decodes cleanly, else what ffmpeg said (or its exit status).
QString DecodeErrors(const QString& path);
// Frame `index` decoded as top-down BGRA bytes.
QByteArray DecodedFrame(const QString& path, int index = 0);

// A frame whose colours follow `n`, with a red top row and a green left
// column, so that row order and mirroring show.
QImage TestFrame(int n, QSize size);
// The frame's pixels, top row first, 4 bytes a pixel.
QByteArray PixelBytes(const QImage& image);
// Only the blue, green and red bytes of BGRA pixels.
QByteArray ColourBytes(const QByteArray& bgra);

// An export shell that records what it was asked.
class RecordingShell : public ExportShell {
public:
    bool interactive() const override { return interactiveShell; }
    RenderPrompter::Button ask(RenderPrompter::Kind, const QString& text, int) override {
        asked << text;
        return RenderPrompter::Ok;
    }
    void openDocument(const QString&) override {}
    QString askSaveFileName(const QString&, const QString&, const QString&) override { return {}; }
    void outputWritten(const QString& path) override { written << path; }
    void reportError(const QString& message) override { errors << message; }

    bool interactiveShell = true;
    QStringList asked, written, errors;
};

} // namespace stillora::test
