#include "publish/cloudflare/site_names.hpp"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "platform/text.hpp"

namespace lf::publish::cloudflare {

namespace {

bool isAsciiAlphanumeric(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The slug rule the gallery builder uses for item names: transliterated and folded, ASCII
// letters and digits kept, every run of anything else turned into one dash, no dash at either
// end, lower case, "item" when nothing is left. A non-ASCII byte is always part of a separator
// run, so walking bytes gives the same result as walking Unicode scalars.
std::string slug(std::string_view text) {
    const std::string folded = lf::text::latinFolded(text);
    std::string result;
    bool previousWasSeparator = false;
    for (unsigned char c : folded) {
        if (isAsciiAlphanumeric(c)) {
            result += static_cast<char>(c);
            previousWasSeparator = false;
        } else {
            if (!result.empty() && !previousWasSeparator) result += '-';
            previousWasSeparator = true;
        }
    }
    while (!result.empty() && result.back() == '-') result.pop_back();
    result = lf::text::lowerASCII(result);
    return result.empty() ? "item" : result;
}

std::string unicodeLowerCased(const std::string& text) {
    std::string out;
    icu::UnicodeString::fromUTF8(text).toLower(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

}  // namespace

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
    std::string name = slug(title);
    if (name.size() >= 64) name.resize(63);
    while (!name.empty() && name.back() == '-') name.pop_back();
    return name == "item" ? "my-gallery" : name;
}

std::string normalizedDomain(std::string_view typed) {
    std::string host = unicodeLowerCased(lf::text::trimmed(typed));
    if (host.starts_with("https://")) host.erase(0, 8);
    if (host.starts_with("http://")) host.erase(0, 7);
    if (const auto slash = host.find('/'); slash != std::string::npos) host.resize(slash);
    if (host.starts_with("www.")) host.erase(0, 4);
    return host;
}

}  // namespace lf::publish::cloudflare
