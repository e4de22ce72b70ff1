#include "render/FrameFetcher.h"

#include "render/FrameSource.h"

namespace stillora {

FrameFetcher::FrameFetcher(RenderFrameSource& source, std::vector<Item> items, size_t capacity)
    : source_(source), items_(std::move(items)), capacity_(capacity < 1 ? 1 : capacity) {
    thread_ = std::thread([this] { work(); });
}

FrameFetcher::~FrameFetcher() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void FrameFetcher::work() {
    for (const Item& item : items_) {
        {
            std::unique_lock<std::mutex> guard(lock_);
            changed_.wait(guard, [this] { return stop_ || ready_.size() < capacity_; });
            if (stop_) return;
        }
        Fetched fetched;
        fetched.ok = source_.fetch(*item.selection, item.frame, fetched.picture, &fetched.reason);
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (stop_) return;
            ready_.push_back(std::move(fetched));
        }
        changed_.notify_all();
    }
}

FrameFetcher::Fetched FrameFetcher::next() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return !ready_.empty(); });
    Fetched fetched = std::move(ready_.front());
    ready_.pop_front();
    guard.unlock();
    changed_.notify_all();
    return fetched;
}

} // namespace stillora
