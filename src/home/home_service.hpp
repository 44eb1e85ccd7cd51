#pragma once
// Publishing the home page and finding it again: the built home page goes to the account as the
// Worker "lanternfold-home", and a gallery build asks where that home page is (so its pages can link
// back) and refreshes it after a gallery publish. Plain synchronous functions; callers run them off
// the main thread.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "home/gallery_discovery.hpp"
#include "home/home_settings.hpp"
#include "platform/long_work.hpp"

namespace lf::home {

// The folder previews and publishes build the home page in: $XDG_CACHE_HOME (or ~/.cache) +
// "Lanternfold Home Page". It is rebuilt from scratch each time.
std::filesystem::path homeWorkFolder();

// Builds the home page of the shown galleries into folder (with the settings' gallery order brought
// up to date by refsFor), checks the address label and publishes the folder as "lanternfold-home",
// attached to homeHost when a domain is given. Returns the published address. Throws
// CloudflareError::badHomeName for an unusable label (after the local build, before any upload), the
// file errors of buildSite and everything CloudflarePublisher::publish throws.
std::string publishHome(const HomeSettings& settings, const std::vector<RemoteGallery>& galleries,
                        const std::string& accountID, const std::string& token, const std::string& domain,
                        const std::filesystem::path& folder, const StopToken& stop = {},
                        const Progress& progress = {});

// The home page settings a published manifest carries: its texts, look, language and gallery order,
// its address label ("galleries" when it has none); every other field empty.
HomeSettings settingsFromManifest(const HomeManifest& manifest);

// Republishes the account's home page when there is one, from its published manifest and the
// galleries found now, so a gallery just published appears on it. Gives the address, or nothing
// when there is no home page or anything fails: a gallery publish never fails because of the home
// page, and no home page is created here. A stop request ends the refresh early, also with nothing:
// by then the gallery is online, and that is what the person should hear. Never throws.
std::optional<std::string> updateIfPresent(const std::string& token, const std::string& accountID,
                                           const std::string& domain, const std::filesystem::path& folder,
                                           const StopToken& stop = {});

// The public address of the account's home page, when the "lanternfold-home" script exists and its
// manifest can be fetched; nothing otherwise (every failure, and a stop request, included: the
// caller's next step notices the stop itself). Never throws.
std::optional<std::string> homeAddress(const std::string& token, const std::string& accountID,
                                       const StopToken& stop = {});

}  // namespace lf::home
