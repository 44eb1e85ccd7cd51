// lanternfold: with no arguments the main window; otherwise one command of the command line.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "cli/commands.hpp"
#include "ui/app_shell.hpp"

namespace {

const char* usageText =
    "Usage:\n"
    "  lanternfold                                  open the main window\n"
    "  lanternfold FOLDER                           open the main window on FOLDER (or a file's folder)\n"
    "  lanternfold build FOLDER [--output DIR] [--jobs N]\n"
    "                                               build the folder's gallery and print its index\n"
    "                                               page; --jobs makes N items at once (default: one\n"
    "                                               per core)\n"
    "  lanternfold list FOLDER [--json]             list the pictures, movies and sounds of a folder\n"
    "                                               in display order: file name, kind, date (RFC 3339\n"
    "                                               local time, e.g. 2023-07-14T18:05:09+02:00) and\n"
    "                                               caption, separated by tabs; --json for a JSON array\n"
    "  lanternfold publish FOLDER --cloudflare [--jobs N]\n"
    "                                               build, then publish to Cloudflare\n"
    "  lanternfold publish FOLDER --ftp [--jobs N]  build, then upload by FTP or FTPS\n"
    "  lanternfold home list                        list the galleries of the account's home page\n"
    "  lanternfold home preview                     build the home page and print its index page\n"
    "  lanternfold home publish                     build and publish the home page\n"
    "  lanternfold --help                           show this help\n"
    "  lanternfold --version                        show the version\n";

}  // namespace

int main(int argc, char** argv) {
    lf::cli::Arguments args(argv + 1, argv + argc);
    if (args.empty()) return lf::ui::runWindow(argc, argv, std::nullopt);
    const std::string command = args.front();
    const lf::cli::Arguments rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << usageText;
        return lf::cli::exitSuccess;
    }
    if (command == "--version") {
        std::cout << "Lanternfold " << LF_VERSION << "\n";
        return lf::cli::exitSuccess;
    }
    if (command == "build") return lf::cli::runBuild(rest);
    if (command == "list") return lf::cli::runList(rest);
    if (command == "publish") return lf::cli::runPublish(rest);
    if (command == "home") return lf::cli::runHome(rest);
    // "Open With" from a file manager, and the desktop entry's Exec line, pass one folder or file.
    std::error_code error;
    if (rest.empty() && std::filesystem::exists(command, error)) {
        return lf::ui::runWindow(argc, argv, std::filesystem::absolute(command, error));
    }
    std::cerr << "lanternfold: unknown command “" << command << "”\n" << usageText;
    return lf::cli::exitUsage;
}
