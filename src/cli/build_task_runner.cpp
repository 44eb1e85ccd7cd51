#include "cli/build_task_runner.hpp"

#include <iostream>
#include <stop_token>
#include <string>
#include <system_error>

#include "cli/interrupt_watch.hpp"
#include "cli/progress_printer.hpp"
#include "platform/files.hpp"

namespace lf::cli {

namespace fs = std::filesystem;

namespace {

// More threads than this only cost memory: no machine this runs on has that many cores.
constexpr int maximumJobs = 1024;

}  // namespace

std::optional<fs::path> existingFolder(const fs::path& typed) {
    std::error_code code;
    const fs::path folder = platform::standardized(fs::absolute(typed, code));
    if (!fs::is_directory(folder, code)) {
        std::cerr << "The folder “" << typed.string() << "” doesn’t exist.\n";
        return std::nullopt;
    }
    return folder;
}

std::optional<int> parseJobs(const std::string& text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > maximumJobs) return std::nullopt;
    return value;
}

app::BuildOutcome runBuildTaskWithProgress(const std::function<app::BuildJob()>& captureJob,
                                           const app::PublishedHandler& onPublished, StartingStatus starting,
                                           const app::BuildOperations& operations) {
    std::stop_source stop;
    ProgressPrinter printer;
    app::BuildOutcome outcome;
    {
        InterruptWatch watch(stop);
        try {
            outcome = app::runBuildTask(
                captureJob(),
                [&printer, starting](int done, int total, const std::string& text) {
                    if (starting == StartingStatus::hidden && total == 0 && text == app::startingText) return;
                    printer(done, total, text);
                },
                stop.get_token(), onPublished, operations);
        } catch (...) {
            outcome = app::outcomeOfFailure(std::current_exception());
        }
    }
    printer.finish();
    return outcome;
}

}  // namespace lf::cli
