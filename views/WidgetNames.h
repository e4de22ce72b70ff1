#pragma once
// Gives a widget its fixed object name (tests find controls by it) and
// returns it, so that a control can be made, named and placed in one line.

#include <QString>

namespace stillora {

template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace stillora
