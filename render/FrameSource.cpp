#include "render/FrameSource.h"

#include "selection/Selection.h"
#include "video/MediaSource.h"

namespace stillora {

MediaFrameSource::MediaFrameSource(MediaSource& media, std::function<void()> settle)
    : media_(media), settle_(std::move(settle)) {}

bool MediaFrameSource::fetch(const TSelection&, int64_t frame, QImage& picture, QString* error) {
    std::string reason;
    if (!media_.seek(frame, &reason)) {
        if (error) *error = QString::fromStdString(reason);
        return false;
    }
    if (settle_) settle_();
    // Nothing is kept here: an image the source may reuse must be released
    // by everyone once the run is done with it.
    QImage grabbed;
    if (!media_.grab(grabbed)) {
        if (error) *error = QStringLiteral("Cannot grab frame %1.").arg(frame);
        return false;
    }
    picture = std::move(grabbed);
    return true;
}

bool LiveSlotFrameSource::fetch(const TSelection& selection, int64_t frame, QImage& picture,
                                QString*) {
    const int32_t index = static_cast<int32_t>(frame);
    QImage stored;
    if (index >= 0 && static_cast<size_t>(index) < selection.CachedSlots.size() &&
        selection.CachedSlots[static_cast<size_t>(index)])
        selection.CachedSlots[static_cast<size_t>(index)]->load(stored);
    picture = stored;
    return true;
}

} // namespace stillora
