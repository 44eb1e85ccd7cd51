#include "home/home_preferences.hpp"

#include <memory>

#include <QSettings>
#include <QString>

namespace lf::home {

namespace {

std::unique_ptr<QSettings> open(const std::optional<std::filesystem::path>& iniFile) {
    if (iniFile) return std::make_unique<QSettings>(QString::fromStdString(iniFile->string()), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Lanternfold", "Lanternfold");
}

}  // namespace

HomeSettings HomePreferences::read() const {
    const QVariant stored = open(iniFile_)->value(homeSettingsKey);
    if (!stored.isValid()) return HomeSettings{};
    return HomeSettings::decode(stored.toString().toStdString());
}

void HomePreferences::write(const HomeSettings& settings) const {
    auto preferences = open(iniFile_);
    preferences->setValue(homeSettingsKey, QString::fromStdString(settings.encoded()));
    preferences->sync();
}

}  // namespace lf::home
