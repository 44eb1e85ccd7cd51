#pragma once
// Where the home page settings are kept between runs: the user preferences (QSettings in INI format,
// organization and application "Lanternfold", so $XDG_CONFIG_HOME/Lanternfold/Lanternfold.conf),
// under the key "HomePage", as one compact JSON text.
#include <filesystem>
#include <optional>

#include "home/home_settings.hpp"

namespace lf::home {

class HomePreferences {
public:
    // The user preferences.
    HomePreferences() = default;
    // An INI file of its own, for tests.
    explicit HomePreferences(std::filesystem::path iniFile) : iniFile_(std::move(iniFile)) {}

    // The stored settings; all defaults when the entry is missing or cannot be decoded.
    HomeSettings read() const;

    // Stores the settings' compact JSON text.
    void write(const HomeSettings& settings) const;

private:
    std::optional<std::filesystem::path> iniFile_;
};

}  // namespace lf::home
