#include "video/DvdTitle.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <map>

namespace stillora {

namespace {

constexpr int kSector = DVD_VIDEO_LB_LEN;
// Packs read from the volume in one go.
constexpr int kReadAhead = 32;
// Packs at the start of every cell checked for scrambling at open.
constexpr int kProbePacks = 16;
constexpr int64_t kTimestampWrap = int64_t(1) << 33;

bool fail(std::string* error, const char* text) {
    if (error) *error = text;
    return false;
}

// The library reports through this; its complaints about a volume that is no
// DVD are what the open's own message says, so they are dropped.
void quietLog(void*, dvd_logger_level_t, const char*, va_list) {}
const dvd_logger_cb kQuietLogger = {quietLog};

int bcd(uint8_t value) {
    return (value >> 4) * 10 + (value & 0x0F);
}

double rateOf(const dvd_time_t& time) {
    return (time.frame_u & 0xC0) == 0xC0 ? 30000.0 / 1001.0 : 25.0;
}

// Frames of a playing time: whole seconds at the nominal rate plus the frame digits.
int64_t framesOf(const dvd_time_t& time) {
    const int nominal = (time.frame_u & 0xC0) == 0xC0 ? 30 : 25;
    const int64_t seconds =
        int64_t(bcd(time.hour)) * 3600 + bcd(time.minute) * 60 + bcd(time.second);
    return seconds * nominal + bcd(time.frame_u & 0x3F);
}

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

int64_t readTimestamp(const uint8_t* p) {
    return int64_t((p[0] >> 1) & 0x07) << 30 | int64_t(p[1]) << 22 | int64_t(p[2] >> 1) << 15 |
           int64_t(p[3]) << 7 | int64_t(p[4] >> 1);
}

void writeTimestamp(uint8_t* p, int64_t t) {
    p[0] = uint8_t((p[0] & 0xF0) | ((t >> 29) & 0x0E) | 1);
    p[1] = uint8_t(t >> 22);
    p[2] = uint8_t(((t >> 14) & 0xFE) | 1);
    p[3] = uint8_t(t >> 7);
    p[4] = uint8_t(((t << 1) & 0xFE) | 1);
}

bool startsPack(const uint8_t* p) {
    return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA && (p[4] & 0xC0) == 0x40;
}

// The cells of a program chain that one viewing plays: of an angle block only
// the first angle.
std::vector<const cell_playback_t*> playedCells(const pgc_t* pgc) {
    std::vector<const cell_playback_t*> cells;
    if (!pgc || !pgc->cell_playback) return cells;
    for (int i = 0; i < pgc->nr_of_cells; ++i) {
        const cell_playback_t& cell = pgc->cell_playback[i];
        if (cell.block_type == BLOCK_TYPE_ANGLE_BLOCK && cell.block_mode != BLOCK_MODE_FIRST_CELL)
            continue;
        cells.push_back(&cell);
    }
    return cells;
}

int64_t chainFrames(const pgc_t* pgc) {
    int64_t frames = 0;
    for (const cell_playback_t* cell : playedCells(pgc))
        frames += framesOf(cell->playback_time);
    return frames;
}

struct IfoCloser {
    void operator()(ifo_handle_t* ifo) const { ifoClose(ifo); }
};
using Ifo = std::unique_ptr<ifo_handle_t, IfoCloser>;

// A chain of a title set, as the table of title sets and chains lists it.
const pgc_t* chainOf(const ifo_handle_t* vts, int number) {
    if (!vts || !vts->vts_pgcit || number < 1 || number > vts->vts_pgcit->nr_of_pgci_srp)
        return nullptr;
    return vts->vts_pgcit->pgci_srp[number - 1].pgc;
}

// The chain a disc title starts with.
int firstChainOfTitle(const ifo_handle_t* vts, int vtsTitle) {
    if (!vts || !vts->vts_ptt_srpt || vtsTitle < 1 || vtsTitle > vts->vts_ptt_srpt->nr_of_srpts)
        return 0;
    const ttu_t& unit = vts->vts_ptt_srpt->title[vtsTitle - 1];
    return unit.nr_of_ptts > 0 && unit.ptt ? unit.ptt[0].pgcn : 0;
}

struct Where {
    QString root; // what the library opens: a folder or an image
    int titleSet; // 0: the whole disc
};

// Sorts out what a path names. False with *error when it names no volume.
bool locate(const QString& path, Where* where, std::string* error) {
    if (path.isEmpty()) {
        // No path: the disc in the default drive, as a player would take it.
        for (const char* drive : {"/dev/dvd", "/dev/sr0"}) {
            if (QFileInfo::exists(drive)) {
                where->root = drive;
                where->titleSet = 0;
                return true;
            }
        }
        return fail(error, kDvdVolumeUnknown);
    }
    const QFileInfo info(path);
    if (!info.exists()) return fail(error, kDvdVolumeUnknown);
    if (info.isDir()) {
        const QDir dir(info.absoluteFilePath());
        const bool isVideoTs = info.fileName().compare("VIDEO_TS", Qt::CaseInsensitive) == 0;
        const bool holdsVideoTs = dir.exists("VIDEO_TS") || dir.exists("video_ts");
        if (!isVideoTs && !holdsVideoTs) return fail(error, kDvdVolumeInvalid);
        where->root = isVideoTs ? info.absolutePath() : info.absoluteFilePath();
        where->titleSet = 0;
        return true;
    }
    if (!info.isFile()) {
        // A drive: the library reads the disc in it.
        where->root = info.absoluteFilePath();
        where->titleSet = 0;
        return true;
    }
    const QString name = info.fileName().toUpper();
    if (name.endsWith(".IFO") || name.endsWith(".BUP")) {
        static const QRegularExpression titleSetIfo("^VTS_(\\d\\d)_0\\.(IFO|BUP)$");
        const auto match = titleSetIfo.match(name);
        if (match.hasMatch()) {
            where->titleSet = match.captured(1).toInt();
        } else if (name == "VIDEO_TS.IFO" || name == "VIDEO_TS.BUP") {
            where->titleSet = 0;
        } else {
            return fail(error, kDvdVolumeInvalid);
        }
        if (info.size() == 0) return fail(error, kDvdVolumeInvalid);
        // The library opens the folder above VIDEO_TS.
        const QDir folder = info.absoluteDir();
        where->root = folder.dirName().compare("VIDEO_TS", Qt::CaseInsensitive) == 0
                          ? QFileInfo(folder.absolutePath()).absolutePath()
                          : folder.absolutePath();
        return true;
    }
    where->root = info.absoluteFilePath(); // an image
    where->titleSet = 0;
    return true;
}

} // namespace

bool isDvdVolumePath(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) return true;
    const QString suffix = info.suffix().toUpper();
    return suffix == "IFO" || suffix == "ISO";
}

