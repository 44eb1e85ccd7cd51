#include "publish/cloudflare/cloudflare_error.hpp"

#include "publish/cloudflare/cloudflare_publisher.hpp"

namespace lf::publish::cloudflare {

CloudflareError CloudflareError::severalAccounts(const std::vector<std::string>& accountNames) {
    std::string joined;
    for (const auto& name : accountNames) {
        if (!joined.empty()) joined += ", ";
        joined += name;
    }
    return {Kind::severalAccounts, "This API token can reach several Cloudflare accounts (" + joined +
                                       "). Paste the Account ID of the one to use in the Publish tab."};
}

CloudflareError CloudflareError::tooManyFiles(int64_t count) {
    return {Kind::tooManyFiles, "Cloudflare’s free plan allows 20,000 files per site, and this gallery has " +
                                    std::to_string(count) + "."};
}

CloudflareError CloudflareError::tooBig(const std::string& fileName) {
    return {Kind::tooBig, "“" + fileName +
                              "” is bigger than 25 MB, the largest file Cloudflare accepts. Shorten or compress it and "
                              "build again."};
}

CloudflareError CloudflareError::api(const std::string& message) {
    return {Kind::api, "Cloudflare said: " + message, message};
}

CloudflareError CloudflareError::noToken() { return {Kind::noToken, checkTexts::noToken}; }

CloudflareError CloudflareError::badSiteName() { return {Kind::badSiteName, checkTexts::badSiteName}; }

CloudflareError CloudflareError::noAccount() {
    return {Kind::noAccount,
            "Cloudflare didn’t show any account for this API token. Check that the token has the “Workers "
            "Scripts: Edit” permission."};
}

CloudflareError CloudflareError::noSubdomain() {
    return {Kind::noSubdomain, "Your Cloudflare account doesn’t have a " + workersDomain() +
                                   " address yet. Open Workers & Pages in the Cloudflare dashboard once to choose "
                                   "one, then publish again."};
}

CloudflareError CloudflareError::noGalleryPassword() {
    return {Kind::noGalleryPassword, checkTexts::noGalleryPassword};
}

CloudflareError CloudflareError::missingLockProgram() {
    return {Kind::missingLockProgram,
            "Lanternfold couldn’t find its password program (worker.js). Reinstall the app and try again."};
}

CloudflareError CloudflareError::badHomeName() {
    return {Kind::badHomeName,
            "The home page address can only use lowercase letters, numbers and dashes, like “galleries”. Leave it "
            "empty to use your domain itself."};
}

}  // namespace lf::publish::cloudflare
