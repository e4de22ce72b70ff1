#include "app/batch/BatchOptions.h"

#include "export/avi/AviCodecs.h"

#include <limits>

namespace stillora::batch {

namespace {

// Plain decimal digits only: no sign, no spaces, no "0x"; false on overflow.
bool parseCount(const QString& text, int64_t maximum, int64_t& value) {
    if (text.isEmpty() || text.size() > 18) return false;
    int64_t result = 0;
    for (const QChar c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c.unicode() - '0');
    }
    if (result > maximum) return false;
    value = result;
    return true;
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// An integer option within [minimum, maximum].
bool readInt(const QString& option, const QString& text, int minimum, int maximum, int& out,
             QString* error) {
    int64_t value = 0;
    if (!parseCount(text, maximum, value) || value < minimum) {
        *error = QStringLiteral("%1 needs a whole number from %2 to %3, not %4")
                     .arg(option)
                     .arg(minimum)
                     .arg(maximum)
                     .arg(quoted(text));
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

} // namespace

bool ParseFrameList(const QString& text, std::vector<FrameRange>& ranges, QString* error) {
    // Frame numbers are 32-bit in the render run and in selection lists.
    constexpr int64_t kMaxFrame = std::numeric_limits<int32_t>::max();
    std::vector<FrameRange> result;
    if (text.trimmed().isEmpty()) {
        *error = QStringLiteral("--frames needs a list such as 10-20,35");
        return false;
    }
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QString part = item.trimmed();
        const auto bad = [&](const QString& why) {
            *error = QStringLiteral("bad frame range %1 in --frames: %2").arg(quoted(part), why);
            return false;
        };
        if (part.isEmpty()) return bad(QStringLiteral("empty item"));
        const int dash = part.indexOf(QLatin1Char('-'));
        FrameRange range;
        if (dash < 0) {
            if (!parseCount(part, kMaxFrame, range.first))
                return bad(QStringLiteral("not a frame number"));
            range.last = range.first;
        } else {
            const QString first = part.left(dash), last = part.mid(dash + 1);
            if (first.isEmpty()) return bad(QStringLiteral("the range has no first frame"));
            if (last.isEmpty()) return bad(QStringLiteral("the range has no last frame"));
            if (!parseCount(first, kMaxFrame, range.first) ||
                !parseCount(last, kMaxFrame, range.last))
                return bad(QStringLiteral("not a range FIRST-LAST of frame numbers"));
            if (range.last < range.first)
                return bad(QStringLiteral("the last frame comes before the first"));
        }
        result.push_back(range);
    }
    ranges = std::move(result);
    return true;
}

ParseResult ParseCommandLine(const QStringList& arguments) {
    ParseResult parsed;
    BatchOptions& o = parsed.options;
    QString& error = parsed.error;
    bool optionsEnded = false;

    for (int i = 0; i < arguments.size() && error.isEmpty(); ++i) {
        const QString arg = arguments[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            o.videos << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value".
        QString name = arg;
        std::optional<QString> inlineValue;
        const int eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 2) {
            name = arg.left(eq);
            inlineValue = arg.mid(eq + 1);
        }
        const auto flag = [&](bool& target) {
            if (inlineValue) {
                error = QStringLiteral("%1 takes no value").arg(name);
                return;
            }
            target = true;
        };
        // The next argument is the value, whatever it starts with, so that
        // "--frames -3" is reported as a bad range rather than an option.
        const auto value = [&]() -> std::optional<QString> {
            if (inlineValue) return inlineValue;
            if (i + 1 < arguments.size()) return arguments[++i];
            error = QStringLiteral("%1 needs a value").arg(name);
            return std::nullopt;
        };

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            flag(o.help);
        } else if (name == QLatin1String("--version")) {
            flag(o.version);
        } else if (name == QLatin1String("--selections")) {
            if (auto v = value()) {
                if (v->isEmpty()) error = QStringLiteral("--selections needs a file name");
                o.selectionsFile = *v;
            }
        } else if (name == QLatin1String("--frames")) {
            if (auto v = value()) {
                std::vector<FrameRange> ranges;
                if (ParseFrameList(*v, ranges, &error)) {
                    o.frames.insert(o.frames.end(), ranges.begin(), ranges.end());
                    o.framesGiven = true;
                }
            }
        } else if (name == QLatin1String("--every")) {
            int64_t n = 0;
            if (auto v = value()) {
                if (!parseCount(*v, std::numeric_limits<int32_t>::max(), n) || n < 1)
                    error = QStringLiteral("--every needs a number of frames from 1, not %1").arg(quoted(*v));
                o.everyFrames = n;
            }
        } else if (name == QLatin1String("--grab")) {
            int64_t n = 0;
            if (auto v = value()) {
                if (!parseCount(*v, 1000000, n) || n < 1)
                    error = QStringLiteral("--grab needs a number of frames from 1 to 1000000, not %1").arg(quoted(*v));
                o.grabFrames = n;
            }
        } else if (name == QLatin1String("--grab-seconds")) {
            if (auto v = value()) {
                bool ok = false;
                const double seconds = v->toDouble(&ok);
                if (!ok || !(seconds > 0) || seconds > 86400)
                    error = QStringLiteral("--grab-seconds needs seconds above 0 and up to 86400, not %1")
                                .arg(quoted(*v));
                o.grabSeconds = seconds;
            }
        } else if (name == QLatin1String("--every-seconds")) {
            if (auto v = value()) {
                bool ok = false;
                const double seconds = v->toDouble(&ok);
                if (!ok || !(seconds > 0) || seconds > 86400)
                    error = QStringLiteral("--every-seconds needs seconds above 0 and up to 86400, not %1")
                                .arg(quoted(*v));
                o.everySeconds = seconds;
            }
        } else if (name == QLatin1String("--scenes")) {
            // The sensitivity is optional: taken from "--scenes=N", or from
            // the next argument when that is a plain number.
            int64_t n = 50;
            std::optional<QString> given = inlineValue;
            if (!given && i + 1 < arguments.size() && parseCount(arguments[i + 1], 999, n)) given = arguments[++i];
            if (given && (!parseCount(*given, 100, n)))
                error = QStringLiteral("--scenes takes a sensitivity from 0 to 100, not %1").arg(quoted(*given));
            o.scenes = static_cast<int>(given ? n : 50);
        } else if (name == QLatin1String("--scene-still")) {
            if (auto v = value()) {
                const QString which = v->toLower();
                if (which == QLatin1String("first"))
                    o.sceneStill = 1;
                else if (which == QLatin1String("middle"))
                    o.sceneStill = 2;
                else if (which == QLatin1String("last"))
                    o.sceneStill = 3;
                else
                    error = QStringLiteral("--scene-still must be first, middle or last, not %1").arg(quoted(*v));
            }
        } else if (name == QLatin1String("--sharpest")) {
            int64_t n = 0;
            if (auto v = value()) {
                if (!parseCount(*v, std::numeric_limits<int32_t>::max(), n) || n < 1)
                    error = QStringLiteral("--sharpest needs a number of frames from 1, not %1").arg(quoted(*v));
                o.sharpest = n;
            }
        } else if (name == QLatin1String("--write-selections")) {
            if (auto v = value()) {
                const QString suffix = v->section(QLatin1Char('.'), -1).toLower();
                if (!v->contains(QLatin1Char('.')) ||
                    (suffix != QLatin1String("sel") && suffix != QLatin1String("csv") && suffix != QLatin1String("edl")))
                    error = QStringLiteral("--write-selections needs a .sel, .csv or .edl file, not %1")
                                .arg(quoted(*v));
                o.writeSelections = *v;
            }
        } else if (name == QLatin1String("--out")) {
            if (auto v = value()) {
                if (v->isEmpty()) error = QStringLiteral("--out needs a folder");
                o.outDir = *v;
            }
        } else if (name == QLatin1String("--root")) {
            if (auto v = value()) {
                if (v->contains(QLatin1Char('/')))
                    error = QStringLiteral("--root must not contain \"/\"");
                o.rootName = *v;
            }
        } else if (name == QLatin1String("--separator")) {
            if (auto v = value()) {
                if (v->contains(QLatin1Char('/')))
                    error = QStringLiteral("--separator must not contain \"/\"");
                o.separator = *v;
            }
        } else if (name == QLatin1String("--no-separator")) {
            flag(o.noSeparator);
        } else if (name == QLatin1String("--no-selection-name")) {
            flag(o.noSelectionName);
        } else if (name == QLatin1String("--digits")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 12, n, &error)) o.digits = n;
        } else if (name == QLatin1String("--skip")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 0, 9999, n, &error)) o.skip = n;
        } else if (name == QLatin1String("--format")) {
            if (auto v = value()) {
                const QString f = v->toLower();
                if (f == QLatin1String("jpg") || f == QLatin1String("jpeg"))
                    o.stillType = 0;
                else if (f == QLatin1String("bmp"))
                    o.stillType = 1;
                else
                    error = QStringLiteral("--format must be jpg or bmp, not %1").arg(quoted(*v));
            }
        } else if (name == QLatin1String("--jobs") || name == QLatin1String("-j")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 64, n, &error)) o.jobs = n;
        } else if (name == QLatin1String("--export")) {
            if (auto v = value()) {
                const QString kind = v->toLower();
                struct Kind {
                    const char* name;
                    int exportKind;
                    int movieKind;
                };
                static const Kind kinds[] = {
                    {"frames", 0, -1}, {"gallery", 1, -1}, {"swf", 2, 0}, {"avi", 2, 1},
                    {"gif", 2, 2},     {"mp4", 2, 3},      {"webm", 2, 3},
                };
                bool known = false;
                for (const Kind& k : kinds) {
                    if (kind != QLatin1String(k.name)) continue;
                    known = true;
                    o.exportKind = k.exportKind;
                    if (k.movieKind >= 0) o.movieKind = k.movieKind;
                    o.exportName = kind;
                }
                if (!known)
                    error = QStringLiteral("--export must be frames, gallery, swf, avi, gif, mp4 "
                                           "or webm, not %1")
                                .arg(quoted(*v));
            }
        } else if (name == QLatin1String("--out-file")) {
            if (auto v = value()) {
                if (v->isEmpty()) error = QStringLiteral("--out-file needs a file name");
                o.outFile = *v;
            }
        } else if (name == QLatin1String("--gallery-title")) {
            if (auto v = value()) {
                if (v->contains(QLatin1Char('/')))
                    error = QStringLiteral("--gallery-title must not contain \"/\": it names "
                                           "the index page");
                o.galleryTitle = *v;
            }
        } else if (name == QLatin1String("--gallery-columns")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 25, n, &error)) o.galleryColumns = n;
        } else if (name == QLatin1String("--avi-codec")) {
            if (auto v = value()) {
                if (!FindAviCodec(*v))
                    error = QStringLiteral("--avi-codec %1 is not a codec of this build "
                                           "(see --list-codecs)")
                                .arg(quoted(*v));
                o.aviCodec = *v;
            }
        } else if (name == QLatin1String("--avi-rate")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 30, n, &error)) o.aviRate = n;
        } else if (name == QLatin1String("--gif-delay")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 0, 99999, n, &error)) o.gifDelayMs = n;
        } else if (name == QLatin1String("--gif-loop")) {
            flag(o.gifLoop);
        } else if (name == QLatin1String("--video-rate")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 60, n, &error)) o.videoRate = n;
        } else if (name == QLatin1String("--video-hold")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 9999, n, &error)) o.videoHold = n;
        } else if (name == QLatin1String("--video-quality")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 0, 51, n, &error)) o.videoQuality = n;
        } else if (name == QLatin1String("--swf-frames-per-slide")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 9999, n, &error))
                o.swfFramesPerSlide = n;
        } else if (name == QLatin1String("--swf-fade")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 9999, n, &error)) o.swfFade = n;
        } else if (name == QLatin1String("--swf-rate")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 30, n, &error)) o.swfRate = n;
        } else if (name == QLatin1String("--no-crossfade")) {
            flag(o.noCrossfade);
        } else if (name == QLatin1String("--preview-page")) {
            flag(o.previewPage);
        } else if (name == QLatin1String("--list-codecs")) {
            flag(o.listCodecs);
        } else if (name == QLatin1String("--quality")) {
            int n = 0;
            if (auto v = value(); v && readInt(name, *v, 1, 100, n, &error)) o.quality = n;
        } else if (name == QLatin1String("--fx")) {
            if (auto v = value()) o.fx = *v;
        } else if (name == QLatin1String("--param")) {
            if (auto v = value()) o.params << *v;
        } else if (name == QLatin1String("--safe-seek")) {
            if (auto v = value()) readInt(name, *v, 0, 10000, o.safeSeekMs, &error);
        } else if (name == QLatin1String("--settings")) {
            if (auto v = value()) {
                if (v->isEmpty()) error = QStringLiteral("--settings needs a file name");
                o.settingsFile = *v;
            }
        } else if (name == QLatin1String("--overwrite")) {
            flag(o.overwrite);
        } else if (name == QLatin1String("--keep-going")) {
            flag(o.keepGoing);
        } else if (name == QLatin1String("--dry-run")) {
            flag(o.dryRun);
        } else if (name == QLatin1String("--quiet") || name == QLatin1String("-q")) {
            flag(o.quiet);
        } else if (name == QLatin1String("--verbose") || name == QLatin1String("-v")) {
            flag(o.verbose);
        } else if (name == QLatin1String("--list-plugins")) {
            flag(o.listPlugins);
        } else {
            error = QStringLiteral("unknown option %1 (see --help)").arg(quoted(name));
        }
    }
    if (!error.isEmpty() || o.help || o.version) return parsed;

    const int generators = int(o.everyFrames.has_value()) + int(o.everySeconds.has_value()) +
                           int(o.scenes.has_value()) + int(o.sharpest.has_value());
    const bool grabs = o.grabFrames || o.grabSeconds;
    if (generators > 1)
        error = QStringLiteral("--every, --every-seconds, --scenes and --sharpest cannot be used together");
    else if (o.grabFrames && o.grabSeconds)
        error = QStringLiteral("--grab and --grab-seconds cannot be used together");
    else if (grabs && (o.framesGiven || !o.selectionsFile.isEmpty() || generators > 0 ||
                       !o.writeSelections.isEmpty()))
        error = QStringLiteral("--grab and --grab-seconds take the frames of a live stream as they "
                               "arrive: leave out --frames, --selections, --every, --every-seconds, "
                               "--scenes, --sharpest and --write-selections");
    else if (generators > 0 && (o.framesGiven || !o.selectionsFile.isEmpty()))
        error = QStringLiteral("--every, --every-seconds, --scenes and --sharpest make the selections: "
                               "leave out --frames and --selections");
    else if (o.sceneStill && !o.scenes)
        error = QStringLiteral("--scene-still applies to --scenes");
    else if (!o.writeSelections.isEmpty() && o.videos.size() > 1)
        error = QStringLiteral("--write-selections saves the list of one video: give one video per run");
    else if (o.overwrite && o.keepGoing)
        error = QStringLiteral("--overwrite and --keep-going cannot be used together");
    else if (o.framesGiven && !o.selectionsFile.isEmpty())
        error = QStringLiteral("--frames and --selections cannot be used together");
    else if (o.fx && !o.framesGiven && generators == 0 && !grabs)
        error = QStringLiteral("--fx applies to frames given with --frames or made by --every, "
                               "--every-seconds, --scenes or --sharpest; selection lists carry their own chains");
    else if (o.separator && o.noSeparator)
        error = QStringLiteral("--separator and --no-separator cannot be used together");
    else if ((o.galleryTitle || o.galleryColumns) && o.exportKind != 1)
        error = QStringLiteral("--gallery-title and --gallery-columns apply to --export gallery");
    else if ((o.gifDelayMs || o.gifLoop) && o.exportName != QLatin1String("gif"))
        error = QStringLiteral("--gif-delay and --gif-loop apply to --export gif");
    else if ((o.videoRate || o.videoHold || o.videoQuality) &&
             o.exportName != QLatin1String("mp4") && o.exportName != QLatin1String("webm"))
        error = QStringLiteral("--video-rate, --video-hold and --video-quality apply to "
                               "--export mp4 and --export webm");
    else if (o.exportKind == 2 && o.outFile && o.videos.size() > 1)
        error = QStringLiteral("--out-file names one movie: give one video per run, or leave "
                               "--out-file out to name each movie after its video");
    else if (o.exportKind == 1 && o.videos.size() > 1)
        error = QStringLiteral("--export gallery makes one index page: give one video per run");
    else if ((o.swfFramesPerSlide || o.swfFade || o.swfRate || o.noCrossfade || o.previewPage) &&
             !(o.exportKind == 2 && o.movieKind == 0))
        error = QStringLiteral("--swf-frames-per-slide, --swf-fade, --swf-rate, --no-crossfade "
                               "and --preview-page apply to --export swf");
    else if (o.exportKind == 2 && o.movieKind == 0 && o.videos.size() > 1 && o.jobs > 1)
        // The movies' character identifiers are counted program-wide.
        error = QStringLiteral("--export swf makes one movie at a time: leave --jobs at 1");
    else if (o.videos.isEmpty() && !o.listPlugins && !o.listCodecs)
        error = QStringLiteral("no video given (see --help)");
    return parsed;
}

