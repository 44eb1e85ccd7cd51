// lanternfold publish FOLDER --cloudflare against the local Cloudflare double (real Workers in
// workerd), with a keyring of its own: the final sentences, what lands in the project file and the
// keyring, the checks' alerts, a failure, and Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "app/keychain.hpp"
#include "cli/support/publish_support.hpp"
#include "model/support/fixtures.hpp"
#include "platform/http_client.hpp"
#include "publish/cloudflare/support/cloudflare_twin.hpp"

namespace {

namespace fs = std::filesystem;
using lf::json::Json;
using lf::test::CloudflareTwin;
using lf::test::runLanternfold;
using lf::test::savedSetting;

const std::string tokenAlert = "Paste your Cloudflare API token in the Publish tab first.\n";
const std::string siteNameAlert =
    "The site name can only use lowercase letters, numbers and dashes (up to 63), and can’t start or end with a "
    "dash.\n";
const std::string galleryPasswordAlert = "Type a password for this gallery, or turn off “Require a password”.\n";

lf::platform::HttpResponse fetch(const std::string& url) {
    lf::platform::HttpRequest request;
    request.url = url;
    request.timeout = std::chrono::seconds(60);
    return lf::platform::HttpClient().send(request);
}

std::string siteAddress(const std::string& site) { return "https://" + site + ".lf-test.workers.dev/"; }

std::string publishedSentence(const std::string& site, const std::string& detail) {
    return "Published at " + siteAddress(site) + " (" + detail + "). A new site can take a minute to appear.\n";
}

size_t distinctContents(const std::map<std::string, std::string>& files) {
    std::set<std::string> contents;
    for (const auto& [path, bytes] : files) contents.insert(bytes);
    return contents.size();
}

// The sentence of a republish of an unchanged folder. Each build writes the build's time into the
// gallery manifest ("updated"), so the republish sends that one file, or nothing at all when both
// builds fell within the same second; every other file must be unchanged.
std::string republishedSentence(const std::string& site, const std::map<std::string, std::string>& before,
                                const fs::path& folder) {
    const auto after = lf::test::visibleFiles(folder);
    std::vector<std::string> changed;
    for (const auto& [path, bytes] : after) {
        if (!before.contains(path) || before.at(path) != bytes) changed.push_back(path);
    }
    if (changed.empty()) return publishedSentence(site, "nothing had changed");
    EXPECT_EQ(changed, std::vector<std::string>{"lanternfold-gallery.json"});
    return publishedSentence(site, std::to_string(changed.size()) + " of " + std::to_string(after.size()) +
                                       " files sent");
}

class PublishCloudflare : public testing::Test {
protected:
    static void SetUpTestSuite() {
        lf::test::usePrivateKeyring();
        twin = std::make_unique<CloudflareTwin>();
    }
    static void TearDownTestSuite() {
        twin.reset();
    }
    void SetUp() override { twin->resetAll(); }

