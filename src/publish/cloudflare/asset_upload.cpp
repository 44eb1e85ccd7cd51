// The asset step of a publish: the upload session and the buckets of files Cloudflare lacks.
#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/crypto.hpp"
#include "platform/files.hpp"
#include "publish/cloudflare/asset_files.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "publish/cloudflare/multipart.hpp"

namespace lf::publish::cloudflare {

using json::Json;

namespace {

// Waits for the duration unless a stop is requested first, which throws lf::Cancelled.
void waitUnlessStopped(std::chrono::milliseconds duration, const StopToken& stop) {
    std::mutex mutex;
    std::condition_variable_any woken;
    std::unique_lock lock(mutex);
    woken.wait_for(lock, stop, duration, [] { return false; });
    throwIfStopped(stop);
}

}  // namespace

UploadSession readUploadSession(const std::optional<Json>& result) {
    const std::optional<std::string> token = result ? json::optString(*result, "jwt") : std::nullopt;
    if (!token) throw CloudflareError::api("No upload token came back.");
    UploadSession session{*token, {}};
    auto found = result->find("buckets");
    if (found == result->end() || !found->is_array()) return session;
    for (const Json& bucket : *found) {
        // "buckets" of any other shape than an array of arrays of strings is read as no buckets.
        if (!bucket.is_array()) return {*token, {}};
        std::vector<std::string> hashes;
        for (const Json& hash : bucket) {
            if (!hash.is_string()) return {*token, {}};
            hashes.push_back(hash.get<std::string>());
        }
        session.buckets.push_back(std::move(hashes));
    }
    return session;
}

std::optional<Json> CloudflarePublisher::uploadBucket(const std::string& accountID, const std::string& uploadToken,
                                                      const std::string& body, const std::string& boundary,
                                                      const StopToken& stop) const {
    const std::string path = "/accounts/" + accountID + "/workers/assets/upload?base64=true";
    for (int attempt = 0;; ++attempt) {
        try {
            return request("POST", path, std::nullopt, body, "multipart/form-data; boundary=" + boundary, uploadToken,
                           stop);
        } catch (const TransportError&) {
            // Only a failure of the connection itself is worth another try; Cloudflare's refusals
            // would only be repeated.
            const auto wait = std::chrono::duration<double>(2.0 * (attempt + 1) * retryWaitScale);
            waitUnlessStopped(std::chrono::duration_cast<std::chrono::milliseconds>(wait), stop);
            if (attempt >= 2) throw;
        }
    }
}

AssetUploadResult CloudflarePublisher::uploadAssets(const std::string& accountID, const std::filesystem::path& folder,
                                                    const StopToken& stop, const Progress& progress) const {
    report(progress, 0, 1, "Checking files…");
    const std::vector<FileEntry> files = collectFiles(folder);
    const auto fileCount = static_cast<int64_t>(files.size());
    if (fileCount > maxAssetCount) throw CloudflareError::tooManyFiles(fileCount);

    Json manifest = Json::object();
    std::map<std::string, const FileEntry*> byHash;
    for (const FileEntry& file : files) {
        manifest[file.path] = Json{{"hash", file.hash}, {"size", file.size}};
        byHash[file.hash] = &file;  // the latest in path order wins
    }

    const std::optional<Json> session =
        request("POST", "/accounts/" + accountID + "/workers/scripts/" + siteName_ + "/assets-upload-session",
                Json{{"manifest", manifest}}, std::nullopt, {}, std::nullopt, stop);
    const UploadSession plan = readUploadSession(session);
    const std::vector<std::vector<std::string>>& buckets = plan.buckets;

    AssetUploadResult result;
    result.fileCount = fileCount;
    if (buckets.empty()) {
        report(progress, 0, 1, "Putting the site live…");
        result.completionToken = plan.uploadToken;
        return result;
    }

    int64_t total = 0;
    for (const auto& bucket : buckets) total += static_cast<int64_t>(bucket.size());
    const int reportTotal = static_cast<int>(std::max<int64_t>(total, 1));
    int64_t done = 0;
    std::string currentToken = plan.uploadToken;
    for (const auto& bucket : buckets) {
        throwIfStopped(stop);
        report(progress, static_cast<int>(done), reportTotal,
               "Publishing " + std::to_string(done) + " of " + std::to_string(total) + " files…");
        std::vector<MultipartPart> parts;
        for (const std::string& hash : bucket) {
            auto found = byHash.find(hash);
            if (found == byHash.end()) continue;
            const FileEntry& file = *found->second;
            parts.push_back({hash, hash, file.mime, crypto::base64(platform::readFile(file.url))});
        }
        const MultipartBody body = buildMultipart(parts);
        parts.clear();
        const std::optional<Json> reply = uploadBucket(accountID, currentToken, body.bytes, body.boundary, stop);
        if (reply) {
            if (auto jwt = json::optString(*reply, "jwt")) currentToken = *jwt;
        }
        done += static_cast<int64_t>(bucket.size());
    }
    report(progress, static_cast<int>(total), reportTotal, "Putting the site live…");
    result.completionToken = currentToken;
    result.uploadedCount = total;
    return result;
}

}  // namespace lf::publish::cloudflare
