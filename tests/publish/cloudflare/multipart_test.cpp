#include <gtest/gtest.h>

#include <regex>

#include "publish/cloudflare/multipart.hpp"

using namespace lf::publish::cloudflare;

TEST(Multipart, BytesOfTwoParts) {
    const auto body = buildMultipart(
        {{"metadata", std::nullopt, "application/json", "{\"a\":1}"},
         {"abc123", "abc123", "image/jpeg", std::string("\xff\xd8\0\r\n", 5)}},
        "Lanternfold-B");
    const std::string expected = std::string(
        "--Lanternfold-B\r\n"
        "Content-Disposition: form-data; name=\"metadata\"\r\n"
        "Content-Type: application/json\r\n\r\n"
        "{\"a\":1}\r\n"
        "--Lanternfold-B\r\n"
        "Content-Disposition: form-data; name=\"abc123\"; filename=\"abc123\"\r\n"
        "Content-Type: image/jpeg\r\n\r\n") +
        std::string("\xff\xd8\0\r\n", 5) + "\r\n--Lanternfold-B--\r\n";
    EXPECT_EQ(body.bytes, expected);
    EXPECT_EQ(body.contentType(), "multipart/form-data; boundary=Lanternfold-B");
}

TEST(Multipart, NoPartsIsJustTheClosingLine) {
    EXPECT_EQ(buildMultipart({}, "X").bytes, "--X--\r\n");
}

TEST(Multipart, EveryBodyGetsItsOwnUuidBoundary) {
    const std::regex form("Lanternfold-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    const auto first = buildMultipart({});
    const auto second = buildMultipart({});
    EXPECT_TRUE(std::regex_match(first.boundary, form)) << first.boundary;
    EXPECT_NE(first.boundary, second.boundary);
}
