#pragma once
// One title of a DVD-Video volume, read as the continuous MPEG program stream
// a player would play: its cells in playback order, one 2048-byte pack after
// another.
//
// A volume is named by its folder (the one holding VIDEO_TS, or VIDEO_TS
// itself), by one of its IFO files, by an ISO image or by a drive; no name
// at all means the disc in the default drive. VIDEO_TS.IFO, a folder, an
// image and a drive stand for the whole disc; VTS_nn_0.IFO for its title
// set nn. The title read is the main one: the longest program chain there.
//
// Each cell starts its own clock on real discs, so a title's timestamps jump
// back at cell boundaries. The reader moves every presentation and decoding
// time of a cell by a fixed amount so that each cell carries on where the one
// before ended: to a demuxer the title is one stream with rising timestamps.
//
// Threads: like InputReader, one thread at a time.

#include "video/InputReader.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct dvd_reader_s;
struct dvd_file_s;

namespace stillora {

// What the open of a volume can report, in the words the user sees.
inline const char* const kDvdVolumeInvalid =
    "The specified DVD volume to be played does not exist.";
inline const char* const kDvdVolumeUnknown = "No DVD volume is specified or isn't found.";
inline const char* const kDvdStreamFailed = "Can't render one or more stream.";
inline const char* const kDvdEncrypted =
    "This DVD is encrypted (copy protected). Stillora cannot decrypt it, so it cannot be read.";

struct DvdTitleInfo {
    int titleNumber = 0; // on the disc, from 1; 0 when the disc's title table does not list it
    int titleCount = 0;  // titles on the disc (0 when the disc's title table cannot be read)
    int titleSet = 0;
    int programChain = 0; // within the title set, from 1
    int chapters = 0;
    int cells = 0;
    double seconds = 0;    // playing time by the IFO
    int64_t frames = 0;    // frames by the IFO's cell times
    double frameRate = 25; // 25 (PAL) or 29.97 (NTSC)
    int width = 0;         // coded picture size by the title set's video attributes
    int height = 0;
    int mpegVersion = 2;
    int64_t bytes = 0; // of the title's stream
};

class DvdTitle : public InputReader {
public:
    ~DvdTitle() override;
    DvdTitle(const DvdTitle&) = delete;
    DvdTitle& operator=(const DvdTitle&) = delete;

    // Opens the main title of the volume at `path`. On failure returns null
    // and sets *error to one of the texts above.
    static std::unique_ptr<DvdTitle> open(const QString& path, std::string* error);

    const DvdTitleInfo& info() const { return info_; }

    int read(uint8_t* buffer, int size) override;
    bool seek(int64_t position) override;
    int64_t position() const override { return position_; }
    int64_t size() const override { return info_.bytes; }

    // Where each cell starts in the stream, in bytes (for tests and diagnostics).
    std::vector<int64_t> cellStarts() const;

private:
    struct Cell {
        uint32_t first = 0; // sectors of the title set's VOBs, inclusive
        uint32_t last = 0;
        int64_t start = 0; // first byte in the stream
        int64_t shift = 0; // added to every timestamp of the cell (90 kHz)
    };

    DvdTitle() = default;
    bool loadSectors(int64_t sector);
    bool readSector(uint32_t sector, uint8_t* data);
    // Timestamps of the video unit starting at `sector`: its start and end.
    bool unitTimes(uint32_t sector, int64_t* start, int64_t* end);
    // Moves the timestamps of one pack; false when it is scrambled.
    static bool fixPack(uint8_t* pack, int64_t shift);

    dvd_reader_s* dvd_ = nullptr;
    dvd_file_s* vobs_ = nullptr;
    std::vector<Cell> cells_;
    DvdTitleInfo info_;
    int64_t position_ = 0;
    bool scrambled_ = false;
    // Packs read ahead, already fixed: stream sectors [cacheFirst_, cacheFirst_ + count).
    std::vector<uint8_t> cache_;
    int64_t cacheFirst_ = -1;
    int64_t cacheCount_ = 0;
};

// True when `path` names what DvdTitle::open reads rather than a media file:
// a folder, an IFO file or an ISO image.
bool isDvdVolumePath(const QString& path);

// The media information text of the volume's main title: its length, its
// place on the disc and its video format. Empty when no title can be opened.
QString dvdMediaInfo(const QString& path);

// The IFO file a volume path stands for, to name the volume's selection list
// after: a folder gives its VIDEO_TS.IFO; an IFO or an image stays as it is.
QString dvdIfoPath(const QString& path);

} // namespace stillora