QString HelpText() {
    return QStringLiteral(
        R"(Usage: stillora-batch [OPTIONS] VIDEO...

Renders still pictures from videos without the window: for each VIDEO, every
selection of its selection list (VIDEO with the extension ".sel", as saved by
Stillora), or the frames given with --frames, exactly as a Render run with the
export kind "Numbered Frames" would. Defaults come from the settings saved by
Stillora; the options below change them for this run only and are never saved.
A VIDEO may also be a DVD volume (a folder holding VIDEO_TS, an IFO file or an
ISO image): its main title is rendered, its list named after its IFO file.
A VIDEO may also be a stream URL (http, https, hls, rtsp, rtmp, srt, udp, rtp,
tcp). A file on a server that answers range requests, or an HLS playlist that
ends, is a remote file and is rendered like a file, by exact frame numbers; no
list is looked up beside a URL, so give --selections or --frames. Any other
stream is live: --grab or --grab-seconds takes its next frames.

Selections:
  --selections FILE   read the selections from FILE instead of the list file
                      beside each video (used for every VIDEO): a .sel list,
                      or a .csv or .edl list (times map to the video's frames)
  --frames LIST       render these frames instead, counted from 0, in the
                      order given: ranges FIRST-LAST and single frames
                      separated by commas, e.g. --frames 10-20,35,100-199
  --every N           a frame every N frames, from frame 0
  --every-seconds S   the frame nearest every S seconds (by the frames' own
                      times, so variable frame rates stay evenly spaced)
  --scenes [SENSITIVITY]  one selection per scene, from its first frame to
                      the frame before the next cut; SENSITIVITY 0 to 100
                      (default 50; higher finds fainter cuts); give it as
                      --scenes=N when a video's name is a number
  --scene-still first|middle|last  one frame of each scene instead
  --sharpest N        the sharpest frame of every N frames
  --write-selections FILE  save the selections (made, or read) as FILE, a
                      .sel, .csv or .edl list, and render nothing
  --grab N            for a live stream: render the next N frames to arrive,
                      1 to 1000000, as one selection
  --grab-seconds S    for a live stream: render the frames that arrive in
                      the next S seconds (S may have a fraction)
  --fx CHAIN          effect chain for the frames of --frames (or of --every,
                      --every-seconds, --scenes, --sharpest): plug-in names
                      separated by commas, e.g. --fx "Lightness,Spray"
  --param P:NAME=V    set parameter NAME of plug-in P to V before the run
                      (repeatable), e.g. --param "Lightness:Amount=20";
                      switches take on/off, true/false or 1/0

Naming and writing:
  --out DIR           folder the stills go to (created when missing)
                      (default: the stored output folder, else ./export)
  --root NAME         root of the still names (default: the video's file
                      name without its extension)
  --separator TEXT    separator between the parts of a name (turns it on)
  --no-separator      no separator between the parts of a name
  --no-selection-name leave the selection name out of the still names
  --digits N          digits of the still counter, 1 to 12
  --skip N            take every N-th frame of each selection, 1 to 9999;
                      0 takes every frame
  --format jpg|bmp    still file type
  --quality Q         JPEG quality, 1 to 100
  --export KIND       what to make: frames (numbered stills, the default),
                      gallery, swf, avi, gif, mp4 or webm
  --out-file FILE     the movie file of swf, avi, gif, mp4 and webm exports
  --gallery-title TEXT  title of the web gallery (--export gallery); the
                      index page is TEXT.html, index.html when TEXT is
                      empty, and its path is printed on standard output
  --gallery-columns N thumbnails per row of the web gallery, 1 to 25
  --avi-codec NAME    codec of an avi export: a FourCC such as MJPG or cvid,
                      an encoder name such as mjpeg, or uncompressed
                      (default: the codec last chosen in Stillora, else
                      Cinepak; see --list-codecs)
  --avi-rate N        frames per second of an avi export, 1 to 30
  --gif-delay MS      how long each frame of a gif export is shown, in
                      milliseconds, 0 to 99999 (stored in hundredths)
  --gif-loop          the gif plays forever (without it, once)
  --video-rate N      frames per second of an mp4 or webm export, 1 to 60
                      (default 25)
  --video-hold N      each still lasts N frames of an mp4 or webm export,
                      1 to 9999 (default 1; more makes a slideshow)
  --video-quality N   constant rate factor of an mp4 or webm export, 0 (best)
                      to 51 (default 23)
  --swf-frames-per-slide N  frames each still stays on screen in an swf
                      export, 1 to 9999
  --swf-fade N        frames of each fade of an swf export, 1 to 9999
  --swf-rate N        frames per second of an swf export, 1 to 30
  --no-crossfade      no fade-in of each slide of an swf export (the
                      closing fade stays)
  --preview-page      also write the swf export's preview page, the movie
                      with the extension .html, and print its path
  --safe-seek MS      wait MS milliseconds after each seek (default 0: off)
  --jobs N            render N of the videos at once, 1 to 64 (default 1);
                      each video's stills still come out in order
  --overwrite         replace stills that exist already
  --keep-going        leave stills that exist already and write the others
                      (without either, existing stills stop the run before
                      anything is written)

Other:
  --settings FILE     read the stored settings from FILE
  --dry-run           print the file names that would be written, one a
                      line, and write nothing
  --list-plugins      list the loaded plug-ins with their parameters, ranges
                      and defaults
  --list-codecs       list the codecs an avi export can use: encoder name,
                      FourCC and description
  -q, --quiet         no progress on standard error
  -v, --verbose       also show the media libraries' own messages (decoder
                      complaints about damaged data, for one)
  -h, --help          show this text
  --version           show the version

Progress goes to standard error; Ctrl-C stops at the next frame boundary and
keeps every still already written.

Exit status:
  0    every still was written
  1    some frames failed (each is named on standard error with the reason)
  2    bad usage, or an input that cannot be opened (other videos are still
       rendered); nothing is written when the command line is at fault
  130  cancelled (Ctrl-C)

Examples:
  stillora-batch holiday.mp4
  stillora-batch --frames 10-20,35 --out stills --format bmp clip.mkv
  stillora-batch --frames 0-99 --skip 10 --fx Lightness \
      --param "Lightness:Amount=20" --root shot clip.mp4
  stillora-batch --export gallery --frames 0-6 clip.mp4
  stillora-batch --export gif --gif-delay 200 --gif-loop --frames 0-49 \
      --out-file clip.gif clip.mp4
  stillora-batch --export webm --video-hold 50 --out-file show.webm clip.mp4
  stillora-batch --export swf --frames 0-4 --out-file show.swf clip.mp4
  stillora-batch --dry-run *.mp4
  stillora-batch --scenes --scene-still middle --out stills film.mp4
  stillora-batch --every-seconds 10 --write-selections film.csv film.mp4
)");
}

} // namespace stillora::batch
