#pragma once
// The clips the media tests share, made once per test run in a scratch folder.

#include <QString>
#include <QStringList>

namespace stillora::test {

struct ClipKind {
    const char* name; // file name, extension included
    int frames;
    QStringList encode;
};

// The kinds of video the exact-frame tests run over.
const std::vector<ClipKind>& clipKinds();

// Path of the clip named `name` (one of clipKinds()), made on first use.
// Empty when ffmpeg fails; *error then says why.
QString clipPath(const QString& name, QString* error = nullptr);

// A scratch folder that lasts for the test run.
QString scratchFile(const QString& name);

} // namespace stillora::test
