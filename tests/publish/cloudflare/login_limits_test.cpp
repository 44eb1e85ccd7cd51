// The Rate Limiting bindings that throttle password guessing on a locked site.
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "publish/cloudflare/login_limits.hpp"

namespace lf::publish::cloudflare {
namespace {

// A site keeps its namespaces from publish to publish and from version to version of the program,
// since Cloudflare keeps the counts under them: these numbers were worked out with Python's
// hashlib from the rule in login_limits.cpp, and must never change.
TEST(LoginLimitNamespace, IsFixedForEverySiteAndLimit) {
    struct Case {
        const char* site;
        int64_t visitor;
        int64_t site_;
    };
    const Case cases[] = {
        {"private", 588536391, 725917662},
        {"rome-privee", 1092789537, 2118647691},
        {"summer", 819485704, 347628450},
        {"a", 1546498311, 1836757706},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(loginLimitNamespace(c.site, VISITOR_LOGIN_LIMIT), c.visitor) << c.site;
        EXPECT_EQ(loginLimitNamespace(c.site, SITE_LOGIN_LIMIT), c.site_) << c.site;
    }
}

TEST(LoginLimitNamespace, IsAPositive31BitNumberOfItsOwnForEachSiteAndLimit) {
    std::set<int64_t> seen;
    for (int index = 0; index < 500; ++index) {
        const std::string site = "gallery-" + std::to_string(index);
        for (const LoginLimit& limit : {VISITOR_LOGIN_LIMIT, SITE_LOGIN_LIMIT}) {
            const int64_t id = loginLimitNamespace(site, limit);
            EXPECT_GE(id, 1) << site;
            EXPECT_LT(id, int64_t{1} << 31) << site;
            EXPECT_TRUE(seen.insert(id).second) << site << " " << limit.role;
        }
    }
}

TEST(LoginLimits, FollowTheBindingsAlreadyInTheMetadata) {
    nlohmann::ordered_json metadata = nlohmann::ordered_json::parse(
        R"({"main_module":"lanternfold.js","bindings":[{"type":"assets","name":"ASSETS"},)"
        R"({"type":"secret_text","name":"LF_SECRET","text":"key"}],"assets":{"jwt":"token"}})");
    addLoginLimitsToMetadata(metadata, "private");
    EXPECT_EQ(metadata.dump(),
              R"({"main_module":"lanternfold.js","bindings":[{"type":"assets","name":"ASSETS"},)"
              R"({"type":"secret_text","name":"LF_SECRET","text":"key"},)"
              R"({"type":"ratelimit","name":"LF_VISITOR_LIMIT","namespace_id":"588536391",)"
              R"("simple":{"limit":10,"period":60}},)"
              R"({"type":"ratelimit","name":"LF_SITE_LIMIT","namespace_id":"725917662",)"
              R"("simple":{"limit":60,"period":60}}],"assets":{"jwt":"token"}})");
}

}  // namespace
}  // namespace lf::publish::cloudflare
