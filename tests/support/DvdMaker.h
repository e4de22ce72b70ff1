#pragma once
// Small DVD-Video volumes made at test time: MPEG-2 clips whose frames carry
// their own number, authored into a VIDEO_TS folder by dvdauthor.

#include <QString>

#include <vector>

namespace stillora::test {

// One title of the volume: one cell (and chapter) per entry, each of that
// many frames. Frame numbers run on across the title's cells, so frame n of
// the title shows n; every cell's clip has its own timestamps from zero, as
// cells on real discs do.
using DvdTitleCells = std::vector<int>;

// Makes a volume under `folder` (folder/VIDEO_TS/...), each title in a title
// set of its own, in order. False with the tools' message in *error.
bool makeDvdVolume(const QString& folder, const std::vector<DvdTitleCells>& titles,
                   QString* error = nullptr);

// An ISO image of a volume made by makeDvdVolume.
bool makeDvdImage(const QString& folder, const QString& image, QString* error = nullptr);

} // namespace stillora::test
