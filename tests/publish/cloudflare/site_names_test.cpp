#include <gtest/gtest.h>

#include "publish/cloudflare/site_names.hpp"

using namespace lf::publish::cloudflare;

TEST(SiteNames, ValidNames) {
    const std::pair<std::string, bool> cases[] = {
        {std::string(63, 'a'), true},
        {std::string(64, 'a'), false},
        {"", false},
        {"a", true},
        {"summer-2024", true},
        {"-summer", false},
        {"summer-", false},
        {"Summer", false},
        {"summer_2024", false},
        {"summer.2024", false},
        {"été", false},
        {"sum mer", false},
    };
    for (const auto& [name, valid] : cases) EXPECT_EQ(isValidSiteName(name), valid) << name;
}

TEST(SiteNames, SuggestedFromTitle) {
    EXPECT_EQ(suggestedSiteName("Summer in Provence — 2024"), "summer-in-provence-2024");
    EXPECT_EQ(suggestedSiteName("Été à Zürich"), "ete-a-zurich");
    EXPECT_EQ(suggestedSiteName("!!! ???"), "my-gallery");
    EXPECT_EQ(suggestedSiteName(""), "my-gallery");
    EXPECT_EQ(suggestedSiteName("Item"), "my-gallery");
    // A 70-character slug whose 63rd character is a dash: cut to 63, then the dash goes.
    const std::string title = std::string(62, 'a') + " " + std::string(7, 'b');
    const std::string suggested = suggestedSiteName(title);
    EXPECT_EQ(suggested, std::string(62, 'a'));
    EXPECT_TRUE(isValidSiteName(suggested));
    EXPECT_TRUE(isValidSiteName(suggestedSiteName(std::string(100, 'x'))));
}

TEST(SiteNames, NormalizedDomain) {
    const std::pair<std::string, std::string> cases[] = {
        {"  HTTPS://www.Example.COM/gallery/index.html \n", "example.com"},
        {"http://www.photos.example.org/x", "photos.example.org"},
        {"photos.example.org", "photos.example.org"},
        {"", ""},
        {"   ", ""},
        {"example.com:8443/path", "example.com:8443"},
        {"wwwexample.com", "wwwexample.com"},
    };
    for (const auto& [typed, host] : cases) EXPECT_EQ(normalizedDomain(typed), host) << typed;
}
