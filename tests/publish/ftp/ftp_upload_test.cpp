// Uploads against real servers on 127.0.0.1, through the real /usr/bin/curl: pyftpdlib for plain
// FTP, pure-ftpd for explicit FTPS with a certificate authority made by the test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <stop_token>
#include <tuple>
#include <vector>

#include "publish/ftp/support/ftp_servers.hpp"
#include "publish/ftp/upload_error.hpp"
#include "publish/ftp/upload_folder.hpp"

namespace lf::publish::ftp {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;
using ProgressStep = std::pair<int, int>;

// Quotes, a backslash, a space and a letter outside ASCII: each must reach the server unchanged.
const std::string user = "ann";
const std::string password = "se\"cr\\et wörd";

// A built gallery of 45 files with everything a site folder holds that must stay home.
class Gallery {
public:
    Gallery() {
        std::mt19937 random(45);
        auto add = [&](const std::string& relative, size_t size) {
            std::string bytes(size, '\0');
            for (char& c : bytes) c = static_cast<char>(random());
            write(relative, bytes);
            files_[relative] = bytes;
        };
        add("index.html", 3000);
        add("page-2.html", 2800);
        add("style.css", 1200);
        add("script.js", 900);
        add("cover.jpg", 40000);
        add("lanternfold-gallery.json", 300);
        for (int i = 1; i <= 13; ++i) add("p/" + std::to_string(i) + ".html", 1500 + i);
        add("p/Été à Nice.html", 1600);
        for (int i = 1; i <= 12; ++i) add("thumbs/" + std::to_string(i) + ".jpg", 6000 + i);
        add("thumbs/Été à Nice.jpg", 6000);
        for (int i = 1; i <= 11; ++i) add("images/" + std::to_string(i) + ".jpg", 90000 + 1000 * i);
        add("images/Été à Nice.jpg", 1 << 20);
        // Never uploaded: the build manifest, other hidden files and folders, symbolic links.
        write(".tessavane-build.json", "{}");
        write("thumbs/.DS_Store", "x");
        write(".cache/secret.txt", "x");
        fs::create_symlink(root() / "index.html", root() / "link.html");
        fs::create_directory_symlink(root() / "images", root() / "more-images");
    }

    fs::path root() const { return folder_.path() / "Summer gallery"; }
    const Files& files() const { return files_; }

