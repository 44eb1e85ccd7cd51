// Publishing against the local Cloudflare double, whose deployed Workers run in workerd and answer
// at their Workers addresses over HTTPS on loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <stop_token>

#include "platform/files.hpp"
#include "platform/http_client.hpp"
#include "publish/cloudflare/asset_files.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "publish/cloudflare/site_lock.hpp"
#include "publish/cloudflare/support/cloudflare_twin.hpp"
#include "support/temporary_folder.hpp"

namespace fs = std::filesystem;
using lf::json::Json;
using lf::test::CloudflareTwin;
using namespace lf::publish::cloudflare;

namespace {

struct ProgressReport {
    int done;
    int total;
    std::string text;
    bool operator==(const ProgressReport&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ProgressReport& report) {
    return out << "(" << report.done << ", " << report.total << ", " << report.text << ")";
}

void write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    lf::platform::writeFileAtomically(file, bytes);
}

void makePicture(const fs::path& file, int width, int height) {
    fs::create_directories(file.parent_path());
    const std::string command = "vips gaussnoise '" + file.string() + "' " + std::to_string(width) + " " +
                                std::to_string(height);
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A small built gallery: two pages, a stylesheet, two pictures and the hidden build manifest.
fs::path makeSite(const std::string& name) {
    const fs::path site = lf::testing::programFolder() / ("publish-" + name);
    fs::remove_all(site);
    write(site / "index.html", "<!doctype html><title>Summer</title><img src=\"pictures/a.jpg\">\n");
    write(site / "page-2.html", "<!doctype html><title>Summer, page 2</title>\n");
    write(site / "style.css", "body { background: #111; }\n");
    makePicture(site / "pictures" / "a.jpg", 64, 48);
    makePicture(site / "pictures" / "b.jpg", 48, 64);
    write(site / ".tessavane-build.json", "{}");
    return site;
}

lf::platform::HttpResponse fetch(const std::string& url) {
    lf::platform::HttpRequest request;
    request.url = url;
    request.timeout = std::chrono::seconds(60);
    return lf::platform::HttpClient().send(request);
}

// The recorded requests whose path contains the text (and of the method, when given).
std::vector<Json> recorded(const Json& requests, const std::string& pathContains, const std::string& method = {}) {
    std::vector<Json> found;
    for (const Json& request : requests) {
        const std::string path = lf::json::getString(request, "path", "");
        if (path.find(pathContains) == std::string::npos) continue;
        if (!method.empty() && lf::json::getString(request, "method", "") != method) continue;
        found.push_back(request);
    }
    return found;
}

// The parsed metadata part of the last script upload.
Json lastMetadata(const Json& requests) {
    Json metadata;
    for (const Json& request : recorded(requests, "/workers/scripts/", "PUT")) {
        for (const Json& part : request["parts"]) {
            if (part["name"] == "metadata") metadata = Json::parse(part["text"].get<std::string>());
        }
    }
    return metadata;
}

std::string errorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(no error)";
}

class PublishTest : public testing::Test {
protected:
    static void SetUpTestSuite() { twin = std::make_unique<CloudflareTwin>(); }
    static void TearDownTestSuite() { twin.reset(); }
    void SetUp() override { twin->resetAll(); }

    static CloudflarePublisher publisher(const std::string& siteName = "summer") {
        CloudflarePublisher publisher(CloudflareTwin::token, siteName);
        publisher.retryWaitScale = 0.001;
        return publisher;
    }

    static inline std::unique_ptr<CloudflareTwin> twin;
};

const std::string summerAddress = "https://summer.lf-test.workers.dev/";

}  // namespace

