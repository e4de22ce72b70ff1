#pragma once
// The information box of the "?" button beside the file name.

#include <QString>

class QWidget;

namespace stillora {

// Shows an information box with an OK button describing the file `path`
// (the file-name box's text): its name, and what probing can read of it.
void showMediaInfo(const QString& path, QWidget* parent = nullptr);

} // namespace stillora