QString dvdIfoPath(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir()) return path;
    const QDir dir(info.absoluteFilePath());
    for (const char* candidate : {"VIDEO_TS/VIDEO_TS.IFO", "video_ts/video_ts.ifo", "VIDEO_TS.IFO"})
        if (dir.exists(candidate)) return dir.filePath(candidate);
    return dir.filePath("VIDEO_TS/VIDEO_TS.IFO");
}

DvdTitle::~DvdTitle() {
    if (vobs_) DVDCloseFile(vobs_);
    if (dvd_) DVDClose(dvd_);
}

std::unique_ptr<DvdTitle> DvdTitle::open(const QString& path, std::string* error) {
    Where where;
    if (!locate(path, &where, error)) return nullptr;

    std::unique_ptr<DvdTitle> title(new DvdTitle);
    title->dvd_ = DVDOpen2(nullptr, &kQuietLogger, QFile::encodeName(where.root).constData());
    if (!title->dvd_) {
        fail(error, kDvdVolumeInvalid);
        return nullptr;
    }

    // The disc's title table: the titles to choose from for the whole disc,
    // and the title numbers either way. A title set's IFO can do without it.
    Ifo disc(ifoOpen(title->dvd_, 0));
    if (!disc && where.titleSet == 0) {
        fail(error, kDvdVolumeInvalid);
        return nullptr;
    }
    std::map<int, Ifo> titleSets;
    auto titleSet = [&](int number) -> const ifo_handle_t* {
        auto found = titleSets.find(number);
        if (found == titleSets.end())
            found = titleSets.emplace(number, Ifo(ifoOpen(title->dvd_, number))).first;
        return found->second.get();
    };

    DvdTitleInfo& info = title->info_;
    const pgc_t* chosen = nullptr;
    int64_t longest = -1;
    const tt_srpt_t* titles = disc ? disc->tt_srpt : nullptr;
    if (titles) info.titleCount = titles->nr_of_srpts;
    if (where.titleSet == 0) {
        for (int t = 0; titles && t < titles->nr_of_srpts; ++t) {
            const title_info_t& entry = titles->title[t];
            const ifo_handle_t* vts = titleSet(entry.title_set_nr);
            const int chain = firstChainOfTitle(vts, entry.vts_ttn);
            const pgc_t* pgc = chainOf(vts, chain);
            const int64_t frames = chainFrames(pgc);
            if (pgc && !playedCells(pgc).empty() && frames > longest) {
                longest = frames;
                chosen = pgc;
                info.titleNumber = t + 1;
                info.titleSet = entry.title_set_nr;
                info.programChain = chain;
            }
        }
    } else {
        const ifo_handle_t* vts = titleSet(where.titleSet);
        if (!vts || !vts->vts_pgcit) {
            fail(error, kDvdVolumeInvalid);
            return nullptr;
        }
        for (int c = 1; c <= vts->vts_pgcit->nr_of_pgci_srp; ++c) {
            const pgc_t* pgc = chainOf(vts, c);
            const int64_t frames = chainFrames(pgc);
            if (pgc && !playedCells(pgc).empty() && frames > longest) {
                longest = frames;
                chosen = pgc;
                info.titleSet = where.titleSet;
                info.programChain = c;
            }
        }
        for (int t = 0; titles && t < titles->nr_of_srpts; ++t) {
            const title_info_t& entry = titles->title[t];
            if (entry.title_set_nr == where.titleSet &&
                firstChainOfTitle(vts, entry.vts_ttn) == info.programChain) {
                info.titleNumber = t + 1;
                break;
            }
        }
    }
    if (!chosen) {
        fail(error, kDvdVolumeInvalid);
        return nullptr;
    }

    const ifo_handle_t* vts = titleSet(info.titleSet);
    if (vts && vts->vtsi_mat) {
        const video_attr_t& video = vts->vtsi_mat->vts_video_attr;
        info.mpegVersion = video.mpeg_version == 0 ? 1 : 2;
        info.height = video.video_format == 1 ? 576 : 480;
        static const int widths[] = {720, 704, 352, 352};
        info.width = widths[video.picture_size & 3];
        if ((video.picture_size & 3) == 3) info.height /= 2;
    }
    info.chapters = chosen->nr_of_programs;
    info.frameRate = rateOf(chosen->playback_time);
    info.frames = chainFrames(chosen);
    info.seconds = double(info.frames) / ((chosen->playback_time.frame_u & 0xC0) == 0xC0 ? 30 : 25);

    title->vobs_ = DVDOpenFile(title->dvd_, info.titleSet, DVD_READ_TITLE_VOBS);
    if (!title->vobs_) {
        fail(error, kDvdStreamFailed);
        return nullptr;
    }
    const ssize_t available = DVDFileSize(title->vobs_);

    // Lay the cells end to end, each carrying on the clock where the one
    // before ended.
    int64_t start = 0, shift = 0, previousEnd = -1;
    for (const cell_playback_t* played : playedCells(chosen)) {
        Cell cell;
        cell.first = played->first_sector;
        cell.last = std::min<int64_t>(played->last_sector, int64_t(available) - 1);
        if (available <= 0 || cell.first > cell.last) continue; // lost with a cut file
        int64_t begins = 0, ends = 0;
        const bool timed = title->unitTimes(cell.first, &begins, nullptr);
        if (!title->unitTimes(played->last_vobu_start_sector, nullptr, &ends) || !timed ||
            ends <= begins) {
            // Without the last unit's end the cell's playing time says it.
            ends = begins +
                   int64_t(double(framesOf(played->playback_time)) * 90000.0 / info.frameRate);
        }
        if (previousEnd >= 0 && timed) shift = previousEnd - begins;
        cell.start = start;
        cell.shift = shift;
        if (timed) previousEnd = ends + shift;
        start += (int64_t(cell.last) - cell.first + 1) * kSector;
        title->cells_.push_back(cell);
    }
    info.cells = int(title->cells_.size());
    info.bytes = start;
    if (title->cells_.empty()) {
        fail(error, kDvdStreamFailed);
        return nullptr;
    }

    // Scrambled packs stay scrambled without a decryption library: refuse
    // the disc now rather than decode garbage later.
    for (const Cell& cell : title->cells_) {
        const int64_t first = cell.start / kSector;
        const int64_t packs = std::min<int64_t>(kProbePacks, int64_t(cell.last) - cell.first + 1);
        for (int64_t s = first; s < first + packs; ++s) {
            title->loadSectors(s);
            if (title->scrambled_) {
                fail(error, kDvdEncrypted);
                return nullptr;
            }
        }
    }
    title->cacheFirst_ = -1;
    return title;
}

