#pragma once
// HTTPS requests over libcurl: one request at a time or several side by side, each with its own
// time-out, the reply's status code, headers and body. Failures of the network layer itself (no
// connection, time-out, TLS) are thrown as lf::TransportError; a stop request reaches a running
// transfer and ends it with lf::Cancelled.
//
// Two settings from the environment let tests send every connection to a local double while host
// names and TLS stay as they are:
//   LANTERNFOLD_HTTP_CONNECT_TO  curl CONNECT_TO entries separated by commas ("::127.0.0.1:8443")
//   LANTERNFOLD_HTTP_CA_FILE     an extra CA bundle, trusted beside the system's certificates
#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/json.hpp"
#include "platform/long_work.hpp"

namespace lf::platform {

struct HttpRequest {
    std::string method = "GET";  // "GET", "POST", "PUT", "DELETE", "PATCH" or "HEAD"
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    // Sent as the request body when present, even when empty (a POST with no content).
    std::optional<std::string> body;
    // The whole exchange, connection included, must finish within this time; with idleTimeout,
    // the longest the exchange may go without any progress instead.
    std::chrono::milliseconds timeout = std::chrono::seconds(600);
    // When true, timeout limits silence, not length: the connection must open within it, and the
    // transfer fails only once no byte has moved either way for that long (timing out to the
    // second). A large upload over a slow line then takes as long as it needs, while a server
    // that stops answering is still given up on.
    bool idleTimeout = false;
    bool followRedirects = false;
    // The most bytes the reply's body may hold; a longer reply is cut off and fails as a transport
    // failure. Readers of other people's sites (a discovered gallery's manifest or index page) set
    // it, so a huge or endless reply cannot exhaust memory.
    std::optional<std::size_t> maxBodyBytes;

    // Sets the body to the compact JSON text of value and the Content-Type to application/json.
    void setJsonBody(const json::Json& value);
};

struct HttpResponse {
    long status = 0;  // 0 when the reply was not an HTTP reply
    std::vector<std::pair<std::string, std::string>> headers;  // of the final reply, names as sent
    std::string body;

    // The first header of that name, compared without regard to case.
    std::optional<std::string> header(const std::string& name) const;
};

// The outcome of one of several requests sent together: a reply, or the transport failure.
struct HttpOutcome {
    std::optional<HttpResponse> response;
    std::exception_ptr error;  // an lf::TransportError when response is absent

    // The reply, or the transport failure rethrown.
    const HttpResponse& get() const;
};

// Connection settings shared by every request. The defaults come from the environment.
struct HttpSettings {
    std::vector<std::string> connectTo;  // curl CONNECT_TO entries
    std::string extraCaFile;             // empty: the system's certificates only

    static HttpSettings fromEnvironment();
};

class HttpClient {
public:
    HttpClient();
    explicit HttpClient(HttpSettings settings);

    // Sends one request and waits for its complete reply. Any HTTP status is a reply, not an
    // error. Throws lf::TransportError when the network layer fails and lf::Cancelled when a stop
    // is requested before or during the transfer.
    HttpResponse send(const HttpRequest& request, const StopToken& stop = {}) const;

    // Sends the requests side by side, at most maxConcurrent at a time, and returns one outcome per
    // request in the same order. A transport failure of one request does not affect the others. A
    // stop request ends every transfer and throws lf::Cancelled.
    std::vector<HttpOutcome> sendAll(const std::vector<HttpRequest>& requests, const StopToken& stop = {},
                                     std::size_t maxConcurrent = 8) const;

    const HttpSettings& settings() const { return settings_; }

private:
    HttpSettings settings_;
};

// Requests in flight side by side on the calling thread, each outcome handed to its own
// continuation the moment its transfer ends, so a caller can act on the quick replies while slow
// ones are still on their way. A continuation runs on the thread that called run() and may add
// further requests (a second request that depends on the first reply); run() returns once nothing
// is left, neither running nor waiting.
class HttpFanOut {
public:
    using Continuation = std::function<void(HttpOutcome outcome)>;

    // maxConcurrent 0: every request starts at once; otherwise at most that many run together and
    // the rest wait their turn in the order they were added.
    explicit HttpFanOut(HttpClient client = HttpClient(), std::size_t maxConcurrent = 0);
    ~HttpFanOut();
    HttpFanOut(const HttpFanOut&) = delete;
    HttpFanOut& operator=(const HttpFanOut&) = delete;

    // Queues a request; it starts inside run().
    void add(HttpRequest request, Continuation then);

    // Sends everything queued and waits for it. A transport failure of one request reaches its
    // continuation and leaves the others alone. A stop request ends every transfer and throws
    // lf::Cancelled; an exception thrown by a continuation ends the others and passes through.
    void run(const StopToken& stop = {});

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Whether text is an absolute http or https address that can be sent as it stands: accepted by
// curl's own URL parser, and without white space, control or non-ASCII characters (a path is sent
// unencoded, so those would change its meaning).
bool isSendableUrl(const std::string& text);

// The value of an environment variable, or the fallback when it is unset or empty.
std::string environmentOr(const char* name, const std::string& fallback);

}  // namespace lf::platform
