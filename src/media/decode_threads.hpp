#pragma once
// How many threads one decode may use. A build that decodes several pictures at once gives each
// decode its share of the cores, so that together they run about as many threads as the machine
// has cores instead of that many for each picture.
namespace lf::media {

// The threads one libvips pipeline or FFmpeg decoder may use; 0 means as many as the machine has.
int threadsPerDecode();

// Sets threadsPerDecode (and the libvips concurrency) for its lifetime and restores the previous
// setting afterwards. At most one should exist at a time: the setting is the process's.
class DecodeThreadsLimit {
public:
    explicit DecodeThreadsLimit(int threads);
    ~DecodeThreadsLimit();
    DecodeThreadsLimit(const DecodeThreadsLimit&) = delete;
    DecodeThreadsLimit& operator=(const DecodeThreadsLimit&) = delete;

private:
    int previous_ = 0;
    int previousVips_ = 0;
};

}  // namespace lf::media
