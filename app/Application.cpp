#include "app/Application.h"

#include <QApplication>
#include <QStyleFactory>

namespace stillora {

void SetupApplication() {
    QApplication::setApplicationName(QStringLiteral("Stillora"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

} // namespace stillora
