// A first-in, first-out queue between two threads: a deque behind a mutex,
// with a condition variable signalled once per push.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace nbr {

template <typename T>
class ThreadSafeQueue {
public:
    // Appends `item` and wakes one waiter (after the lock is released).
    void push(T item) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            items_.push_back(std::move(item));
        }
        cv_.notify_one();
    }

    // The front element, or nothing when the queue is empty; never waits.
    std::optional<T> tryPop() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (items_.empty()) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        return item;
    }

    // Waits until an element is there or `timeout` has passed; the front
    // element, or nothing when the wait timed out with the queue empty.
    std::optional<T> waitPop(std::chrono::steady_clock::duration timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        if (!cv_.wait_until(lock, deadline, [this] { return !items_.empty(); })) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        return item;
    }

    size_t size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return items_.size();
    }

private:
    std::deque<T> items_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
};

}  // namespace nbr