TEST_F(PublishTest, FirstPublishSendsEveryFileAndTheSiteAnswersAtItsWorkersAddress) {
    const fs::path site = makeSite("first");
    std::vector<ProgressReport> reports;
    const PublishResult result = publisher().publish(site, {}, [&](int done, int total, const std::string& text) {
        reports.push_back({done, total, text});
    });

    EXPECT_EQ(result, (PublishResult{summerAddress, CloudflareTwin::accountID, 5, 5}));
    EXPECT_EQ(reports, (std::vector<ProgressReport>{{0, 1, "Connecting to Cloudflare…"},
                                                    {0, 1, "Checking files…"},
                                                    {0, 5, "Publishing 0 of 5 files…"},
                                                    {5, 5, "Putting the site live…"},
                                                    {1, 1, "Published"}}));

    const auto index = fetch(summerAddress);
    EXPECT_EQ(index.status, 200);
    EXPECT_EQ(index.body, lf::platform::readFile(site / "index.html"));
    const auto picture = fetch(summerAddress + "pictures/b.jpg");
    EXPECT_EQ(picture.status, 200);
    EXPECT_EQ(picture.body, lf::platform::readFile(site / "pictures" / "b.jpg"));
    EXPECT_EQ(picture.header("Content-Type"), "image/jpeg");
    EXPECT_EQ(fetch(summerAddress + ".tessavane-build.json").status, 404);

    // An open site: two parts, the assets binding alone, and no worker-first routing.
    const Json requests = twin->requests();
    const auto scriptUploads = recorded(requests, "/workers/scripts/summer", "PUT");
    ASSERT_EQ(scriptUploads.size(), 1u);
    ASSERT_EQ(scriptUploads[0]["parts"].size(), 2u);
    EXPECT_EQ(scriptUploads[0]["parts"][1]["name"], "lanternfold.js");
    EXPECT_EQ(scriptUploads[0]["parts"][1]["text"], defaultWorkerScript);
    const Json metadata = lastMetadata(requests);
    EXPECT_EQ(metadata["main_module"], "lanternfold.js");
    EXPECT_EQ(metadata["compatibility_date"], "2025-09-01");
    EXPECT_EQ(metadata["bindings"], Json::parse(R"([{"type":"assets","name":"ASSETS"}])"));
    EXPECT_EQ(metadata["assets"]["config"],
              Json::parse(R"({"html_handling":"auto-trailing-slash","not_found_handling":"none"})"));
    const auto session = recorded(requests, "/assets-upload-session");
    ASSERT_EQ(session.size(), 1u);
    const Json manifest = Json::parse(session[0]["body"].get<std::string>())["manifest"];
    EXPECT_EQ(manifest.size(), 5u);
    EXPECT_EQ(manifest["/index.html"]["hash"],
              assetHash(lf::platform::readFile(site / "index.html"), "html"));
    EXPECT_TRUE(recorded(requests, "/subdomain", "POST").at(0)["body"] == R"({"enabled":true})");
}

TEST_F(PublishTest, RepublishSendsNothingThenOnlyTheChangedPage) {
    const fs::path site = makeSite("again");
    publisher().publish(site);
    twin->post("/requests/clear");

    std::vector<ProgressReport> reports;
    const PublishResult unchanged = publisher().publish(site, {}, [&](int done, int total, const std::string& text) {
        reports.push_back({done, total, text});
    });
    EXPECT_EQ(unchanged.uploadedCount, 0);
    EXPECT_EQ(unchanged.fileCount, 5);
    EXPECT_TRUE(recorded(twin->requests(), "/assets/upload").empty());
    EXPECT_EQ(reports.at(2), (ProgressReport{0, 1, "Putting the site live…"}));
    // With nothing sent, the session's own token completes the upload; the double accepts it only
    // because the session already holds every file.
    EXPECT_FALSE(lastMetadata(twin->requests())["assets"]["jwt"].get<std::string>().empty());

    twin->post("/requests/clear");
    write(site / "page-2.html", "<!doctype html><title>Summer, page 2, new caption</title>\n");
    const PublishResult changed = publisher().publish(site);
    EXPECT_EQ(changed.uploadedCount, 1);
    const auto uploads = recorded(twin->requests(), "/assets/upload");
    ASSERT_EQ(uploads.size(), 1u);
    ASSERT_EQ(uploads[0]["parts"].size(), 1u);
    EXPECT_EQ(uploads[0]["parts"][0]["name"], assetHash(lf::platform::readFile(site / "page-2.html"), "html"));
    EXPECT_EQ(uploads[0]["parts"][0]["contentType"], "text/html; charset=utf-8");
    // The assets serve "page-2.html" at "/page-2" (html_handling auto-trailing-slash).
    EXPECT_EQ(fetch(summerAddress + "page-2").body, lf::platform::readFile(site / "page-2.html"));
}

