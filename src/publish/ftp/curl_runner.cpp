#include "publish/ftp/curl_runner.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <system_error>

#include "platform/error.hpp"
#include "platform/file_descriptor.hpp"
#include "platform/text.hpp"
#include "publish/ftp/ftp_address.hpp"
#include "publish/ftp/upload_error.hpp"

namespace lf::publish::ftp {

namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

[[noreturn]] void failToStart(const std::filesystem::path& program, const std::error_code& code) {
    throw lf::Error("Couldn’t start “" + program.string() + "”: " + code.message());
}

using platform::FileDescriptor;
using platform::Pipe;

Pipe makePipe(const std::filesystem::path& program) {
    Pipe pipe = Pipe::make(O_CLOEXEC);
    if (!pipe.read.isOpen()) failToStart(program, lastError());
    return pipe;
}

// The system failed us while curl ran (poll or waitpid refused): said as our own sentence, not as
// the C library's call name.
[[noreturn]] void failWhileRunning(const std::filesystem::path& program, const std::error_code& code) {
    throw lf::Error("Lost touch with “" + program.string() + "” while it ran: " + code.message());
}

// The started program until it has been waited for. Should the caller leave early (an exception
// while talking to it), the program is killed and reaped here, so it neither keeps running nor stays
// behind as a zombie.
class Child {
public:
    Child(pid_t pid, std::filesystem::path program) : pid_(pid), program_(std::move(program)) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }

    // Waits for the program to end; its exit status, or 128 + the signal that ended it.
    int wait() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0) {
            if (errno != EINTR) {
                const std::error_code code = lastError();
                pid_ = -1;  // nothing is left to reap
                failWhileRunning(program_, code);
            }
        }
        pid_ = -1;
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
        return 128;
    }

private:
    pid_t pid_;
    std::filesystem::path program_;
};

