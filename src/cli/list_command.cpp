// lanternfold list FOLDER [--json]: the items of a folder in display order with their dates taken
// and captions, read exactly as opening the folder in the window would, without writing anything.
#include "cli/commands.hpp"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "model/photo_details.hpp"
#include "model/project.hpp"
#include "platform/json.hpp"
#include "platform/text.hpp"

namespace lf::cli {

namespace fs = std::filesystem;

namespace {

const char* listUsage =
    "Usage: lanternfold list FOLDER [--json]\n"
    "\n"
    "Opens FOLDER as a project without writing anything, reads the date taken and caption of every\n"
    "picture, and prints the pictures, movies and sounds in display order, one line each:\n"
    "file name, kind (image, video or audio), date, caption, separated by tabs. The date is\n"
    "RFC 3339 local time with its offset (2023-07-14T18:05:09+02:00); the caption is the typed\n"
    "caption if there is one, else the picture's own. Tabs and line breaks inside a name or\n"
    "caption are shown as spaces.\n"
    "\n"
    "  --json   print one JSON array of {\"file\", \"kind\", \"date\", \"dateIsExif\", \"caption\"}\n"
    "           with the exact texts\n";

// RFC 3339 in local time with the zone's offset, whole seconds: 2023-07-14T18:05:09+02:00.
std::string rfc3339Local(model::TimePoint moment) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(moment.time_since_epoch()).count();
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!::localtime_r(&time, &local)) return {};
    char stamp[40];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff;
    const long magnitude = offset < 0 ? -offset : offset;
    char zone[32];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', magnitude / 3600, (magnitude % 3600) / 60);
    return std::string(stamp) + zone;
}

// One line per item: a tab or line break inside a field would break the columns.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

// The folder must exist, be a folder and be listable; the project itself would quietly show an
// empty list, which on the command line would hide a mistyped path.
std::optional<std::string> folderProblem(const fs::path& folder) {
    std::error_code code;
    const fs::file_status status = fs::status(folder, code);
    if (code && code != std::errc::no_such_file_or_directory) {
        return "Couldn’t read the folder “" + folder.string() + "”: " + code.message();
    }
    if (!fs::exists(status)) return "The folder “" + folder.string() + "” doesn’t exist.";
    if (!fs::is_directory(status)) return "“" + folder.string() + "” is not a folder.";
    fs::directory_iterator listing(folder, code);
    if (code) return "Couldn’t read the folder “" + folder.string() + "”: " + code.message();
    return std::nullopt;
}

}  // namespace

int runList(const Arguments& args) {
    bool asJson = false;
    std::optional<std::string> folderArgument;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            std::cout << listUsage;
            return exitSuccess;
        } else if (!optionsEnded && arg == "--json") {
            asJson = true;
        } else if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
            std::cerr << "lanternfold list: unknown option “" << arg << "”\n" << listUsage;
            return exitUsage;
        } else if (folderArgument) {
            std::cerr << "lanternfold list: only one folder can be listed\n" << listUsage;
            return exitUsage;
        } else {
            folderArgument = arg;
        }
    }
    if (!folderArgument || folderArgument->empty()) {
        std::cerr << "lanternfold list: a folder is needed\n" << listUsage;
        return exitUsage;
    }

    const fs::path folder(*folderArgument);
    if (auto problem = folderProblem(folder)) {
        std::cerr << *problem << "\n";
        return exitFailure;
    }

    model::Project project(folder);
    model::readMissingPhotoDetails(project);

    if (asJson) {
        json::Json list = json::Json::array();
        for (const model::Item& item : project.items) {
            json::Json entry = json::Json::object();
            entry["file"] = item.fileName();
            entry["kind"] = model::rawValue(item.kind);
            entry["date"] = rfc3339Local(item.date);
            entry["dateIsExif"] = item.dateIsExif;
            entry["caption"] = project.shownCaption(item);
            list.push_back(std::move(entry));
        }
        // File names on Linux are bytes; any that are not UTF-8 are shown with U+FFFD rather than
        // failing the whole listing.
        std::cout << list.dump(2, ' ', false, json::Json::error_handler_t::replace) << "\n";
    } else {
        for (const model::Item& item : project.items) {
            std::cout << oneLine(item.fileName()) << '\t' << model::rawValue(item.kind) << '\t'
                      << rfc3339Local(item.date) << '\t' << oneLine(project.shownCaption(item)) << '\n';
        }
    }
    std::cout.flush();
    return std::cout ? exitSuccess : exitFailure;
}

}  // namespace lf::cli
