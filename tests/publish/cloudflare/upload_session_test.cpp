// Reading the upload session's reply: the token to send files with and the buckets Cloudflare wants.
#include <gtest/gtest.h>

#include "publish/cloudflare/cloudflare_publisher.hpp"

namespace lf::publish::cloudflare {
namespace {

using json::Json;

TEST(UploadSession, BucketsAreReadInOrderAndOtherShapesMeanNone) {
    struct Case {
        const char* name;
        const char* result;
        std::vector<std::vector<std::string>> buckets;
    };
    const std::vector<Case> cases = {
        {"two buckets", R"({"jwt": "t", "buckets": [["a", "b", "c"], ["d"]]})", {{"a", "b", "c"}, {"d"}}},
        {"an empty bucket is kept", R"({"jwt": "t", "buckets": [[], ["d"]]})", {{}, {"d"}}},
        {"no member", R"({"jwt": "t"})", {}},
        {"null", R"({"jwt": "t", "buckets": null})", {}},
        {"not an array", R"({"jwt": "t", "buckets": {"a": ["b"]}})", {}},
        {"a bucket that is not an array", R"({"jwt": "t", "buckets": [["a"], "b"]})", {}},
        {"a hash that is not a string", R"({"jwt": "t", "buckets": [["a", 1]]})", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readUploadSession(Json::parse(c.result)), (UploadSession{"t", c.buckets}));
    }
}

TEST(UploadSession, AReplyWithoutATokenIsRefused) {
    for (const char* result : {R"({"buckets": [["a"]]})", R"({"jwt": 7})", R"(["jwt"])", "null"}) {
        SCOPED_TRACE(result);
        try {
            readUploadSession(Json::parse(result));
            ADD_FAILURE() << "accepted";
        } catch (const CloudflareError& error) {
            EXPECT_STREQ(error.what(), "Cloudflare said: No upload token came back.");
        }
    }
    EXPECT_THROW(readUploadSession(std::nullopt), CloudflareError);
}

}  // namespace
}  // namespace lf::publish::cloudflare
