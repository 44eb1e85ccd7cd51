#pragma once
// The name rules shared by the publisher, the settings pane and the controller: which Worker
// names are usable, a name suggested from a gallery title, and a domain as the user meant it.
#include <string>
#include <string_view>

namespace lf::publish::cloudflare {

// 1 to 63 characters of a-z, 0-9 and "-", neither first nor last a dash.
bool isValidSiteName(std::string_view name);

// A valid site name made from a gallery title: its slug cut to 63 characters without trailing
// dashes, or "my-gallery" when the title gives nothing usable.
std::string suggestedSiteName(std::string_view title);

// The host of a domain typed by the user: trimmed, lower-cased, without "https://", "http://",
// a path or a leading "www.". Nothing else is checked.
std::string normalizedDomain(std::string_view typed);

}  // namespace lf::publish::cloudflare
