#include "platform/support/local_http_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "platform/text.hpp"

namespace lf::test {

std::string ReceivedRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (lf::text::lowerASCII(key) == lf::text::lowerASCII(name)) return value;
    }
    return {};
}

bool ReceivedRequest::hasHeader(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (lf::text::lowerASCII(key) == lf::text::lowerASCII(name)) return true;
    }
    return false;
}

LocalHttpServer::LocalHttpServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 16) != 0) {
        throw std::runtime_error("bind or listen failed");
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    for (auto& worker : workers_) worker.join();
    ::close(listener_);
}

std::string LocalHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<ReceivedRequest> LocalHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LocalHttpServer::waitForRequests(size_t count) const {
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [&] { return requests_.size() >= count; });
}

void LocalHttpServer::serve() {
    while (!stopping_) {
        pollfd watch{listener_, POLLIN, 0};
        if (::poll(&watch, 1, 100) <= 0) continue;
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0) continue;
        workers_.emplace_back([this, connection] { handle(connection); });
    }
}

void LocalHttpServer::handle(int connection) {
    std::string data;
    char buffer[65536];
    size_t headerEnd = std::string::npos;
    size_t contentLength = 0;
    ReceivedRequest request;
    // Reads until the headers and the announced body are complete.
    while (true) {
        pollfd watch{connection, POLLIN, 0};
        if (stopping_) break;
        if (::poll(&watch, 1, 100) <= 0) continue;
        const ssize_t count = ::recv(connection, buffer, sizeof buffer, 0);
        if (count <= 0) break;
        data.append(buffer, static_cast<size_t>(count));
        if (headerEnd == std::string::npos) {
            headerEnd = data.find("\r\n\r\n");
            if (headerEnd == std::string::npos) continue;
            const std::string head = data.substr(0, headerEnd);
            size_t lineStart = 0;
            bool first = true;
            while (lineStart <= head.size()) {
                size_t lineEnd = head.find("\r\n", lineStart);
                if (lineEnd == std::string::npos) lineEnd = head.size();
                const std::string line = head.substr(lineStart, lineEnd - lineStart);
                if (first) {
                    const auto space = line.find(' ');
                    request.method = line.substr(0, space);
                    request.target = line.substr(space + 1, line.rfind(' ') - space - 1);
                    first = false;
                } else if (auto colon = line.find(':'); colon != std::string::npos) {
                    request.headers.emplace_back(line.substr(0, colon), lf::text::trimmed(line.substr(colon + 1)));
                }
                lineStart = lineEnd + 2;
            }
            const std::string length = request.header("Content-Length");
            contentLength = length.empty() ? 0 : std::stoul(length);
        }
        if (data.size() >= headerEnd + 4 + contentLength) break;
    }
    if (headerEnd != std::string::npos) {
        request.body = data.substr(headerEnd + 4, contentLength);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        arrived_.notify_all();
        const Reply reply = handler_(request);
        if (reply.action == Reply::Action::answer || reply.action == Reply::Action::trickle) {
            std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " Reply\r\n";
            for (const auto& [name, value] : reply.headers) out += name + ": " + value + "\r\n";
            out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
            const bool trickle = reply.action == Reply::Action::trickle;
            const size_t bodyStart = out.size();
            out += reply.body;
            size_t sent = 0;
            while (sent < out.size() && !stopping_) {
                // A trickled body goes out a byte at a time after the headers.
                const size_t chunk = trickle && sent >= bodyStart ? 1 : (trickle ? bodyStart : out.size()) - sent;
                const ssize_t count = ::send(connection, out.data() + sent, chunk, MSG_NOSIGNAL);
                if (count <= 0) break;
                sent += static_cast<size_t>(count);
                if (trickle && sent > bodyStart && sent < out.size()) std::this_thread::sleep_for(reply.trickleInterval);
            }
        } else if (reply.action == Reply::Action::stall) {
            // Keeps the connection open without answering until the client gives up.
            while (!stopping_) {
                pollfd watch{connection, POLLIN, 0};
                if (::poll(&watch, 1, 100) > 0 && ::recv(connection, buffer, sizeof buffer, 0) <= 0) break;
            }
        }
    }
    ::close(connection);
}

}  // namespace lf::test
