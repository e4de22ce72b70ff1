#pragma once
// Progress and messages on standard error. On a terminal one line is
// redrawn in place; otherwise plain lines are written now and then, so that
// a log file stays readable. Messages always get a line of their own.

#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace stillora::batch {

class Progress {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `enabled` false shows no progress (messages still go out).
    Progress(std::FILE* out, bool enabled, bool terminal, Clock clock = {});

    void start(int64_t total);
    // One more frame done (written, skipped or failed) while working on `video`.
    void frameDone(const QString& video);
    // How far the index pass over `video` got while it opens (0 to 99; -1
    // unknown): "video: Indexing… 37 %", redrawn in place on a terminal,
    // written at each further tenth otherwise.
    // `what` names the pass ("Analysing" for the decode that finds scenes).
    void indexing(const QString& video, int percent, const QString& what = QStringLiteral("Indexing"));
    // A line of its own, keeping the progress line intact on a terminal.
    void message(const QString& line);
    // Ends the progress line.
    void finish();

    // "video: 12/300 frames, 24.5 fps, 0:11 left"
    QString line(const QString& video) const;
    int64_t done() const { return done_; }

private:
    std::chrono::steady_clock::time_point now() const;
    void clearLine();

    std::FILE* out_;
    bool enabled_;
    bool terminal_;
    Clock clock_;
    int64_t total_ = 0;
    int64_t done_ = 0;
    bool lineShown_ = false;
    std::chrono::steady_clock::time_point started_{};
    std::chrono::steady_clock::time_point lastShown_{};
    QString lastLine_;
    QString lastPass_;  // the pass indexing() showed last
    QString lastPassVideo_; // and the video it belongs to
    std::chrono::steady_clock::time_point passStart_; // when that pass was first reported
    static constexpr std::chrono::seconds kQuietPass{1};
    int indexTenths_ = -1; // the last tenth of an index pass written as a plain line
};

} // namespace stillora::batch
