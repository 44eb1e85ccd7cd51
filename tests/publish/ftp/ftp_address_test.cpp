#include "publish/ftp/ftp_address.hpp"

#include <gtest/gtest.h>

#include "publish/ftp/upload_error.hpp"

namespace lf::publish::ftp {
namespace {

TEST(FtpAddress, ServerTextBecomesAPlainFtpBaseAddress) {
    const struct {
        const char* server;
        const char* base;
    } cases[] = {
        {"  FTPS://ftp.example.com/ \n", "ftp://ftp.example.com/"},
        {"ftp.example.com", "ftp://ftp.example.com/"},
        {"Ftp://ftp.example.com///", "ftp://ftp.example.com/"},
        {"\tftp://ftp.example.com:2121", "ftp://ftp.example.com:2121/"},
        // sftp is only stripped: the files still go by FTP to that host.
        {"sFTP://host.example", "ftp://host.example/"},
        // Each scheme test sees what the previous one left.
        {"ftps://FTP://host.example", "ftp://host.example/"},
        // Further path segments pass through.
        {"host.example/www/", "ftp://host.example/www/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(baseAddress(c.server, ""), c.base) << "server text: " << c.server;
    }
}

TEST(FtpAddress, UnusableServerTextsAreRefused) {
    for (const char* server : {"", "   \n", "ftp://", "FTPS:///", "sftp://", "ftp://my host.example",
                               "my host.example", "host.example/my folder"}) {
        try {
            baseAddress(server, "www");
            ADD_FAILURE() << "accepted: " << server;
        } catch (const UploadError& error) {
            EXPECT_EQ(error.reason(), UploadError::Reason::badServer);
            EXPECT_STREQ(error.what(), "The FTP server address doesn’t look right.");
        }
    }
}

TEST(FtpAddress, DirectoryKeepsOnlyItsNonEmptyPiecesEncoded) {
    const struct {
        const char* directory;
        const char* base;
    } cases[] = {
        {"", "ftp://h.example/"},
        {"/", "ftp://h.example/"},
        {"///", "ftp://h.example/"},
        {"www", "ftp://h.example/www/"},
        {"/www//gallery/", "ftp://h.example/www/gallery/"},
        {"my photos/Été 2024", "ftp://h.example/my%20photos/%C3%89t%C3%A9%202024/"},
        {"a?b/c#d;e", "ftp://h.example/a%3Fb/c%23d%3Be/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(baseAddress("h.example", c.directory), c.base) << "directory: " << c.directory;
    }
}

TEST(FtpAddress, PercentEncodingKeepsOnlyPathCharacters) {
    EXPECT_EQ(percentEncodedComponent("AZaz09-._~!$&'()*+,=:@"), "AZaz09-._~!$&'()*+,=:@");
    EXPECT_EQ(percentEncodedComponent("my photo.jpg"), "my%20photo.jpg");
    EXPECT_EQ(percentEncodedComponent("/?#;%\"<>[]\\^`{|}"),
              "%2F%3F%23%3B%25%22%3C%3E%5B%5D%5C%5E%60%7B%7C%7D");
    EXPECT_EQ(percentEncodedComponent("Ünïcødé"), "%C3%9Cn%C3%AFc%C3%B8d%C3%A9");
    EXPECT_EQ(percentEncodedComponent("\n\t\x7f"), "%0A%09%7F");
    EXPECT_EQ(percentEncodedPath("//images//Été à Nice.jpg/"), "images/%C3%89t%C3%A9%20%C3%A0%20Nice.jpg");
}

TEST(FtpAddress, DecodingForDisplayFallsBackToTheEncodedText) {
    EXPECT_EQ(percentDecoded("images/%C3%89t%C3%A9%20%C3%A0%20Nice.jpg"), "images/Été à Nice.jpg");
    EXPECT_EQ(percentDecoded("100%25"), "100%");
    for (const char* text : {"50%", "a%2", "a%zz", "%FF%FE", "%C3"}) {
        EXPECT_EQ(percentDecoded(text), text);
    }
}

}  // namespace
}  // namespace lf::publish::ftp
