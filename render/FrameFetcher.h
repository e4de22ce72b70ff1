#pragma once
// Fetches the frames of a render run ahead of the run, on a thread of its
// own, so that decoding the next frames overlaps the work on the current
// one. Frames come out in the order they were listed; at most `capacity`
// wait at a time, so memory stays bounded however long the run is.
//
// Threads: the constructor, next() and the destructor are called by the
// thread that runs the render run. The source's fetch() is called only on
// the fetcher's own thread, one call at a time, while the fetcher lives;
// the caller must not use the source meanwhile. One lock (lock_) guards the
// queue and the stop flag.

#include <QImage>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace stillora {

class RenderFrameSource;
class TSelection;

class FrameFetcher {
public:
    // One frame to fetch: a frame number of a selection.
    struct Item {
        TSelection* selection;
        int64_t frame;
    };
    // What a fetch gave: the picture, or a reason when it failed.
    struct Fetched {
        bool ok = false;
        QImage picture;
        QString reason;
    };

    FrameFetcher(RenderFrameSource& source, std::vector<Item> items, size_t capacity);
    // Stops fetching (a fetch in progress is finished and dropped) and joins.
    ~FrameFetcher();
    FrameFetcher(const FrameFetcher&) = delete;
    FrameFetcher& operator=(const FrameFetcher&) = delete;

    // The next frame in list order, waiting for it if needed. Called at most
    // once per item.
    Fetched next();

private:
    void work();

    RenderFrameSource& source_;
    const std::vector<Item> items_;
    const size_t capacity_;

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Fetched> ready_; // fetched, not yet taken; at most capacity_
    bool stop_ = false;
    std::thread thread_;
};

} // namespace stillora
