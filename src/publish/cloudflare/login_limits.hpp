#pragma once
// The login limits of a locked site: two Workers Rate Limiting bindings that the password program
// (resources/worker.js) asks before each password check, so that nobody can guess the gallery
// password at the speed of the network.
//
//   LF_VISITOR_LIMIT  10 checks a minute, keyed by the site and the visitor's address
//   LF_SITE_LIMIT     60 checks a minute, keyed by the site alone
//
// Ten a minute per visitor is far more than a person typing a half-remembered password needs (the
// family member who gets it wrong three times is never held back), yet it turns the ~70 guesses a
// second a single client manages into 600 an hour. The per-site limit of 60 caps what many
// addresses together can try (Cloudflare counts per location, so this is per location) while
// leaving room for a dozen people logging in at once after the link was shared. A throttled
// visitor waits for the current minute to pass; signed-in visitors are never affected.
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace lf::publish::cloudflare {

// One Rate Limiting binding of a locked site's Worker.
struct LoginLimit {
    std::string_view binding;  // the binding's name, as the password program reads it from env
    std::string_view role;     // what it counts ("visitor" or "site"); part of its namespace
    int limit;                 // password checks allowed per period
    int period;                // seconds; Cloudflare offers 10 or 60
};

inline constexpr LoginLimit VISITOR_LOGIN_LIMIT{"LF_VISITOR_LIMIT", "visitor", 10, 60};
inline constexpr LoginLimit SITE_LOGIN_LIMIT{"LF_SITE_LIMIT", "site", 60, 60};

// The namespace of one limit of one site: a positive integer below 2^31, the same at every
// publish of the site, derived from the site name (the Worker's name, unique in the account) and
// the limit's role. See login_limits.cpp for why collisions do no harm.
int64_t loginLimitNamespace(const std::string& siteName, const LoginLimit& limit);

// Appends both limits to a locked site's Worker metadata, after the bindings already there:
// {"type": "ratelimit", "name": binding, "namespace_id": "<digits>", "simple": {"limit", "period"}}.
void addLoginLimitsToMetadata(nlohmann::ordered_json& metadata, const std::string& siteName);

}  // namespace lf::publish::cloudflare
