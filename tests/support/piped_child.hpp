#pragma once
// Starting a helper program (a test double, a private keyring) that talks to the test through its
// standard input and output: the test writes to it or closes its input to end it, and reads the
// line it prints when it is ready. Header-only, so every test folder can use it without linking
// anything.
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace lf::testing {

struct PipedChild {
    pid_t pid = -1;
    int input = -1;   // the write end of the program's standard input
    int output = -1;  // the read end of the program's standard output
};

// Starts argv (the program found on PATH) with this process's environment and pipes for its
// standard input and output; standard error stays the test's. Throws std::runtime_error when the
// program cannot be started. The caller closes both ends and waits for the program.
inline PipedChild startPiped(const std::vector<std::string>& argv) {
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    std::vector<char*> arguments;
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    PipedChild child;
    const int spawned = posix_spawnp(&child.pid, arguments.at(0), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (spawned != 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        throw std::runtime_error(argv.at(0) + " could not be started");
    }
    child.input = toChild[1];
    child.output = fromChild[0];
    return child;
}

// Reads from fd up to the next line feed, which is not returned; what there is at the end of input.
inline std::string readLine(int fd) {
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

}  // namespace lf::testing
