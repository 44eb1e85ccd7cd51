#pragma once
// What `lanternfold build` and `lanternfold publish` share around the build flow (lf::app): finding
// the pictures folder the command names, and running the flow's build task in the terminal, with
// its progress on standard error and Ctrl-C as Stop Building.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/build_flow.hpp"

namespace lf::cli {

// The folder as an absolute, standardized path when it is a folder; otherwise nothing, after
// "The folder “…” doesn’t exist." on standard error.
std::optional<std::filesystem::path> existingFolder(const std::filesystem::path& typed);

// Whether the progress shows the flow's first "Starting…" status.
enum class StartingStatus { shown, hidden };

// Captures the job and runs it with runBuildTask while Ctrl-C or SIGTERM requests a stop; progress
// goes to standard error (ended with a line break before this returns). A failure while capturing
// ends the same way as one in the task.
app::BuildOutcome runBuildTaskWithProgress(const std::function<app::BuildJob()>& captureJob,
                                           const app::PublishedHandler& onPublished, StartingStatus starting,
                                           const app::BuildOperations& operations);

// The value of --jobs N (also --jobs=N, -j N), the number of items the build makes at once: a whole
// number from 1 to 1024. Nothing when the text is anything else.
std::optional<int> parseJobs(const std::string& text);

}  // namespace lf::cli
