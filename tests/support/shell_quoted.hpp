#pragma once
// Text (a file name, an argument) quoted for the shell: inside single quotes, where only a single
// quote itself needs care.
#include <string>

namespace lf::testing {

inline std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

}  // namespace lf::testing
