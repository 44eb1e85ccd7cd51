#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stop_token>
#include <thread>

#include "platform/http_client.hpp"
#include "platform/support/local_http_server.hpp"

using lf::platform::HttpClient;
using lf::platform::HttpRequest;
using lf::platform::HttpSettings;
using lf::test::LocalHttpServer;
using lf::test::ReceivedRequest;
using lf::test::Reply;

namespace {

// A loopback port with nothing listening on it.
int closedPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

HttpClient plainClient() { return HttpClient(HttpSettings{}); }

}  // namespace

TEST(HttpClient, SendsMethodHeadersAndBodyAndReturnsStatusHeadersAndBody) {
    LocalHttpServer server([](const ReceivedRequest&) {
        return Reply{Reply::Action::answer, 418, {{"X-Reply", "yes"}}, "short and stout"};
    });
    HttpRequest request;
    request.method = "PUT";
    request.url = server.url("/things/1?x=y");
    request.headers = {{"Authorization", "Bearer abc"}, {"Content-Type", "application/octet-stream"}};
    request.body = std::string("raw\0bytes", 9);
    const auto response = plainClient().send(request);

    EXPECT_EQ(response.status, 418);
    EXPECT_EQ(response.body, "short and stout");
    EXPECT_EQ(response.header("x-reply"), "yes");
    const auto received = server.requests().at(0);
    EXPECT_EQ(received.method, "PUT");
    EXPECT_EQ(received.target, "/things/1?x=y");
    EXPECT_EQ(received.header("Authorization"), "Bearer abc");
    EXPECT_EQ(received.body, std::string("raw\0bytes", 9));
    EXPECT_FALSE(received.hasHeader("Expect"));
}

TEST(HttpClient, JsonBodyIsCompactWithItsContentType) {
    LocalHttpServer server([](const ReceivedRequest&) { return Reply{}; });
    HttpRequest request;
    request.method = "POST";
    request.url = server.url("/json");
    request.setJsonBody(lf::json::Json{{"enabled", true}, {"name", "a/b"}});
    plainClient().send(request);
    const auto received = server.requests().at(0);
    EXPECT_EQ(received.body, R"({"enabled":true,"name":"a/b"})");
    EXPECT_EQ(received.header("Content-Type"), "application/json");
}

TEST(HttpClient, MethodWithoutBodySendsNone) {
    LocalHttpServer server([](const ReceivedRequest&) { return Reply{Reply::Action::answer, 204, {}, ""}; });
    for (const std::string method : {"GET", "POST", "DELETE"}) {
        HttpRequest request;
        request.method = method;
        request.url = server.url("/none");
        EXPECT_EQ(plainClient().send(request).status, 204) << method;
    }
    for (const auto& received : server.requests()) {
        EXPECT_TRUE(received.body.empty());
        EXPECT_FALSE(received.hasHeader("Content-Type")) << received.method;
    }
}

TEST(HttpClient, RefusedConnectionIsATransportError) {
    HttpRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    try {
        plainClient().send(request);
        FAIL() << "expected a transport error";
    } catch (const lf::TransportError& error) {
        EXPECT_FALSE(std::string(error.what()).empty());
    }
}

TEST(HttpClient, HangUpWithoutReplyIsATransportError) {
    LocalHttpServer server([](const ReceivedRequest&) { return Reply{Reply::Action::hangUp}; });
    HttpRequest request;
    request.url = server.url("/");
    EXPECT_THROW(plainClient().send(request), lf::TransportError);
}

// A reader of someone else's site caps the reply: one byte over the cap fails, one at it arrives.
TEST(HttpClient, ReplyLongerThanTheCapIsATransportError) {
    const std::string big(3 * 1024 * 1024, 'x');
    LocalHttpServer server([&](const ReceivedRequest&) { return Reply{Reply::Action::answer, 200, {}, big}; });
    HttpRequest request;
    request.url = server.url("/huge");
    request.maxBodyBytes = big.size() - 1;
    try {
        plainClient().send(request);
        ADD_FAILURE() << "a reply over the cap was taken";
    } catch (const lf::TransportError& error) {
        EXPECT_EQ(std::string(error.what()), "The reply is longer than " + std::to_string(big.size() - 1) + " bytes.");
    }
    request.maxBodyBytes = big.size();
    EXPECT_EQ(plainClient().send(request).body.size(), big.size());
}

