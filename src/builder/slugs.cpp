#include "builder/slugs.hpp"

#include <set>

#include "platform/text.hpp"

namespace lf::builder {

namespace {

bool isASCIILetterOrDigit(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string slugify(std::string_view name) {
    const std::string folded = text::latinFolded(name);
    std::string slug;
    bool previousWasSeparator = false;
    // Every byte of a non-ASCII scalar is a separator like the scalar itself; since a run of
    // separators gives a single "-", walking bytes gives the same result as walking scalars.
    for (unsigned char c : folded) {
        if (isASCIILetterOrDigit(c)) {
            slug.push_back(static_cast<char>(c));
            previousWasSeparator = false;
        } else {
            if (!slug.empty() && !previousWasSeparator) slug.push_back('-');
            previousWasSeparator = true;
        }
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    slug = text::lowerASCII(slug);
    return slug.empty() ? "item" : slug;
}

void assignSlugs(std::vector<model::Item>& items) {
    std::set<std::string> used;
    for (model::Item& item : items) {
        const std::string base = slugify(item.url.filename().stem().string());
        std::string slug = base;
        for (int suffix = 2; used.count(slug) != 0; ++suffix) slug = base + "-" + std::to_string(suffix);
        used.insert(slug);
        item.slug = slug;
    }
}

}  // namespace lf::builder