TEST_F(PublishTest, BucketsAreSentInOrderWithProgressBeforeEach) {
    twin->configure(Json{{"maxBucketFiles", 3}});
    const fs::path site = makeSite("buckets");
    std::vector<ProgressReport> reports;
    const PublishResult result = publisher().publish(site, {}, [&](int done, int total, const std::string& text) {
        reports.push_back({done, total, text});
    });
    EXPECT_EQ(result.uploadedCount, 5);
    EXPECT_EQ(std::vector<ProgressReport>(reports.begin() + 2, reports.end()),
              (std::vector<ProgressReport>{{0, 5, "Publishing 0 of 5 files…"},
                                           {3, 5, "Publishing 3 of 5 files…"},
                                           {5, 5, "Putting the site live…"},
                                           {1, 1, "Published"}}));
    EXPECT_EQ(recorded(twin->requests(), "/assets/upload").size(), 2u);
    EXPECT_EQ(fetch(summerAddress + "style.css").body, lf::platform::readFile(site / "style.css"));
}

TEST_F(PublishTest, CustomDomainIsAttachedTrimmedAndLowerCased) {
    const fs::path site = makeSite("domain");
    auto custom = publisher();
    custom.hostname = "  Photos.Example.COM \n";
    std::vector<ProgressReport> reports;
    const PublishResult result = custom.publish(site, {}, [&](int done, int total, const std::string& text) {
        reports.push_back({done, total, text});
    });
    EXPECT_EQ(result.url, "https://photos.example.com/");
    EXPECT_EQ(reports.at(reports.size() - 2), (ProgressReport{1, 1, "Connecting photos.example.com…"}));
    const auto attach = recorded(twin->requests(), "/workers/domains", "PUT");
    ASSERT_EQ(attach.size(), 1u);
    EXPECT_EQ(Json::parse(attach[0]["body"].get<std::string>()),
              Json::parse(R"({"hostname":"photos.example.com","service":"summer","enabled":true})"));
    EXPECT_EQ(fetch("https://photos.example.com/").body, lf::platform::readFile(site / "index.html"));

    custom.zone = " Example.com ";
    custom.publish(site);
    const auto again = recorded(twin->requests(), "/workers/domains", "PUT");
    EXPECT_EQ(Json::parse(again.at(1)["body"].get<std::string>())["zone_name"], "example.com");
}

TEST_F(PublishTest, RefusedCustomDomainSaysTheSiteIsOnlineAnyway) {
    const fs::path site = makeSite("refused-domain");
    const Json refusal = {{"method", "PUT"}, {"pathContains", "/workers/domains"}, {"action", "status"},
                          {"status", 409}, {"errors", Json::parse(R"([{"code":100117,"message":"Zone not found."}])")}};
    const std::string prefix = "Cloudflare said: the gallery is online at " + summerAddress +
                               ", but gallery.other.org couldn’t be connected: Zone not found. (code 100117) Check that ";
    const std::string suffix =
        " is active in your Cloudflare account and that the API token can edit Workers routes for it.";

    auto custom = publisher();
    custom.hostname = "gallery.other.org";
    twin->addFault(refusal);
    EXPECT_EQ(errorText([&] { custom.publish(site); }), prefix + "gallery.other.org" + suffix);

    custom.zone = "other.org";
    twin->addFault(refusal);
    EXPECT_EQ(errorText([&] { custom.publish(site); }), prefix + "other.org" + suffix);

    EXPECT_EQ(fetch(summerAddress).body, lf::platform::readFile(site / "index.html"));
}

TEST_F(PublishTest, HostAndZoneAreLowerCasedBeyondAsciiToo) {
    const fs::path site = makeSite("unicode-domain");
    twin->addFault(Json{{"method", "PUT"}, {"pathContains", "/workers/domains"}, {"action", "status"},
                        {"status", 400}, {"errors", Json::parse(R"([{"code":1,"message":"No."}])")}});
    auto custom = publisher();
    custom.hostname = " Fotos.MÜNCHEN.de ";
    custom.zone = "MÜNCHEN.DE";
    EXPECT_EQ(errorText([&] { custom.publish(site); }),
              "Cloudflare said: the gallery is online at " + summerAddress +
                  ", but fotos.münchen.de couldn’t be connected: No. (code 1) Check that münchen.de is active in "
                  "your Cloudflare account and that the API token can edit Workers routes for it.");
    const auto attach = recorded(twin->requests(), "/workers/domains", "PUT");
    ASSERT_EQ(attach.size(), 1u);
    EXPECT_EQ(Json::parse(attach[0]["body"].get<std::string>()),
              Json::parse(R"({"hostname":"fotos.münchen.de","service":"summer","enabled":true,)"
                          R"("zone_name":"münchen.de"})"));
}

