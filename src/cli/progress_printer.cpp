#include "cli/progress_printer.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

namespace lf::cli {

namespace {

// Cut to the terminal's width so the line never wraps (a wrapped line cannot be redrawn with a
// carriage return); counts characters, not the bytes of their UTF-8 form.
std::string fitted(const std::string& line) {
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return line;
    const size_t columns = size.ws_col - 1u;
    size_t characters = 0;
    for (size_t index = 0; index < line.size(); ++index) {
        const bool startsCharacter = (static_cast<unsigned char>(line[index]) & 0xC0) != 0x80;
        if (startsCharacter && ++characters > columns) return line.substr(0, index);
    }
    return line;
}

}  // namespace

ProgressPrinter::ProgressPrinter() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void ProgressPrinter::operator()(int done, int total, const std::string& text) {
    const double fraction = total < 1 ? 0.0 : static_cast<double>(done) / total;
    const int percent = static_cast<int>(fraction * 100.0);
    const std::lock_guard lock(mutex_);
    if (!terminal_) {
        std::cerr << "[" << (percent < 10 ? "  " : percent < 100 ? " " : "") << percent << "%] " << text << "\n";
        return;
    }
    constexpr int barWidth = 24;
    const int filled = static_cast<int>(fraction * barWidth);
    const std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                             std::string(static_cast<size_t>(barWidth - filled), '.') + "] " +
                             std::to_string(percent) + "% " + text;
    std::cerr << "\r\033[K" << fitted(line) << std::flush;
    open_ = true;
}

void ProgressPrinter::finish() {
    const std::lock_guard lock(mutex_);
    if (open_) std::cerr << "\n";
    open_ = false;
}

}  // namespace lf::cli