    static inline std::unique_ptr<CloudflareTwin> twin;
    lf::testing::TemporaryFolder temp;
};

TEST_F(PublishCloudflare, FirstPublishSendsEverythingAndRecordsTheAddressThenRepublishSendsNothing) {
    // No site name typed: the title's suggestion is used and saved. The token arrives with a line
    // break, as pasted from a file, and is stored trimmed.
    const fs::path folder = lf::test::makePicturesFolder(temp.path(), "Rome", 3, R"({"title": "Roman Holiday"})");
    const auto first = runLanternfold({"publish", folder.string(), "--cloudflare"},
                                      {{"LANTERNFOLD_CF_TOKEN", std::string(CloudflareTwin::token) + "\n"}});
    ASSERT_EQ(first.exitCode, 0) << first.err;

    const fs::path site = temp.path() / "Rome gallery";
    const auto files = lf::test::visibleFiles(site);
    ASSERT_GT(files.size(), 5u);
    // Every file of the site goes up, each content once (the cover is also the first thumbnail).
    EXPECT_EQ(first.out, publishedSentence("roman-holiday", std::to_string(distinctContents(files)) + " of " +
                                                                std::to_string(files.size()) + " files sent"));
    EXPECT_NE(first.err.find("Starting…"), std::string::npos) << "progress goes to standard error";

    EXPECT_EQ(savedSetting(folder, "cf_site_name"), "roman-holiday");
    EXPECT_EQ(savedSetting(folder, "cf_account_id"), CloudflareTwin::accountID);
    EXPECT_EQ(savedSetting(folder, "cf_last_url"), siteAddress("roman-holiday"));
    EXPECT_EQ(lf::app::Keychain().cloudflareToken(), std::string(CloudflareTwin::token));

    // The site is online with the built pages and pictures.
    const auto index = fetch(siteAddress("roman-holiday"));
    EXPECT_EQ(index.status, 200);
    EXPECT_EQ(index.body, files.at("index.html"));
    EXPECT_EQ(fetch(siteAddress("roman-holiday") + "cover.jpg").body, files.at("cover.jpg"));

    // The second time the token comes from the keyring, and nothing needs sending but the manifest.
    const auto second = runLanternfold({"publish", folder.string(), "--cloudflare"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.out, republishedSentence("roman-holiday", files, site));
}

TEST_F(PublishCloudflare, ChecksStopTheCommandWithTheirAlertBeforeAnythingIsBuilt) {
    struct Case {
        const char* settings;
        std::map<std::string, std::string> environment;
        std::string alert;
    };
    const std::vector<Case> cases = {
        {R"({"cf_site_name": "Bad.Name"})", {{"LANTERNFOLD_CF_TOKEN", ""}}, tokenAlert},
        {R"({"cf_site_name": "Bad.Name"})", {{"LANTERNFOLD_CF_TOKEN", " \n"}}, tokenAlert},
        {R"({"cf_site_name": "-rome"})", {{"LANTERNFOLD_CF_TOKEN", "t"}}, siteNameAlert},
        {R"({"cf_site_name": "rome", "locked": true})", {{"LANTERNFOLD_CF_TOKEN", "t"}}, galleryPasswordAlert},
        {R"({"cf_site_name": "rome", "locked": true})",
         {{"LANTERNFOLD_CF_TOKEN", "t"}, {"LANTERNFOLD_GALLERY_PASSWORD", "  "}}, galleryPasswordAlert},
    };
    const auto tokenBefore = lf::app::Keychain().cloudflareToken();
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        const std::string name = "Case" + std::to_string(index++);
        const fs::path folder = lf::test::makePicturesFolder(temp.path(), name, 1, c.settings);
        const std::string before = lf::testing::readWhole(folder / "lanternfold.json");
        const auto result = runLanternfold({"publish", folder.string(), "--cloudflare"}, c.environment);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, c.alert);
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(fs::exists(temp.path() / (name + " gallery")));
        EXPECT_EQ(lf::testing::readWhole(folder / "lanternfold.json"), before) << "nothing is saved";
    }
    EXPECT_EQ(lf::app::Keychain().cloudflareToken(), tokenBefore) << "a failed check stores nothing";
    EXPECT_TRUE(twin->requests().empty());
}

TEST_F(PublishCloudflare, UsageErrors) {
    const fs::path folder = lf::test::makePicturesFolder(temp.path(), "Rome", 1, "{}");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"publish"},
             {"publish", folder.string()},
             {"publish", folder.string(), "--cloudflare", "--ftp"},
             {"publish", folder.string(), "--cloudflare", "extra"},
             {"publish", folder.string(), "--s3"}}) {
        const auto result = runLanternfold(args);
        EXPECT_EQ(result.exitCode, 2) << args.size();
        EXPECT_NE(result.err.find("Usage: lanternfold publish FOLDER --cloudflare"), std::string::npos);
    }
    const auto missing = runLanternfold({"publish", (temp.path() / "nowhere").string(), "--cloudflare"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "The folder “" + (temp.path() / "nowhere").string() + "” doesn’t exist.\n");
}

