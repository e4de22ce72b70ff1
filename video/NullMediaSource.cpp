#include "video/NullMediaSource.h"

namespace stillora {

namespace {
bool fail(std::string* error, const char* text) {
    if (error) *error = text;
    return false;
}
} // namespace

bool NullMediaSource::open(SourceKind, const std::string&, std::string* error) {
    return fail(error, "No media layer is available.");
}
bool NullMediaSource::run(std::string* error) {
    return fail(error, "No source is open.");
}
bool NullMediaSource::pause(std::string* error) {
    return fail(error, "No source is open.");
}
bool NullMediaSource::stop(std::string* error) {
    return fail(error, "No source is open.");
}
bool NullMediaSource::seek(int64_t, std::string* error) {
    return fail(error, "No source is open.");
}
bool NullMediaSource::grab(QImage& out) {
    out = QImage();
    return false;
}

} // namespace stillora
