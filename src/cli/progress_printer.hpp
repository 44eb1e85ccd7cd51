#pragma once
// Progress of a long command on standard error: one line redrawn in place on a terminal, one line
// per step otherwise, so that a log file or a pipe does not fill with carriage returns.
#include <mutex>
#include <string>

namespace lf::cli {

class ProgressPrinter {
public:
    ProgressPrinter();

    // Shows text and done / total (0 % when total is below 1). Safe to call from any thread.
    void operator()(int done, int total, const std::string& text);

    // Ends a redrawn line so that what follows starts on a line of its own.
    void finish();

private:
    std::mutex mutex_;
    bool terminal_;
    bool open_ = false;
};

}  // namespace lf::cli
