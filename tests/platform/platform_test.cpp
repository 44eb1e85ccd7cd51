#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/crypto.hpp"
#include "platform/files.hpp"
#include "platform/text.hpp"
#include "support/temporary_folder.hpp"

namespace fs = std::filesystem;

TEST(Files, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
    const lf::testing::TemporaryFolder folder;
    const fs::path file = folder / "page.html";
    lf::platform::writeFileAtomically(file, "first version, longer than the second");
    lf::platform::writeFileAtomically(file, "second", lf::platform::Durability::flushToDisk);
    EXPECT_EQ(lf::platform::readFile(file), "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(Files, WriteIntoMissingFolderNamesTheFile) {
    const lf::testing::TemporaryFolder folder;
    const fs::path file = folder / "no-such-folder" / "x.json";
    try {
        lf::platform::writeFileAtomically(file, "{}");
        FAIL() << "expected a FileError";
    } catch (const lf::platform::FileError& error) {
        EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos);
    }
}

TEST(Files, StandardizedAndTilde) {
    EXPECT_EQ(lf::platform::standardized("/a/b/../c/./d/"), fs::path("/a/c/d"));
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(lf::platform::expandTilde("~/Pictures"), fs::path("/home/someone/Pictures"));
    EXPECT_EQ(lf::platform::expandTilde("~x/Pictures"), fs::path("~x/Pictures"));
}

TEST(Text, NaturalCompareIgnoresCaseAndComparesNumbersByValue) {
    EXPECT_LT(lf::text::naturalCompare("IMG_1.jpg", "img_2.jpg"), 0);
    EXPECT_LT(lf::text::naturalCompare("img_2.jpg", "IMG_10.jpg"), 0);
    EXPECT_EQ(lf::text::naturalCompare("a.jpg", "A.JPG"), 0);
}

TEST(Text, FoldingAndTrimming) {
    EXPECT_EQ(lf::text::latinFolded("Été ＡＢ"), "ete ab");
    EXPECT_EQ(lf::text::trimmed(" \t\n Sunset \n"), "Sunset");
    EXPECT_EQ(lf::text::trimmedSpacesAndTabs(" \tx\n "), "x\n");
}

TEST(Text, LongDatesFollowTheLocale) {
    setenv("TZ", "UTC", 1);
    tzset();
    // 5 December 2026, noon UTC.
    const auto date = std::chrono::system_clock::time_point(std::chrono::seconds(1796472000));
    EXPECT_EQ(lf::text::longDateInLocale(date, "en_US"), "December 5, 2026");
    EXPECT_EQ(lf::text::longDateInLocale(date, "fr_FR"), "5 décembre 2026");
    EXPECT_EQ(lf::text::longDateInLocale(date, "de_DE"), "5. Dezember 2026");
    EXPECT_EQ(lf::text::longDateInLocale(date, "it_IT"), "5 dicembre 2026");
    EXPECT_EQ(lf::text::longDateInLocale(date, "nl_NL"), "5 december 2026");
}

TEST(Text, Utf8Validation) {
    EXPECT_TRUE(lf::text::isValidUTF8("plain, Été, 日本, 😀"));
    EXPECT_TRUE(lf::text::isValidUTF8(""));
    // Cut, overlong, surrogate, above U+10FFFF, never-used byte, stray continuation byte.
    for (const char* bytes : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "a\x80"}) {
        EXPECT_FALSE(lf::text::isValidUTF8(bytes)) << testing::PrintToString(std::string(bytes));
    }
}

TEST(Crypto, KnownVectors) {
    EXPECT_EQ(lf::crypto::hex(lf::crypto::sha256("")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    // RFC 7914 test vector for PBKDF2-HMAC-SHA-256.
    const std::string salt = "salt";
    EXPECT_EQ(lf::crypto::hex(lf::crypto::pbkdf2Sha256("passwd", lf::crypto::Bytes(salt.begin(), salt.end()), 1, 16)),
              "55ac046e56e3089fec1691c22544b605");
    EXPECT_EQ(lf::crypto::base64(std::string_view("hello")), "aGVsbG8=");
    lf::crypto::Bytes decoded;
    ASSERT_TRUE(lf::crypto::base64Decode("aGVsbG8=", decoded));
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), "hello");
    EXPECT_EQ(lf::crypto::secureRandomBytes(32).size(), 32u);
}
