#include "publish/cloudflare/cloudflare_publisher.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/http_client.hpp"
#include "platform/text.hpp"

namespace lf::publish::cloudflare {

using json::Json;

namespace {

std::string withoutTrailingSlashes(std::string text) {
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

// How the platform prints a JSON value inside a sentence: strings without quotes, numbers in
// decimal, everything else as JSON text.
std::string printed(const Json& value) {
    if (value.is_string()) return value.get<std::string>();
    return value.dump();
}

double retryScaleFromEnvironment() {
    const std::string text = platform::environmentOr("LANTERNFOLD_TEST_RETRY_SCALE", "");
    if (text.empty()) return 1.0;
    char* end = nullptr;
    const double scale = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && scale >= 0 ? scale : 1.0;
}

}  // namespace

std::string apiBase() {
    return withoutTrailingSlashes(
        platform::environmentOr("LANTERNFOLD_CF_API_BASE", "https://api.cloudflare.com/client/v4"));
}

std::string workersDomain() { return platform::environmentOr("LANTERNFOLD_CF_WORKERS_DOMAIN", "workers.dev"); }

std::string apiErrorMessage(const std::optional<Json>& envelope, long status) {
    if (status == 401 || status == 403) {
        return "the API token wasn’t accepted (code " + std::to_string(status) +
               "). Check that it has the “Workers Scripts: Edit” permission for your account.";
    }
    if (envelope && envelope->is_object()) {
        auto errors = envelope->find("errors");
        if (errors != envelope->end() && errors->is_array() && !errors->empty()) {
            bool allObjects = true;
            for (const auto& element : *errors) allObjects = allObjects && element.is_object();
            if (allObjects) {
                const Json& first = errors->front();
                std::string text = json::getString(first, "message", "unknown error");
                if (auto code = first.find("code"); code != first.end()) text += " (code " + printed(*code) + ")";
                return text;
            }
        }
    }
    return "unexpected reply (HTTP " + std::to_string(status) + ").";
}

std::optional<Json> unwrapEnvelope(long status, const std::string& body) {
    std::optional<Json> envelope = json::parse(body);
    if (envelope && !envelope->is_object()) envelope.reset();
    if (status < 200 || status > 299) throw CloudflareError::api(apiErrorMessage(envelope, status));
    if (envelope && json::optBool(*envelope, "success") == false) {
        throw CloudflareError::api(apiErrorMessage(envelope, status));
    }
    if (!envelope) return std::nullopt;
    auto result = envelope->find("result");
    if (result == envelope->end()) return std::nullopt;
    return *result;
}

CloudflarePublisher::CloudflarePublisher(std::string token, std::string siteName)
    : retryWaitScale(retryScaleFromEnvironment()), token_(std::move(token)), siteName_(std::move(siteName)) {}

std::optional<Json> CloudflarePublisher::request(const std::string& method, const std::string& path,
                                                 const std::optional<Json>& json,
                                                 const std::optional<std::string>& body,
                                                 const std::string& contentType,
                                                 const std::optional<std::string>& token,
                                                 const StopToken& stop) const {
    platform::HttpRequest request;
    request.method = method;
    request.url = apiBase() + path;
    if (!platform::isSendableUrl(request.url)) throw CloudflareError::api("Bad address " + path);
    // Ten minutes without progress, not in all: a bucket of large movies over a slow line may
    // rightly take longer than that to send.
    request.timeout = std::chrono::seconds(600);
    request.idleTimeout = true;
    request.headers.emplace_back("Authorization", "Bearer " + token.value_or(token_));
    if (json) {
        request.setJsonBody(*json);
    } else if (body) {
        request.body = *body;
        request.headers.emplace_back("Content-Type", contentType);
    }
    const platform::HttpResponse response = platform::HttpClient().send(request, stop);
    return unwrapEnvelope(response.status, response.body);
}

std::string CloudflarePublisher::resolveAccount(const StopToken& stop) const {
    const std::string given = text::trimmed(accountID);
    if (!given.empty()) return given;

    const std::optional<Json> result = request("GET", "/accounts?per_page=50", std::nullopt, std::nullopt, {},
                                               std::nullopt, stop);
    std::vector<std::string> ids;
    std::vector<std::string> names;
    // The listing counts only as an array of objects; any other shape is read as no accounts.
    const bool usable = result && result->is_array() &&
                        std::all_of(result->begin(), result->end(), [](const Json& e) { return e.is_object(); });
    if (usable) {
        for (const Json& account : *result) {
            if (auto id = json::optString(account, "id")) ids.push_back(*id);
            if (auto name = json::optString(account, "name")) names.push_back(*name);
        }
    }
    if (ids.size() == 1) return ids.front();
    if (ids.empty()) throw CloudflareError::noAccount();
    throw CloudflareError::severalAccounts(names);
}

std::string CloudflarePublisher::workersSubdomain(const std::string& accountID, const StopToken& stop) const {
    std::optional<Json> result;
    try {
        result = request("GET", "/accounts/" + accountID + "/workers/subdomain", std::nullopt, std::nullopt, {},
                         std::nullopt, stop);
    } catch (const CloudflareError& error) {
        if (error.kind() == CloudflareError::Kind::api) throw CloudflareError::noSubdomain();
        throw;
    }
    const std::string subdomain = result ? json::getString(*result, "subdomain", "") : "";
    if (subdomain.empty()) throw CloudflareError::noSubdomain();
    return subdomain;
}

}  // namespace lf::publish::cloudflare