TEST_F(PublishCloudflare, LockedGalleryKeepsItsPasswordAndSiteKeyInTheKeyring) {
    const fs::path folder =
        lf::test::makePicturesFolder(temp.path(), "Secret", 2, R"({"cf_site_name": "secret-rome", "locked": true})");
    const auto first = runLanternfold({"publish", folder.string(), "--cloudflare"},
                                      {{"LANTERNFOLD_CF_TOKEN", CloudflareTwin::token},
                                       {"LANTERNFOLD_GALLERY_PASSWORD", " open sesame "}});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_TRUE(first.out.starts_with("Published at " + siteAddress("secret-rome") + " (")) << first.out;

    const lf::app::Keychain keychain;
    EXPECT_EQ(keychain.galleryPassword("secret-rome"), " open sesame ");
    const auto key = keychain.readSecret("Lanternfold Site Key", "secret-rome");
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->size(), 44u);

    // Without the password the site shows its login page, never the gallery.
    const auto locked = fetch(siteAddress("secret-rome"));
    EXPECT_EQ(locked.status, 401);
    EXPECT_NE(locked.body.find("password"), std::string::npos);
    EXPECT_NE(locked.body, lf::testing::readWhole(temp.path() / "Secret gallery" / "index.html"));

    // The next publish finds password and key in the keyring and keeps the key.
    const auto firstFiles = lf::test::visibleFiles(temp.path() / "Secret gallery");
    const auto second = runLanternfold({"publish", folder.string(), "--cloudflare"},
                                       {{"LANTERNFOLD_CF_TOKEN", CloudflareTwin::token}});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.out, republishedSentence("secret-rome", firstFiles, temp.path() / "Secret gallery"));

    EXPECT_EQ(keychain.readSecret("Lanternfold Site Key", "secret-rome"), key);
}

// lanternfold publish on a session bus where no Secret Service answers.
lf::test::ProgramResult publishWithoutKeyring(const fs::path& folder, const std::map<std::string, std::string>& extra) {
    const fs::path config = fs::path(LF_TEST_SOURCE_DIR) / "cli" / "support" / "bus-without-secret-service.conf";
    return lf::test::runCaptured({"/usr/bin/dbus-run-session", "--config-file=" + config.string(), "--", LF_BINARY,
                                  "publish", folder.string(), "--cloudflare"},
                                 extra);
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

const std::string keyringWarning =
    "Warning: The system keyring isn’t available (it is missing or locked), so Lanternfold can’t keep your "
    "passwords and API token.\n";

// Without a keyring the command says so once and still publishes an open gallery with the token
// from the environment. A locked gallery's key cannot be read then, and a new one would sign out
// every visitor, so that publish stops before anything is built or sent, unless the key is given.
TEST_F(PublishCloudflare, WithoutAKeyringTheCommandSaysSoAndNeverMakesANewSiteKey) {
    const std::map<std::string, std::string> secrets{{"LANTERNFOLD_CF_TOKEN", CloudflareTwin::token},
                                                     {"LANTERNFOLD_GALLERY_PASSWORD", "open sesame"}};
    const fs::path open = lf::test::makePicturesFolder(temp.path(), "Open", 1, R"({"cf_site_name": "open-rome"})");
    const auto opened = publishWithoutKeyring(open, secrets);
    EXPECT_EQ(opened.exitCode, 0) << opened.err;
    EXPECT_EQ(occurrences(opened.err, keyringWarning), 1u) << opened.err;
    EXPECT_LT(opened.err.find(keyringWarning), opened.err.find("Starting…")) << opened.err;
    EXPECT_TRUE(opened.out.starts_with("Published at " + siteAddress("open-rome"))) << opened.out;

    twin->resetAll();
    const fs::path locked =
        lf::test::makePicturesFolder(temp.path(), "Locked", 1, R"({"cf_site_name": "locked-rome", "locked": true})");
    const auto refused = publishWithoutKeyring(locked, secrets);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "Something went wrong.\n");
    EXPECT_EQ(occurrences(refused.err, keyringWarning), 1u) << refused.err;
    EXPECT_NE(refused.err.find(lf::app::siteKeyUnreadableText("locked-rome") + "\n"), std::string::npos) << refused.err;
    EXPECT_TRUE(twin->requests().empty()) << twin->requests().dump(2);
    EXPECT_FALSE(fs::exists(temp.path() / "Locked gallery" / "index.html")) << "nothing was built";

    auto withBadKey = secrets;
    withBadKey["LANTERNFOLD_SITE_KEY"] = "not a key";
    const auto mistyped = publishWithoutKeyring(locked, withBadKey);
    EXPECT_EQ(mistyped.exitCode, 1);
    EXPECT_NE(mistyped.err.find("LANTERNFOLD_SITE_KEY isn’t a site key"), std::string::npos) << mistyped.err;
    EXPECT_TRUE(twin->requests().empty());

    // With the key given, the lock is made with exactly that key.
    const std::string key = "c2l0ZSBrZXkgb2YgdGhlIGxvY2tlZCBnYWxsZXJ5ISE=";
    auto withKey = secrets;
    withKey["LANTERNFOLD_SITE_KEY"] = key;
    const auto published = publishWithoutKeyring(locked, withKey);
    ASSERT_EQ(published.exitCode, 0) << published.err;
    EXPECT_TRUE(published.out.starts_with("Published at " + siteAddress("locked-rome"))) << published.out;
    bool keyDeployed = false;
    for (const Json& request : twin->requests()) {
        if (lf::json::getString(request, "method", "") != "PUT" || !request.contains("parts")) continue;
        for (const Json& part : request["parts"]) {
            if (part["name"] != "metadata") continue;
            const Json metadata = Json::parse(part["text"].get<std::string>());
            for (const Json& binding : metadata["bindings"]) {
                if (binding["name"] == "LF_SECRET") keyDeployed = binding["text"] == key;
            }
        }
    }
    EXPECT_TRUE(keyDeployed) << twin->requests().dump(2);
}

