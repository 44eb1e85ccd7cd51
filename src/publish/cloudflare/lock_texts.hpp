#pragma once
// The texts of a locked gallery's login page in the five page languages.
#include <string>
#include <string_view>

namespace lf::publish::cloudflare {

// The login-page texts of one language. The first four go into lock-config.js for the password
// program; heading is the mark the home page shows beside a locked gallery.
struct LockTexts {
    std::string prompt;
    std::string wrong;
    std::string button;
    std::string password;
    std::string heading;

    bool operator==(const LockTexts&) const = default;
};

// The texts of a page language code ("fr", "de", "it", "nl"), compared exactly; any other code,
// including "en", the empty text and codes in another case such as "FR", gives English.
LockTexts lockTexts(std::string_view language);

}  // namespace lf::publish::cloudflare
