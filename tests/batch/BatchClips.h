#pragma once
// Helpers of the batch renderer tests: clips whose frames carry their own
// number, made with the ffmpeg command line, and runs of the built tool.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QStringList>

namespace stillora::test {

// Encodes `frames` numbered frames (ScriptedMediaSource::makeFrame) as
// H.264 with B-frames at 25 frames per second. Returns false with ffmpeg's
// message in *error.
bool makeNumberedClip(const QString& path, int frames, QSize size, QString* error = nullptr);

struct ToolRun {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
    // Standard error split into lines, empty ones left out.
    QStringList errLines() const;
    QStringList outLines() const;
};

// Runs <build>/bin/stillora-batch in `workingDir` with `environment`.
ToolRun runTool(const QStringList& arguments, const QString& workingDir,
                const QProcessEnvironment& environment);

} // namespace stillora::test
