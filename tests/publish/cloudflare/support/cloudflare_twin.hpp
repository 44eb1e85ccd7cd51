#pragma once
// Starts the local Cloudflare double (tests/twins/cloudflare/twin.mjs) for one test program, points
// the program's HTTP settings at it and talks to its control port.
#include <string>
#include <sys/types.h>

#include "platform/json.hpp"

namespace lf::test {

class CloudflareTwin {
public:
    // Starts node with the double and waits for its ready line. Sets LANTERNFOLD_HTTP_CONNECT_TO and
    // LANTERNFOLD_HTTP_CA_FILE for this process. Throws std::runtime_error when it does not start.
    CloudflareTwin();
    // Closing the double's standard input ends it; then it is waited for.
    ~CloudflareTwin();
    CloudflareTwin(const CloudflareTwin&) = delete;
    CloudflareTwin& operator=(const CloudflareTwin&) = delete;

    int httpsPort() const { return httpsPort_; }
    const std::string& caFile() const { return caFile_; }

    // Control API calls; the reply body parsed as JSON (null when it is not JSON). Throw
    // std::runtime_error for a status outside 200-299.
    json::Json get(const std::string& path) const;
    json::Json post(const std::string& path, const json::Json& body = json::Json::object()) const;

    // Forgets scripts, domains, assets, requests and faults, and restores the default configuration.
    void resetAll() const;
    void configure(const json::Json& config) const { post("/config", config); }
    void addFault(const json::Json& fault) const { post("/faults", fault); }
    json::Json requests() const { return get("/requests"); }
    json::Json state() const { return get("/state"); }
    // Waits until count recorded requests match (the double's own wait); false after timeoutMs.
    bool waitForRequest(const std::string& pathContains, int count = 1, int timeoutMs = 30000) const;

    static constexpr const char* token = "test-token";
    static constexpr const char* accountID = "0123456789abcdef0123456789abcdef";
    static constexpr const char* subdomain = "lf-test";

private:
    json::Json call(const std::string& method, const std::string& path, const json::Json* body) const;

    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    int httpsPort_ = 0;
    int controlPort_ = 0;
    std::string caFile_;
};

}  // namespace lf::test
