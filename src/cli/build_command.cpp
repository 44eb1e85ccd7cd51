// lanternfold build FOLDER [--output DIR] [--jobs N]: "Build Gallery" from the command line. The folder is
// opened as a project like the window opens it, its project file is saved, and the same build runs;
// progress goes to standard error and the path of the index page to standard output.
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "app/build_flow.hpp"
#include "cli/build_task_runner.hpp"
#include "builder/build_error.hpp"
#include "cli/commands.hpp"
#include "model/project.hpp"
#include "platform/files.hpp"

namespace lf::cli {

namespace {

namespace fs = std::filesystem;
using app::Destination;

const char* buildUsage =
    "Usage: lanternfold build FOLDER [--output DIR] [--jobs N]\n"
    "\n"
    "Builds the folder's gallery with the settings of its lanternfold.json and prints the path of its\n"
    "index page. --output sets the gallery folder and saves it in lanternfold.json. --jobs makes N\n"
    "items at once (default: one per core); the gallery is the same whatever N is.\n";

struct BuildArguments {
    fs::path folder;
    std::optional<std::string> output;
    std::optional<int> jobs;
};

std::optional<BuildArguments> parse(const Arguments& args) {
    BuildArguments parsed;
    bool haveFolder = false;
    for (size_t index = 0; index < args.size(); ++index) {
        const std::string& arg = args[index];
        if (arg == "--output" || arg == "-o") {
            if (index + 1 >= args.size() || parsed.output) return std::nullopt;
            parsed.output = args[++index];
        } else if (arg.starts_with("--output=")) {
            if (parsed.output) return std::nullopt;
            parsed.output = arg.substr(9);
        } else if (arg == "--jobs" || arg == "-j") {
            if (index + 1 >= args.size() || parsed.jobs) return std::nullopt;
            parsed.jobs = parseJobs(args[++index]);
            if (!parsed.jobs) return std::nullopt;
        } else if (arg.rfind("--jobs=", 0) == 0) {
            if (parsed.jobs) return std::nullopt;
            parsed.jobs = parseJobs(arg.substr(7));
            if (!parsed.jobs) return std::nullopt;
        } else if (arg == "--") {
            if (index + 2 != args.size() || haveFolder) return std::nullopt;
            parsed.folder = args[++index];
            haveFolder = true;
        } else if (!arg.empty() && arg.front() == '-') {
            return std::nullopt;
        } else {
            if (haveFolder) return std::nullopt;
            parsed.folder = arg;
            haveFolder = true;
        }
    }
    if (!haveFolder || parsed.folder.empty() || (parsed.output && parsed.output->empty())) return std::nullopt;
    return parsed;
}

}  // namespace

int runBuild(const Arguments& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << buildUsage;
        return exitSuccess;
    }
    const std::optional<BuildArguments> parsed = parse(args);
    if (!parsed) {
        std::cerr << buildUsage;
        return exitUsage;
    }

    const std::optional<fs::path> folder = existingFolder(parsed->folder);
    if (!folder) return exitFailure;

    // Opening the folder reads the project file and scans the folder, as the window does.
    model::Project project(*folder);
    if (parsed->output) {
        // Like choosing the gallery folder in the window: the choice becomes the project's output
        // and is saved with it, so the window and later builds use the same folder. A leading "~"
        // is kept as typed (the project expands it); anything else is made absolute here, since the
        // project file must not depend on where this command was run.
        const std::string& typed = *parsed->output;
        std::error_code code;
        const std::string chosen =
            typed.front() == '~' ? typed : platform::standardized(fs::absolute(typed, code)).string();
        // The build refuses the pictures folder itself as the gallery folder; refuse it before the
        // choice is saved, so the project file never keeps an output folder no build can use.
        if (platform::standardized(platform::expandTilde(chosen)) == project.folder) {
            std::cerr << builder::BuildError::sameFolder().what() << "\n";
            return exitFailure;
        }
        project.output = chosen;
    }

    // From here on the steps are those of "Build Gallery" (lf::app build flow); only where the
    // messages go differs: the index page on standard output, everything else on standard error.
    app::KeychainSecretStore store;
    if (const auto alert = app::checkAndStoreCredentials(Destination::none, project, {}, store)) {
        std::cerr << *alert << "\n";
        return exitFailure;
    }
    // A failed save is reported, and the build goes on.
    if (const auto alert = app::saveBeforeBuild(project)) std::cerr << *alert << "\n";

    // This command's progress lists the builder's own steps only; "Starting…" is the status the
    // window and the publish command show before those begin.
    const app::BuildOutcome outcome = runBuildTaskWithProgress(
        [&] { return app::captureBuildJob(Destination::none, project, {}, store); }, {}, StartingStatus::hidden,
        app::BuildOperations::standard(parsed->jobs.value_or(0)));
    switch (outcome.ending) {
    case app::BuildOutcome::Ending::finished:
        std::cerr << outcome.status << "\n";
        std::cout << outcome.result->indexPage.string() << "\n";
        return exitSuccess;
    case app::BuildOutcome::Ending::stopped:
        std::cerr << outcome.status << "\n";
        return exitStopped;
    case app::BuildOutcome::Ending::failed:
        // The error's own text, as the window's alert shows it.
        std::cerr << outcome.alert.value_or(outcome.status) << "\n";
        break;
    }
    return exitFailure;
}

}  // namespace lf::cli