TEST_F(PublishCloudflare, AFailedPublishIsSomethingWentWrongWithCloudflaresReasonAndRecordsNothing) {
    twin->configure(Json{{"tokens", Json::array({CloudflareTwin::token})},
                         {"accounts", Json::array({Json{{"id", CloudflareTwin::accountID}, {"name", "Test"}}})},
                         {"subdomain", nullptr}});
    const fs::path folder = lf::test::makePicturesFolder(temp.path(), "Rome", 1, R"({"cf_site_name": "rome"})");
    const auto result =
        runLanternfold({"publish", folder.string(), "--cloudflare"}, {{"LANTERNFOLD_CF_TOKEN", CloudflareTwin::token}});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Something went wrong.\n");
    EXPECT_NE(result.err.find("workers.dev"), std::string::npos) << result.err;
    EXPECT_EQ(savedSetting(folder, "cf_last_url"), "");
    EXPECT_EQ(savedSetting(folder, "cf_account_id"), "");
    EXPECT_EQ(savedSetting(folder, "cf_site_name"), "rome");
    EXPECT_TRUE(fs::exists(temp.path() / "Rome gallery" / "index.html")) << "the built gallery stays";
}

TEST_F(PublishCloudflare, CtrlCStopsThePublishAndRecordsNothing) {
    // Every bucket upload loses its connection, so the publisher waits two seconds before trying
    // again; Ctrl-C during that wait ends the command.
    twin->addFault(Json{{"method", "POST"}, {"pathContains", "/assets/upload"}, {"action", "drop"}, {"times", 3}});
    const fs::path folder = lf::test::makePicturesFolder(temp.path(), "Rome", 1, R"({"cf_site_name": "rome"})");
    lf::test::RunningProgram program({LF_BINARY, "publish", folder.string(), "--cloudflare"},
                                     {{"LANTERNFOLD_CF_TOKEN", CloudflareTwin::token}});
    ASSERT_TRUE(twin->waitForRequest("/assets/upload", 1, 120000));
    program.signal(SIGINT);
    const auto result = program.wait();
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_EQ(result.out, "Stopped.\n");
    EXPECT_EQ(savedSetting(folder, "cf_last_url"), "");
    EXPECT_TRUE(twin->state()["scripts"].empty()) << "nothing was deployed";
}

}  // namespace
