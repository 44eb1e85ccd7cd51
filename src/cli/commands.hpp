#pragma once
// The command line: each command lives in its own file and calls the same operations as the menus.
#include <string>
#include <vector>

namespace lf::cli {

using Arguments = std::vector<std::string>;

// Exit codes shared by every command.
constexpr int exitSuccess = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;
constexpr int exitStopped = 130;

// lanternfold build FOLDER [--output DIR]
int runBuild(const Arguments& args);

// lanternfold list FOLDER [--json]
int runList(const Arguments& args);

// lanternfold publish FOLDER --cloudflare | --ftp
int runPublish(const Arguments& args);

// lanternfold home list | preview | publish
int runHome(const Arguments& args);

}  // namespace lf::cli
