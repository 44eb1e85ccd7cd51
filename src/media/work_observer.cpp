#include "media/work_observer.hpp"

#include <atomic>
#include <memory>
#include <mutex>

namespace lf::media::detail {

namespace {

std::mutex observerMutex;
std::function<void()> observer;
std::atomic<bool> haveObserver{false};

}  // namespace

void setWorkObserverForTesting(std::function<void()> newObserver) {
    std::lock_guard lock(observerMutex);
    observer = std::move(newObserver);
    haveObserver = static_cast<bool>(observer);
}

void noteWorkStep() {
    // The common case (no test watching) costs one atomic load.
    if (!haveObserver.load(std::memory_order_relaxed)) return;
    std::function<void()> copy;
    {
        std::lock_guard lock(observerMutex);
        copy = observer;
    }
    if (copy) copy();
}

}  // namespace lf::media::detail
