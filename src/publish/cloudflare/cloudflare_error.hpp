#pragma once
// The failures of publishing to Cloudflare, each with the exact sentence the user reads.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.hpp"

namespace lf::publish::cloudflare {

// The sentences of the failures that the build-and-publish flow also checks before it starts, and
// shows as its alerts: written once, here.
namespace checkTexts {
inline constexpr const char* noToken = "Paste your Cloudflare API token in the Publish tab first.";
inline constexpr const char* badSiteName =
    "The site name can only use lowercase letters, numbers and dashes (up to 63), and can’t start or end with a "
    "dash.";
inline constexpr const char* noGalleryPassword = "Type a password for this gallery, or turn off “Require a password”.";
}  // namespace checkTexts

class CloudflareError : public lf::Error {
public:
    enum class Kind {
        severalAccounts,
        tooManyFiles,
        tooBig,
        api,
        noToken,
        badSiteName,
        noAccount,
        noSubdomain,
        noGalleryPassword,
        missingLockProgram,
        badHomeName,
    };

    // The token reaches several accounts; names in listing order.
    static CloudflareError severalAccounts(const std::vector<std::string>& accountNames);
    // The site has more files than Cloudflare's free plan allows.
    static CloudflareError tooManyFiles(int64_t count);
    // A file is over 25 MB; fileName is its path relative to the site folder.
    static CloudflareError tooBig(const std::string& fileName);
    // Cloudflare refused a request; message is what it said (see apiErrorMessage).
    static CloudflareError api(const std::string& message);
    static CloudflareError noToken();
    static CloudflareError badSiteName();
    static CloudflareError noAccount();
    // Names the Workers default domain in effect (LANTERNFOLD_CF_WORKERS_DOMAIN or workers.dev).
    static CloudflareError noSubdomain();
    static CloudflareError noGalleryPassword();
    static CloudflareError missingLockProgram();
    static CloudflareError badHomeName();

    Kind kind() const { return kind_; }
    // The message of an api error (without "Cloudflare said: "); empty for the other kinds.
    const std::string& apiMessage() const { return apiMessage_; }

private:
    CloudflareError(Kind kind, const std::string& text, std::string apiMessage = {})
        : lf::Error(text), kind_(kind), apiMessage_(std::move(apiMessage)) {}

    Kind kind_;
    std::string apiMessage_;
};

}  // namespace lf::publish::cloudflare
