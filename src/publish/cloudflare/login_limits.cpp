#include "publish/cloudflare/login_limits.hpp"

#include "platform/crypto.hpp"

namespace lf::publish::cloudflare {

// A Rate Limiting namespace is an account-wide counter space named by a positive integer of the
// account owner's choosing; Cloudflare does not hand them out. Lanternfold keeps no record of the
// numbers it used, so each one is computed from what a publish always knows: the first 31 bits
// of SHA-256("lanternfold-login-limit:" + role + ":" + site name), plus one when that is 0. The
// same site therefore gets the same namespaces at every publish, from any computer, and different
// sites (and the two limits of one site) get different ones except by a chance of about one in
// two billion per pair. Should two ever meet, nothing is shared in practice: the password program
// keys its counts by the site's own salt (and the visitor's address), so counts of different
// sites, or of another Worker using the same number, stay apart within one namespace.
int64_t loginLimitNamespace(const std::string& siteName, const LoginLimit& limit) {
    const crypto::Bytes digest =
        crypto::sha256("lanternfold-login-limit:" + std::string(limit.role) + ":" + siteName);
    const uint32_t bits = (uint32_t{digest[0]} << 24 | uint32_t{digest[1]} << 16 | uint32_t{digest[2]} << 8 |
                           uint32_t{digest[3]}) &
                          0x7fffffffu;
    return bits == 0 ? 1 : int64_t{bits};
}

void addLoginLimitsToMetadata(nlohmann::ordered_json& metadata, const std::string& siteName) {
    for (const LoginLimit& limit : {VISITOR_LOGIN_LIMIT, SITE_LOGIN_LIMIT}) {
        nlohmann::ordered_json simple;
        simple["limit"] = limit.limit;
        simple["period"] = limit.period;
        nlohmann::ordered_json binding;
        binding["type"] = "ratelimit";
        binding["name"] = std::string(limit.binding);
        // Written as a string of digits, as Cloudflare's own tools send it.
        binding["namespace_id"] = std::to_string(loginLimitNamespace(siteName, limit));
        binding["simple"] = std::move(simple);
        metadata["bindings"].push_back(std::move(binding));
    }
}

}  // namespace lf::publish::cloudflare
