#pragma once
// Real FTP servers for the upload tests, started on 127.0.0.1 with free ports and stopped when the
// test ends: pyftpdlib for plain FTP, pure-ftpd for explicit FTPS (pyftpdlib's TLS data connections
// do not work with curl, which starts the data handshake before the transfer command).
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/temporary_folder.hpp"

namespace lf::test {

using ::lf::testing::TemporaryFolder;

// A server program in its own process group, ended (with everything it started) on destruction.
class ServerProcess {
public:
    ServerProcess() = default;
    explicit ServerProcess(pid_t pid) : pid_(pid) {}
    ~ServerProcess();
    ServerProcess(ServerProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
    ServerProcess& operator=(ServerProcess&& other) noexcept;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    bool hasExited();

private:
    void stop();
    pid_t pid_ = -1;
};

// A port on 127.0.0.1 that nothing listened on a moment ago.
int freeLoopbackPort();

// Runs a program with arguments and optional standard input and returns what it wrote on standard
// output and standard error; throws when it exits non-zero.
std::string runProgram(const std::vector<std::string>& arguments, const std::string& input = {});

// Every regular file below root by relative path, with its bytes.
std::map<std::string, std::string> filesBelow(const std::filesystem::path& root);

// pyftpdlib serving `home` to one user.
class PlainFtpServer {
public:
    PlainFtpServer(const std::string& user, const std::string& password);
    int port() const { return port_; }
    const std::filesystem::path& home() const { return home_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    TemporaryFolder folder_;
    std::filesystem::path home_;
    ServerProcess process_;
    int port_ = 0;
};

// pure-ftpd requiring TLS (-Y 2) with a certificate signed by a certificate authority made for the
// test, one virtual user in a pure-pw database. Needs root, for pure-ftpd's chroot.
class TlsFtpServer {
public:
    TlsFtpServer(const std::string& user, const std::string& password);
    int port() const { return port_; }
    const std::filesystem::path& home() const { return home_; }
    // The certificate authority's certificate, for CURL_CA_BUNDLE.
    const std::filesystem::path& certificateAuthority() const { return authority_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    TemporaryFolder folder_;
    std::filesystem::path home_;
    std::filesystem::path authority_;
    ServerProcess process_;
    int port_ = 0;
};

}  // namespace lf::test
