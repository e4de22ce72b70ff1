#pragma once
// A timeline host over the scripted media source, and a capture ring that is
// written the way the live-frame handler writes it.

#include "selection/Selection.h"
#include "video/ScriptedMediaSource.h"
#include "views/timeline/TimelineHost.h"

#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <mutex>

namespace stillora::test {

inline constexpr QSize kRingFrameSize{160, 120};

// Builds the ring as start-up does: 25 slots (0..24) at the frame size.
inline void AllocateRing(TSelection& ring, QSize size = kRingFrameSize) {
    ring.StartFrame = 0;
    ring.EndFrame = 24;
    ring.frmLength = 25;
    std::lock_guard<std::mutex> lock(ring.SlotLock);
    ring.AllocateSlots(size);
}

// Writes live frames first..first+count-1 into the ring, as the streaming
// thread does: into the slot at Index, then Index moves on and wraps.
inline void WriteRing(TSelection& ring, int64_t first, int count) {
    for (int i = 0; i < count; ++i) {
        QImage picture = ScriptedMediaSource::makeFrame(first + i, kRingFrameSize);
        std::lock_guard<std::mutex> lock(ring.SlotLock);
        const int slotCount = ring.IconsCount();
        if (slotCount == 0) return;
        if (ring.Index < 0 || ring.Index >= slotCount) ring.Index = 0;
        ring.MemSlots[static_cast<size_t>(ring.Index)].Picture = std::move(picture);
        ring.Index = ring.Index + 1 >= slotCount ? 0 : ring.Index + 1;
    }
}

inline bool IsStampCaption(const QString& caption) {
    return QRegularExpression("^Frame_\\d{9}$").match(caption).hasMatch();
}

class FakeHost : public TimelineHost {
public:
    explicit FakeHost(int kind = 1) : kind(kind), media(500, QSize(320, 240)) {
        media.open(SourceKind::File, "clip.avi", nullptr);
        ring.Caption = "Capture Stack";
    }

    // Adds a selection the way the tree does (StartFrame..EndFrame, no slots).
    TSelection* addInterval(int64_t in, int64_t out, const QString& caption) {
        auto selection = std::make_unique<TSelection>(caption);
        selection->StartFrame = in;
        selection->EndFrame = out;
        selection->Index = static_cast<int32_t>(in);
        selection->frmLength = static_cast<int32_t>(out - in + 1);
        selection->SourceKind = kind;
        list.push_back(std::move(selection));
        return list.back().get();
    }
    void remove(const TSelection* selection) {
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const auto& s) { return s.get() == selection; }),
                   list.end());
    }

    std::vector<TSelection*> selectionList() override {
        std::vector<TSelection*> result;
        for (auto& selection : list)
            result.push_back(selection.get());
        return result;
    }
    TSelection& captureStack() override { return ring; }
    int sourceKind() override { return kind; }
    bool seekAndGrab(int64_t frame, QImage& picture) override {
        fetched.push_back(frame);
        if (whileFetching) whileFetching(frame);
        if (frame == failAt) return false;
        return media.seek(frame, nullptr) && media.grab(picture);
    }
    void seekTo(int64_t frame) override { seeks.push_back(frame); }
    void addSelection(std::unique_ptr<TSelection> selection) override {
        list.push_back(std::move(selection));
    }
    void showFrameInViewer(const TSelection& selection, const QImage* picture) override {
        ++viewerCalls;
        viewerSelection = &selection;
        viewerPicture = picture ? *picture : QImage();
    }

    int kind;
    ScriptedMediaSource media;
    SelectionList list;
    TSelection ring;
    std::vector<int64_t> fetched;
    std::vector<int64_t> seeks;
    int64_t failAt = -1;
    // Stands for whatever the user does while a frame is being fetched.
    std::function<void(int64_t)> whileFetching;
    int viewerCalls = 0;
    const TSelection* viewerSelection = nullptr;
    QImage viewerPicture;
};

} // namespace stillora::test
