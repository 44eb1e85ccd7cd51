#pragma once
// Numbered pieces of work run on a few threads, their results handed back in number order: the
// caller sees the same sequence as if it had done the work itself, one piece after another, while
// the pieces themselves overlap.
#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

#include "platform/long_work.hpp"

namespace lf::platform {

// The number of cores this process may run on (its CPU affinity, which containers and taskset
// narrow), at least 1.
inline int usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
    return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

template <class Result>
class OrderedWorkers {
public:
    // work(index, stop) makes the result of one index; it is called on a worker thread and should
    // end soon (by throwing lf::Cancelled, say) once stop is requested.
    using Work = std::function<Result(int index, const StopToken& stop)>;

    // Starts min(workers, count) threads (at least one when count > 0) that call work for 0, 1, …,
    // count - 1, each index once, started in rising order. An index is started only while it is
    // fewer than `ahead` places past the next result to be taken, which bounds both the results
    // waiting to be taken and the work wasted when the caller gives up early.
    OrderedWorkers(int count, int workers, int ahead, Work work)
        : work_(std::move(work)), slots_(static_cast<size_t>(std::max(count, 0))), ahead_(std::max(ahead, 1)) {
        const int threads = std::min(std::max(workers, 1), std::max(count, 0));
        threads_.reserve(static_cast<size_t>(threads));
        for (int thread = 0; thread < threads; ++thread) threads_.emplace_back([this] { run(); });
    }

    // Asks the work still running to stop (through its stop token), starts no more, and waits for
    // the threads; results not taken are dropped.
    ~OrderedWorkers() {
        abandon_.request_stop();
        for (std::thread& thread : threads_) thread.join();
    }

    OrderedWorkers(const OrderedWorkers&) = delete;
    OrderedWorkers& operator=(const OrderedWorkers&) = delete;

    // The result of the next index not taken yet (0 first, then 1, …): waits until its work has
    // ended, then returns its result or rethrows what it threw. Throws lf::Cancelled, without
    // waiting further, when stop is requested before that result is ready.
    Result take(const StopToken& stop) {
        std::unique_lock lock(mutex_);
        Slot& slot = slots_.at(static_cast<size_t>(nextToTake_));
        if (!changed_.wait(lock, stop, [&slot] { return slot.done; })) throw Cancelled();
        Slot taken = std::move(slot);
        slot = Slot{};
        ++nextToTake_;
        lock.unlock();
        // One more index may now start.
        changed_.notify_all();
        if (taken.failure) std::rethrow_exception(taken.failure);
        return std::move(*taken.result);
    }

private:
    struct Slot {
        std::optional<Result> result;
        std::exception_ptr failure;
        bool done = false;
    };

    void run() {
        const std::stop_token stop = abandon_.get_token();
        const int count = static_cast<int>(slots_.size());
        for (;;) {
            int index = 0;
            {
                std::unique_lock lock(mutex_);
                const bool mayStart = changed_.wait(lock, stop, [this, count] {
                    return nextToStart_ >= count || nextToStart_ < nextToTake_ + ahead_;
                });
                if (!mayStart || nextToStart_ >= count) return;
                index = nextToStart_++;
            }
            Slot slot;
            try {
                slot.result.emplace(work_(index, stop));
            } catch (...) {
                slot.failure = std::current_exception();
            }
            slot.done = true;
            {
                std::lock_guard lock(mutex_);
                slots_[static_cast<size_t>(index)] = std::move(slot);
            }
            changed_.notify_all();
        }
    }

    Work work_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::vector<Slot> slots_;
    int ahead_;
    int nextToStart_ = 0;
    int nextToTake_ = 0;
    std::stop_source abandon_;
    std::vector<std::thread> threads_;  // last, so the threads start after everything they use
};

}  // namespace lf::platform
