#include "publish/cloudflare/site_names.hpp"

#include "builder/slugs.hpp"
#include "platform/text.hpp"

namespace lf::publish::cloudflare {

bool isValidSiteName(std::string_view name) {
    if (name.empty() || name.size() > 63) return false;
    if (name.front() == '-' || name.back() == '-') return false;
    for (unsigned char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (!allowed) return false;
    }
    return true;
}

std::string suggestedSiteName(std::string_view title) {
    // A site name is made by the same rule as the URL names of a gallery's items.
    std::string name = lf::builder::slugify(title);
    if (name.size() >= 64) name.resize(63);
    while (!name.empty() && name.back() == '-') name.pop_back();
    return name == "item" ? "my-gallery" : name;
}

std::string normalizedDomain(std::string_view typed) {
    std::string host = lf::text::lowerCased(lf::text::trimmed(typed));
    if (host.starts_with("https://")) host.erase(0, 8);
    if (host.starts_with("http://")) host.erase(0, 7);
    if (const auto slash = host.find('/'); slash != std::string::npos) host.resize(slash);
    if (host.starts_with("www.")) host.erase(0, 4);
    return host;
}

}  // namespace lf::publish::cloudflare
