#include "publish/ftp/curl_config.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace lf::publish::ftp {
namespace {

TEST(CurlConfig, QuotingEscapesBackslashesQuotesAndLineBreaks) {
    const struct {
        std::string value;
        std::string quoted;
    } cases[] = {
        {"", R"("")"},
        {"plain words", R"("plain words")"},
        {R"(pa"ss\word)", R"("pa\"ss\\word")"},
        // Backslashes first, then quotes: a backslash before a quote stays two characters apart.
        {R"(\")", R"("\\\"")"},
        {"two\nlines\r\n\tindented", R"("two\nlines\r\n\tindented")"},
        {"tab\there", R"("tab\there")"},
        {"Été", "\"Été\""},
    };
    for (const auto& c : cases) EXPECT_EQ(quotedConfigValue(c.value), c.quoted);
}

TEST(CurlConfig, TextForABatch) {
    const std::vector<UploadItem> batch = {
        {"/home/ann/Summer gallery/index.html", "index.html"},
        {"/home/ann/Summer gallery/images/Été 1.jpg", "images/%C3%89t%C3%A9%201.jpg"},
    };
    EXPECT_EQ(curlConfig("ann", R"(se"cr\et)", false, "ftp://ftp.example.com/www/", batch),
              "user = \"ann:se\\\"cr\\\\et\"\n"
              "ftp-create-dirs\n"
              "fail-early\n"
              "silent\n"
              "show-error\n"
              "connect-timeout = 30\n"
              "upload-file = \"/home/ann/Summer gallery/index.html\"\n"
              "url = \"ftp://ftp.example.com/www/index.html\"\n"
              "upload-file = \"/home/ann/Summer gallery/images/Été 1.jpg\"\n"
              "url = \"ftp://ftp.example.com/www/images/%C3%89t%C3%A9%201.jpg\"\n");

    EXPECT_EQ(curlConfig("ann", "pw", true, "ftp://h/", std::vector<UploadItem>{{"/s/a", "a"}}),
              "user = \"ann:pw\"\n"
              "ftp-create-dirs\nfail-early\nsilent\nshow-error\nconnect-timeout = 30\n"
              "ssl-reqd\n"
              "upload-file = \"/s/a\"\n"
              "url = \"ftp://h/a\"\n");
}

// A name or password with a line break must not end its line: everything after it would otherwise
// be read by curl as options of its own.
TEST(CurlConfig, NoValueCanAddAConfigurationLine) {
    const std::string injected = "x\"\ninsecure\nurl = \"ftp://elsewhere.example/";
    const std::string config =
        curlConfig("ann\r\nverbose", injected, false, "ftp://h/", std::vector<UploadItem>{{"/s/" + injected, "a"}});
    std::vector<std::string> lines;
    for (size_t start = 0; start < config.size();) {
        const size_t end = config.find('\n', start);
        lines.push_back(config.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 8u) << config;
    EXPECT_EQ(lines[0], R"(user = "ann\r\nverbose:x\"\ninsecure\nurl = \"ftp://elsewhere.example/")");
    EXPECT_EQ(lines[6], R"(upload-file = "/s/x\"\ninsecure\nurl = \"ftp://elsewhere.example/")");
    EXPECT_EQ(lines[7], R"(url = "ftp://h/a")");
}

}  // namespace
}  // namespace lf::publish::ftp
