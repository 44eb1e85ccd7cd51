#include "home/home_address.hpp"

#include "platform/text.hpp"
#include "publish/cloudflare/site_names.hpp"

namespace lf::home {

namespace cf = lf::publish::cloudflare;

std::string homeLabel(std::string_view homeName, std::string_view domain) {
    // Lower case by Unicode's rules, as the domain is normalized, so the two compare alike.
    std::string name = text::lowerCased(text::trimmed(homeName));
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
