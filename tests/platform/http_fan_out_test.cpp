// Requests side by side on one thread, each outcome handed over as soon as it arrives.
#include <gtest/gtest.h>

#include <chrono>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/http_client.hpp"
#include "platform/support/local_http_server.hpp"

using lf::platform::HttpClient;
using lf::platform::HttpFanOut;
using lf::platform::HttpOutcome;
using lf::platform::HttpRequest;
using lf::platform::HttpSettings;
using lf::test::LocalHttpServer;
using lf::test::ReceivedRequest;
using lf::test::Reply;

namespace {

HttpRequest get(const LocalHttpServer& server, const std::string& path) {
    HttpRequest request;
    request.url = server.url(path);
    request.timeout = std::chrono::seconds(30);
    return request;
}

std::string describe(const HttpOutcome& outcome) {
    if (!outcome.response) return "failed";
    return std::to_string(outcome.response->status) + " " + outcome.response->body;
}

}  // namespace

// The slow reply is held back by the server until every other outcome has been handed over to its
// continuation, so the order of the continuations can only be the order of arrival. (Holding it
// back only until the server had answered the others was not enough: a reply written is not yet a
// reply read, and under a slow sanitizer build the slow one could still arrive first.)
TEST(HttpFanOut, HandsOverEachOutcomeAsItArrivesAndLetsAContinuationAskAgain) {
    std::atomic<int> handedOver{0};
    LocalHttpServer server([&](const ReceivedRequest& request) {
        if (request.target == "/slow") {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (handedOver.load() < 4 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
            return Reply{Reply::Action::answer, 200, {}, "slow"};
        }
        if (request.target == "/gone") return Reply{Reply::Action::hangUp};
        if (request.target == "/missing") return Reply{Reply::Action::answer, 404, {}, "no"};
        return Reply{Reply::Action::answer, 200, {}, request.target.substr(1)};
    });
    std::vector<std::string> seen;
    const auto note = [&](const std::string& text) {
        seen.push_back(text);
        if (text.rfind("slow:", 0) != 0) ++handedOver;
    };
    HttpFanOut fanOut{HttpClient(HttpSettings{})};
    fanOut.add(get(server, "/slow"), [&](HttpOutcome outcome) { note("slow: " + describe(outcome)); });
    fanOut.add(get(server, "/gone"), [&](HttpOutcome outcome) { note("gone: " + describe(outcome)); });
    fanOut.add(get(server, "/missing"), [&](HttpOutcome outcome) {
        note("missing: " + describe(outcome));
        // A second request that depends on the first reply joins the same run.
        fanOut.add(get(server, "/second"), [&](HttpOutcome again) { note("second: " + describe(again)); });
    });
    fanOut.add(get(server, "/quick"), [&](HttpOutcome outcome) { note("quick: " + describe(outcome)); });
    fanOut.run();

    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen.back(), "slow: 200 slow");
    std::vector<std::string> others(seen.begin(), seen.end() - 1);
    std::sort(others.begin(), others.end());
    EXPECT_EQ(others, (std::vector<std::string>{"gone: failed", "missing: 404 no", "quick: 200 quick",
                                                "second: 200 second"}));
    EXPECT_LT(std::find(seen.begin(), seen.end(), "missing: 404 no"), std::find(seen.begin(), seen.end(), "second: 200 second"));
}

TEST(HttpFanOut, StopEndsEveryTransferAndDropsWhatWasWaiting) {
    LocalHttpServer server([](const ReceivedRequest&) { return Reply{Reply::Action::stall}; });
    std::stop_source stop;
    std::thread stopper([&] {
        server.waitForRequests(2);
        stop.request_stop();
    });
    int handedOver = 0;
    HttpFanOut fanOut(HttpClient(HttpSettings{}), 2);
    for (int i = 0; i < 3; ++i) fanOut.add(get(server, "/" + std::to_string(i)), [&](HttpOutcome) { ++handedOver; });
    EXPECT_THROW(fanOut.run(stop.get_token()), lf::Cancelled);
    stopper.join();
    EXPECT_EQ(handedOver, 0);
    EXPECT_EQ(server.requests().size(), 2u) << "the third request waited for room and was never sent";
    fanOut.run();  // nothing is left to send
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST(HttpFanOut, AnExceptionFromAContinuationEndsTheRunAndPassesThrough) {
    LocalHttpServer server([](const ReceivedRequest& request) {
        if (request.target == "/stall") return Reply{Reply::Action::stall};
        return Reply{};
    });
    HttpFanOut fanOut{HttpClient(HttpSettings{})};
    fanOut.add(get(server, "/stall"), [](HttpOutcome) {});
    fanOut.add(get(server, "/"), [](HttpOutcome) { throw std::runtime_error("caller gave up"); });
    EXPECT_THROW(fanOut.run(), std::runtime_error);
}
