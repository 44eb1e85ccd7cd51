#pragma once
// Publishing a built site to the user's Cloudflare account as a Worker with static assets, and the
// one operation every call to the Cloudflare API goes through.
//
// Settings read from the environment (for the test double; the defaults are Cloudflare's own):
//   LANTERNFOLD_CF_API_BASE        default https://api.cloudflare.com/client/v4
//   LANTERNFOLD_CF_WORKERS_DOMAIN  default workers.dev
//   LANTERNFOLD_TEST_RETRY_SCALE   a factor for the waits between bucket upload attempts (tests only)
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/json.hpp"
#include "platform/long_work.hpp"
#include "publish/cloudflare/cloudflare_error.hpp"
#include "publish/cloudflare/site_lock.hpp"

namespace lf::publish::cloudflare {

// The address of the Cloudflare API, without a trailing "/".
std::string apiBase();

// The shared domain under which every account has its Workers subdomain ("workers.dev").
std::string workersDomain();

// The main module of an open site: it hands every request to the static assets.
inline constexpr const char* defaultWorkerScript =
    "export default {\n  async fetch(request, env) {\n    return env.ASSETS.fetch(request);\n  }\n};\n";

// The message of a refused request: the token sentence for 401 and 403, else the first of
// Cloudflare's errors with its code, else "unexpected reply (HTTP status).". envelope is the
// parsed reply when it was a JSON object.
std::string apiErrorMessage(const std::optional<json::Json>& envelope, long status);

// Reads one reply of the API: throws CloudflareError::api for a status outside 200-299 or an
// envelope whose "success" is false; returns the envelope's "result", absent when the body is
// not a JSON object or has no "result".
std::optional<json::Json> unwrapEnvelope(long status, const std::string& body);

struct AssetUploadResult {
    std::string completionToken;
    int64_t fileCount = 0;      // files in the site
    int64_t uploadedCount = 0;  // files sent this time
};

// What the upload session's reply asks for: the token to send files with, and the hashes of the
// files Cloudflare lacks in the groups it wants them in (empty when it holds every file).
struct UploadSession {
    std::string uploadToken;
    std::vector<std::vector<std::string>> buckets;

    bool operator==(const UploadSession&) const = default;
};

// Reads the result of the upload session request. Its "jwt" must be a string, else
// CloudflareError::api("No upload token came back."); its "buckets" are read as an array of arrays
// of hash strings, and when absent or of any other shape there are none.
UploadSession readUploadSession(const std::optional<json::Json>& result);

struct PublishResult {
    std::string url;  // where the site is online, ending in "/"
    std::string accountID;
    int64_t fileCount = 0;
    int64_t uploadedCount = 0;

    bool operator==(const PublishResult&) const = default;
};

// A plain value: copied into each publish, it holds no connection and no cache.
class CloudflarePublisher {
public:
    CloudflarePublisher(std::string token, std::string siteName);

    const std::string& token() const { return token_; }
    const std::string& siteName() const { return siteName_; }

    std::string accountID;  // may be empty: resolveAccount finds it
    std::string hostname;   // custom host name to attach; empty for none
    std::string zone;       // the Cloudflare zone holding hostname; may be empty
    std::optional<SiteLock> lock;  // absent for an open site
    // Multiplies the 2, 4 and 6 second waits between bucket upload attempts. Tests shorten them.
    double retryWaitScale = 1.0;

    // Sends one API request: path (with query) below apiBase(), bearer token (the argument
    // instead of the publisher's when given), a JSON body or else a raw body with its
    // contentType. Returns the envelope's "result". Throws CloudflareError::api for refusals and
    // a bad address, lf::TransportError and lf::Cancelled unchanged.
    std::optional<json::Json> request(const std::string& method, const std::string& path,
                                      const std::optional<json::Json>& json = std::nullopt,
                                      const std::optional<std::string>& body = std::nullopt,
                                      const std::string& contentType = {},
                                      const std::optional<std::string>& token = std::nullopt,
                                      const StopToken& stop = {}) const;

    // The trimmed accountID when set; otherwise the one account the token can reach. Throws
    // noAccount, severalAccounts or whatever request throws.
    std::string resolveAccount(const StopToken& stop = {}) const;

    // The account's Workers subdomain. Any refusal becomes noSubdomain; transport failures and
    // cancellation pass through.
    std::string workersSubdomain(const std::string& accountID, const StopToken& stop = {}) const;

    // Sends one bucket of files with the upload token, retrying only transport failures (three
    // attempts, waits of 2, 4 and 6 seconds times retryWaitScale). Returns the reply's result.
    std::optional<json::Json> uploadBucket(const std::string& accountID, const std::string& uploadToken,
                                           const std::string& body, const std::string& boundary,
                                           const StopToken& stop = {}) const;

    // Hashes the site folder, opens an upload session and sends the files Cloudflare lacks,
    // bucket by bucket. Cancellation is checked before each bucket and inside each transfer.
    AssetUploadResult uploadAssets(const std::string& accountID, const std::filesystem::path& folder,
                                   const StopToken& stop = {}, const Progress& progress = {}) const;

    // Checks the token and site name and makes a locked site's lock (all before the first request,
    // so that nothing that fails from local input costs an upload), finds the account and
    // subdomain, uploads the assets, deploys the Worker, switches on its Workers address and
    // attaches the custom host name when one is set.
    PublishResult publish(const std::filesystem::path& folder, const StopToken& stop = {},
                          const Progress& progress = {}) const;

private:
    std::string token_;
    std::string siteName_;
};

}  // namespace lf::publish::cloudflare
