#include "media/decode_threads.hpp"

#include <algorithm>
#include <atomic>

#include "media/picture.hpp"

namespace lf::media {

namespace {

std::atomic<int> limit{0};

}  // namespace

int threadsPerDecode() { return limit.load(std::memory_order_relaxed); }

DecodeThreadsLimit::DecodeThreadsLimit(int threads) {
    previous_ = limit.exchange(std::max(threads, 0));
    if (initialize()) {
        previousVips_ = vips_concurrency_get();
        // libvips reads the concurrency when a pipeline starts; 0 would mean its own default.
        vips_concurrency_set(threads > 0 ? threads : previousVips_);
    }
}

DecodeThreadsLimit::~DecodeThreadsLimit() {
    limit.store(previous_);
    if (previousVips_ > 0) vips_concurrency_set(previousVips_);
}

}  // namespace lf::media