TEST_F(PublishTest, DroppedBucketUploadIsRetried) {
    const fs::path site = makeSite("retry");
    twin->addFault(Json{{"method", "POST"}, {"pathContains", "/assets/upload"}, {"action", "cut"}, {"times", 2}});
    const PublishResult result = publisher().publish(site);
    EXPECT_EQ(result.uploadedCount, 5);
    EXPECT_EQ(recorded(twin->requests(), "/assets/upload").size(), 3u);
    EXPECT_EQ(fetch(summerAddress + "pictures/a.jpg").body, lf::platform::readFile(site / "pictures" / "a.jpg"));
}

TEST_F(PublishTest, ThirdDroppedUploadEndsWithTheTransportError) {
    const fs::path site = makeSite("retry-fails");
    twin->addFault(Json{{"method", "POST"}, {"pathContains", "/assets/upload"}, {"action", "drop"}, {"times", 3}});
    EXPECT_THROW(publisher().publish(site), lf::TransportError);
    EXPECT_EQ(recorded(twin->requests(), "/assets/upload").size(), 3u);
    EXPECT_TRUE(recorded(twin->requests(), "/workers/scripts/summer", "PUT").empty());
}

TEST_F(PublishTest, RefusedBucketIsNotRetried) {
    const fs::path site = makeSite("refused");
    twin->addFault(Json{{"method", "POST"}, {"pathContains", "/assets/upload"}, {"action", "status"}, {"status", 500},
                        {"errors", Json::parse(R"([{"code":10013,"message":"Service unavailable"}])")}});
    EXPECT_EQ(errorText([&] { publisher().publish(site); }), "Cloudflare said: Service unavailable (code 10013)");
    EXPECT_EQ(recorded(twin->requests(), "/assets/upload").size(), 1u);
}

TEST_F(PublishTest, AccountProblemsGiveTheirTexts) {
    const fs::path site = makeSite("accounts");
    const std::string tokenText =
        "Cloudflare said: the API token wasn’t accepted (code %). Check that it has the “Workers Scripts: Edit” "
        "permission for your account.";
    auto withCode = [&](const std::string& code) {
        std::string text = tokenText;
        return text.replace(text.find('%'), 1, code);
    };

    twin->configure(Json::parse(R"({"accounts":[{"id":"a1","name":"Home"},{"id":"a2","name":"Studio"}]})"));
    EXPECT_EQ(errorText([&] { publisher().publish(site); }),
              "This API token can reach several Cloudflare accounts (Home, Studio). Paste the Account ID of the one "
              "to use in the Publish tab.");
    auto chosen = publisher();
    chosen.accountID = "  a2 \n";
    twin->post("/requests/clear");
    EXPECT_EQ(chosen.publish(site).accountID, "a2");
    for (const Json& request : twin->requests()) EXPECT_NE(request["path"], "/client/v4/accounts");

    twin->configure(Json::parse(R"({"accounts":[]})"));
    EXPECT_EQ(errorText([&] { publisher().publish(site); }),
              "Cloudflare didn’t show any account for this API token. Check that the token has the “Workers "
              "Scripts: Edit” permission.");

    twin->resetAll();
    twin->configure(Json::parse(R"({"subdomain":null})"));
    const std::string noSubdomain =
        "Your Cloudflare account doesn’t have a workers.dev address yet. Open Workers & Pages in the Cloudflare "
        "dashboard once to choose one, then publish again.";
    EXPECT_EQ(errorText([&] { publisher().publish(site); }), noSubdomain);

    twin->resetAll();
    twin->addFault(Json{{"method", "GET"}, {"pathContains", "/workers/subdomain"}, {"action", "status"}, {"status", 403}});
    EXPECT_EQ(errorText([&] { publisher().publish(site); }), noSubdomain);

    twin->addFault(Json{{"method", "GET"}, {"pathContains", "/accounts"}, {"action", "status"}, {"status", 403}});
    EXPECT_EQ(errorText([&] { publisher().publish(site); }), withCode("403"));

    CloudflarePublisher wrongToken("not-a-token", "summer");
    EXPECT_EQ(errorText([&] { wrongToken.publish(site); }), withCode("401"));

    twin->post("/requests/clear");
    EXPECT_EQ(errorText([&] { CloudflarePublisher("", "").publish(site); }),
              "Paste your Cloudflare API token in the Publish tab first.");
    EXPECT_EQ(errorText([&] { CloudflarePublisher("t", "Summer").publish(site); }),
              "The site name can only use lowercase letters, numbers and dashes (up to 63), and can’t start or end "
              "with a dash.");
    EXPECT_TRUE(twin->requests().empty());
}

