#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for testing the HTTP client: each connection carries one
// request, which a handler answers with a status, headers and body, or by hanging up or keeping
// the client waiting.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lf::test {

struct ReceivedRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (case-insensitive), or "" when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

struct Reply {
    // trickle: the status line and headers at once, then the body one byte per trickleInterval,
    // a slow connection that never falls silent for long.
    enum class Action { answer, hangUp, stall, trickle };
    Action action = Action::answer;
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers{};
    std::string body{};
    std::chrono::milliseconds trickleInterval{0};
};

class LocalHttpServer {
public:
    using Handler = std::function<Reply(const ReceivedRequest&)>;

    explicit LocalHttpServer(Handler handler);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path = "/") const;
    std::vector<ReceivedRequest> requests() const;
    // Waits (without a time limit of its own) until count requests have arrived.
    void waitForRequests(size_t count) const;

private:
    void serve();
    void handle(int connection);

    Handler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<ReceivedRequest> requests_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

}  // namespace lf::test
