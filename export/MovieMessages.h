#pragma once
// The messages of a movie file that cannot be made, shared by the GIF and
// video writers: they name the file and the reason.

#include <QString>

namespace stillora {

inline QString CannotCreateMovieMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create the movie file:\n%1\n\n%2").arg(path, reason);
}

inline QString CannotWriteMovieMessage(const QString& path, const QString& reason) {
    return QStringLiteral("The movie file could not be written:\n%1\n\n%2").arg(path, reason);
}

} // namespace stillora
