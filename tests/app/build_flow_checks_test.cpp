// The checks a build command runs before anything starts: their order, their exact alert texts, and
// what is stored or written into the project once they pass.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/build_flow.hpp"
#include "support/temporary_folder.hpp"

namespace {

namespace fs = std::filesystem;
using lf::app::Destination;
using lf::app::TypedSecrets;

// Records what the flow stores, in order, instead of touching the keyring.
class RecordingSecretStore : public lf::app::SecretStore {
public:
    std::vector<std::string> stored;
    std::map<std::string, std::string> keys;
    int keysMade = 0;

    void storeFTPPassword(const std::string& password, const std::string& host, const std::string& user) override {
        stored.push_back("ftp[" + user + "@" + host + "]=" + password);
    }
    void storeCloudflareToken(const std::string& token) override { stored.push_back("token=" + token); }
    void storeGalleryPassword(const std::string& password, const std::string& siteName) override {
        stored.push_back("gallery[" + siteName + "]=" + password);
    }
    void storeSiteKey(const std::string& key, const std::string& siteName) override {
        stored.push_back("site key[" + siteName + "]=" + key);
    }
    std::string siteKey(const std::string& siteName) override {
        auto& key = keys[siteName];
        if (key.empty()) {
            ++keysMade;
            key = "key-" + std::to_string(keysMade) + "-for-" + siteName;
        }
        return key;
    }
};

const std::string ftpLockedText =
    "Password protection works only when you publish to Cloudflare. To upload by FTP, turn off “Require a "
    "password” first. The gallery would be open to everyone.";
const std::string ftpServerText = "Fill in your FTP server and user name in the Publish tab first.";
const std::string ftpPasswordText = "Type your FTP password in the Publish tab first.";
const std::string tokenText = "Paste your Cloudflare API token in the Publish tab first.";
const std::string siteNameText =
    "The site name can only use lowercase letters, numbers and dashes (up to 63), and can’t start or end with a "
    "dash.";
const std::string galleryPasswordText = "Type a password for this gallery, or turn off “Require a password”.";

lf::model::Project projectWith(const std::function<void(lf::model::GallerySettings&)>& change) {
    lf::model::Project project;
    project.folder = "/nonexistent/Rome";
    project.settings.title = "Rome";
    project.settings.ftpHost = "ftp.example.com";
    project.settings.ftpUser = "anna";
    change(project.settings);
    return project;
}

struct CheckCase {
    const char* name;
    Destination destination;
    std::function<void(lf::model::GallerySettings&)> settings;
    TypedSecrets secrets;
    std::optional<std::string> alert;
    std::vector<std::string> stored;   // when the checks pass
    std::string siteName;              // cfSiteName afterwards, when the checks pass
};

const std::vector<CheckCase>& checkCases() {
    static const std::vector<CheckCase> cases = {
        {"FtpLockedComesFirstEvenWithEverythingFilled", Destination::ftp,
         [](auto& s) { s.locked = true; }, {"secret", "", ""}, ftpLockedText, {}, ""},
        {"FtpLockedBeforeAMissingHost", Destination::ftp,
         [](auto& s) { s.locked = true; s.ftpHost = ""; }, {"", "", ""}, ftpLockedText, {}, ""},
        {"FtpHostOfBlanks", Destination::ftp,
         [](auto& s) { s.ftpHost = " \t  "; }, {"secret", "", ""}, ftpServerText, {}, ""},
        {"FtpUserMissing", Destination::ftp,
         [](auto& s) { s.ftpUser = ""; }, {"secret", "", ""}, ftpServerText, {}, ""},
        {"FtpServerBeforePassword", Destination::ftp,
         [](auto& s) { s.ftpUser = "\t"; }, {"", "", ""}, ftpServerText, {}, ""},
        {"FtpPasswordEmpty", Destination::ftp,
         [](auto&) {}, {"", "token", "gallery"}, ftpPasswordText, {}, ""},
        // The password is stored for host and user as the settings hold them, blanks included, and
        // a password of blanks is a password.
        {"FtpPassesAndStoresForHostAndUserAsStored", Destination::ftp,
         [](auto& s) { s.ftpHost = "ftp.example.com "; }, {"  ", "", ""}, std::nullopt,
         {"ftp[anna@ftp.example.com ]=  "}, ""},
        {"TokenEmpty", Destination::cloudflare,
         [](auto& s) { s.cfSiteName = "Bad.Name"; }, {"", "", ""}, tokenText, {}, ""},
        {"TokenOfWhiteSpaceAndLineBreaks", Destination::cloudflare,
         [](auto&) {}, {"", " \r\n\t", ""}, tokenText, {}, ""},
        {"SiteNameOf64Characters", Destination::cloudflare,
         [](auto& s) { s.cfSiteName = std::string(64, 'a'); }, {"", "token", ""}, siteNameText, {}, ""},
        {"SiteNameStartingWithADash", Destination::cloudflare,
         [](auto& s) { s.cfSiteName = "-rome"; }, {"", "token", ""}, siteNameText, {}, ""},
        {"SiteNameEndingWithADash", Destination::cloudflare,
         [](auto& s) { s.cfSiteName = "rome-"; }, {"", "token", ""}, siteNameText, {}, ""},
        {"SiteNameWithACapital", Destination::cloudflare,
         [](auto& s) { s.cfSiteName = "Rome"; }, {"", "token", ""}, siteNameText, {}, ""},
        {"SiteNameWithADot", Destination::cloudflare,
         [](auto& s) { s.cfSiteName = "rome.2024"; }, {"", "token", ""}, siteNameText, {}, ""},
        {"SiteNameBeforeTheGalleryPassword", Destination::cloudflare,
         [](auto& s) { s.cfSiteName = "rome_2024"; s.locked = true; }, {"", "token", ""}, siteNameText, {}, ""},
        {"LockedWithBlankGalleryPassword", Destination::cloudflare,
         [](auto& s) { s.locked = true; }, {"", "token", " \n "}, galleryPasswordText, {}, ""},
        {"SiteNameOf63CharactersPasses", Destination::cloudflare,
         [](auto& s) { s.cfSiteName = std::string(63, 'b'); }, {"", "token", ""}, std::nullopt,
         {"token=token"}, std::string(63, 'b')},
        {"EmptySiteNameTakesTheTitlesSuggestion", Destination::cloudflare,
         [](auto& s) { s.title = "Été à Rome 2024!"; }, {"", "token", ""}, std::nullopt,
         {"token=token"}, "ete-a-rome-2024"},
        {"TokenWithATrailingLineBreakIsStoredTrimmed", Destination::cloudflare,
         [](auto& s) { s.cfSiteName = "rome"; }, {"", "  abc-123\n", ""}, std::nullopt,
         {"token=abc-123"}, "rome"},
        // Only a locked gallery stores its password, exactly as typed, under the site name used.
        {"LockedStoresTheGalleryPasswordAsTyped", Destination::cloudflare,
         [](auto& s) { s.locked = true; }, {"", "token", " open sesame "}, std::nullopt,
         {"token=token", "gallery[rome]= open sesame "}, "rome"},
        {"OpenGalleryStoresNoGalleryPassword", Destination::cloudflare,
         [](auto&) {}, {"", "token", "unused"}, std::nullopt, {"token=token"}, "rome"},
        {"BuildOnlyHasNoChecks", Destination::none,
         [](auto& s) { s.locked = true; s.ftpHost = ""; s.cfSiteName = "Bad"; }, {"", "", ""}, std::nullopt, {},
         "Bad"},
    };
    return cases;
}

class BuildChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(BuildChecks, GiveTheFirstFailureOrStoreTheCredentials) {
    const CheckCase& c = GetParam();
    lf::model::Project project = projectWith(c.settings);
    const lf::model::Project before = project;
    RecordingSecretStore store;

