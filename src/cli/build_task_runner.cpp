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

std::optional<fs::path> existingFolder(const fs::path& typed) {
    std::error_code code;
    const fs::path folder = platform::standardized(fs::absolute(typed, code));
    if (!fs::is_directory(folder, code)) {
        std::cerr << "The folder “" << typed.string() << "” doesn’t exist.\n";
        return std::nullopt;
    }
    return folder;
}

app::BuildOutcome runBuildTaskWithProgress(const std::function<app::BuildJob()>& captureJob,
                                           const app::PublishedHandler& onPublished, StartingStatus starting) {
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
                stop.get_token(), onPublished);
        } catch (...) {
            outcome = app::outcomeOfFailure(std::current_exception());
        }
    }
    printer.finish();
    return outcome;
}

}  // namespace lf::cli
