#include "cli/interrupt_watch.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace lf::cli {

namespace {

constexpr char interruptByte = 'i';
constexpr char doneByte = 'd';

// The handler may only do async-signal-safe work, so it writes one byte into a pipe; the watcher
// thread reads it and requests the stop.
volatile sig_atomic_t writeEnd = -1;

void onSignal(int) {
    const int saved = errno;
    const char byte = interruptByte;
    if (writeEnd >= 0) (void)!::write(writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

InterruptWatch::InterruptWatch(std::stop_source& source) {
    pipe_ = platform::Pipe::make(O_CLOEXEC);
    if (!pipe_.read.isOpen()) return;
    writeEnd = pipe_.write.get();
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    // The handler is used once: a second signal has the default action and ends the program.
    action.sa_flags = SA_RESETHAND;
    ::sigaction(SIGINT, &action, &previousInterrupt_);
    ::sigaction(SIGTERM, &action, &previousTerminate_);
    installed_ = true;
    const int readEnd = pipe_.read.get();
    watcher_ = std::thread([readEnd, &source] {
        char byte = 0;
        while (::read(readEnd, &byte, 1) < 0 && errno == EINTR) {
        }
        if (byte == interruptByte) source.request_stop();
    });
}

InterruptWatch::~InterruptWatch() {
    if (!installed_) return;
    ::sigaction(SIGINT, &previousInterrupt_, nullptr);
    ::sigaction(SIGTERM, &previousTerminate_, nullptr);
    const char done = doneByte;
    (void)!::write(pipe_.write.get(), &done, 1);
    watcher_.join();
    writeEnd = -1;
    // The pipe closes with the object, once neither the handler nor the watcher can use it.
}

}  // namespace lf::cli
