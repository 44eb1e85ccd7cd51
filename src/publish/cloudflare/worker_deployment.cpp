// publish: the checks, the asset step, the Worker upload, its Workers address and the custom
// host name.

#include "platform/text.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "publish/cloudflare/login_limits.hpp"
#include "publish/cloudflare/multipart.hpp"
#include "publish/cloudflare/site_names.hpp"

namespace lf::publish::cloudflare {

using json::Json;

namespace {

// Lower-cased letter by letter with Unicode's rules, not only A to Z, so that a host name typed
// with capital accented letters ("MÜNCHEN.de") is sent the way the normalised domain of the
// settings pane would be.
std::string trimmedLowerCased(const std::string& text) { return lf::text::lowerCased(lf::text::trimmed(text)); }

}  // namespace

PublishResult CloudflarePublisher::publish(const std::filesystem::path& folder, const StopToken& stop,
                                           const Progress& progress) const {
    if (token_.empty()) throw CloudflareError::noToken();
    if (!isValidSiteName(siteName_)) throw CloudflareError::badSiteName();
    // A locked site's password program and configuration come from local input only (the shipped
    // worker.js, the password, the title), so they are made before the first request: a missing
    // program or an empty password ends the publish before any file was sent, not after all were.
    std::optional<LockedWorker> locked;
    if (lock) locked = lockedWorker(*lock);
    report(progress, 0, 1, "Connecting to Cloudflare…");
    const std::string account = resolveAccount(stop);
    const std::string subdomain = workersSubdomain(account, stop);

    const AssetUploadResult assets = uploadAssets(account, folder, stop, progress);

    const Json config = Json{{"html_handling", "auto-trailing-slash"}, {"not_found_handling", "none"}};
    const Json bindings = Json::array({Json{{"type", "assets"}, {"name", "ASSETS"}}});
    Json metadata = Json{{"main_module", "lanternfold.js"},
                         {"compatibility_date", "2025-09-01"},
                         {"bindings", bindings},
                         {"assets", Json{{"jwt", assets.completionToken}, {"config", config}}}};
    if (locked) {
        addLockToMetadata(metadata, *locked);
        // Throttles password guessing at the edge; the password program works without it too.
        addLoginLimitsToMetadata(metadata, siteName_);
    }

    std::vector<MultipartPart> parts;
    parts.push_back({"metadata", std::nullopt, "application/json", json::compact(metadata)});
    parts.push_back({"lanternfold.js", "lanternfold.js", "application/javascript+module",
                     locked ? locked->workerJs : std::string(defaultWorkerScript)});
    if (locked) {
        const std::string module(LOCK_CONFIG_MODULE);
        parts.push_back({module, module, "application/javascript+module", locked->lockConfigJs});
    }
    const MultipartBody script = buildMultipart(parts);
    const std::string scriptPath = "/accounts/" + account + "/workers/scripts/" + siteName_;
    request("PUT", scriptPath, std::nullopt, script.bytes, script.contentType(), std::nullopt, stop);
    request("POST", scriptPath + "/subdomain", Json{{"enabled", true}}, std::nullopt, {}, std::nullopt, stop);

    PublishResult result;
    result.accountID = account;
    result.fileCount = assets.fileCount;
    result.uploadedCount = assets.uploadedCount;
    const std::string defaultAddress = "https://" + siteName_ + "." + subdomain + "." + workersDomain() + "/";

    const std::string host = trimmedLowerCased(hostname);
    if (host.empty()) {
        report(progress, 1, 1, "Published");
        result.url = defaultAddress;
        return result;
    }

    report(progress, 1, 1, "Connecting " + host + "…");
    Json domain = Json{{"hostname", host}, {"service", siteName_}, {"enabled", true}};
    const std::string zoneName = trimmedLowerCased(zone);
    if (!zoneName.empty()) domain["zone_name"] = zoneName;
    try {
        request("PUT", "/accounts/" + account + "/workers/domains", domain, std::nullopt, {}, std::nullopt, stop);
    } catch (const CloudflareError& error) {
        if (error.kind() != CloudflareError::Kind::api) throw;
        throw CloudflareError::api("the gallery is online at " + defaultAddress + ", but " + host +
                                   " couldn’t be connected: " + error.apiMessage() + " Check that " +
                                   (zoneName.empty() ? host : zoneName) +
                                   " is active in your Cloudflare account and that the API token can edit Workers "
                                   "routes for it.");
    }
    report(progress, 1, 1, "Published");
    result.url = "https://" + host + "/";
    return result;
}

}  // namespace lf::publish::cloudflare
