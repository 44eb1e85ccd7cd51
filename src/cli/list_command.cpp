#include "cli/commands.hpp"

#include <iostream>

namespace lf::cli {

int runList(const Arguments& args) {
    std::cerr << "lanternfold list: not available yet\n";
    return exitFailure;
}

}  // namespace lf::cli