// Writing to a pipe whose reader has gone raises SIGPIPE, which would end the whole program. While
// this guard lives, SIGPIPE is blocked for the calling thread; one raised by our own write is taken
// back before the old mask returns, so nothing is delivered later.
class SigpipeGuard {
public:
    SigpipeGuard() {
        sigemptyset(&pipeOnly_);
        sigaddset(&pipeOnly_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        ::sigpending(&pending);
        alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
        ::pthread_sigmask(SIG_BLOCK, &pipeOnly_, &previous_);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;
    ~SigpipeGuard() {
        if (raised_ && !alreadyPending_) {
            const timespec noWait{0, 0};
            while (::sigtimedwait(&pipeOnly_, nullptr, &noWait) < 0 && errno == EINTR) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    void noteRaised() { raised_ = true; }

private:
    sigset_t pipeOnly_;
    sigset_t previous_;
    bool alreadyPending_ = false;
    bool raised_ = false;
};

// Puts fd at target in the child, without the close-on-exec flag. Only async-signal-safe calls.
bool placeAt(int fd, int target) {
    if (fd == target) {
        const int flags = ::fcntl(fd, F_GETFD);
        return flags >= 0 && ::fcntl(fd, F_SETFD, flags & ~FD_CLOEXEC) == 0;
    }
    return ::dup2(fd, target) == target;
}

// Writes the configuration and reads standard error at the same time, so that neither side can
// block the other however much either has to say. Returns everything curl wrote on standard error.
std::string exchange(const std::filesystem::path& program, FileDescriptor& input, FileDescriptor& errors,
                     std::string_view config) {
    SigpipeGuard sigpipe;
    const int inputFlags = ::fcntl(input.get(), F_GETFL);
    if (inputFlags >= 0) ::fcntl(input.get(), F_SETFL, inputFlags | O_NONBLOCK);

    std::string errorText;
    size_t written = 0;
    if (config.empty()) input.reset();
    char buffer[16384];
    while (input.get() >= 0 || errors.get() >= 0) {
        pollfd fds[2];
        nfds_t count = 0;
        int inputSlot = -1, errorSlot = -1;
        if (input.get() >= 0) {
            inputSlot = static_cast<int>(count);
            fds[count++] = {input.get(), POLLOUT, 0};
        }
        if (errors.get() >= 0) {
            errorSlot = static_cast<int>(count);
            fds[count++] = {errors.get(), POLLIN, 0};
        }
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR) continue;
            failWhileRunning(program, lastError());
        }
        if (inputSlot >= 0 && fds[inputSlot].revents != 0) {
            const ssize_t n = ::write(input.get(), config.data() + written, config.size() - written);
            if (n > 0) {
                written += static_cast<size_t>(n);
                // Closing the pipe tells curl the configuration is complete. A failure to close
                // changes nothing for curl and is not reported.
                if (written == config.size()) input.reset();
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                // curl stopped reading (it ended early); its exit status and message tell why.
                if (errno == EPIPE) sigpipe.noteRaised();
                input.reset();
            }
        }
        if (errorSlot >= 0 && fds[errorSlot].revents != 0) {
            const ssize_t n = ::read(errors.get(), buffer, sizeof buffer);
            if (n > 0) {
                errorText.append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                errors.reset();
            }
        }
    }
    return errorText;
}

}  // namespace

void runCurl(std::string_view config) { runConfiguredProgram(std::filesystem::path(curlProgram), config); }

void runConfiguredProgram(const std::filesystem::path& program, std::string_view config) {
    Pipe input = makePipe(program);
    Pipe errors = makePipe(program);
    Pipe launch = makePipe(program);  // carries errno from a failed exec back to us
    FileDescriptor nullDevice(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (nullDevice.get() < 0) failToStart(program, lastError());

    // Everything the child needs is prepared before fork: between fork and exec only
    // async-signal-safe calls are allowed, since other threads may hold locks.
    const std::string programPath = program.string();
    char configFlag[] = "--config";
    char standardInput[] = "-";
    char* const arguments[] = {const_cast<char*>(programPath.c_str()), configFlag, standardInput, nullptr};
    const pid_t parent = ::getpid();
    sigset_t noSignals;
    sigemptyset(&noSignals);

    const pid_t pid = ::fork();
    if (pid < 0) failToStart(program, lastError());
    if (pid == 0) {
        ::setpgid(0, 0);
        // SIGTERM when the starting thread ends, which happens at the latest when this program
        // quits or crashes. If we are already orphaned, the signal would never come: give up.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        if (placeAt(input.read.get(), STDIN_FILENO) && placeAt(nullDevice.get(), STDOUT_FILENO) &&
            placeAt(errors.write.get(), STDERR_FILENO)) {
            ::execv(programPath.c_str(), arguments);
        }
        const int error = errno;
        (void)!::write(launch.write.get(), &error, sizeof error);
        ::_exit(127);
    }

    Child child(pid, program);
    input.read.reset();
    errors.write.reset();
    launch.write.reset();
    nullDevice.reset();

    // The launch pipe closes on a successful exec and carries errno otherwise.
    int launchError = 0;
    ssize_t got;
    do {
        got = ::read(launch.read.get(), &launchError, sizeof launchError);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof launchError)) {
        child.wait();
        failToStart(program, std::error_code(launchError, std::generic_category()));
    }

    const std::string errorText = exchange(program, input.write, errors.read, config);
    const int status = child.wait();
    if (status != 0) throw UploadError::curl(curlFailureMessage(status, errorText));
}

std::string curlFailureMessage(int exitStatus, std::string_view standardError) {
    std::string text = lf::text::isValidUTF8(standardError) ? lf::text::trimmed(standardError) : std::string();
    constexpr std::string_view prefix = "curl: ";
    for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
        text.erase(at, prefix.size());
    }
    if (!text.empty()) return text;
    return "curl stopped with code " + std::to_string(exitStatus) + ".";
}

}  // namespace lf::publish::ftp
