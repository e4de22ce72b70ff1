// Stillora: turns moving video into still pictures.

#include "app/MainWindow.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Stillora");
    QApplication::setApplicationDisplayName("Stillora");
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    stillora::TfrmMain window(stillora::createMediaSource());
    window.show();
    return app.exec();
}
