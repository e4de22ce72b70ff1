#include "video/ScriptedMediaSource.h"

#include <QPainter>

namespace stillora {

namespace {
constexpr int kCols = 8;
constexpr int kRows = 5; // 4 rows of 8 bits = 32 bits, then a row of guard cells
constexpr int kBits = 32;

bool fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

QRect cellRect(int index, QSize size) {
    const int col = index % kCols, row = index / kCols;
    const int x0 = col * size.width() / kCols, x1 = (col + 1) * size.width() / kCols;
    const int y0 = row * size.height() / kRows, y1 = (row + 1) * size.height() / kRows;
    return QRect(x0, y0, x1 - x0, y1 - y0);
}
} // namespace

ScriptedMediaSource::ScriptedMediaSource(int64_t frames, QSize size)
    : frames_(frames), size_(size) {}

QImage ScriptedMediaSource::makeFrame(int64_t number, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(128, 64, 32));
    QPainter painter(&image);
    const auto value = static_cast<uint32_t>(number);
    for (int bit = 0; bit < kBits; ++bit)
        painter.fillRect(cellRect(bit, size), ((value >> bit) & 1u) ? Qt::white : Qt::black);
    // Guard row: alternating cells tell a numbered frame from any other picture.
    for (int col = 0; col < kCols; ++col)
        painter.fillRect(cellRect(kBits + col, size), (col % 2) ? Qt::white : Qt::black);
    return image;
}

int64_t ScriptedMediaSource::readNumber(const QImage& image) {
    if (image.isNull() || image.width() < kCols || image.height() < kRows) return -1;
    auto bright = [&](int index, bool* clear) {
        const QRect r = cellRect(index, image.size());
        const int gray = qGray(image.pixel(r.center()));
        *clear = gray < 64 || gray > 192;
        return gray > 127;
    };
    bool clear = true;
    for (int col = 0; col < kCols; ++col) {
        if (bright(kBits + col, &clear) != (col % 2 == 1) || !clear) return -1;
    }
    uint32_t value = 0;
    for (int bit = 0; bit < kBits; ++bit) {
        if (bright(bit, &clear)) value |= 1u << bit;
        if (!clear) return -1;
    }
    return value;
}

bool ScriptedMediaSource::open(SourceKind kind, const std::string& name, std::string* error) {
    calls_.push_back("open " + name);
    close();
    if (!openable_ || name.empty()) return fail(error, "Cannot open " + name);
    if (kind == SourceKind::Live) {
        bool found = false;
        for (const auto& device : devices_)
            found = found || device.name == name;
        if (!found) return fail(error, "No such device: " + name);
    }
    opened_.push_back(name);
    open_ = true;
    kind_ = kind;
    state_ = MediaState::Stopped;
    current_ = 0;
    stopFrame_ = -1;
    presented_ = kind != SourceKind::Live;
    return true;
}

void ScriptedMediaSource::close() {
    open_ = false;
    state_ = MediaState::None;
    presented_ = false;
}

bool ScriptedMediaSource::run(std::string* error) {
    calls_.push_back("run");
    if (!open_) return fail(error, "No source is open.");
    state_ = MediaState::Running;
    return true;
}

bool ScriptedMediaSource::pause(std::string* error) {
    calls_.push_back("pause");
    if (!open_) return fail(error, "No source is open.");
    state_ = MediaState::Paused;
    return true;
}

bool ScriptedMediaSource::stop(std::string* error) {
    calls_.push_back("stop");
    if (!open_) return fail(error, "No source is open.");
    state_ = MediaState::Stopped;
    return true;
}

int64_t ScriptedMediaSource::frameCount() {
    return open_ && kind_ != SourceKind::Live ? frames_ : 0;
}

bool ScriptedMediaSource::seek(int64_t frame, std::string* error) {
    calls_.push_back("seek " + std::to_string(frame));
    if (!open_) return fail(error, "No source is open.");
    if (kind_ == SourceKind::Live) return fail(error, "A live source cannot be sought.");
    if (frame < 0 || frame >= frames_) return fail(error, "Frame out of range.");
    current_ = frame;
    state_ = MediaState::Paused;
    return true;
}

bool ScriptedMediaSource::grab(QImage& out) {
    if (!open_ || grabFails_ || !presented_) {
        out = QImage();
        return false;
    }
    out = makeFrame(current_, size_);
    return true;
}

void ScriptedMediaSource::setFrameCallback(FrameCallback callback) {
    std::lock_guard<std::mutex> lock(handlerLock_);
    callback_ = std::move(callback);
}

void ScriptedMediaSource::setFrameNotifier(std::function<void()> notifier) {
    std::lock_guard<std::mutex> lock(handlerLock_);
    notifier_ = std::move(notifier);
}

void ScriptedMediaSource::present(int64_t number) {
    current_ = number;
    presented_ = true;
    std::lock_guard<std::mutex> lock(handlerLock_);
    if (callback_) callback_(makeFrame(number, size_), number);
    if (notifier_) notifier_();
}

void ScriptedMediaSource::advance(int n) {
    const int64_t last = stopFrame_ >= 0 ? std::min(stopFrame_, frames_ - 1) : frames_ - 1;
    for (int i = 0; i < n && state_ == MediaState::Running && current_ < last; ++i)
        present(current_ + 1);
}

void ScriptedMediaSource::pushLiveFrames(int n) {
    for (int i = 0; i < n && open_; ++i)
        present(current_ + (presented_ ? 1 : 0));
}

std::vector<double> ScriptedMediaSource::frameTimes() {
    std::vector<double> times;
    if (!open_ || kind_ == SourceKind::Live) return times;
    for (int64_t n = 0; n < frames_; ++n)
        times.push_back(double(n) / 25.0);
    return times;
}

} // namespace stillora