    // The files expected below `remote` on the server, as the server stores them.
    Files under(const std::string& remote) const {
        Files expected;
        for (const auto& [path, bytes] : files_) expected[remote + path] = bytes;
        return expected;
    }

private:
    void write(const std::string& relative, const std::string& bytes) {
        const fs::path path = root() / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    test::TemporaryFolder folder_;
    Files files_;
};

struct Outcome {
    int uploaded = -1;
    std::vector<ProgressStep> steps;
};

Outcome upload(const Gallery& gallery, const std::string& server, const std::string& directory, bool tls,
               const std::string& pass = password) {
    Outcome outcome;
    outcome.uploaded = uploadFolder(gallery.root(), server, user, pass, directory, tls, {},
                                    [&](int done, int total, const std::string&) { outcome.steps.emplace_back(done, total); });
    return outcome;
}

std::string uploadFailure(const Gallery& gallery, const std::string& server, bool tls, const std::string& pass = password) {
    try {
        upload(gallery, server, "", tls, pass);
    } catch (const UploadError& error) {
        EXPECT_EQ(error.reason(), UploadError::Reason::curl);
        return error.what();
    }
    ADD_FAILURE() << "the upload did not fail";
    return {};
}

const std::vector<ProgressStep> threeRuns = {{0, 45}, {20, 45}, {40, 45}, {45, 45}};

// CURL_CA_BUNDLE for the length of a test; curl inherits it from this process.
class CertificateAuthority {
public:
    explicit CertificateAuthority(const fs::path& bundle) { ::setenv("CURL_CA_BUNDLE", bundle.c_str(), 1); }
    ~CertificateAuthority() { ::unsetenv("CURL_CA_BUNDLE"); }
};

TEST(FtpUpload, PlainFtpDeliversTheWholeGalleryIntoTheRemoteFolder) {
    // A tab is written as curl's \t inside the quotes and reaches the server unchanged, like the rest.
    // (pure-ftpd, the FTPS server below, refuses passwords with control characters of its own accord.)
    const std::string tabbed = password + "\tend";
    test::PlainFtpServer server(user, tabbed);
    Gallery gallery;
    const Outcome outcome =
        upload(gallery, " FTP://" + server.address() + "/ ", "/sites//summer 2024/", false, tabbed);
    EXPECT_EQ(outcome.uploaded, 45);
    EXPECT_EQ(outcome.steps, threeRuns);
    EXPECT_EQ(test::filesBelow(server.home()), gallery.under("sites/summer 2024/"));
}

TEST(FtpUpload, WrongPasswordGivesCurlsMessage) {
    test::PlainFtpServer server(user, password);
    Gallery gallery;
    const std::string text = uploadFailure(gallery, server.address(), false, "wrong");
    EXPECT_EQ(text, "Upload failed: (67) Access denied: 530");
    EXPECT_TRUE(test::filesBelow(server.home()).empty());
}

TEST(FtpUpload, UnreachablePortGivesCurlsConnectionMessage) {
    Gallery gallery;
    const int port = test::freeLoopbackPort();
    const std::string text = uploadFailure(gallery, "127.0.0.1:" + std::to_string(port), false);
    EXPECT_TRUE(text.starts_with("Upload failed: (7) Failed to connect to 127.0.0.1 port " + std::to_string(port)))
        << text;
}

TEST(FtpUpload, StopBetweenBatchesLeavesTheFirstBatchOnTheServer) {
    test::PlainFtpServer server(user, password);
    Gallery gallery;
    std::stop_source stop;
    std::vector<ProgressStep> steps;
    EXPECT_THROW(uploadFolder(gallery.root(), server.address(), user, password, "g", false, stop.get_token(),
                              [&](int done, int total, const std::string&) {
                                  steps.emplace_back(done, total);
                                  stop.request_stop();  // pressed while the first batch starts
                              }),
                 lf::Cancelled);
    EXPECT_EQ(steps, (std::vector<ProgressStep>{{0, 45}}));
    // The first 20 files in remote-path order, complete.
    const Files delivered = test::filesBelow(server.home() / "g");
    EXPECT_EQ(delivered.size(), 20u);
    for (const auto& [path, bytes] : delivered) EXPECT_EQ(bytes, gallery.files().at(path)) << path;
    EXPECT_TRUE(delivered.contains("cover.jpg"));
    EXPECT_FALSE(delivered.contains("thumbs/1.jpg"));
}

class FtpsUpload : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "pure-ftpd needs root for its chroot and virtual users";
        server_.emplace(user, password);
    }
    test::TlsFtpServer& server() { return *server_; }

private:
    std::optional<test::TlsFtpServer> server_;
};

TEST_F(FtpsUpload, ExplicitTlsDeliversTheWholeGallery) {
    CertificateAuthority trusted(server().certificateAuthority());
    Gallery gallery;
    const Outcome outcome = upload(gallery, "ftps://" + server().address(), "www/gallery", true);
    EXPECT_EQ(outcome.uploaded, 45);
    EXPECT_EQ(outcome.steps, threeRuns);
    EXPECT_EQ(test::filesBelow(server().home()), gallery.under("www/gallery/"));
}

// The uploader leaves certificate checks on: a server whose certificate authority curl does not
// know is refused.
TEST_F(FtpsUpload, UntrustedCertificateIsRefused) {
    Gallery gallery;
    const std::string text = uploadFailure(gallery, server().address(), true);
    EXPECT_TRUE(text.starts_with("Upload failed: (60) SSL certificate problem")) << text;
    EXPECT_TRUE(test::filesBelow(server().home()).empty());
}

}  // namespace
}  // namespace lf::publish::ftp
