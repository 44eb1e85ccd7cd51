// Runs against the real Secret Service that test.sh starts (gnome-keyring inside dbus-run-session).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/keychain.hpp"

using lf::app::Keychain;

namespace {

// Output of a command (no secret ever goes on a command line: values come on standard input).
std::string run(const std::string& command, const std::string& input = {}) {
    const std::string full = input.empty() ? command : "printf '%s' '" + input + "' | " + command;
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(full.c_str(), "r"), pclose);
    std::string output;
    char buffer[4096];
    while (size_t count = fread(buffer, 1, sizeof buffer, pipe.get())) output.append(buffer, count);
    return output;
}

// Writes an item the way an earlier version (or any other program) would: service and account
// attributes, no schema of ours.
void storeWithSecretTool(const std::string& service, const std::string& account, const std::string& value) {
    run("secret-tool store --label='older item' service '" + service + "' account '" + account + "'", value);
}

// The labels of the items with this service and account, one per line, as the keyring shows them.
std::string labels(const std::string& service, const std::string& account) {
    return run("secret-tool search --all service '" + service + "' account '" + account +
               "' 2>/dev/null | grep '^label = '");
}

void clear(const std::string& service, const std::string& account) {
    run("secret-tool clear service '" + service + "' account '" + account + "'");
}

// Each test uses its own items, so that tests running side by side (ctest --parallel) never touch
// each other's; the one API token item is used by a single test.
class KeychainTest : public testing::Test {
protected:
    Keychain keychain;
};

}  // namespace

TEST_F(KeychainTest, TokenIsReplacedNotDuplicatedAndLegacyItemsAreReadInOrderAndKept) {
    for (const char* service : {"Lanternfold Cloudflare", "Tessavane Cloudflare", "Kirrabo Cloudflare"}) {
        clear(service, "api-token");
    }
    EXPECT_EQ(keychain.cloudflareToken(), std::nullopt);

    storeWithSecretTool("Kirrabo Cloudflare", "api-token", "kirrabo-token");
    EXPECT_EQ(keychain.cloudflareToken(), "kirrabo-token");
    storeWithSecretTool("Tessavane Cloudflare", "api-token", "tessavane-token");
    EXPECT_EQ(keychain.cloudflareToken(), "tessavane-token");

    // The next build stores the token under the current name; the older item stays.
    keychain.storeCloudflareToken("tessavane-token");
    EXPECT_EQ(keychain.readSecret("Lanternfold Cloudflare", "api-token"), "tessavane-token");
    EXPECT_EQ(keychain.readSecret("Tessavane Cloudflare", "api-token"), "tessavane-token");

    keychain.storeCloudflareToken("first-token");
    keychain.storeCloudflareToken("second-token");
    EXPECT_EQ(keychain.cloudflareToken(), "second-token");
    EXPECT_EQ(labels("Lanternfold Cloudflare", "api-token"), "label = Lanternfold Cloudflare API token\n");

    keychain.storeCloudflareToken("");
    EXPECT_EQ(keychain.cloudflareToken(), "tessavane-token");
    for (const char* service : {"Lanternfold Cloudflare", "Tessavane Cloudflare", "Kirrabo Cloudflare"}) {
        clear(service, "api-token");
    }
}

TEST_F(KeychainTest, MissingSecretIsNothing) {
    EXPECT_EQ(keychain.readSecret("Lanternfold Nothing", "nobody"), std::nullopt);
    EXPECT_EQ(keychain.galleryPassword("never-stored"), std::nullopt);
}

TEST_F(KeychainTest, FtpPasswordsArePerUserAndHostAndLegacyOnesAreRead) {
    clear("Lanternfold FTP", "ann@one.example");
    clear("Lanternfold FTP", "ann@two.example");
    clear("Tessavane FTP", "bob@old.example");
    keychain.storeFTPPassword("pw-one", "one.example", "ann");
    keychain.storeFTPPassword("pw-two", "two.example", "ann");
    EXPECT_EQ(keychain.ftpPassword("one.example", "ann"), "pw-one");
    EXPECT_EQ(keychain.ftpPassword("two.example", "ann"), "pw-two");
    EXPECT_EQ(keychain.ftpPassword("one.example", "bob"), std::nullopt);
    EXPECT_EQ(labels("Lanternfold FTP", "ann@two.example"), "label = Lanternfold FTP (two.example)\n");

    storeWithSecretTool("Tessavane FTP", "bob@old.example", "old-pw");
    EXPECT_EQ(keychain.ftpPassword("old.example", "bob"), "old-pw");
}

TEST_F(KeychainTest, EmptyValueDeletesAndEmptySiteNameStoresNothing) {
    clear("Lanternfold Gallery Password", "summer");
    keychain.storeGalleryPassword("sunflower", "summer");
    EXPECT_EQ(keychain.galleryPassword("summer"), "sunflower");
    EXPECT_EQ(labels("Lanternfold Gallery Password", "summer"), "label = Lanternfold gallery password (summer)\n");
    keychain.storeGalleryPassword("", "summer");
    EXPECT_EQ(keychain.galleryPassword("summer"), std::nullopt);
    EXPECT_EQ(labels("Lanternfold Gallery Password", "summer"), "");

    clear("Lanternfold Gallery Password", "");
    keychain.storeGalleryPassword("orphan", "");
    EXPECT_EQ(keychain.readSecret("Lanternfold Gallery Password", ""), std::nullopt);
}

TEST_F(KeychainTest, SecretsKeepTheirUtf8) {
    clear("Lanternfold Gallery Password", "accents");
    keychain.storeGalleryPassword("mot de passe à l’été", "accents");
    EXPECT_EQ(keychain.galleryPassword("accents"), "mot de passe à l’été");
}

// The test keyring is unlocked and answers, so the program has nothing to warn about.
TEST_F(KeychainTest, AnAnsweringUnlockedKeyringIsAvailable) {
    EXPECT_EQ(lf::app::Keychain::unavailableReason(), std::nullopt);
}

TEST_F(KeychainTest, SiteKeyIsMadeOnceAndKeptPerSite) {
    clear("Lanternfold Site Key", "site-a");
    clear("Lanternfold Site Key", "site-b");
    const std::string first = keychain.siteKey("site-a");
    EXPECT_EQ(first.size(), 44u);
    EXPECT_EQ(first.back(), '=');
    EXPECT_EQ(keychain.siteKey("site-a"), first);
    EXPECT_EQ(keychain.readSecret("Lanternfold Site Key", "site-a"), first);
    EXPECT_EQ(labels("Lanternfold Site Key", "site-a"), "label = Lanternfold site key (site-a)\n");
    const std::string second = keychain.siteKey("site-b");
    EXPECT_EQ(second.size(), 44u);
    EXPECT_NE(second, first);
}
