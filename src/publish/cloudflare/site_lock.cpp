#include "publish/cloudflare/site_lock.hpp"

#include <system_error>

#include "platform/crypto.hpp"
#include "platform/files.hpp"
#include "platform/text.hpp"
#include "publish/cloudflare/lock_texts.hpp"

#include "builder/theme.hpp"
#include "publish/cloudflare/cloudflare_error.hpp"

namespace lf::publish::cloudflare {

namespace fs = std::filesystem;

namespace {

// The salt is derived from the site key, so it stays the same for a site across publishes (and so
// does lock-config.js) and differs between sites that share a password.
crypto::Bytes lockSalt(const std::string& secret) {
    crypto::Bytes digest = crypto::sha256("lanternfold-salt:" + secret);
    digest.resize(16);
    return digest;
}

// True when the folder or one above it holds a CMake cache: the program runs from a build folder.
bool isInsideBuildFolder(fs::path folder) {
    std::error_code error;
    while (!folder.empty()) {
        if (fs::exists(folder / "CMakeCache.txt", error)) return true;
        fs::path parent = folder.parent_path();
        if (parent == folder) break;
        folder = parent;
    }
    return false;
}

}  // namespace

std::string lockConfigScript(const SiteLock& lock) {
    if (lock.password.empty()) throw CloudflareError::noGalleryPassword();

    const crypto::Bytes salt = lockSalt(lock.secret);
    const crypto::Bytes hash = crypto::pbkdf2Sha256(lock.password, salt, LOCK_ITERATIONS, 32);
    const LockTexts texts = lockTexts(lock.language);

    // nlohmann::json (unlike ordered_json) keeps object keys sorted, which is the order this file
    // is written in at every level.
    const nlohmann::json object = {
        {"salt", crypto::base64(salt)},
        {"hash", crypto::base64(hash)},
        {"iterations", LOCK_ITERATIONS},
        {"open", {"/lanternfold-gallery.json", "/cover.jpg"}},
        {"title", lock.title},
        {"lang", lock.language},
        {"theme", lf::builder::themeVariables(lock.templateName)},
        {"text",
         {{"prompt", texts.prompt}, {"wrong", texts.wrong}, {"button", texts.button}, {"password", texts.password}}},
    };
    // A title that is not UTF-8 (a folder name on Linux is bytes) is written with U+FFFD, as the
    // pages and the gallery manifest write it, so the lock can always be made.
    const std::string compact = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);

    // A "/" can only stand inside a JSON string (never in a number or between tokens), so escaping
    // every one of them escapes exactly the slashes inside strings.
    std::string escaped;
    escaped.reserve(compact.size() + 16);
    for (char c : compact) {
        if (c == '/') escaped += '\\';
        escaped += c;
    }
    return "export const LOCK = " + escaped + ";\n";
}

std::vector<fs::path> lockProgramLocations() {
    std::vector<fs::path> locations;
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error && !executable.empty()) {
        locations.push_back(executable.parent_path().parent_path() / "share" / "lanternfold" / "worker.js");
    }
    // A program run from a build folder uses the source tree's copy before any installed one, so a
    // developer always runs the worker.js they are editing.
    if (!error && !executable.empty() && isInsideBuildFolder(executable.parent_path())) {
        locations.push_back(fs::path(LF_SOURCE_DIR) / "resources" / "worker.js");
    }
    locations.push_back(fs::path(LF_INSTALL_DATADIR) / "worker.js");
    return locations;
}

std::string loadLockProgram() { return loadLockProgram(lockProgramLocations()); }

std::string loadLockProgram(const std::vector<fs::path>& locations) {
    for (const fs::path& location : locations) {
        std::error_code error;
        if (!fs::is_regular_file(location, error)) continue;
        std::optional<std::string> text = platform::readFileIfPossible(location);
        // An empty or garbled file would deploy a Worker that cannot run; treat it as missing and
        // look further, so that a damaged copy does not hide a good one.
        if (!text || text->empty() || !lf::text::isValidUTF8(*text)) continue;
        return *text;
    }
    throw CloudflareError::missingLockProgram();
}

LockedWorker lockedWorker(const SiteLock& lock) {
    LockedWorker worker;
    worker.workerJs = loadLockProgram();
    worker.lockConfigJs = lockConfigScript(lock);
    worker.secret = lock.secret;
    return worker;
}

void addLockToMetadata(nlohmann::ordered_json& metadata, const LockedWorker& worker) {
    nlohmann::ordered_json binding;
    binding["type"] = "secret_text";
    binding["name"] = std::string(LOCK_SECRET_BINDING);
    binding["text"] = worker.secret;
    metadata["bindings"].push_back(std::move(binding));
    metadata["assets"]["config"]["run_worker_first"] = true;
}

}  // namespace lf::publish::cloudflare
