#pragma once
// A hook that long decodes call while they run, so a test can stop the work from inside a decode
// or a frame extraction and see that the stop is honoured there, not only before or after.
#include <functional>

namespace lf::media::detail {

// Installs (or, with an empty function, removes) the hook. Tests only; not thread-safe against
// a decode that is running at the time.
void setWorkObserverForTesting(std::function<void()> observer);

// Called by the decoders at each step of long work: libvips evaluation, FFmpeg reads.
void noteWorkStep();

}  // namespace lf::media::detail
