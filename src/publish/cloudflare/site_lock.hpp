#pragma once
// The password lock of a published gallery: the inputs Lanternfold prepares for its password
// program (resources/worker.js), which runs as the gallery's Worker on Cloudflare.
//
// A locked site is deployed with three modules and three more bindings than an open one:
//   "lanternfold.js"  the password program, worker.js as shipped (loadLockProgram)
//   "lock-config.js"  `export const LOCK = {…};` with the salted PBKDF2 hash of the password and the
//                     login page's title, language, theme and texts (lockConfigScript)
//   LF_SECRET         a secret_text binding holding the site key, which signs the session cookie
//   LF_VISITOR_LIMIT, LF_SITE_LIMIT
//                     ratelimit bindings that throttle password guessing (login_limits.hpp)
// and its assets configuration carries "run_worker_first": true, so that every request, also for
// static files, passes through the password program. The password itself never leaves the computer.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace lf::publish::cloudflare {

// Password protection of one site, given by the build-and-publish flow.
struct SiteLock {
    std::string password;      // the gallery password as typed (from the keyring)
    std::string secret;        // the site key: Base64 of 32 random bytes, made once per site
    std::string title;         // gallery title shown on the login page
    std::string templateName;  // "classic", "dark" or "minimal"; others give "classic"
    std::string language;      // "en", "fr", "de", "it" or "nl"; others give English texts

    bool operator==(const SiteLock&) const = default;
};

// PBKDF2 rounds of the password hash: the most Cloudflare's Workers runtime accepts, so the
// password program can check a password there.
inline constexpr int LOCK_ITERATIONS = 100000;

// Module name of the lock configuration, imported by the password program.
inline constexpr std::string_view LOCK_CONFIG_MODULE = "lock-config.js";

// Name of the secret binding through which the password program receives the site key.
inline constexpr std::string_view LOCK_SECRET_BINDING = "LF_SECRET";

// The text of lock-config.js: "export const LOCK = " + compact JSON with sorted keys, non-ASCII
// characters as UTF-8 and "/" written as "\/" + ";\n". The salt is the first 16 bytes of SHA-256 of
// "lanternfold-salt:" + secret; the hash is PBKDF2-HMAC-SHA-256 of the password's UTF-8 bytes (not
// normalised, not trimmed) with LOCK_ITERATIONS rounds and 32 bytes of output. The same lock always
// gives the same text.
// Throws CloudflareError noGalleryPassword when the password is empty. Text that is not valid UTF-8
// (a title from a folder name) is written with U+FFFD in place of the bad bytes.
std::string lockConfigScript(const SiteLock& lock);

// Where the password program is looked for, in order: beside the running program
// (<executable folder>/../share/lanternfold/worker.js); when the program runs from a CMake build
// folder, the source tree's resources/worker.js; then the configured install folder.
std::vector<std::filesystem::path> lockProgramLocations();

// The text of the password program from the first of lockProgramLocations() that holds one.
// Throws CloudflareError missingLockProgram when none holds a readable, non-empty, valid UTF-8 file.
std::string loadLockProgram();

// The same from the given locations, in order.
std::string loadLockProgram(const std::vector<std::filesystem::path>& locations);

// What a locked site adds to its Worker upload.
struct LockedWorker {
    std::string workerJs;      // main module "lanternfold.js": the password program, unchanged
    std::string lockConfigJs;  // module LOCK_CONFIG_MODULE: lockConfigScript(lock)
    std::string secret;        // text of the LF_SECRET secret binding: the site key

    bool operator==(const LockedWorker&) const = default;
};

// Loads the password program first (missingLockProgram), then builds the lock configuration
// (noGalleryPassword), in the order the publish reports them. The publish calls it before its first
// request, so a lock that cannot be made never costs an upload.
LockedWorker lockedWorker(const SiteLock& lock);

// Adds the lock to a Worker's metadata object: appends
// {"type": "secret_text", "name": "LF_SECRET", "text": secret} to "bindings" (after the assets
// binding already there) and sets "run_worker_first": true at the end of "assets"."config".
void addLockToMetadata(nlohmann::ordered_json& metadata, const LockedWorker& worker);

}  // namespace lf::publish::cloudflare