std::vector<int64_t> DvdTitle::cellStarts() const {
    std::vector<int64_t> starts;
    for (const Cell& cell : cells_)
        starts.push_back(cell.start);
    return starts;
}

bool DvdTitle::readSector(uint32_t sector, uint8_t* data) {
    return DVDReadBlocks(vobs_, int(sector), 1, data) == 1;
}

bool DvdTitle::unitTimes(uint32_t sector, int64_t* start, int64_t* end) {
    // A unit begins with its navigation pack: pack header, system header,
    // then the presentation control packet, whose general part holds the
    // unit's start and end times.
    uint8_t pack[kSector];
    if (!readSector(sector, pack) || !startsPack(pack)) return false;
    const uint8_t* pci = pack + 38;
    if (pci[0] != 0 || pci[1] != 0 || pci[2] != 1 || pci[3] != 0xBF || pci[6] != 0x00) return false;
    const uint8_t* general = pci + 7;
    if (start) *start = bigEndian32(general + 12);
    if (end) *end = bigEndian32(general + 16);
    return true;
}

bool DvdTitle::fixPack(uint8_t* pack, int64_t shift) {
    if (!startsPack(pack)) return true; // not a pack: left to the demuxer to skip
    int p = 14 + (pack[13] & 0x07);
    while (p + 6 <= kSector) {
        const uint8_t* at = pack + p;
        if (at[0] != 0 || at[1] != 0 || at[2] != 1) break;
        const uint8_t id = at[3];
        if (id == 0xB9) break; // program end
        const int length = at[4] << 8 | at[5];
        const bool elementary = (id >= 0xC0 && id <= 0xEF) || id == 0xBD;
        if (elementary && p + 9 <= kSector && (at[6] & 0xC0) == 0x80) {
            if (at[6] & 0x30) return false; // scrambling control set
            const int flags = at[7] >> 6;
            uint8_t* times = pack + p + 9;
            if (shift != 0 && (flags & 2) && p + 14 <= kSector) {
                writeTimestamp(times,
                               ((readTimestamp(times) + shift) % kTimestampWrap + kTimestampWrap) %
                                   kTimestampWrap);
                if (flags == 3 && p + 19 <= kSector)
                    writeTimestamp(times + 5, ((readTimestamp(times + 5) + shift) % kTimestampWrap +
                                               kTimestampWrap) %
                                                  kTimestampWrap);
            }
        }
        p += 6 + length;
    }
    return true;
}

