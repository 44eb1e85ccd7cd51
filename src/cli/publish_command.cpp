// lanternfold publish FOLDER --cloudflare | --ftp: "Build and Publish to Cloudflare" and "Build and
// Upload by FTP" from the command line. The folder is opened as a project like the window opens it;
// the same checks, credential storage, build and publish run (lf::app build flow); alerts and
// progress go to standard error, the final status sentence to standard output.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "app/build_flow.hpp"
#include "app/keychain.hpp"
#include "cli/build_task_runner.hpp"
#include "cli/commands.hpp"
#include "model/project.hpp"

namespace lf::cli {

namespace {

namespace fs = std::filesystem;
using app::Destination;

const char* publishUsage =
    "Usage: lanternfold publish FOLDER --cloudflare [--jobs N]\n"
    "       lanternfold publish FOLDER --ftp [--jobs N]\n"
    "\n"
    "Builds the folder's gallery, then publishes it to Cloudflare or uploads it by FTP, with the\n"
    "settings of the folder's lanternfold.json. Secrets come from the system keyring, or from\n"
    "LANTERNFOLD_CF_TOKEN, LANTERNFOLD_FTP_PASSWORD, LANTERNFOLD_GALLERY_PASSWORD and\n"
    "LANTERNFOLD_SITE_KEY (the Base64 key of a locked site), which win over the keyring and are then\n"
    "stored in it. --jobs makes N items of the gallery at once (default: one per core); the gallery is\n"
    "the same whatever N is.\n";

struct PublishArguments {
    fs::path folder;
    Destination destination = Destination::none;
    std::optional<int> jobs;
};

std::optional<PublishArguments> parse(const Arguments& args) {
    PublishArguments parsed;
    bool haveFolder = false;
    bool optionsEnded = false;
    for (size_t index = 0; index < args.size(); ++index) {
        const std::string& arg = args[index];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--cloudflare" || arg == "--ftp")) {
            const Destination wanted = arg == "--cloudflare" ? Destination::cloudflare : Destination::ftp;
            if (parsed.destination != Destination::none && parsed.destination != wanted) return std::nullopt;
            parsed.destination = wanted;
        } else if (!optionsEnded && (arg == "--jobs" || arg == "-j")) {
            if (index + 1 >= args.size() || parsed.jobs) return std::nullopt;
            parsed.jobs = parseJobs(args[++index]);
            if (!parsed.jobs) return std::nullopt;
        } else if (!optionsEnded && arg.rfind("--jobs=", 0) == 0) {
            if (parsed.jobs) return std::nullopt;
            parsed.jobs = parseJobs(arg.substr(7));
            if (!parsed.jobs) return std::nullopt;
        } else if (!optionsEnded && !arg.empty() && arg.front() == '-') {
            return std::nullopt;
        } else {
            if (haveFolder || arg.empty()) return std::nullopt;
            parsed.folder = arg;
            haveFolder = true;
        }
    }
    if (!haveFolder || parsed.destination == Destination::none) return std::nullopt;
    return parsed;
}

// A secret given for unattended use. It is removed from the environment at once, so that no program
// this one starts (curl) inherits it.
std::optional<std::string> takeSecretFromEnvironment(const char* name) {
    std::optional<std::string> value;
    if (const char* text = std::getenv(name)) value = text;
    ::unsetenv(name);
    return value;
}

}  // namespace

int runPublish(const Arguments& args) {
    // Taken before anything else, so that the secrets are gone even when the command ends early.
    const auto tokenFromEnvironment = takeSecretFromEnvironment("LANTERNFOLD_CF_TOKEN");
    const auto ftpPasswordFromEnvironment = takeSecretFromEnvironment("LANTERNFOLD_FTP_PASSWORD");
    const auto galleryPasswordFromEnvironment = takeSecretFromEnvironment("LANTERNFOLD_GALLERY_PASSWORD");
    const auto siteKeyFromEnvironment = takeSecretFromEnvironment("LANTERNFOLD_SITE_KEY");

    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << publishUsage;
        return exitSuccess;
    }
    const std::optional<PublishArguments> parsed = parse(args);
    if (!parsed) {
        std::cerr << publishUsage;
        return exitUsage;
    }

    const std::optional<fs::path> folder = existingFolder(parsed->folder);
    if (!folder) return exitFailure;

    // Opening the folder reads the project file and scans the folder, as the window does.
    model::Project project(*folder);
    const model::GallerySettings& settings = project.settings;

    // The secrets the Publish tab would show: typed there (here: the environment) or from the keyring.
    // Said once, before anything is read from or stored in the keyring, since every secret the
    // command keeps would otherwise be lost without a word.
    if (const auto problem = app::Keychain::unavailableReason()) std::cerr << "Warning: " << *problem << "\n";
    const app::Keychain keychain;
    app::TypedSecrets secrets;
    if (parsed->destination == Destination::cloudflare) {
        secrets.siteKey = siteKeyFromEnvironment.value_or("");
        secrets.cloudflareToken = tokenFromEnvironment ? *tokenFromEnvironment : keychain.cloudflareToken().value_or("");
        if (galleryPasswordFromEnvironment) {
            secrets.galleryPassword = *galleryPasswordFromEnvironment;
        } else if (const std::string name = app::effectiveSiteName(settings); !name.empty()) {
            secrets.galleryPassword = keychain.galleryPassword(name).value_or("");
        }
    } else if (ftpPasswordFromEnvironment) {
        secrets.ftpPassword = *ftpPasswordFromEnvironment;
    } else if (!settings.ftpHost.empty() && !settings.ftpUser.empty()) {
        secrets.ftpPassword = keychain.ftpPassword(settings.ftpHost, settings.ftpUser).value_or("");
    }

    app::KeychainSecretStore store;
    if (const auto alert = app::checkAndStoreCredentials(parsed->destination, project, secrets, store)) {
        std::cerr << *alert << "\n";
        return exitFailure;
    }
    // A failed save is reported, and the build goes on.
    if (const auto alert = app::saveBeforeBuild(project)) std::cerr << *alert << "\n";

    const app::BuildOutcome outcome = runBuildTaskWithProgress(
        [&] { return app::captureBuildJob(parsed->destination, project, secrets, store); },
        [&project](const publish::cloudflare::PublishResult& result) { app::recordPublication(project, result); },
        StartingStatus::shown, app::BuildOperations::standard(parsed->jobs.value_or(0)));
    if (outcome.alert) std::cerr << *outcome.alert << "\n";
    std::cout << outcome.status << "\n";
    switch (outcome.ending) {
    case app::BuildOutcome::Ending::finished:
        return exitSuccess;
    case app::BuildOutcome::Ending::stopped:
        return exitStopped;
    case app::BuildOutcome::Ending::failed:
        break;
    }
    return exitFailure;
}

}  // namespace lf::cli
