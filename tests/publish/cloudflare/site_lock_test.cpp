// The lock configuration, the login texts and the loading of the password program.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/error.hpp"
#include "publish/cloudflare/lock_texts.hpp"
#include "publish/cloudflare/site_lock.hpp"
#include "support/temporary_folder.hpp"

namespace lf::publish::cloudflare {
namespace {

namespace fs = std::filesystem;

const fs::path lockFixtures = fs::path(LF_TEST_SOURCE_DIR) / "publish" / "cloudflare" / "lock";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// The LOCK object of a lock-config.js text, after checking its fixed prefix and suffix.
nlohmann::json lockObject(const std::string& script) {
    const std::string prefix = "export const LOCK = ";
    const std::string suffix = ";\n";
    if (script.size() < prefix.size() + suffix.size() + 2 || script.compare(0, prefix.size(), prefix) != 0 ||
        script.compare(script.size() - suffix.size(), suffix.size(), suffix) != 0) {
        ADD_FAILURE() << "not a lock configuration: " << script;
        return nlohmann::json::object();
    }
    const std::string json = script.substr(prefix.size(), script.size() - prefix.size() - suffix.size());
    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json.back(), '}');
    return nlohmann::json::parse(json);
}

SiteLock sampleLock() {
    return {"correct horse", "q0rV3s8Yb0m6o1Jx3v2b8WwU0m7Zt5qkH9b1n4c2d6E=", "Summer", "classic", "en"};
}

// The expected texts were written by make-golden.mjs beside them, with Node's crypto and JSON,
// from the same inputs as these locks.
TEST(LockConfigScript, MatchesTextComputedIndependently) {
    struct Case {
        const char* golden;
        SiteLock lock;
    };
    const std::vector<Case> cases = {
        {"fr-dark.lock-config.js",
         {"Crème brûlée/42", "q0rV3s8Yb0m6o1Jx3v2b8WwU0m7Zt5qkH9b1n4c2d6E=",
          "Été à Paris / 2024 “best” \"\\\"", "dark", "fr"}},
        // Unknown template and language: the classic look and English texts, "lang" as given.
        {"fallback.lock-config.js",
         {"open sesame", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=", "Family", "sepia", "xx"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.golden);
        EXPECT_EQ(lockConfigScript(c.lock), readAll(lockFixtures / c.golden));
    }
}

TEST(LockConfigScript, SamePasswordAndKeyGiveTheSameText) {
    const SiteLock lock = sampleLock();
    EXPECT_EQ(lockConfigScript(lock), lockConfigScript(lock));
}

TEST(LockConfigScript, SaltAndHashFollowTheSiteKey) {
    SiteLock first = sampleLock();
    SiteLock second = first;
    second.secret = "Zm9vYmFyYmF6cXV4MTIzNDU2Nzg5MGFiY2RlZmdoaWo=";
    const nlohmann::json a = lockObject(lockConfigScript(first));
    const nlohmann::json b = lockObject(lockConfigScript(second));
    EXPECT_NE(a["salt"], b["salt"]);
    EXPECT_NE(a["hash"], b["hash"]);

    // What the login page shows does not depend on the key, and the salt is 16 bytes, the hash 32.
    EXPECT_EQ(a["text"], b["text"]);
    EXPECT_EQ(a["salt"].get<std::string>().size(), 24u);
    EXPECT_EQ(a["hash"].get<std::string>().size(), 44u);

    // A change of title leaves salt and hash alone.
    SiteLock retitled = first;
    retitled.title = "Winter";
    const nlohmann::json c = lockObject(lockConfigScript(retitled));
    EXPECT_EQ(a["salt"], c["salt"]);
    EXPECT_EQ(a["hash"], c["hash"]);
    EXPECT_EQ(c["title"], "Winter");
}

TEST(LockConfigScript, PasswordIsHashedAsTypedWithoutNormalisation) {
    SiteLock composed = sampleLock();
    composed.password = "caf\u00e9";  // é as one code point
    SiteLock decomposed = sampleLock();
    decomposed.password = "cafe\u0301";  // e followed by a combining acute accent
    SiteLock padded = sampleLock();
    padded.password = " caf\u00e9 ";  // not trimmed
    const auto hashOf = [](const SiteLock& lock) { return lockObject(lockConfigScript(lock))["hash"]; };
    EXPECT_NE(hashOf(composed), hashOf(decomposed));
    EXPECT_NE(hashOf(composed), hashOf(padded));
}

// A folder name is bytes on Linux, so the resolved title may not be UTF-8. The lock is still made,
// with U+FFFD for each bad byte as the pages and the gallery manifest write it.
TEST(LockConfigScript, TitleThatIsNotUTF8IsWrittenWithReplacementCharacters) {
    SiteLock lock = sampleLock();
    lock.title = "Caf\xe9 \xff\xfe";  // Latin-1 é, then two bytes that never occur in UTF-8
    const nlohmann::json object = lockObject(lockConfigScript(lock));
    EXPECT_EQ(object["title"], "Caf\uFFFD \uFFFD\uFFFD");
}

TEST(LockConfigScript, EmptyPasswordIsRefused) {
    SiteLock lock = sampleLock();
    lock.password.clear();
    try {
        lockConfigScript(lock);
        FAIL() << "an empty password was accepted";
    } catch (const lf::Error& error) {
        EXPECT_STREQ(error.what(), "Type a password for this gallery, or turn off “Require a password”.");
    }
}

TEST(LockConfigScript, EveryTemplateGivesItsOwnLookAndUnknownOnesTheClassicOne) {
    const auto themeOf = [](const std::string& templateName) {
        SiteLock lock = sampleLock();
        lock.templateName = templateName;
        return lockObject(lockConfigScript(lock))["theme"].get<std::string>();
    };
    const std::string classic = themeOf("classic");
    EXPECT_EQ(classic.substr(0, 26), "--bg:#f3efe6;--fg:#2a2622;");
    EXPECT_EQ(themeOf("minimal").substr(0, 13), "--bg:#ffffff;");
    EXPECT_NE(themeOf("dark"), classic);
    EXPECT_EQ(themeOf(""), classic);
    EXPECT_EQ(themeOf("Dark"), classic);
}

TEST(LockTexts, KnownCodesMatchExactlyAndEverythingElseIsEnglish) {
    const LockTexts english = lockTexts("en");
    EXPECT_EQ(english.wrong, "That password didn’t work. Try again.");
    EXPECT_EQ(english.heading, "Password protected");
    for (const char* other : {"", "FR", "fr ", "es", "english", "e"}) {
        EXPECT_EQ(lockTexts(other), english) << other;
    }
    struct Case {
        const char* code;
        const char* button;
        const char* heading;
    };
    for (const Case& c : std::vector<Case>{{"fr", "Voir la galerie", "Protégée par mot de passe"},
                                           {"de", "Galerie ansehen", "Passwortgeschützt"},
                                           {"it", "Vedi la galleria", "Protetta da password"},
                                           {"nl", "Galerij bekijken", "Beveiligd met wachtwoord"}}) {
        EXPECT_EQ(lockTexts(c.code).button, c.button) << c.code;
        EXPECT_EQ(lockTexts(c.code).heading, c.heading) << c.code;
    }
}

class LockProgramFiles : public ::testing::Test {
protected:
    static void expectMissing(const std::vector<fs::path>& locations) {
        try {
            loadLockProgram(locations);
            ADD_FAILURE() << "a password program was found";
        } catch (const lf::Error& error) {
            EXPECT_STREQ(error.what(),
                         "Lanternfold couldn’t find its password program (worker.js). Reinstall the app and try "
                         "again.");
        }
    }

    const lf::testing::TemporaryFolder temporary;
    const fs::path folder = temporary.path();
};

TEST_F(LockProgramFiles, AbsentEmptyOrGarbledProgramIsMissing) {
    writeAll(folder / "empty.js", "");
    writeAll(folder / "latin1.js", "export default {}; // caf\xe9\n");
    fs::create_directories(folder / "folder.js");
    expectMissing({});
    expectMissing({folder / "absent.js", folder / "empty.js", folder / "latin1.js", folder / "folder.js"});
}

TEST_F(LockProgramFiles, FirstUsableLocationWins) {
    writeAll(folder / "good.js", "export default {}; // café\n");
    writeAll(folder / "other.js", "other\n");
    EXPECT_EQ(loadLockProgram({folder / "absent.js", folder / "good.js", folder / "other.js"}),
              "export default {}; // café\n");
}

// The tests run from the build folder, where the program uses the source tree's worker.js.
TEST(LockProgram, FoundFromTheBuildFolder) {
    EXPECT_EQ(loadLockProgram(), readAll(fs::path(LF_TEST_SOURCE_DIR).parent_path() / "resources" / "worker.js"));
}

TEST(LockedWorker, CarriesProgramConfigurationAndKeyIntoTheMetadata) {
    const SiteLock lock = sampleLock();
    const LockedWorker worker = lockedWorker(lock);
    EXPECT_EQ(worker.workerJs, loadLockProgram());
    EXPECT_EQ(worker.lockConfigJs, lockConfigScript(lock));
    EXPECT_EQ(worker.secret, lock.secret);

    nlohmann::ordered_json metadata = nlohmann::ordered_json::parse(
        R"({"main_module":"lanternfold.js","compatibility_date":"2025-09-01",)"
        R"("bindings":[{"type":"assets","name":"ASSETS"}],)"
        R"("assets":{"jwt":"token","config":{"html_handling":"auto-trailing-slash","not_found_handling":"none"}}})");
    addLockToMetadata(metadata, worker);
    EXPECT_EQ(metadata.dump(),
              R"({"main_module":"lanternfold.js","compatibility_date":"2025-09-01",)"
              R"("bindings":[{"type":"assets","name":"ASSETS"},)"
              R"({"type":"secret_text","name":"LF_SECRET","text":"q0rV3s8Yb0m6o1Jx3v2b8WwU0m7Zt5qkH9b1n4c2d6E="}],)"
              R"("assets":{"jwt":"token","config":{"html_handling":"auto-trailing-slash","not_found_handling":"none",)"
              R"("run_worker_first":true}}})");
}

}  // namespace
}  // namespace lf::publish::cloudflare
