#include "publish/ftp/support/ftp_servers.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace lf::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Servers get this long to come up; a healthy one needs a fraction of it.
constexpr auto startDeadline = 30s;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Starts a program in its own process group. When input is given, the program's standard input
// is a pipe returned through input; when output is given, its standard output is.
enum class MergeErrors { no, yes };

pid_t spawn(const std::vector<std::string>& arguments, int* input, int* output,
            const std::vector<std::pair<std::string, std::string>>& environment = {},
            MergeErrors mergeErrors = MergeErrors::no) {
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (input && ::pipe2(in, O_CLOEXEC) != 0) fail("pipe");
    if (output && ::pipe2(out, O_CLOEXEC) != 0) fail("pipe");
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) fail("fork");
    if (pid == 0) {
        ::setpgid(0, 0);
        // A server must not outlive a test process that ends without running destructors (a
        // crash, a sanitizer halting it): it would keep ctest's output pipe open through the
        // standard error it inherited, and the whole run would wait for it forever.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
        if (input) ::dup2(in[0], STDIN_FILENO);
        if (output) ::dup2(out[1], STDOUT_FILENO);
        if (output && mergeErrors == MergeErrors::yes) ::dup2(out[1], STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (input) {
        ::close(in[0]);
        *input = in[1];
    }
    if (output) {
        ::close(out[1]);
        *output = out[0];
    }
    return pid;
}

bool acceptsConnections(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(socket);
    return connected;
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

ServerProcess::~ServerProcess() { stop(); }

ServerProcess& ServerProcess::operator=(ServerProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = other.pid_;
        other.pid_ = -1;
    }
    return *this;
}

bool ServerProcess::hasExited() {
    if (pid_ <= 0) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return true;
    }
    return false;
}

void ServerProcess::stop() {
    if (pid_ <= 0) return;
    // The whole group: pure-ftpd serves each session in a process of its own.
    ::kill(-pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    ::kill(-pid_, SIGKILL);
    pid_ = -1;
}

int freeLoopbackPort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) fail("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(socket);
        fail("bind");
    }
    ::close(socket);
    return ntohs(address.sin_port);
}

std::string runProgram(const std::vector<std::string>& arguments, const std::string& input) {
    int in = -1, out = -1;
    const pid_t pid = spawn(arguments, &in, &out, {}, MergeErrors::yes);
    // Inputs and outputs here are a few lines, far below a pipe's capacity: writing everything
    // before reading cannot block.
    const char* data = input.data();
    size_t left = input.size();
    while (left > 0) {
        const ssize_t n = ::write(in, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        data += n;
        left -= static_cast<size_t>(n);
    }
    ::close(in);
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(out, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output.append(buffer, static_cast<size_t>(n));
    }
    ::close(out);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(arguments.front() + " failed with status " + std::to_string(status) + ":\n" + output);
    }
    return output;
}

std::map<std::string, std::string> filesBelow(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[fs::relative(entry.path(), root).string()] = bytes.str();
    }
    return files;
}

PlainFtpServer::PlainFtpServer(const std::string& user, const std::string& password) {
    home_ = folder_.path() / "home";
    fs::create_directory(home_);
    int output = -1;
    process_ = ServerProcess(spawn({"/usr/bin/python3", LF_TEST_SOURCE_DIR "/publish/ftp/support/pyftpdlib_server.py",
                                    home_.string()},
                                   nullptr, &output, {{"FTP_USER", user}, {"FTP_PASSWORD", password}}));
    // The server prints its port once it listens.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + startDeadline;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd fd{output, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[64];
        const ssize_t n = ::read(output, buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, static_cast<size_t>(n));
    }
    ::close(output);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) throw std::runtime_error("The pyftpdlib server did not start.");
}

TlsFtpServer::TlsFtpServer(const std::string& user, const std::string& password) {
    const fs::path base = folder_.path();
    // The virtual user's files belong to "nobody", which must be able to reach its home below
    // this otherwise private folder.
    fs::permissions(base, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    home_ = base / "home";
    fs::create_directory(home_);
    if (::chown(home_.c_str(), 65534, 65534) != 0) fail("chown");

    authority_ = base / "ca.pem";
    const std::string key = (base / "server.key").string(), certificate = (base / "server.pem").string();
    runProgram({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                "/CN=Lanternfold Test CA", "-keyout", (base / "ca.key").string(), "-out", authority_.string()});
    runProgram({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj", "/CN=localhost", "-keyout", key,
                "-out", (base / "server.csr").string()});
    writeText(base / "server.ext", "subjectAltName=IP:127.0.0.1,DNS:localhost\n");
    runProgram({"openssl", "x509", "-req", "-days", "2", "-in", (base / "server.csr").string(), "-CA",
                authority_.string(), "-CAkey", (base / "ca.key").string(), "-CAcreateserial", "-extfile",
                (base / "server.ext").string(), "-out", certificate});

    // The virtual user's line as pure-pw writes it, with a SHA-512 crypt hash: pure-pw's own
    // argon2id hash takes seconds to check on a busy machine, at every login of every curl run.
    std::string hash = runProgram({"openssl", "passwd", "-6", "-stdin"}, password + "\n");
    while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) hash.pop_back();
    const fs::path users = base / "users.passwd";
    writeText(users, user + ":" + hash + ":65534:65534::" + home_.string() + "/./::::::::::::\n");
    const std::string database = (base / "users.pdb").string();
    runProgram({"pure-pw", "mkdb", database, "-f", users.string()});

    // pure-ftpd needs a port number up front; one taken in the meantime makes it exit, so try again.
    for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
        const int port = freeLoopbackPort();
        process_ = ServerProcess(spawn({"pure-ftpd", "-S", "127.0.0.1," + std::to_string(port), "-l",
                                        "puredb:" + database, "-Y", "2", "-2", certificate + "," + key, "-E",
                                        "-A", "-H"},
                                       nullptr, nullptr));
        const auto deadline = std::chrono::steady_clock::now() + startDeadline;
        while (std::chrono::steady_clock::now() < deadline && !process_.hasExited()) {
            if (acceptsConnections(port)) {
                port_ = port;
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
    }
    if (port_ == 0) throw std::runtime_error("pure-ftpd did not start.");
}

}  // namespace lf::test
