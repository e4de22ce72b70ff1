#pragma once
// The command line of the batch renderer: what it accepts, read into plain
// values. Parsing only checks the form of each value; whether a plug-in,
// parameter or frame exists is checked once plug-ins and videos are open.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace stillora::batch {

// Exit statuses of the program.
enum ExitStatus : int {
    ExitOk = 0, // every still was written
    ExitFramesFailed = 1,
    ExitUsage = 2, // bad usage, or an input that cannot be opened
    ExitCancelled = 130,
};

// First and last frame of a range, both included; equal for a single frame.
struct FrameRange {
    int64_t first = 0;
    int64_t last = 0;
    bool operator==(const FrameRange& o) const { return first == o.first && last == o.last; }
};

struct BatchOptions {
    QStringList videos;

    // Where the selections come from: a list file, or frame ranges.
    QString selectionsFile; // empty: the list file beside each video
    bool framesGiven = false;
    std::vector<FrameRange> frames;

    // Selections made for each video instead of read (one of these at most).
    std::optional<int64_t> everyFrames;  // --every N
    std::optional<double> everySeconds;  // --every-seconds S
    std::optional<int> scenes;           // --scenes [SENSITIVITY]
    std::optional<int> sceneStill;       // --scene-still: 1 first, 2 middle, 3 last
    std::optional<int64_t> sharpest;     // --sharpest N
    QString writeSelections;             // --write-selections FILE: save them, render nothing
    // A live stream's frames, taken as they arrive (one of these at most).
    std::optional<int64_t> grabFrames;  // --grab N
    std::optional<double> grabSeconds;  // --grab-seconds S

    // Overrides of the stored settings, for this run only.
    std::optional<QString> outDir;
    std::optional<QString> rootName;
    std::optional<QString> separator; // also turns the separator on
    bool noSeparator = false;
    bool noSelectionName = false;
    std::optional<int> digits;
    std::optional<int> skip; // 0: every frame
    std::optional<int> stillType;
    std::optional<int> quality;
    // --export: what the run makes besides (or instead of) numbered stills.
    // exportName keeps the word given ("mp4", "webm"...) for the exporter.
    std::optional<int> exportKind;
    std::optional<int> movieKind;
    QString exportName;
    std::optional<QString> outFile; // the movie file (--out-file)
    std::optional<QString> galleryTitle; // --gallery-title (may be empty)
    std::optional<int> galleryColumns;   // --gallery-columns
    std::optional<QString> aviCodec; // --avi-codec: FourCC or encoder name
    std::optional<int> aviRate;      // --avi-rate: frames per second
    std::optional<int> gifDelayMs;   // --gif-delay: milliseconds each frame is shown
    bool gifLoop = false;            // --gif-loop: play forever
    std::optional<int> videoRate;    // --video-rate: frames per second
    std::optional<int> videoHold;    // --video-hold: frames each still lasts
    std::optional<int> videoQuality; // --video-quality: constant rate factor
    std::optional<int> swfFramesPerSlide; // --swf-frames-per-slide
    std::optional<int> swfFade;           // --swf-fade: frames of a fade
    std::optional<int> swfRate;           // --swf-rate: frames per second
    bool noCrossfade = false;             // --no-crossfade
    bool previewPage = false;             // --preview-page
    std::optional<QString> fx;       // chain for frames given with --frames
    QStringList params;              // "Plugin:Parameter=Value", in order
    int safeSeekMs = 0;
    int jobs = 1; // videos rendered at once
    QString settingsFile; // empty: the user's settings store

    bool overwrite = false;
    bool keepGoing = false;
    bool dryRun = false;
    bool quiet = false;
    bool verbose = false; // --verbose: the media libraries' own messages too
    bool listPlugins = false;
    bool listCodecs = false;
    bool help = false;
    bool version = false;
};

struct ParseResult {
    BatchOptions options;
    QString error; // one line; empty when the command line is good
    bool ok() const { return error.isEmpty(); }
};

// Reads the arguments that follow the program name.
ParseResult ParseCommandLine(const QStringList& arguments);

// Reads "10-20,35,100-199": ranges and single frames, counted from 0, in the
// order given. Returns false with a one-line reason on the first bad item.
bool ParseFrameList(const QString& text, std::vector<FrameRange>& ranges, QString* error);

// The --help text.
QString HelpText();

} // namespace stillora::batch
