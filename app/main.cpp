// Stillora: turns moving video into still pictures.

#include "app/MainWindow.h"
#include "app/settings/SettingsBinder.h"
#include "app/settings/SettingsStore.h"
#include "views/timeline/GetFrame.h"
#include "views/timeline/Timeline.h"
#include "views/viewer/ImageViewer.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Stillora");
    QApplication::setApplicationDisplayName("Stillora");
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    stillora::SettingsStore settings;
    stillora::TfrmMain window(stillora::createMediaSource(), &settings);
    const stillora::PlacedWindows placed{&window, window.frmRender.get(), window.frmTimeline.get(),
                                         window.frmGetFrame.get()};
    stillora::RestoreWindowPlacements(settings, placed);
    window.show();
    const int result = app.exec();
    stillora::SaveWindowPlacements(settings, placed);
    settings.Save();
    return result;
}