bool DvdTitle::loadSectors(int64_t sector) {
    if (sector >= cacheFirst_ && sector < cacheFirst_ + cacheCount_) return true;
    // The cell holding the sector: the last one starting at or before it.
    const int64_t byte = sector * kSector;
    auto cell = std::upper_bound(cells_.begin(), cells_.end(), byte,
                                 [](int64_t b, const Cell& c) { return b < c.start; });
    if (cell == cells_.begin()) return false;
    --cell;
    const int64_t within = sector - cell->start / kSector;
    const int64_t left = int64_t(cell->last) - cell->first + 1 - within;
    if (left <= 0) return false;
    const int count = int(std::min<int64_t>(kReadAhead, left));
    cache_.resize(size_t(kReadAhead) * kSector);
    const ssize_t got =
        DVDReadBlocks(vobs_, int(cell->first + within), size_t(count), cache_.data());
    cacheFirst_ = sector;
    cacheCount_ = got > 0 ? got : 0;
    for (int64_t i = 0; i < cacheCount_; ++i) {
        if (!fixPack(cache_.data() + i * kSector, cell->shift)) {
            scrambled_ = true;
            cacheCount_ = i;
            break;
        }
    }
    return cacheCount_ > 0;
}

int DvdTitle::read(uint8_t* buffer, int size) {
    int done = 0;
    while (done < size && position_ < info_.bytes) {
        const int64_t sector = position_ / kSector;
        if (!loadSectors(sector)) break;
        const int64_t offset = position_ - cacheFirst_ * kSector;
        const int64_t inCache = cacheCount_ * kSector - offset;
        const int n = int(std::min<int64_t>(inCache, size - done));
        std::memcpy(buffer + done, cache_.data() + offset, size_t(n));
        done += n;
        position_ += n;
    }
    if (done == 0 && position_ < info_.bytes) return -1; // unreadable or scrambled
    return done;
}

bool DvdTitle::seek(int64_t position) {
    if (position < 0 || position > info_.bytes) return false;
    position_ = position;
    return true;
}

} // namespace stillora