TEST(HttpClient, TimeOutIsATransportError) {
    LocalHttpServer server([](const ReceivedRequest&) { return Reply{Reply::Action::stall}; });
    HttpRequest request;
    request.url = server.url("/slow");
    request.timeout = std::chrono::milliseconds(300);
    EXPECT_THROW(plainClient().send(request), lf::TransportError);
}

// A reply that keeps coming, a byte every 100 ms for about 2.4 seconds, outlasts a time-out of one
// second for the whole exchange but never one second of silence.
TEST(HttpClient, IdleTimeOutLetsASlowButSteadyReplyFinish) {
    const std::string body(24, 'x');
    LocalHttpServer server([&](const ReceivedRequest& request) {
        if (request.target == "/silent") return Reply{Reply::Action::stall};
        Reply reply{Reply::Action::trickle, 200, {}, body};
        reply.trickleInterval = std::chrono::milliseconds(100);
        return reply;
    });
    HttpRequest request;
    request.url = server.url("/slow");
    request.timeout = std::chrono::seconds(1);
    EXPECT_THROW(plainClient().send(request), lf::TransportError);

    request.idleTimeout = true;
    const lf::platform::HttpResponse response = plainClient().send(request);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, body);

    // Silence is still given up on.
    request.url = server.url("/silent");
    EXPECT_THROW(plainClient().send(request), lf::TransportError);
}

TEST(HttpClient, StopReachesARunningTransfer) {
    LocalHttpServer server([](const ReceivedRequest&) { return Reply{Reply::Action::stall}; });
    std::stop_source stop;
    std::thread stopper([&] {
        server.waitForRequests(1);
        stop.request_stop();
    });
    HttpRequest request;
    request.url = server.url("/slow");
    EXPECT_THROW(plainClient().send(request, stop.get_token()), lf::Cancelled);
    stopper.join();
}

TEST(HttpClient, StoppedBeforeStartSendsNothing) {
    LocalHttpServer server([](const ReceivedRequest&) { return Reply{}; });
    std::stop_source stop;
    stop.request_stop();
    HttpRequest request;
    request.url = server.url("/");
    EXPECT_THROW(plainClient().send(request, stop.get_token()), lf::Cancelled);
    EXPECT_TRUE(server.requests().empty());
}

TEST(HttpClient, ConnectToKeepsTheHostNameAndReachesTheLocalServer) {
    LocalHttpServer server([](const ReceivedRequest& request) {
        return Reply{Reply::Action::answer, 200, {}, request.header("Host")};
    });
    HttpSettings settings;
    settings.connectTo = {"::127.0.0.1:" + std::to_string(server.port())};
    HttpRequest request;
    request.url = "http://site.example.invalid/page";
    const auto response = HttpClient(settings).send(request);
    EXPECT_EQ(response.body, "site.example.invalid");
}

TEST(HttpClient, SettingsComeFromTheEnvironment) {
    setenv("LANTERNFOLD_HTTP_CONNECT_TO", "::127.0.0.1:8443, a.test:443:127.0.0.1:9443", 1);
    setenv("LANTERNFOLD_HTTP_CA_FILE", "/tmp/ca.pem", 1);
    const auto settings = HttpSettings::fromEnvironment();
    unsetenv("LANTERNFOLD_HTTP_CONNECT_TO");
    unsetenv("LANTERNFOLD_HTTP_CA_FILE");
    EXPECT_EQ(settings.connectTo, (std::vector<std::string>{"::127.0.0.1:8443", "a.test:443:127.0.0.1:9443"}));
    EXPECT_EQ(settings.extraCaFile, "/tmp/ca.pem");
    EXPECT_TRUE(HttpSettings::fromEnvironment().connectTo.empty());
}

TEST(HttpClient, SendAllKeepsOrderAndSeparatesFailures) {
    LocalHttpServer server([](const ReceivedRequest& request) {
        if (request.target == "/drop") return Reply{Reply::Action::hangUp};
        return Reply{Reply::Action::answer, 200, {}, "reply to " + request.target};
    });
    std::vector<HttpRequest> requests;
    for (const std::string path : {"/a", "/drop", "/c", "/d", "/e"}) {
        HttpRequest request;
        request.url = server.url(path);
        requests.push_back(request);
    }
    const auto outcomes = plainClient().sendAll(requests, {}, 2);
    ASSERT_EQ(outcomes.size(), 5u);
    EXPECT_EQ(outcomes[0].get().body, "reply to /a");
    EXPECT_THROW(outcomes[1].get(), lf::TransportError);
    EXPECT_EQ(outcomes[2].get().body, "reply to /c");
    EXPECT_EQ(outcomes[4].get().body, "reply to /e");
}
