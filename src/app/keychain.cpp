#include "app/keychain.hpp"

#include <libsecret/secret.h>

#include <initializer_list>
#include <memory>
#include <string_view>

#include "platform/crypto.hpp"
#include "platform/error.hpp"
#include "platform/text.hpp"

namespace lf::app {

namespace {

// Items are matched by service and account only, not by schema name, so that items written by
// earlier versions or by other tools (secret-tool) with the same attributes are found too.
const SecretSchema* schema() {
    static const SecretSchema value = {
        "org.lanternfold.Secret",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SecretSchemaAttributeType(0)},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return &value;
}

struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
struct ValueDeleter {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using ErrorHandle = std::unique_ptr<GError, ErrorDeleter>;
using ValueHandle = std::unique_ptr<SecretValue, ValueDeleter>;

const char* const ftpService = "Lanternfold FTP";
const char* const cloudflareService = "Lanternfold Cloudflare";
const char* const galleryPasswordService = "Lanternfold Gallery Password";
const char* const siteKeyService = "Lanternfold Site Key";
const char* const cloudflareAccount = "api-token";

std::string siteKeyLabel(const std::string& siteName) { return "Lanternfold site key (" + siteName + ")"; }

// One item looked up: its text when found; failed when the keyring did not answer, which is not
// the same as an item that is not there.
struct Lookup {
    std::optional<std::string> text;
    bool failed = false;
};

Lookup lookup(const std::string& service, const std::string& account) {
    GError* rawError = nullptr;
    ValueHandle value(secret_password_lookup_binary_sync(schema(), nullptr, &rawError, "service", service.c_str(),
                                                         "account", account.c_str(), nullptr));
    ErrorHandle error(rawError);
    if (error) return {std::nullopt, true};
    if (!value) return {};
    gsize length = 0;
    const gchar* data = secret_value_get(value.get(), &length);
    if (!data || !text::isValidUTF8(std::string_view(data, length))) return {};
    return {std::string(data, length), false};
}

// storeSecret that says whether the new item was added.
bool store(const std::string& value, const std::string& service, const std::string& account,
           const std::string& label) {
    GError* rawError = nullptr;
    secret_password_clear_sync(schema(), nullptr, &rawError, "service", service.c_str(), "account", account.c_str(),
                               nullptr);
    ErrorHandle clearError(rawError);
    if (value.empty()) return !clearError;
    rawError = nullptr;
    const gboolean stored = secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                                       value.c_str(), nullptr, &rawError, "service",
                                                       service.c_str(), "account", account.c_str(), nullptr);
    ErrorHandle storeError(rawError);
    return stored && !storeError;
}

std::optional<std::string> readFirst(const Keychain& keychain, std::initializer_list<const char*> services,
                                     const std::string& account) {
    for (const char* service : services) {
        if (auto secret = keychain.readSecret(service, account)) return secret;
    }
    return std::nullopt;
}

}  // namespace

std::string siteKeyUnreadableText(const std::string& siteName) {
    return "Lanternfold couldn’t read the key of the locked site “" + siteName +
           "” from the system keyring, and a new key would sign out every visitor. Unlock the system keyring, or "
           "give the key in LANTERNFOLD_SITE_KEY, and publish again.";
}

std::optional<std::string> Keychain::unavailableReason() {
    GError* rawError = nullptr;
    // Only the proxy: loading its collections on a bus without a Secret Service trips an assertion
    // inside libsecret. The proxy is shared and cached by libsecret.
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &rawError);
    ErrorHandle serviceError(rawError);
    if (!service || serviceError) return keyringUnavailableText;
    std::unique_ptr<SecretService, decltype(&g_object_unref)> serviceHandle(service, g_object_unref);
    // The first call to the service itself: it fails when no Secret Service answers on the bus.
    rawError = nullptr;
    SecretCollection* collection = secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                                                    SECRET_COLLECTION_NONE, nullptr, &rawError);
    ErrorHandle collectionError(rawError);
    if (!collection || collectionError) return keyringUnavailableText;
    std::unique_ptr<SecretCollection, decltype(&g_object_unref)> collectionHandle(collection, g_object_unref);
    if (secret_collection_get_locked(collection)) return keyringUnavailableText;
    return std::nullopt;
}

std::optional<std::string> Keychain::readSecret(const std::string& service, const std::string& account) const {
    return lookup(service, account).text;
}

void Keychain::storeSecret(const std::string& value, const std::string& service, const std::string& account,
                           const std::string& label) const {
    store(value, service, account, label);
}

std::optional<std::string> Keychain::ftpPassword(const std::string& host, const std::string& user) const {
    return readFirst(*this, {ftpService, "Tessavane FTP", "Kirrabo FTP"}, user + "@" + host);
}

void Keychain::storeFTPPassword(const std::string& password, const std::string& host, const std::string& user) const {
    storeSecret(password, ftpService, user + "@" + host, "Lanternfold FTP (" + host + ")");
}

std::optional<std::string> Keychain::cloudflareToken() const {
    return readFirst(*this, {cloudflareService, "Tessavane Cloudflare", "Kirrabo Cloudflare"}, cloudflareAccount);
}

void Keychain::storeCloudflareToken(const std::string& token) const {
    storeSecret(token, cloudflareService, cloudflareAccount, "Lanternfold Cloudflare API token");
}

std::optional<std::string> Keychain::galleryPassword(const std::string& siteName) const {
    return readSecret(galleryPasswordService, siteName);
}

void Keychain::storeGalleryPassword(const std::string& password, const std::string& siteName) const {
    if (siteName.empty()) return;
    storeSecret(password, galleryPasswordService, siteName, "Lanternfold gallery password (" + siteName + ")");
}

std::string Keychain::siteKey(const std::string& siteName) const {
    const Lookup stored = lookup(siteKeyService, siteName);
    if (stored.text && !stored.text->empty()) return *stored.text;
    // A key that cannot be read may still exist: a new one would sign out every visitor of the
    // site, so a keyring that does not answer, or is locked, ends the publish instead.
    if (stored.failed || unavailableReason()) throw Error(siteKeyUnreadableText(siteName));
    // secureRandomBytes throws instead of falling back to a weaker generator.
    const std::string key = crypto::base64(crypto::secureRandomBytes(32));
    // A key that is not kept would be replaced by the next publish.
    if (!store(key, siteKeyService, siteName, siteKeyLabel(siteName))) throw Error(siteKeyUnreadableText(siteName));
    return key;
}

void Keychain::storeSiteKey(const std::string& key, const std::string& siteName) const {
    storeSecret(key, siteKeyService, siteName, siteKeyLabel(siteName));
}

}  // namespace lf::app
