#pragma once
// Scratch folders for tests, removed when the object goes.

#include <QString>
#include <QTemporaryDir>

namespace stillora::test {

class ScratchDir {
public:
    ScratchDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

} // namespace stillora::test
