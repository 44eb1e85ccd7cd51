#include <gtest/gtest.h>

#include <cstdlib>

#include "publish/cloudflare/cloudflare_error.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"

using lf::json::Json;
using namespace lf::publish::cloudflare;

TEST(CloudflareError, TextsOfEveryCase) {
    unsetenv("LANTERNFOLD_CF_WORKERS_DOMAIN");
    const std::pair<CloudflareError, std::string> cases[] = {
        {CloudflareError::severalAccounts({"Home", "Work, Inc."}),
         "This API token can reach several Cloudflare accounts (Home, Work, Inc.). Paste the Account ID of the one "
         "to use in the Publish tab."},
        {CloudflareError::tooManyFiles(20001),
         "Cloudflare’s free plan allows 20,000 files per site, and this gallery has 20001."},
        {CloudflareError::tooBig("movies/long walk.mp4"),
         "“movies/long walk.mp4” is bigger than 25 MB, the largest file Cloudflare accepts. Shorten or compress it "
         "and build again."},
        {CloudflareError::api("Not allowed (code 10000)"), "Cloudflare said: Not allowed (code 10000)"},
        {CloudflareError::noToken(), "Paste your Cloudflare API token in the Publish tab first."},
        {CloudflareError::badSiteName(),
         "The site name can only use lowercase letters, numbers and dashes (up to 63), and can’t start or end with "
         "a dash."},
        {CloudflareError::noAccount(),
         "Cloudflare didn’t show any account for this API token. Check that the token has the “Workers Scripts: "
         "Edit” permission."},
        {CloudflareError::noSubdomain(),
         "Your Cloudflare account doesn’t have a workers.dev address yet. Open Workers & Pages in the Cloudflare "
         "dashboard once to choose one, then publish again."},
        {CloudflareError::noGalleryPassword(), "Type a password for this gallery, or turn off “Require a password”."},
        {CloudflareError::missingLockProgram(),
         "Lanternfold couldn’t find its password program (worker.js). Reinstall the app and try again."},
        {CloudflareError::badHomeName(),
         "The home page address can only use lowercase letters, numbers and dashes, like “galleries”. Leave it "
         "empty to use your domain itself."},
    };
    for (const auto& [error, text] : cases) EXPECT_EQ(error.what(), text);
    EXPECT_EQ(CloudflareError::api("x").apiMessage(), "x");
}

TEST(CloudflareError, NoSubdomainNamesTheWorkersDomainInUse) {
    setenv("LANTERNFOLD_CF_WORKERS_DOMAIN", "workers.test", 1);
    const std::string text = CloudflareError::noSubdomain().what();
    unsetenv("LANTERNFOLD_CF_WORKERS_DOMAIN");
    EXPECT_NE(text.find("doesn’t have a workers.test address"), std::string::npos) << text;
}

// Replies of the API and what request makes of them: the result, or the api error's message.
TEST(CloudflareEnvelope, RepliesTable) {
    const std::string tokenText403 =
        "the API token wasn’t accepted (code 403). Check that it has the “Workers Scripts: Edit” permission for "
        "your account.";
    struct Case {
        const char* what;
        long status;
        std::string body;
        std::optional<std::string> error;  // absent: success
        std::optional<Json> result = std::nullopt;
    };
    const Case cases[] = {
        {"result of a success", 200, R"({"success":true,"errors":[],"result":{"id":"a"}})", std::nullopt,
         Json{{"id", "a"}}},
        {"403 with Cloudflare errors gives the token text", 403,
         R"({"success":false,"errors":[{"code":9109,"message":"Invalid access token"}]})", tokenText403},
        {"401 without a body", 401, "",
         "the API token wasn’t accepted (code 401). Check that it has the “Workers Scripts: Edit” permission for "
         "your account."},
        {"404 with an HTML page", 404, "<html><body>Not found</body></html>", "unexpected reply (HTTP 404)."},
        {"200 with success false and no errors", 200, R"({"success":false,"errors":[]})",
         "unexpected reply (HTTP 200)."},
        {"error without message but with a numeric code", 400, R"({"errors":[{"code":10021}]})",
         "unknown error (code 10021)"},
        {"error with a message and no code", 500, R"({"errors":[{"message":"Try later"}]})", "Try later"},
        {"first of several errors, string code", 200,
         R"({"success":false,"errors":[{"code":"E1","message":"First"},{"code":2,"message":"Second"}]})",
         "First (code E1)"},
        {"errors that are not all objects", 502, R"({"errors":[{"message":"x"},"y"]})", "unexpected reply (HTTP 502)."},
        {"204 with an empty body", 204, "", std::nullopt, std::nullopt},
        {"2xx that is not JSON", 200, "OK", std::nullopt, std::nullopt},
        {"2xx with a JSON array", 200, R"([1,2])", std::nullopt, std::nullopt},
        {"success that is not a boolean counts as success", 200, R"({"success":"false","result":[1]})", std::nullopt,
         Json::array({1})},
        {"no success member", 201, R"({"result":null})", std::nullopt, Json()},
        {"status 0 (no HTTP reply)", 0, "", "unexpected reply (HTTP 0)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            const auto result = unwrapEnvelope(c.status, c.body);
            EXPECT_FALSE(c.error) << "expected the error " << *c.error;
            EXPECT_EQ(result, c.result);
        } catch (const CloudflareError& error) {
            ASSERT_TRUE(c.error) << "unexpected error " << error.what();
            EXPECT_EQ(error.kind(), CloudflareError::Kind::api);
            EXPECT_EQ(error.apiMessage(), *c.error);
            EXPECT_EQ(std::string(error.what()), "Cloudflare said: " + *c.error);
        }
    }
}

TEST(CloudflareRequest, AddressThatIsNotAUrlIsRefusedBeforeSending) {
    setenv("LANTERNFOLD_CF_API_BASE", "https://api.cloudflare.invalid/client/v4", 1);
    CloudflarePublisher publisher("token", "site");
    try {
        publisher.request("GET", "/accounts/my account/workers/subdomain");
        FAIL() << "expected an api error";
    } catch (const CloudflareError& error) {
        EXPECT_STREQ(error.what(), "Cloudflare said: Bad address /accounts/my account/workers/subdomain");
    }
    unsetenv("LANTERNFOLD_CF_API_BASE");
}
