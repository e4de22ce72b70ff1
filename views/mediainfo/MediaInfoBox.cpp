#include "views/mediainfo/MediaInfoBox.h"

#include "video/MediaInfo.h"
#include "views/DialogService.h"

namespace stillora {

void showMediaInfo(const QString& path, QWidget* parent) {
    Dialogs().message(DialogService::Information, QString(), mediaInfoBoxText(path),
                      DialogService::Ok, parent);
}

} // namespace stillora
