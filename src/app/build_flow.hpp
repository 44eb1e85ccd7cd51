#pragma once
// The build-and-publish flow: one user command (Build Gallery, Build and Upload by FTP, Build and
// Publish to Cloudflare) checks its inputs, stores the credentials, builds the site into the output
// folder and then uploads or publishes it, ending with one status sentence. The main window's
// ProjectStore and `lanternfold publish` both go through these functions, so the checks, their
// order, the messages and what is stored are the same wherever the command is given.
//
// The steps, as a caller strings them together:
//   1. checkAndStoreCredentials: the first failing check's alert text, or, when every check
//      passes, the site name written into the project and the credentials stored;
//   2. saveBeforeBuild: the project file saved; a failure is reported but does not stop the build;
//   3. captureBuildJob: the values the background work gets (for a locked site the lock, which
//      makes the site key on first use);
//   4. runBuildTask, off the main thread: build, then upload or publish; it ends with the status
//      sentence and, after a failure, the alert text.
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "model/gallery_settings.hpp"
#include "model/project.hpp"
#include "platform/long_work.hpp"
#include "publish/cloudflare/cloudflare_publisher.hpp"
#include "publish/cloudflare/site_lock.hpp"

namespace lf::app {

// Where a build goes after the site is written.
enum class Destination {
    none,        // "Build Gallery"
    ftp,         // "Build and Upload by FTP"
    cloudflare,  // "Build and Publish to Cloudflare"
};

// The secrets the person typed in the Publish tab (or the command line found), untouched.
struct TypedSecrets {
    std::string ftpPassword;      // the FTP password of the project's host and user
    std::string cloudflareToken;  // as pasted, possibly with white space or a line break around it
    std::string galleryPassword;  // the password that locks the published gallery
    // A locked site's key given from outside (LANTERNFOLD_SITE_KEY, its Base64 text), for unattended
    // use without a readable keyring; empty to take the key from the store.
    std::string siteKey;
};

// Where the flow keeps what a passed check hands over, and where a locked site's key comes from.
// The program uses the system keyring (KeychainSecretStore); tests use a map.
class SecretStore {
public:
    virtual ~SecretStore() = default;
    virtual void storeFTPPassword(const std::string& password, const std::string& host, const std::string& user) = 0;
    virtual void storeCloudflareToken(const std::string& token) = 0;
    virtual void storeGalleryPassword(const std::string& password, const std::string& siteName) = 0;
    // The site's key, made and stored on first use. May throw lf::Error (no secure random bytes, or
    // a keyring that cannot be read: an existing key is never replaced unseen).
    virtual std::string siteKey(const std::string& siteName) = 0;
    // Keeps a key given from outside as the site's key, as the other typed secrets are kept. A
    // store that keeps nothing between commands may ignore it.
    virtual void storeSiteKey(const std::string& /*key*/, const std::string& /*siteName*/) {}
};

// SecretStore over the system keyring (Keychain).
class KeychainSecretStore : public SecretStore {
public:
    void storeFTPPassword(const std::string& password, const std::string& host, const std::string& user) override;
    void storeCloudflareToken(const std::string& token) override;
    void storeGalleryPassword(const std::string& password, const std::string& siteName) override;
    std::string siteKey(const std::string& siteName) override;
    void storeSiteKey(const std::string& key, const std::string& siteName) override;
};

// The alert texts of the checks, in the order the checks run.
namespace alerts {
inline constexpr const char* ftpLocked =
    "Password protection works only when you publish to Cloudflare. To upload by FTP, turn off “Require a "
    "password” first. The gallery would be open to everyone.";
inline constexpr const char* ftpServer = "Fill in your FTP server and user name in the Publish tab first.";
inline constexpr const char* ftpPassword = "Type your FTP password in the Publish tab first.";
// The publisher refuses the same three inputs with the same sentences.
inline constexpr const char* cloudflareToken = publish::cloudflare::checkTexts::noToken;
inline constexpr const char* siteName = publish::cloudflare::checkTexts::badSiteName;
inline constexpr const char* galleryPassword = publish::cloudflare::checkTexts::noGalleryPassword;
}  // namespace alerts

// The site name a Cloudflare publish uses: cfSiteName when it is not empty, otherwise the name
// suggested from the title. The window shows "" while no project is open.
std::string effectiveSiteName(const model::GallerySettings& settings);

// Runs the checks of the destination in their fixed order and returns the first failure's alert
// text; then nothing has changed. When every check passes: for Cloudflare, the effective site name
// is written into the project's cfSiteName, the trimmed token is stored, and for a locked gallery
// its password is stored for that name; for FTP, the password is stored for the host and user as
// they stand in the settings. Destination::none has no checks.
std::optional<std::string> checkAndStoreCredentials(Destination destination, model::Project& project,
                                                    const TypedSecrets& secrets, SecretStore& store);

// Writes the project file before a build. Returns the alert text of a failed save
// ("Couldn’t save settings in the pictures folder: …"); the build goes on regardless.
std::optional<std::string> saveBeforeBuild(const model::Project& project);

// The values a build works on, captured when the command is given: later edits in the window never
// reach a running build.
struct BuildJob {
    Destination destination = Destination::none;
    model::Project project;             // with the site name written in, as saved before the build
    std::string cloudflareToken;        // trimmed of white space and line breaks
    std::string ftpPassword;            // as typed
    std::optional<publish::cloudflare::SiteLock> lock;  // a locked Cloudflare build only
};

// Captures the job after the checks passed. For a locked Cloudflare build the site key is the typed
// one (checked to be the Base64 text of 32 bytes, then stored) or else the store's, made on first
// use; lf::Error from there passes through and ends the command like a failed publish.
BuildJob captureBuildJob(Destination destination, const model::Project& project, const TypedSecrets& secrets,
                         SecretStore& store);

// The publisher of a Cloudflare build: the trimmed token, the stored account ID (empty lets the
// publisher find the account), the site name, the zone cleaned from cfDomain and the host name
// siteName.zone when there is a zone, and the lock.
publish::cloudflare::CloudflarePublisher publisherFor(const BuildJob& job);

// The slow steps of a build. Standard ones for the program; tests put in their own.
struct BuildOperations {
    // Builds the site; returns the path of its index.html.
    std::function<std::filesystem::path(const model::Project& project, const std::optional<std::string>& homeURL,
                                        const Progress& progress, const StopToken& stop)>
        build;
    // Uploads the folder by FTP; returns the number of files sent.
    std::function<int(const std::filesystem::path& folder, const model::GallerySettings& settings,
                      const std::string& password, const Progress& progress, const StopToken& stop)>
        upload;
    // Publishes the folder to Cloudflare.
    std::function<publish::cloudflare::PublishResult(const publish::cloudflare::CloudflarePublisher& publisher,
                                                     const std::filesystem::path& folder, const Progress& progress,
                                                     const StopToken& stop)>
        publish;

