#pragma once
// The user's secrets in the system keyring (the freedesktop Secret Service, through libsecret):
// one item per secret, found by its service and account attributes, with a label for the
// keyring viewer. Items of two earlier versions of the program are read too. No secret is ever
// written to a file or passed on a command line.
#include <optional>
#include <string>

namespace lf::app {

class Keychain {
public:
    // The secret stored under service and account; nothing when there is none, it is not UTF-8
    // text, or the keyring cannot be reached.
    std::optional<std::string> readSecret(const std::string& service, const std::string& account) const;

    // Deletes every item with this service and account, then adds one with the label and value
    // unless value is empty (so an empty value deletes). Failures are ignored.
    void storeSecret(const std::string& value, const std::string& service, const std::string& account,
                     const std::string& label) const;

    // The FTP password of user on host; items of earlier versions are read as well.
    std::optional<std::string> ftpPassword(const std::string& host, const std::string& user) const;
    void storeFTPPassword(const std::string& password, const std::string& host, const std::string& user) const;

    // The one Cloudflare API token; items of earlier versions are read as well. The caller trims
    // the token before storing it.
    std::optional<std::string> cloudflareToken() const;
    void storeCloudflareToken(const std::string& token) const;

    // The password of a locked site. Storing does nothing when siteName is empty.
    std::optional<std::string> galleryPassword(const std::string& siteName) const;
    void storeGalleryPassword(const std::string& password, const std::string& siteName) const;

    // The site's key: the stored one, or 32 new bytes from the system's secure random generator
    // as Base64 (44 characters), stored before it is returned. Throws lf::Error when the secure
    // generator fails: a weaker key is never made.
    std::string siteKey(const std::string& siteName) const;
};

}  // namespace lf::app
