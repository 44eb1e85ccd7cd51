#pragma once
// Ctrl-C (SIGINT) and SIGTERM during a long command ask its work to stop at the next cancellation
// point, so the command can end with "Stopped." instead of leaving half-written state behind.
// A second signal ends the program at once, as the default action does.
#include <signal.h>

#include <stop_token>
#include <thread>

#include "platform/file_descriptor.hpp"

namespace lf::cli {

class InterruptWatch {
public:
    // Watches from construction until destruction; source gets request_stop() on the first signal.
    explicit InterruptWatch(std::stop_source& source);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    platform::Pipe pipe_;
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
    bool installed_ = false;
    std::thread watcher_;
};

}  // namespace lf::cli
