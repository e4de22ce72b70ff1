// Stillora: turns moving video into still pictures.

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/Termination.h"
#include "app/settings/SettingsStore.h"
#include "video/MediaLog.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The media libraries write nothing to the terminal behind the window.
    stillora::installMediaLog();
    stillora::SetupApplication();
    stillora::SettingsStore settings;
    stillora::TfrmMain window(stillora::createMediaSource(), &settings);
    // Placement is restored once every window exists; closing the main
    // window stores it with the settings and closes the other windows.
    window.RestorePlacements();
    // A logout or a terminal's Ctrl-C closes the window as its close button
    // would, so the settings are kept and a render ends at a frame boundary.
    stillora::CloseOnTermination(&window);
    window.show();
    return app.exec();
}
