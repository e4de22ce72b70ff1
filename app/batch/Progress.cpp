#include "app/batch/Progress.h"

namespace stillora::batch {

namespace {

using namespace std::chrono;

// A terminal line is redrawn at most this often, a plain line written at
// most this often.
constexpr milliseconds kTerminalPeriod(200);
constexpr milliseconds kPlainPeriod(2000);

QString clockText(int64_t seconds) {
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

Progress::Progress(std::FILE* out, bool enabled, bool terminal, Clock clock)
    : out_(out), enabled_(enabled), terminal_(terminal), clock_(std::move(clock)) {}

steady_clock::time_point Progress::now() const {
    return clock_ ? clock_() : steady_clock::now();
}

void Progress::start(int64_t total) {
    total_ = total;
    done_ = 0;
    started_ = now();
    lastShown_ = started_;
}

QString Progress::line(const QString& video) const {
    const double seconds = duration<double>(now() - started_).count();
    QString text = QStringLiteral("%1: %2/%3 frames").arg(video).arg(done_).arg(total_);
    if (seconds > 0 && done_ > 0) {
        const double fps = done_ / seconds;
        text += QStringLiteral(", %1 fps").arg(fps, 0, 'f', 1);
        const auto left = static_cast<int64_t>((total_ - done_) / fps + 0.5);
        text += QStringLiteral(", %1 left").arg(clockText(left));
    }
    return text;
}

void Progress::frameDone(const QString& video) {
    ++done_;
    if (!enabled_) return;
    const auto t = now();
    const bool last = done_ == total_;
    if (!last && t - lastShown_ < (terminal_ ? kTerminalPeriod : kPlainPeriod)) return;
    lastShown_ = t;
    lastLine_ = line(video);
    if (terminal_) {
        std::fprintf(out_, "\r%s\033[K", qPrintable(lastLine_));
        lineShown_ = true;
    } else {
        std::fprintf(out_, "%s\n", qPrintable(lastLine_));
    }
    std::fflush(out_);
}

void Progress::indexing(const QString& video, int percent, const QString& what) {
    if (!enabled_) return;
    if (what != lastPass_ || video != lastPassVideo_) {
        lastPass_ = what;
        lastPassVideo_ = video;
        indexTenths_ = -1;
        passStart_ = now();
    }
    const QString text = percent < 0 ? QStringLiteral("%1: %2\u2026").arg(video, what)
                                     : QStringLiteral("%1: %2\u2026 %3 %").arg(video, what).arg(percent);
    if (terminal_) {
        std::fprintf(out_, "\r%s\033[K", qPrintable(text));
        lineShown_ = true;
    } else {
        // Plain lines go to logs: a pass that ends within a second is not worth one.
        if (now() - passStart_ < kQuietPass) return;
        const int tenths = percent < 0 ? 0 : percent / 10;
        if (tenths == indexTenths_) return;
        indexTenths_ = tenths;
        std::fprintf(out_, "%s\n", qPrintable(text));
    }
    std::fflush(out_);
}

void Progress::clearLine() {
    if (!lineShown_) return;
    std::fputs("\r\033[K", out_);
    lineShown_ = false;
}

void Progress::message(const QString& line) {
    clearLine();
    std::fprintf(out_, "%s\n", qPrintable(line));
    if (enabled_ && terminal_ && !lastLine_.isEmpty() && done_ < total_) {
        std::fprintf(out_, "%s", qPrintable(lastLine_));
        lineShown_ = true;
    }
    std::fflush(out_);
}

void Progress::finish() {
    if (lineShown_) std::fputs("\n", out_);
    lineShown_ = false;
    std::fflush(out_);
}

} // namespace stillora::batch