    const auto alert = lf::app::checkAndStoreCredentials(c.destination, project, c.secrets, store);

    EXPECT_EQ(alert, c.alert);
    if (c.alert) {
        // A failed check changes nothing: no secret stored, the project untouched.
        EXPECT_TRUE(store.stored.empty());
        EXPECT_EQ(project, before);
    } else {
        EXPECT_EQ(store.stored, c.stored);
        EXPECT_EQ(project.settings.cfSiteName, c.siteName);
        lf::model::Project expected = before;
        expected.settings.cfSiteName = c.siteName;
        EXPECT_EQ(project, expected) << "only the site name may change";
    }
    EXPECT_EQ(store.keysMade, 0) << "the checks never make a site key";
}

INSTANTIATE_TEST_SUITE_P(Table, BuildChecks, testing::ValuesIn(checkCases()),
                         [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST(EffectiveSiteName, IsTheTypedNameElseTheTitlesSuggestion) {
    lf::model::GallerySettings settings;
    settings.title = "Summer in Rome";
    EXPECT_EQ(lf::app::effectiveSiteName(settings), "summer-in-rome");
    settings.cfSiteName = "Typed Name";  // kept as typed: the check reports it
    EXPECT_EQ(lf::app::effectiveSiteName(settings), "Typed Name");
    settings.cfSiteName.clear();
    settings.title = "!!!";
    EXPECT_EQ(lf::app::effectiveSiteName(settings), "my-gallery");
    settings.title = std::string(40, 'x') + " " + std::string(40, 'y');
    const std::string longName = lf::app::effectiveSiteName(settings);
    EXPECT_EQ(longName.size(), 63u);
    EXPECT_NE(longName.back(), '-');
}

TEST(CaptureBuildJob, TakesTheTrimmedTokenTheTypedPasswordsAndTheLock) {
    lf::model::Project project = projectWith([](auto& s) {
        s.locked = true;
        s.title = "Été";
        s.templateName = "dark";
        s.language = "fr";
    });
    RecordingSecretStore store;
    const TypedSecrets secrets{" ftp pass ", "\ttoken \n", " gallery pass "};
    ASSERT_EQ(lf::app::checkAndStoreCredentials(Destination::cloudflare, project, secrets, store), std::nullopt);

    const lf::app::BuildJob job = lf::app::captureBuildJob(Destination::cloudflare, project, secrets, store);
    EXPECT_EQ(job.destination, Destination::cloudflare);
    EXPECT_EQ(job.project, project);
    EXPECT_EQ(job.project.settings.cfSiteName, "ete");
    EXPECT_EQ(job.cloudflareToken, "token");
    EXPECT_EQ(job.ftpPassword, " ftp pass ");
    ASSERT_TRUE(job.lock.has_value());
    EXPECT_EQ(job.lock->password, " gallery pass ");
    EXPECT_EQ(job.lock->secret, "key-1-for-ete");
    EXPECT_EQ(job.lock->title, "Été");
    EXPECT_EQ(job.lock->templateName, "dark");
    EXPECT_EQ(job.lock->language, "fr");

    // The site key is made once per site and reused by the next build.
    const lf::app::BuildJob again = lf::app::captureBuildJob(Destination::cloudflare, project, secrets, store);
    EXPECT_EQ(again.lock->secret, "key-1-for-ete");
    EXPECT_EQ(store.keysMade, 1);
}

TEST(CaptureBuildJob, MakesNoLockForOpenGalleriesOrOtherDestinations) {
    RecordingSecretStore store;
    const TypedSecrets secrets{"pw", "token", "gallery"};
    const auto open = projectWith([](auto& s) { s.cfSiteName = "rome"; });
    EXPECT_FALSE(lf::app::captureBuildJob(Destination::cloudflare, open, secrets, store).lock);
    const auto locked = projectWith([](auto& s) { s.cfSiteName = "rome"; s.locked = true; });
    EXPECT_FALSE(lf::app::captureBuildJob(Destination::ftp, locked, secrets, store).lock);
    EXPECT_FALSE(lf::app::captureBuildJob(Destination::none, locked, secrets, store).lock);
    EXPECT_EQ(store.keysMade, 0);
}

// A key given from outside (LANTERNFOLD_SITE_KEY) is used and kept instead of the store's, written
// the way the program writes keys; text that is not the Base64 of 32 bytes ends the command, since
// a wrong key would sign out every visitor.
TEST(CaptureBuildJob, ATypedSiteKeyIsCheckedUsedAndKept) {
    const auto locked = projectWith([](auto& s) { s.cfSiteName = "rome"; s.locked = true; });
    const std::string key = "c2l0ZSBrZXkgb2YgdGhlIGxvY2tlZCBnYWxsZXJ5ISE=";
    for (const std::string& typed : {key, " " + key + "\n", key.substr(0, 43)}) {
        RecordingSecretStore store;
        const auto job = lf::app::captureBuildJob(Destination::cloudflare, locked, {"", "token", "pw", typed}, store);
        ASSERT_TRUE(job.lock.has_value());
        EXPECT_EQ(job.lock->secret, key);
        EXPECT_EQ(store.stored, std::vector<std::string>{"site key[rome]=" + key});
        EXPECT_EQ(store.keysMade, 0);
    }
    for (const std::string& typed : {std::string("not a key"), key.substr(0, 40), key + key}) {
        RecordingSecretStore store;
        try {
            lf::app::captureBuildJob(Destination::cloudflare, locked, {"", "token", "pw", typed}, store);
            ADD_FAILURE() << "accepted " << typed;
        } catch (const lf::Error& error) {
            EXPECT_STREQ(error.what(), "LANTERNFOLD_SITE_KEY isn’t a site key: it must be the Base64 text of 32 "
                                       "bytes, 44 characters long.");
        }
        EXPECT_TRUE(store.stored.empty());
    }
}

TEST(CaptureBuildJob, AFailingKeyGeneratorEndsTheCommand) {
    class BrokenRandom : public RecordingSecretStore {
        std::string siteKey(const std::string&) override { throw lf::Error("No secure random bytes."); }
    } store;
    const auto locked = projectWith([](auto& s) { s.cfSiteName = "rome"; s.locked = true; });
    EXPECT_THROW(lf::app::captureBuildJob(Destination::cloudflare, locked, {"", "token", "pw"}, store), lf::Error);
}

TEST(SaveBeforeBuild, ReportsAFailureWithTheSaveAlert) {
    const auto project = projectWith([](auto&) {});  // its folder does not exist
    const auto alert = lf::app::saveBeforeBuild(project);
    ASSERT_TRUE(alert.has_value());
    EXPECT_TRUE(alert->starts_with("Couldn’t save settings in the pictures folder: ")) << *alert;
    EXPECT_GT(alert->size(), std::string("Couldn’t save settings in the pictures folder: ").size());
}

TEST(SaveBeforeBuild, WritesTheProjectFile) {
    const lf::testing::TemporaryFolder temporary;
    const fs::path folder = temporary.path();
    auto project = projectWith([](auto& s) { s.cfSiteName = "rome"; });
    project.folder = folder;
    EXPECT_EQ(lf::app::saveBeforeBuild(project), std::nullopt);
    EXPECT_EQ(lf::model::Project(folder).settings.cfSiteName, "rome");
}

}  // namespace
