#pragma once
// Selection lists exchanged with other tools: CSV (one row a selection:
// caption, first frame, last frame, start and end time; scene lists that
// scene detectors write are read too) and CMX 3600 edit decision lists
// (timecodes at the video's rate, drop-frame at 29.97 and 59.94).
//
// Times in a file are mapped to exact frame numbers through the video's
// frame times (the media layer's index), so variable frame rates and files
// from tools that count differently land on the frames they mean.
//
// Errors travel as values: nothing here shows anything.

#include "analysis/Generators.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace stillora {

// Frame numbers and presentation times of one video.
class FrameClock {
public:
    // times: seconds of every frame, ascending, frame 0 first; rate: the
    // video's frames per second (0: taken from the times, else 25).
    FrameClock(std::vector<double> times, double rate);
    int64_t frames() const { return static_cast<int64_t>(times_.size()); }
    double rate() const { return rate_; }
    // Time of a frame; the frame just past the end ends the video.
    double timeOf(int64_t frame) const;
    // The frame whose time lies nearest (the earlier on a tie), within the video.
    int64_t frameAt(double seconds) const;
    // The first frame that starts at or after `seconds` (to the nearest
    // frame); frames() when that lies past the last frame. What an end time
    // that is exclusive ends before.
    int64_t frameEndingAt(double seconds) const;

private:
    std::vector<double> times_;
    double rate_;
};

struct ExchangedSelection {
    FrameSpan span;
    QString caption; // as the file gave it; never empty after reading
    bool operator==(const ExchangedSelection& o) const { return span == o.span && caption == o.caption; }
};

struct ExchangeReadResult {
    std::vector<ExchangedSelection> selections;
    // One sentence per line that could not be used, starting "Line N: ".
    QStringList problems;
    // Set when nothing could be read at all (the file, not a line).
    QString error;
};

enum class ExchangeFormat { Csv, Edl, Unknown };
// By extension: .csv, .edl (any case).
ExchangeFormat exchangeFormatOf(const QString& path);

// "HH:MM:SS.mmm".
QString clockText(double seconds);

// Timecodes: a count of frames at the nominal rate (30 for 29.97) as
// "HH:MM:SS:FF", or with drop-frame numbering as "HH:MM:SS;FF"; and back
// (-1 when the text is no timecode). dropFrame only applies to rates near
// 29.97 and 59.94.
bool isDropFrameRate(double rate);
QString timecodeText(int64_t count, double rate, bool dropFrame);
int64_t timecodeCount(const QString& text, double rate, bool dropFrame);

QByteArray writeSelectionsCsv(const std::vector<ExchangedSelection>& selections, const FrameClock& clock);
ExchangeReadResult readSelectionsCsv(const QByteArray& text, const FrameClock& clock);

// title names the list (the video's file name), also written as each
// event's clip name.
QByteArray writeSelectionsEdl(const std::vector<ExchangedSelection>& selections, const FrameClock& clock,
                              const QString& title);
ExchangeReadResult readSelectionsEdl(const QByteArray& text, const FrameClock& clock);

// The file's selections by its extension; error set when it cannot be read
// or the extension is neither.
ExchangeReadResult readSelectionsFile(const QString& path, const FrameClock& clock);
// Writes beside the final name and renames at the end; false with *error.
bool writeSelectionsFile(const QString& path, const std::vector<ExchangedSelection>& selections,
                         const FrameClock& clock, const QString& title, QString* error);

// The selections of a list as exchanged, and back as selections (captions kept).
std::vector<ExchangedSelection> exchangedFrom(const std::vector<TSelection*>& selections);
SelectionList selectionsFrom(const std::vector<ExchangedSelection>& exchanged, int sourceKind);

} // namespace stillora
