#include "app/keychain.hpp"

#include <libsecret/secret.h>

#include <initializer_list>
#include <memory>

#include "platform/crypto.hpp"

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

std::optional<std::string> readFirst(const Keychain& keychain, std::initializer_list<const char*> services,
                                     const std::string& account) {
    for (const char* service : services) {
        if (auto secret = keychain.readSecret(service, account)) return secret;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> Keychain::readSecret(const std::string& service, const std::string& account) const {
    GError* rawError = nullptr;
    ValueHandle value(secret_password_lookup_binary_sync(schema(), nullptr, &rawError, "service", service.c_str(),
                                                         "account", account.c_str(), nullptr));
    ErrorHandle error(rawError);
    if (error || !value) return std::nullopt;
    gsize length = 0;
    const gchar* data = secret_value_get(value.get(), &length);
    if (!data || !g_utf8_validate(data, static_cast<gssize>(length), nullptr)) return std::nullopt;
    return std::string(data, length);
}

void Keychain::storeSecret(const std::string& value, const std::string& service, const std::string& account,
                           const std::string& label) const {
    GError* rawError = nullptr;
    secret_password_clear_sync(schema(), nullptr, &rawError, "service", service.c_str(), "account", account.c_str(),
                               nullptr);
    ErrorHandle clearError(rawError);
    if (value.empty()) return;
    rawError = nullptr;
    secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), value.c_str(), nullptr, &rawError,
                               "service", service.c_str(), "account", account.c_str(), nullptr);
    ErrorHandle storeError(rawError);
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
    if (auto stored = readSecret(siteKeyService, siteName); stored && !stored->empty()) return *stored;
    // secureRandomBytes throws instead of falling back to a weaker generator.
    const std::string key = crypto::base64(crypto::secureRandomBytes(32));
    storeSecret(key, siteKeyService, siteName, "Lanternfold site key (" + siteName + ")");
    return key;
}

}  // namespace lf::app
