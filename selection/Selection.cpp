#include "selection/Selection.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <set>

namespace stillora {

namespace {

std::mutex cacheLock;
QString cacheOverride;
std::set<QString> namesGiven; // every cache name handed out in this process

QString defaultCacheFolder() {
    static QTemporaryDir dir(QDir::tempPath() + "/stillora-frames-XXXXXX");
    return dir.isValid() ? dir.path() : QString();
}

// A cache file name that no other slot of this process uses. MakeCacheName()
// repeats within one millisecond, so a counter tells such names apart.
QString uniqueCacheName() {
    const QString folder = CacheFolder();
    const QString base = MakeCacheName();
    std::lock_guard<std::mutex> lock(cacheLock);
    QString name = base;
    for (int n = 1; namesGiven.count(name) || QFile::exists(folder + '/' + name); ++n)
        name = base.left(base.size() - 4) + '_' + QString::number(n) + ".$$$";
    namesGiven.insert(name);
    return folder + '/' + name;
}

} // namespace

QString CacheFolder() {
    {
        std::lock_guard<std::mutex> lock(cacheLock);
        if (!cacheOverride.isEmpty()) return cacheOverride;
    }
    return defaultCacheFolder();
}

void SetCacheFolder(const QString& folder) {
    std::lock_guard<std::mutex> lock(cacheLock);
    cacheOverride = folder;
}

TCachedBitmap::TCachedBitmap() : fileName_(uniqueCacheName()) {}

TCachedBitmap::~TCachedBitmap() {
    if (!fileName_.isEmpty()) QFile::remove(fileName_);
}

bool TCachedBitmap::store(const QImage& picture) {
    filled_ = false;
    if (picture.isNull()) return false;
    filled_ = picture.save(fileName_, "BMP");
    if (!filled_) QFile::remove(fileName_);
    return filled_;
}

bool TCachedBitmap::load(QImage& picture) const {
    if (!filled_ || !QFile::exists(fileName_)) return false;
    QImage read(fileName_, "BMP");
    if (read.isNull()) return false;
    picture = read.convertToFormat(QImage::Format_RGB32);
    return true;
}

TSelection::TSelection(QString caption) : Caption(std::move(caption)) {}

TSelection::~TSelection() { FreeSlots(); }

void TSelection::FreeSlots() {
    MemSlots.clear();
    CachedSlots.clear();
}

void TSelection::AllocateSlots(QSize size) {
    FreeSlots();
    const int64_t n = EndFrame - StartFrame + 1;
    if (n <= 0) return;
    MemSlots.reserve(static_cast<size_t>(n));
    CachedSlots.reserve(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
        TMemBitmap slot;
        if (!size.isEmpty()) {
            slot.Picture = QImage(size, QImage::Format_RGB32);
            slot.Picture.fill(Qt::black);
        }
        slot.FrameNumber = StartFrame + i;
        slot.Owner = this;
        MemSlots.push_back(std::move(slot));
        CachedSlots.push_back(std::make_unique<TCachedBitmap>());
    }
}

QString TSelection::ChainCaption() const {
    if (Effects.empty()) return QStringLiteral("(None)");
    QStringList names;
    for (const auto& entry : Effects) names << QString::fromLocal8Bit(entry.name().c_str());
    return names.join(',');
}

const QString& TSelection::RefreshChainCaption() {
    IPList = ChainCaption();
    return IPList;
}

QString SelectionCaption(int64_t in, int64_t out) {
    return in == out ? "Frame_" + ZeroPad(in, 5) : "Range_" + ZeroPad(in, 5) + "_" + ZeroPad(out, 5);
}

std::unique_ptr<TSelection> NewSelection(int64_t in, int64_t out, int sourceKind,
                                         TSelection& captureStack, std::atomic<bool>& captureActive) {
    const bool wasActive = captureActive.exchange(false);
    auto selection = std::make_unique<TSelection>(SelectionCaption(in, out));
    selection->StartFrame = in;
    selection->EndFrame = out;
    selection->Index = static_cast<int32_t>(in);
    selection->SourceKind = sourceKind;
    if (selection->EndFrame < selection->StartFrame) std::swap(selection->StartFrame, selection->EndFrame);
    selection->frmLength = static_cast<int32_t>(selection->EndFrame) - static_cast<int32_t>(selection->StartFrame) + 1;
    if (sourceKind == 0) {
        const bool single = in == out;
        CopyFromStack(*selection, captureStack, single);
        selection->Caption = (single ? "Frame_" : "Range_") + MakeStamp();
    }
    captureActive = wasActive;
    return selection;
}

void CopyFromStack(TSelection& target, const TSelection& stack, bool single) {
    target.Caption = stack.Caption;
    target.Tag = stack.Tag;
    target.SourceKind = stack.SourceKind;
    target.Index = stack.Index;
    if (single) {
        target.StartFrame = 0;
        target.EndFrame = 0;
        target.frmLength = 1;
        target.AllocateSlots(kThumbSlotSize);
        std::lock_guard<std::mutex> lock(stack.SlotLock);
        if (stack.Index >= 0 && stack.Index < stack.IconsCount())
            target.CachedSlots[0]->store(stack.MemSlots[static_cast<size_t>(stack.Index)].Picture);
        return;
    }
    target.StartFrame = stack.StartFrame;
    target.EndFrame = stack.EndFrame;
    target.frmLength = stack.frmLength;
    target.AllocateSlots(kThumbSlotSize);
    std::lock_guard<std::mutex> lock(stack.SlotLock);
    const int count = std::min<int>(target.frmLength, std::min(target.IconsCount(), stack.IconsCount()));
    for (int i = 0; i < count; ++i) {
        const QImage& picture = stack.MemSlots[static_cast<size_t>(i)].Picture;
        if (!picture.isNull()) target.MemSlots[static_cast<size_t>(i)].Picture = picture.copy();
    }
}

void RebindChainFromCaption(TSelection& selection, const QString& caption, const PluginTable& table) {
    if (caption == QLatin1String("(None)")) return;
    QStringList items = caption.split(',', Qt::KeepEmptyParts);
    if (!items.isEmpty() && items.last().isEmpty()) items.removeLast();
    for (const QString& item : items) {
        const int found = FindPluginByName(table, item.toLocal8Bit().toStdString());
        if (found >= 0) selection.Effects.push_back(table[static_cast<size_t>(found)]);
    }
}

int NewestSlot(const TSelection& stack) {
    const int count = stack.IconsCount();
    if (count == 0) return -1;
    return stack.Index <= 0 ? count - 1 : stack.Index - 1;
}

QString ZeroPad(int64_t n, int w) {
    QString text = QString::number(n);
    if (text.size() < w) text = QString(w - text.size(), '0') + text;
    return text;
}

QString MakeStamp() { return QTime::currentTime().toString("HHmmsszzz"); }

QString MakeCacheName() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.date().toString("ddMMyy") + '_' + now.time().toString("HHmmsszzz") + ".$$$";
}

} // namespace stillora