TEST_F(PublishTest, TokenArgumentReplacesThePublishersTokenForOneCall) {
    twin->configure(Json::parse(R"({"tokens":["test-token","other-token"]})"));
    const auto p = publisher();
    p.request("GET", "/user/tokens/verify", std::nullopt, std::nullopt, {}, std::string("other-token"));
    p.request("GET", "/user/tokens/verify");
    const auto verifies = recorded(twin->requests(), "/user/tokens/verify");
    ASSERT_EQ(verifies.size(), 2u);
    EXPECT_EQ(verifies[0]["headers"]["authorization"], "Bearer other-token");
    EXPECT_EQ(verifies[1]["headers"]["authorization"], "Bearer test-token");
}

TEST_F(PublishTest, StopDuringABucketUploadLeavesTheOldSiteServing) {
    const fs::path site = makeSite("stop");
    publisher().publish(site);
    const std::string oldIndex = lf::platform::readFile(site / "index.html");

    write(site / "index.html", "<!doctype html><title>Never published</title>\n");
    twin->addFault(Json{{"method", "POST"}, {"pathContains", "/assets/upload"}, {"action", "hang"}});
    std::stop_source stop;
    auto publishing = std::async(std::launch::async, [&] { publisher().publish(site, stop.get_token()); });
    ASSERT_TRUE(twin->waitForRequest("/assets/upload"));
    stop.request_stop();
    EXPECT_THROW(publishing.get(), lf::Cancelled);

    EXPECT_EQ(recorded(twin->requests(), "/workers/scripts/summer", "PUT").size(), 1u);
    EXPECT_EQ(fetch(summerAddress).body, oldIndex);
}

TEST_F(PublishTest, StopDuringARetryWaitEndsAtOnce) {
    const fs::path site = makeSite("stop-waiting");
    twin->addFault(Json{{"method", "POST"}, {"pathContains", "/assets/upload"}, {"action", "drop"}, {"times", 3}});
    auto patient = publisher();
    patient.retryWaitScale = 1000;  // a wait of over half an hour: only the stop can end it
    std::stop_source stop;
    auto publishing = std::async(std::launch::async, [&] { patient.publish(site, stop.get_token()); });
    ASSERT_TRUE(twin->waitForRequest("/assets/upload"));
    stop.request_stop();
    EXPECT_THROW(publishing.get(), lf::Cancelled);
    EXPECT_EQ(recorded(twin->requests(), "/assets/upload").size(), 1u);
}

