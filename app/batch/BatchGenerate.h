#pragma once
// The batch renderer's selections made for the user (--every,
// --every-seconds, --scenes, --sharpest), its CSV and EDL lists
// (--selections FILE.csv|FILE.edl) and --write-selections.
// Called on the program's main thread.

#include "analysis/Generators.h"
#include "analysis/SelectionExchange.h"
#include "app/batch/BatchOptions.h"
#include "video/MediaSource.h"

#include <optional>

namespace stillora::batch {

// What the options ask to generate; nothing when no generator option is given.
std::optional<GenerateSettings> GenerateSettingsOf(const BatchOptions& options);

// The frame clock of an open video (its index's times and rate).
FrameClock ClockOf(MediaSource& media);

// Generates the selections of `video`, open in `media`, over the whole
// video. `progress` sees the share of a decode (when the mode needs one) and
// returns false to stop. False with *problem on failure.
bool GenerateSelections(const GenerateSettings& settings, const QString& video, MediaSource& media,
                        int sourceKind, const ScanProgress& progress, SelectionList* out,
                        QString* problem);

// True for a list file read or written as CSV or EDL rather than as .sel.
bool IsExchangeList(const QString& path);

// Writes the selections as .sel, .csv or .edl by the file's extension,
// replacing the file only once it is complete. False with *problem.
bool WriteSelectionList(const QString& path, const std::vector<TSelection*>& selections, MediaSource& media,
                        const QString& video, QString* problem);

} // namespace stillora::batch
