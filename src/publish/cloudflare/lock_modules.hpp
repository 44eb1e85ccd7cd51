#pragma once
// What a password-protected site adds to its Worker upload. The publisher asks for these only
// after the site's files have been sent, so that a missing password program or an empty password
// is reported at that point; the provider throws CloudflareError::missingLockProgram or
// CloudflareError::noGalleryPassword itself.
#include <functional>
#include <string>

namespace lf::publish::cloudflare {

struct LockModules {
    std::string workerJs;      // the password program, uploaded unchanged as "lanternfold.js"
    std::string lockConfigJs;  // the text of "lock-config.js"
    std::string secret;        // the site key, bound as the secret LF_SECRET
};

// Builds the lock modules of a locked site. An empty provider means an open site.
using LockModulesProvider = std::function<LockModules()>;

}  // namespace lf::publish::cloudflare
