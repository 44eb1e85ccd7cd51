// lanternfold publish FOLDER --ftp against a real FTP server (pyftpdlib on loopback) through the
// real curl, with a keyring of its own: the final sentence, the files on the server, the password
// stored for host and user, the checks' alerts, and a refused login.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/keychain.hpp"
#include "cli/support/publish_support.hpp"
#include "model/support/fixtures.hpp"
#include "publish/ftp/support/ftp_servers.hpp"

namespace {

namespace fs = std::filesystem;
using lf::test::runLanternfold;

class PublishFtp : public testing::Test {
protected:
    static void SetUpTestSuite() { lf::test::usePrivateKeyring(); }

    static std::string settingsFor(const lf::test::PlainFtpServer& server, const std::string& extra = "") {
        return R"({"ftp_host": ")" + server.address() + R"(", "ftp_user": "anna", "ftp_dir": "/www/rome/", "ftp_tls": false)" +
               extra + "}";
    }

    lf::testing::TemporaryFolder temp;
};

TEST_F(PublishFtp, UploadsTheBuiltGalleryAndStoresThePasswordForHostAndUser) {
    const lf::test::PlainFtpServer server("anna", "pass \"word\"");
    const fs::path folder = lf::test::makePicturesFolder(temp.path(), "Rome", 3, settingsFor(server));
    const auto first = runLanternfold({"publish", folder.string(), "--ftp"},
                                      {{"LANTERNFOLD_FTP_PASSWORD", "pass \"word\""}});
    ASSERT_EQ(first.exitCode, 0) << first.err;

    // Everything the build wrote, except its hidden build manifest, arrives byte for byte.
    const auto built = lf::test::visibleFiles(temp.path() / "Rome gallery");
    EXPECT_EQ(first.out, "Gallery built and " + std::to_string(built.size()) + " files uploaded.\n");
    EXPECT_EQ(lf::test::visibleFiles(server.home() / "www" / "rome"), built);
    EXPECT_FALSE(fs::exists(server.home() / "www" / "rome" / ".tessavane-build.json"));
    EXPECT_EQ(lf::app::Keychain().ftpPassword(server.address(), "anna"), "pass \"word\"");

    // The next upload finds the password in the keyring.
    const auto second = runLanternfold({"publish", folder.string(), "--ftp"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.out, first.out);
}

TEST_F(PublishFtp, ChecksComeInTheirOrderWithTheirAlerts) {
    const lf::test::PlainFtpServer server("anna", "pw");
    struct Case {
        std::string settings;
        std::map<std::string, std::string> environment;
        std::string alert;
    };
    const std::vector<Case> cases = {
        // A locked gallery would be open to everyone on an FTP server, even with everything filled in.
        {settingsFor(server, R"(, "locked": true)"), {{"LANTERNFOLD_FTP_PASSWORD", "pw"}},
         "Password protection works only when you publish to Cloudflare. To upload by FTP, turn off “Require a "
         "password” first. The gallery would be open to everyone.\n"},
        {R"({"ftp_host": " \t ", "ftp_user": "anna"})", {{"LANTERNFOLD_FTP_PASSWORD", "pw"}},
         "Fill in your FTP server and user name in the Publish tab first.\n"},
        {R"({"ftp_host": "ftp.example.com", "ftp_user": ""})", {},
         "Fill in your FTP server and user name in the Publish tab first.\n"},
        {settingsFor(server), {{"LANTERNFOLD_FTP_PASSWORD", ""}}, "Type your FTP password in the Publish tab first.\n"},
        {R"({"ftp_host": "nothing-stored.example.com", "ftp_user": "anna"})", {},
         "Type your FTP password in the Publish tab first.\n"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        const std::string name = "Case" + std::to_string(index++);
        const fs::path folder = lf::test::makePicturesFolder(temp.path(), name, 1, c.settings);
        const auto result = runLanternfold({"publish", folder.string(), "--ftp"}, c.environment);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, c.alert);
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(fs::exists(temp.path() / (name + " gallery")));
    }
    EXPECT_TRUE(lf::test::visibleFiles(server.home()).empty());
    EXPECT_EQ(lf::app::Keychain().ftpPassword(server.address(), "anna"), std::nullopt);
}

TEST_F(PublishFtp, ARefusedLoginIsSomethingWentWrongWithCurlsReason) {
    const lf::test::PlainFtpServer server("anna", "right");
    const fs::path folder = lf::test::makePicturesFolder(temp.path(), "Rome", 1, settingsFor(server));
    const auto result =
        runLanternfold({"publish", folder.string(), "--ftp"}, {{"LANTERNFOLD_FTP_PASSWORD", "wrong"}});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Something went wrong.\n");
    EXPECT_NE(result.err.find("Upload failed: "), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("wrong\""), std::string::npos) << "the password is never shown";
    EXPECT_TRUE(fs::exists(temp.path() / "Rome gallery" / "index.html")) << "the built gallery stays";
}

}  // namespace
