#pragma once
// Selections: what the user wants out of the video. One frame or an interval
// of consecutive frames, with a caption, an effect chain and, for live
// sources, the frame pictures themselves.

#include "pluginhost/PluginRecord.h"

#include <QImage>
#include <QString>

#include <atomic>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace stillora {

class TSelection;

// In-memory picture slot.
struct TMemBitmap {
    QImage Picture;
    int64_t FrameNumber = 0;
    TSelection* Owner = nullptr;
};

// A picture kept in a temporary file. The file is named once, at creation,
// and deleted with the slot.
class TCachedBitmap {
public:
    TCachedBitmap();
    ~TCachedBitmap();
    TCachedBitmap(const TCachedBitmap&) = delete;
    TCachedBitmap& operator=(const TCachedBitmap&) = delete;

    // Writes the picture as a BMP file; a failed write leaves the slot empty.
    bool store(const QImage& picture);
    // Reads the picture back when the slot is filled and its file exists;
    // otherwise leaves `picture` as it was and returns false.
    bool load(QImage& picture) const;
    bool filled() const { return filled_; }
    const QString& fileName() const { return fileName_; }

private:
    QString fileName_;
    bool filled_ = false;
};

class TSelection {
public:
    explicit TSelection(QString caption = QString());
    ~TSelection();
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;

    // Stored properties, in the order the selection list file writes them.
    int32_t Tag = 0;
    int64_t StartFrame = 0;
    int64_t EndFrame = 0;
    QString Caption;
    int32_t Index = 0;
    int32_t frmLength = 0;
    int32_t SourceKind = 0;
    // Reading yields the number of slots; a written value is only kept here.
    int32_t IconsCount() const { return static_cast<int32_t>(MemSlots.size()); }
    int32_t StoredIconsCount = 0;
    QString IPList;

    // Frame-image slots: two parallel arrays of equal length.
    std::vector<TMemBitmap> MemSlots;
    std::vector<std::unique_ptr<TCachedBitmap>> CachedSlots;

    // Effect chain: copies of plug-in records, in order of application.
    std::vector<TPluginRecord> Effects;

    // Serialises writes into the slots (by the live-frame thread) with copies
    // out of them; used by the capture ring.
    mutable std::mutex SlotLock;

    // Frees every slot, then makes EndFrame - StartFrame + 1 slot pairs with
    // pictures of `size` (none when that count is not positive).
    void AllocateSlots(QSize size);
    void FreeSlots();

    // The chain caption: plug-in names joined by "," or "(None)".
    QString ChainCaption() const;
    // Rebuilds IPList from the chain and returns it.
    const QString& RefreshChainCaption();
};

// The owning list of selections, in creation order.
using SelectionList = std::vector<std::unique_ptr<TSelection>>;

// Size of the placeholder pictures of copied selections.
inline constexpr QSize kThumbSlotSize{64, 48};

// The caption a selection of a file gets from its marks (see NewSelection).
QString SelectionCaption(int64_t in, int64_t out);

// Makes a selection from two marks: "Frame_" + ZeroPad(in, 5) when they are
// equal, else "Range_" + ZeroPad(in, 5) + "_" + ZeroPad(out, 5) (in the order
// of the marks), with in and out swapped into order. A live selection
// (sourceKind 0) is filled from the capture ring and named after the clock.
// The ring writer is held off (captureActive lowered) for the duration.
std::unique_ptr<TSelection> NewSelection(int64_t in, int64_t out, int sourceKind,
                                         TSelection& captureStack, std::atomic<bool>& captureActive);

// Copies the capture ring into `target`: one frame (the slot at the ring's
// Index) or every slot. Takes the ring's lock for the copy.
void CopyFromStack(TSelection& target, const TSelection& stack, bool single);

// Rebuilds a chain from its stored caption: every ","-separated name found
// in `table` (first record of that name) is appended; unknown names are
// skipped, a trailing empty name does not count, and "(None)" leaves the
// chain as it is.
void RebindChainFromCaption(TSelection& selection, const QString& caption, const PluginTable& table);

// Slot of the newest frame in the ring (Index - 1, or the last slot).
int NewestSlot(const TSelection& stack);

// Decimal text of n, right-aligned in w characters with leading zeros
// (a wider number is not cut).
QString ZeroPad(int64_t n, int w);
// Local time as HHMMSSmmm (nine digits).
QString MakeStamp();
// Local date and time as DDMMYY_HHMMSSmmm.$$$
QString MakeCacheName();

// Folder that holds the frame-picture cache files: a private temporary folder
// of the process, removed when the program ends. Tests may point it elsewhere.
QString CacheFolder();
void SetCacheFolder(const QString& folder);

} // namespace stillora
