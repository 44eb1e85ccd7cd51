#pragma once
// The user's secrets in the system keyring (the freedesktop Secret Service, through libsecret):
// one item per secret, found by its service and account attributes, with a label for the
// keyring viewer. Items of two earlier versions of the program are read too. No secret is ever
// written to a file or passed on a command line.
#include <optional>
#include <string>

namespace lf::app {

// What the user reads once when the keyring cannot keep secrets: the command line prints it as a
// warning line, the window shows it in its status line or an alert.
inline constexpr const char* keyringUnavailableText =
    "The system keyring isn’t available (it is missing or locked), so Lanternfold can’t keep your passwords "
    "and API token.";

// The sentence of a locked publish whose site key cannot be read: a new key would sign out every
// visitor of the site, so the publish stops instead.
std::string siteKeyUnreadableText(const std::string& siteName);

class Keychain {
public:
    // Nothing when the system keyring answers and its default collection is unlocked; otherwise
    // keyringUnavailableText. A short synchronous D-Bus exchange; it never shows an unlock prompt.
    // ProjectStore calls it when it starts, to show the sentence once.
    static std::optional<std::string> unavailableReason();

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
    // generator fails (a weaker key is never made), and siteKeyUnreadableText when the keyring
    // cannot be read or cannot keep the new key: an existing key is never replaced unseen.
    std::string siteKey(const std::string& siteName) const;

    // Keeps a key given from outside (LANTERNFOLD_SITE_KEY) as the site's key. Failures are ignored.
    void storeSiteKey(const std::string& key, const std::string& siteName) const;
};

}  // namespace lf::app
