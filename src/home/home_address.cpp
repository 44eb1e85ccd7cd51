#include "home/home_address.hpp"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "platform/text.hpp"
#include "publish/cloudflare/site_names.hpp"

namespace lf::home {

namespace cf = lf::publish::cloudflare;

namespace {

// Lower case by Unicode's rules, as the domain is normalized, so the two compare alike.
std::string unicodeLowerCased(const std::string& text) {
    std::string out;
    icu::UnicodeString::fromUTF8(text).toLower(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

}  // namespace

std::string homeLabel(std::string_view homeName, std::string_view domain) {
    std::string name = unicodeLowerCased(text::trimmed(homeName));
    const std::string host = cf::normalizedDomain(domain);
    if (name == host) return {};
    if (!host.empty()) {
        const std::string suffix = "." + host;
        if (name.size() >= suffix.size() && name.ends_with(suffix)) name.resize(name.size() - suffix.size());
    }
    return name;
}

std::string homeHost(std::string_view homeName, std::string_view domain) {
    const std::string host = cf::normalizedDomain(domain);
    if (host.empty()) return {};
    const std::string label = homeLabel(homeName, host);
    return label.empty() ? host : label + "." + host;
}

bool isValidHomeLabel(std::string_view label) { return label.empty() || cf::isValidSiteName(label); }

}  // namespace lf::home
