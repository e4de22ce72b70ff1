#pragma once
// Test clips made at test time: frames that carry their own number
// (ScriptedMediaSource::makeFrame) encoded by the ffmpeg command line.

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

namespace stillora::test {

// Encodes `frames` frames of `size` at 25 frames per second into `path`;
// `encode` holds the output options (codec, container, ...). `picture` draws
// frame n (default: the numbered frame). Returns false, with ffmpeg's message
// in *error, when encoding fails.
bool makeClip(const QString& path, int frames, const QStringList& encode, QString* error = nullptr,
              QSize size = QSize(160, 120),
              const std::function<QImage(int, QSize)>& picture = nullptr);

// Runs the ffmpeg command line with `arguments`; true when it succeeds.
bool runFfmpeg(const QStringList& arguments, QString* error = nullptr);

} // namespace stillora::test
