// lanternfold build FOLDER [--output DIR]: "Build Gallery" from the command line. The folder is
// opened as a project like the window opens it, its project file is saved, and the same build runs;
// progress goes to standard error and the path of the index page to standard output.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "builder/gallery_builder.hpp"
#include "cli/commands.hpp"
#include "model/project.hpp"
#include "platform/error.hpp"
#include "platform/files.hpp"

namespace lf::cli {

namespace {

namespace fs = std::filesystem;

const char* buildUsage = "Usage: lanternfold build FOLDER [--output DIR]\n";

// Ctrl-C asks the build to stop at its next cancellation point. The signal handler may only do
// async-signal-safe work, so it writes one byte into a pipe; a watcher thread reads it and requests
// the stop. A second Ctrl-C ends the program at once, as the default action does.
class InterruptWatch {
public:
    explicit InterruptWatch(std::stop_source& source) {
        if (::pipe2(pipe_, O_CLOEXEC) != 0) return;
        writeEnd = pipe_[1];
        struct sigaction action {};
        action.sa_handler = &InterruptWatch::onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        ::sigaction(SIGINT, &action, &previous_);
        installed_ = true;
        watcher_ = std::thread([this, &source] {
            char byte = 0;
            while (::read(pipe_[0], &byte, 1) < 0 && errno == EINTR) {
            }
            if (byte == interruptByte) source.request_stop();
        });
    }

    ~InterruptWatch() {
        if (!installed_) return;
        ::sigaction(SIGINT, &previous_, nullptr);
        const char done = doneByte;
        (void)!::write(pipe_[1], &done, 1);
        watcher_.join();
        writeEnd = -1;
        ::close(pipe_[0]);
        ::close(pipe_[1]);
    }

    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    static constexpr char interruptByte = 'i';
    static constexpr char doneByte = 'd';
    static inline volatile int writeEnd = -1;

    static void onInterrupt(int) {
        const int saved = errno;
        const char byte = interruptByte;
        if (writeEnd >= 0) (void)!::write(writeEnd, &byte, 1);
        errno = saved;
    }

    int pipe_[2]{-1, -1};
    struct sigaction previous_ {};
    bool installed_ = false;
    std::thread watcher_;
};

// Progress on standard error: one line redrawn in place on a terminal, one line per step otherwise
// (a log file or a pipe should not fill with carriage returns).
class ProgressPrinter {
public:
    ProgressPrinter() : terminal_(::isatty(STDERR_FILENO) == 1) {}

    void operator()(int done, int total, const std::string& text) {
        const double fraction = total < 1 ? 0.0 : static_cast<double>(done) / total;
        const int percent = static_cast<int>(fraction * 100.0);
        if (!terminal_) {
            std::cerr << "[" << (percent < 10 ? "  " : percent < 100 ? " " : "") << percent << "%] " << text << "\n";
            return;
        }
        constexpr int barWidth = 24;
        const int filled = static_cast<int>(fraction * barWidth);
        std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                           std::string(static_cast<size_t>(barWidth - filled), '.') + "] " + std::to_string(percent) +
                           "% " + text;
        std::cerr << "\r\033[K" << fitted(line) << std::flush;
        open_ = true;
    }

    // Ends the redrawn line so that what follows starts on a line of its own.
    void finish() {
        if (open_) std::cerr << "\n";
        open_ = false;
    }

private:
    // Cut to the terminal's width so the line never wraps (a wrapped line cannot be redrawn with
    // a carriage return); counts characters, not the bytes of their UTF-8 form.
    static std::string fitted(const std::string& line) {
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

    bool terminal_;
    bool open_ = false;
};

struct BuildArguments {
    fs::path folder;
    std::optional<std::string> output;
};

std::optional<BuildArguments> parse(const Arguments& args) {
    BuildArguments parsed;
    bool haveFolder = false;
    for (size_t index = 0; index < args.size(); ++index) {
        const std::string& arg = args[index];
        if (arg == "--output" || arg == "-o") {
            if (index + 1 >= args.size() || parsed.output) return std::nullopt;
            parsed.output = args[++index];
        } else if (arg.rfind("--output=", 0) == 0) {
            if (parsed.output) return std::nullopt;
            parsed.output = arg.substr(9);
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

    std::error_code code;
    const fs::path folder = platform::standardized(fs::absolute(parsed->folder, code));
    if (!fs::is_directory(folder, code)) {
        std::cerr << "The folder “" << parsed->folder.string() << "” doesn’t exist.\n";
        return exitFailure;
    }

    // Opening the folder reads the project file and scans the folder, as the window does.
    model::Project project(folder);
    if (parsed->output) {
        // Like choosing the gallery folder in the window: the choice becomes the project's output
        // and is saved with it, so the window and later builds use the same folder. A leading "~"
        // is kept as typed (the project expands it); anything else is made absolute here, since the
        // project file must not depend on where this command was run.
        const std::string& typed = *parsed->output;
        project.output = typed.front() == '~' ? typed : platform::standardized(fs::absolute(typed, code)).string();
    }

    // Build Gallery saves the project file first; a failed save is reported but does not stop it.
    try {
        project.saveProjectFile();
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
    }

    std::stop_source stop;
    ProgressPrinter printer;
    try {
        fs::path index;
        {
            InterruptWatch watch(stop);
            index = builder::GalleryBuilder::build(
                project, std::nullopt,
                [&printer](int done, int total, const std::string& text) { printer(done, total, text); },
                stop.get_token());
        }
        printer.finish();
        std::cerr << "Gallery ready in “" << index.parent_path().filename().string() << "”.\n";
        std::cout << index.string() << "\n";
        return exitSuccess;
    } catch (const Cancelled& stopped) {
        printer.finish();
        std::cerr << stopped.what() << "\n";
        return exitStopped;
    } catch (const std::exception& error) {
        printer.finish();
        std::cerr << error.what() << "\n";
        return exitFailure;
    }
}

}  // namespace lf::cli
