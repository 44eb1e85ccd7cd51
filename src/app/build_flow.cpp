#include "app/build_flow.hpp"

#include <utility>

#include "app/keychain.hpp"
#include "platform/crypto.hpp"
#include "platform/error.hpp"
#include "platform/text.hpp"
#include "publish/cloudflare/site_names.hpp"

namespace lf::app {

namespace cf = lf::publish::cloudflare;

void KeychainSecretStore::storeFTPPassword(const std::string& password, const std::string& host,
                                           const std::string& user) {
    Keychain().storeFTPPassword(password, host, user);
}

void KeychainSecretStore::storeCloudflareToken(const std::string& token) { Keychain().storeCloudflareToken(token); }

void KeychainSecretStore::storeGalleryPassword(const std::string& password, const std::string& siteName) {
    Keychain().storeGalleryPassword(password, siteName);
}

std::string KeychainSecretStore::siteKey(const std::string& siteName) { return Keychain().siteKey(siteName); }

void KeychainSecretStore::storeSiteKey(const std::string& key, const std::string& siteName) {
    Keychain().storeSiteKey(key, siteName);
}

std::string effectiveSiteName(const model::GallerySettings& settings) {
    if (!settings.cfSiteName.empty()) return settings.cfSiteName;
    return cf::suggestedSiteName(settings.title);
}

std::optional<std::string> checkAndStoreCredentials(Destination destination, model::Project& project,
                                                    const TypedSecrets& secrets, SecretStore& store) {
    model::GallerySettings& settings = project.settings;
    switch (destination) {
    case Destination::none:
        return std::nullopt;
    case Destination::ftp:
        // A locked gallery uploaded by FTP would be open to everyone: refuse that before anything else.
        if (settings.locked) return alerts::ftpLocked;
        if (text::trimmedSpacesAndTabs(settings.ftpHost).empty() || text::trimmedSpacesAndTabs(settings.ftpUser).empty()) {
            return alerts::ftpServer;
        }
        if (secrets.ftpPassword.empty()) return alerts::ftpPassword;
        // The keyring item is found again by host and user exactly as the settings hold them.
        store.storeFTPPassword(secrets.ftpPassword, settings.ftpHost, settings.ftpUser);
        return std::nullopt;
    case Destination::cloudflare: {
        const std::string token = text::trimmed(secrets.cloudflareToken);
        if (token.empty()) return alerts::cloudflareToken;
        const std::string name = effectiveSiteName(settings);
        if (!cf::isValidSiteName(name)) return alerts::siteName;
        if (settings.locked && text::trimmed(secrets.galleryPassword).empty()) return alerts::galleryPassword;
        settings.cfSiteName = name;
        store.storeCloudflareToken(token);
        // The password is kept exactly as typed: it is what visitors must type.
        if (settings.locked) store.storeGalleryPassword(secrets.galleryPassword, name);
        return std::nullopt;
    }
    }
    return std::nullopt;
}

std::optional<std::string> saveBeforeBuild(const model::Project& project) {
    try {
        project.saveProjectFile();
        return std::nullopt;
    } catch (const std::exception& error) {
        return std::string("Couldn’t save settings in the pictures folder: ") + error.what();
    }
}

namespace {

// A site key given from outside: it must be what the program itself makes (Base64 of 32 bytes),
// since a mistyped key would publish a lock that signs every visitor out. Kept like a typed secret.
std::string typedSiteKey(const std::string& typed, const std::string& siteName, SecretStore& store) {
    crypto::Bytes bytes;
    if (!crypto::base64Decode(text::trimmed(typed), bytes) || bytes.size() != 32) {
        throw Error("LANTERNFOLD_SITE_KEY isn’t a site key: it must be the Base64 text of 32 bytes, 44 characters "
                    "long.");
    }
    // Written again in the form the program makes, so the salt and the cookie key are the same
    // whether the key came from here or from the keyring.
    const std::string key = crypto::base64(bytes);
    store.storeSiteKey(key, siteName);
    return key;
}

}  // namespace

BuildJob captureBuildJob(Destination destination, const model::Project& project, const TypedSecrets& secrets,
                         SecretStore& store) {
    BuildJob job;
    job.destination = destination;
    job.project = project;
    job.cloudflareToken = text::trimmed(secrets.cloudflareToken);
    job.ftpPassword = secrets.ftpPassword;
    const model::GallerySettings& settings = project.settings;
    if (destination == Destination::cloudflare && settings.locked) {
        cf::SiteLock lock;
        lock.password = secrets.galleryPassword;
        lock.secret = secrets.siteKey.empty() ? store.siteKey(settings.cfSiteName)
                                              : typedSiteKey(secrets.siteKey, settings.cfSiteName, store);
        lock.title = settings.title;
        lock.templateName = settings.templateName;
        lock.language = settings.language;
        job.lock = std::move(lock);
    }
    return job;
}

cf::CloudflarePublisher publisherFor(const BuildJob& job) {
    const model::GallerySettings& settings = job.project.settings;
    cf::CloudflarePublisher publisher(job.cloudflareToken, settings.cfSiteName);
    publisher.accountID = settings.cfAccountID;
    publisher.zone = cf::normalizedDomain(settings.cfDomain);
    publisher.hostname = publisher.zone.empty() ? std::string() : settings.cfSiteName + "." + publisher.zone;
    publisher.lock = job.lock;
    return publisher;
}

void recordPublication(model::Project& project, const cf::PublishResult& result) {
    project.settings.cfAccountID = result.accountID;
    project.settings.cfLastURL = result.url;
    try {
        project.saveProjectFile();
    } catch (const std::exception&) {
        // Quiet on purpose: the gallery is online either way, and the next build saves again.
    }
}

std::string publishedSentence(const cf::PublishResult& result, bool homeUpdated) {
    const std::string detail = result.uploadedCount != 0 ? std::to_string(result.uploadedCount) + " of " +
                                                               std::to_string(result.fileCount) + " files sent"
                                                         : std::string("nothing had changed");
    return "Published at " + result.url + " (" + detail + ")." + (homeUpdated ? " The home page was updated too." : "") +
           " A new site can take a minute to appear.";
}

namespace {

// An address the browser can be asked to open: http or https with a host.
bool isOpenableAddress(const std::string& address) {
    for (const char* scheme : {"https://", "http://"}) {
        const std::string prefix = scheme;
        if (address.starts_with(prefix)) {
            const std::string rest = address.substr(prefix.size());
            return !rest.empty() && rest.front() != '/' && rest.find_first_of(" \t\r\n") == std::string::npos;
        }
    }
    return false;
}

// The account's home page address before a Cloudflare build. A failed look-up means no link back;
// only a stop request goes on, so that "Stopped." comes before any build work.
std::optional<std::string> lookUpHomeAddress(const BuildJob& job, const BuildOperations& operations,
                                             const StopToken& stop) {
    if (!operations.homeAddress) return std::nullopt;
    try {
        return operations.homeAddress(job.cloudflareToken, job.project.settings.cfAccountID, stop);
    } catch (const Cancelled&) {
        throw;
    } catch (...) {
        return std::nullopt;
    }
}

// The home page refreshed after a publish. Every failure, a stop request included, only means the
// home page was not updated: the gallery is online, and the result says so.
bool refreshHomePage(const BuildJob& job, const cf::PublishResult& published, const BuildOperations& operations,
                     const StopToken& stop) {
    if (!operations.refreshHome) return false;
    try {
        return operations.refreshHome(job.cloudflareToken, published.accountID, stop).has_value();
    } catch (...) {
        return false;
    }
}

}  // namespace

BuildResult runBuildJob(const BuildJob& job, const Progress& progress, const StopToken& stop,
                        const PublishedHandler& onPublished, const BuildOperations& operations) {
    report(progress, 0, 0, startingText);
    BuildResult result;
    // Gallery pages link back to the account's home page once there is one ("All galleries").
    std::optional<std::string> homeURL;
    if (job.destination == Destination::cloudflare) {
        report(progress, 0, 0, checkingHomeText);
        homeURL = lookUpHomeAddress(job, operations, stop);
    }
    result.indexPage = operations.build(job.project, homeURL, progress, stop);
    const std::filesystem::path output = result.indexPage.parent_path();
    switch (job.destination) {
    case Destination::none:
        result.status = "Gallery ready in “" + output.filename().string() + "”.";
        result.browserTarget = result.indexPage.string();
        break;
    case Destination::ftp: {
        const int uploaded = operations.upload(output, job.project.settings, job.ftpPassword, progress, stop);
        result.status = "Gallery built and " + std::to_string(uploaded) + " files uploaded.";
        result.browserTarget = result.indexPage.string();
        break;
    }
    case Destination::cloudflare: {
        const cf::PublishResult published = operations.publish(publisherFor(job), output, progress, stop);
        if (onPublished) onPublished(published);
        report(progress, 0, 0, updatingHomeText);
        const bool homeUpdated = refreshHomePage(job, published, operations, stop);
        result.status = publishedSentence(published, homeUpdated);
        if (isOpenableAddress(published.url)) result.browserTarget = published.url;
        result.published = published;
        break;
    }
    }
    return result;
}

BuildOutcome outcomeOfFailure(std::exception_ptr failure) {
    BuildOutcome outcome;
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const Cancelled&) {
        outcome.ending = BuildOutcome::Ending::stopped;
        outcome.status = "Stopped.";
    } catch (const std::exception& error) {
        outcome.ending = BuildOutcome::Ending::failed;
        outcome.status = "Something went wrong.";
        outcome.alert = error.what();
    } catch (...) {
        outcome.ending = BuildOutcome::Ending::failed;
        outcome.status = "Something went wrong.";
    }
    return outcome;
}

BuildOutcome runBuildTask(const BuildJob& job, const Progress& progress, const StopToken& stop,
                          const PublishedHandler& onPublished, const BuildOperations& operations) {
    try {
        BuildOutcome outcome;
        outcome.result = runBuildJob(job, progress, stop, onPublished, operations);
        outcome.status = outcome.result->status;
        return outcome;
    } catch (...) {
        return outcomeOfFailure(std::current_exception());
    }
}

}  // namespace lf::app