TEST_F(PublishTest, LockedSiteIsServedThroughThePasswordProgram) {
    const fs::path site = makeSite("locked");
    makePicture(site / "cover.jpg", 32, 32);
    auto locked = publisher("private");
    const SiteLock lock{"sunflower", "c2l0ZSBrZXkgb2YgdGhlIHByaXZhdGUgZ2FsbGVyeSE=", "Privé", "dark", "fr"};
    locked.lock = lock;
    const PublishResult result = locked.publish(site);
    EXPECT_EQ(result.url, "https://private.lf-test.workers.dev/");
    EXPECT_EQ(result.uploadedCount, 6);

    const Json requests = twin->requests();
    const auto upload = recorded(requests, "/workers/scripts/private", "PUT").at(0);
    ASSERT_EQ(upload["parts"].size(), 3u);
    EXPECT_EQ(upload["parts"][1]["name"], "lanternfold.js");
    EXPECT_EQ(upload["parts"][1]["text"], loadLockProgram());
    EXPECT_EQ(upload["parts"][2]["name"], "lock-config.js");
    EXPECT_EQ(upload["parts"][2]["filename"], "lock-config.js");
    EXPECT_EQ(upload["parts"][2]["contentType"], "application/javascript+module");
    EXPECT_EQ(upload["parts"][2]["text"], lockConfigScript(lock));
    const Json metadata = lastMetadata(requests);
    EXPECT_EQ(metadata["bindings"], Json::parse(R"([{"type":"assets","name":"ASSETS"},
        {"type":"secret_text","name":"LF_SECRET","text":"c2l0ZSBrZXkgb2YgdGhlIHByaXZhdGUgZ2FsbGVyeSE="},
        {"type":"ratelimit","name":"LF_VISITOR_LIMIT","namespace_id":"588536391","simple":{"limit":10,"period":60}},
        {"type":"ratelimit","name":"LF_SITE_LIMIT","namespace_id":"725917662","simple":{"limit":60,"period":60}}])"));
    EXPECT_EQ(metadata["assets"]["config"]["run_worker_first"], true);

    // Every request passes through the password program, static files included; the cover stays
    // open for the home page.
    const std::string address = result.url;
    const auto page = fetch(address + "pictures/a.jpg");
    EXPECT_EQ(page.status, 401);
    EXPECT_NE(page.body.find("Voir la galerie"), std::string::npos);
    EXPECT_EQ(fetch(address + "cover.jpg").body, lf::platform::readFile(site / "cover.jpg"));

    lf::platform::HttpRequest login;
    login.method = "POST";
    login.url = address + ".lanternfold/login";
    login.headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
    login.body = "password=sunflower&next=%2Fpictures%2Fa.jpg";
    const auto signedIn = lf::platform::HttpClient().send(login);
    EXPECT_EQ(signedIn.status, 303);
    const std::string cookie = signedIn.header("Set-Cookie").value_or("");
    ASSERT_FALSE(cookie.empty());
    lf::platform::HttpRequest picture;
    picture.url = address + "pictures/a.jpg";
    picture.headers = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    const auto opened = lf::platform::HttpClient().send(picture);
    EXPECT_EQ(opened.status, 200);
    EXPECT_EQ(opened.body, lf::platform::readFile(site / "pictures" / "a.jpg"));
}

// What a locked publish needs from this computer (the password program, the password, the title) is
// made before the first request, so a lock that cannot be made costs no upload.
TEST_F(PublishTest, LockThatCannotBeMadeFailsBeforeAnyRequest) {
    const fs::path site = makeSite("lock-fails");
    auto locked = publisher("private");
    locked.lock = SiteLock{"", "c2l0ZSBrZXk=", "Private", "classic", "en"};
    std::vector<ProgressReport> reports;
    EXPECT_EQ(errorText([&] {
                  locked.publish(site, {}, [&](int done, int total, const std::string& text) {
                      reports.push_back({done, total, text});
                  });
              }),
              "Type a password for this gallery, or turn off “Require a password”.");
    EXPECT_TRUE(twin->requests().empty()) << twin->requests().dump(2);
    EXPECT_TRUE(reports.empty());
}

// A title taken from a folder name that is not UTF-8 used to end a locked publish in the JSON
// writer after every file had been sent; it is written with U+FFFD instead, and the site goes live.
TEST_F(PublishTest, LockedSiteWhoseTitleIsNotUTF8IsPublished) {
    const fs::path site = makeSite("lock-latin1");
    auto locked = publisher("private");
    locked.lock = SiteLock{"sunflower", "c2l0ZSBrZXk=", "Caf\xe9", "classic", "en"};
    const PublishResult result = locked.publish(site);
    EXPECT_EQ(result.url, "https://private.lf-test.workers.dev/");
    const auto upload = recorded(twin->requests(), "/workers/scripts/private", "PUT").at(0);
    ASSERT_EQ(upload["parts"].size(), 3u);
    EXPECT_NE(upload["parts"][2]["text"].get<std::string>().find("\"title\":\"Caf\uFFFD\""), std::string::npos)
        << upload["parts"][2]["text"];
}
