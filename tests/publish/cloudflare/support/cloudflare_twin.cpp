#include "publish/cloudflare/support/cloudflare_twin.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/http_client.hpp"
#include "support/piped_child.hpp"

namespace lf::test {

using json::Json;

namespace {

// Percent-encodes a query value.
std::string encoded(const std::string& text) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

}  // namespace

CloudflareTwin::CloudflareTwin() {
    const std::string script = std::string(LF_TEST_SOURCE_DIR) + "/twins/cloudflare/twin.mjs";
    if (::access(script.c_str(), R_OK) != 0) throw std::runtime_error("The Cloudflare double is missing: " + script);

    const lf::testing::PipedChild child = lf::testing::startPiped({"node", script});
    pid_ = child.pid;
    stdinFd_ = child.input;
    // The ready line is the first line on standard output; the double writes nothing else there.
    // The pipe stays open so that the double never writes into a closed pipe.
    stdoutFd_ = child.output;
    const std::string line = lf::testing::readLine(stdoutFd_);
    const auto ready = json::parse(line);
    if (!ready || !ready->is_object()) {
        ::close(stdinFd_);
        ::close(stdoutFd_);
        ::waitpid(pid_, nullptr, 0);
        throw std::runtime_error("The Cloudflare double did not start (it said: " + line + ")");
    }
    httpsPort_ = static_cast<int>(json::getInt(*ready, "httpsPort", 0));
    controlPort_ = static_cast<int>(json::getInt(*ready, "controlPort", 0));
    caFile_ = json::getString(*ready, "caFile", "");
    ::setenv("LANTERNFOLD_HTTP_CONNECT_TO", ("::127.0.0.1:" + std::to_string(httpsPort_)).c_str(), 1);
    ::setenv("LANTERNFOLD_HTTP_CA_FILE", caFile_.c_str(), 1);
    ::unsetenv("LANTERNFOLD_CF_API_BASE");
    ::unsetenv("LANTERNFOLD_CF_WORKERS_DOMAIN");
}

CloudflareTwin::~CloudflareTwin() {
    ::unsetenv("LANTERNFOLD_HTTP_CONNECT_TO");
    ::unsetenv("LANTERNFOLD_HTTP_CA_FILE");
    if (stdinFd_ >= 0) ::close(stdinFd_);
    if (stdoutFd_ >= 0) ::close(stdoutFd_);
    if (pid_ > 0) {
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

Json CloudflareTwin::call(const std::string& method, const std::string& path, const Json* body) const {
    platform::HttpRequest request;
    request.method = method;
    request.url = "http://127.0.0.1:" + std::to_string(controlPort_) + path;
    request.timeout = std::chrono::seconds(120);
    if (body) request.setJsonBody(*body);
    // The control port is reached directly: the environment's CONNECT_TO would send it to the
    // double's HTTPS port.
    const auto response = platform::HttpClient(platform::HttpSettings{}).send(request);
    if (response.status < 200 || response.status > 299) {
        throw std::runtime_error(method + " " + path + " answered " + std::to_string(response.status) + ": " +
                                 response.body);
    }
    return json::parse(response.body).value_or(Json());
}

Json CloudflareTwin::get(const std::string& path) const { return call("GET", path, nullptr); }

Json CloudflareTwin::post(const std::string& path, const Json& body) const { return call("POST", path, &body); }

void CloudflareTwin::resetAll() const {
    post("/reset");
    configure(Json{{"tokens", Json::array({token})},
                   {"accounts", Json::array({Json{{"id", accountID}, {"name", "Test Account"}}})},
                   {"subdomain", subdomain}});
}

bool CloudflareTwin::waitForRequest(const std::string& pathContains, int count, int timeoutMs) const {
    platform::HttpRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(controlPort_) + "/wait?pathContains=" + encoded(pathContains) +
                  "&count=" + std::to_string(count) + "&timeoutMs=" + std::to_string(timeoutMs);
    request.timeout = std::chrono::milliseconds(timeoutMs + 10000);
    return platform::HttpClient(platform::HttpSettings{}).send(request).status == 200;
}

}  // namespace lf::test