    // The address of the account's home page, so the gallery pages can link back to it; nothing
    // when there is none. A failure counts as none. Left empty, a build never looks.
    std::function<std::optional<std::string>(const std::string& token, const std::string& accountID,
                                             const StopToken& stop)>
        homeAddress;
    // Republishes the account's existing home page after a gallery was published into accountID;
    // its address, or nothing when there is none (no home page is created). A failure counts as
    // none. Left empty, a publish never refreshes a home page.
    std::function<std::optional<std::string>(const std::string& token, const std::string& accountID,
                                             const StopToken& stop)>
        refreshHome;

    // GalleryBuilder::build making `workers` items at once (0: one per core), uploadFolder,
    // CloudflarePublisher::publish, and the home page service's look-up and the shared home page
    // model's refresh (with the home page's own domain setting).
    static BuildOperations standard(int workers = 0);
};

// What a build that went through produced.
struct BuildResult {
    std::string status;                 // the final sentence
    std::filesystem::path indexPage;    // the built index.html
    std::optional<publish::cloudflare::PublishResult> published;  // Cloudflare only
    // What "open in browser when done" shows: the local index page for a build or an FTP upload,
    // the published address for Cloudflare (empty when it is not a usable https address).
    std::string browserTarget;
};

// Called right after a Cloudflare publish succeeded, before the final sentence, with the publish's
// result; the caller records the account ID and address in its open project.
using PublishedHandler = std::function<void(const publish::cloudflare::PublishResult& result)>;

// Sets cfAccountID and cfLastURL from a publish and saves the project file quietly (a failed save
// is ignored: the gallery is online either way, and the next build saves again).
void recordPublication(model::Project& project, const publish::cloudflare::PublishResult& result);

// The final sentence of a Cloudflare publish; homeUpdated adds that the home page was refreshed.
std::string publishedSentence(const publish::cloudflare::PublishResult& result, bool homeUpdated = false);

// The first progress text of every command, reported before its first step.
inline constexpr const char* startingText = "Starting…";
// The progress texts of a Cloudflare build's two home page steps, before the build and after the
// publish.
inline constexpr const char* checkingHomeText = "Checking for a home page…";
inline constexpr const char* updatingHomeText = "Updating the home page…";

// The background work of one command: "Starting…", the build, then the upload or the publish. A
// Cloudflare build first looks for the account's home page (the pages then link to it) and after
// the publish refreshes it; neither step ever makes the command fail.
// Progress is reported through progress from the calling thread; stop is checked by each step at its
// cancellation points. Throws lf::Cancelled when stopped and the step's own error otherwise; after a
// failed publish, onPublished is not called.
BuildResult runBuildJob(const BuildJob& job, const Progress& progress, const StopToken& stop,
                        const PublishedHandler& onPublished,
                        const BuildOperations& operations = BuildOperations::standard());

// How a command ended, as the status line and the alert show it.
struct BuildOutcome {
    enum class Ending { finished, stopped, failed };
    Ending ending = Ending::finished;
    std::string status;                  // the result sentence, "Stopped." or "Something went wrong."
    std::optional<std::string> alert;    // the error's own text after a failure
    std::optional<BuildResult> result;   // when finished
};

// The outcome of a failure thrown by a build task: "Stopped." without an alert for lf::Cancelled,
// "Something went wrong." with the error's text otherwise.
BuildOutcome outcomeOfFailure(std::exception_ptr failure);

// runBuildJob with its end turned into the outcome; never throws.
BuildOutcome runBuildTask(const BuildJob& job, const Progress& progress, const StopToken& stop,
                          const PublishedHandler& onPublished,
                          const BuildOperations& operations = BuildOperations::standard());

}  // namespace lf::app
