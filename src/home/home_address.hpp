#pragma once
// The home page's own address under the user's domain: the label typed in the window ("galleries"),
// the host it gives ("galleries.example.com"), and the rule a label must follow.
#include <string>
#include <string_view>

namespace lf::home {

// The label of the home page address: homeName trimmed and lower-cased, with a trailing "." + the
// normalized domain removed, so "Photos.Example.com " under "example.com" gives "photos". A name
// equal to the domain gives the empty label (the domain itself).
std::string homeLabel(std::string_view homeName, std::string_view domain);

// The host name the home page is attached to: empty when the normalized domain is empty (no custom
// address), the domain itself when the label is empty, else label + "." + domain.
std::string homeHost(std::string_view homeName, std::string_view domain);

// A non-empty label is usable as one part of a host name by the site-name rule: 1 to 63 characters
// of a-z, 0-9 and "-", neither first nor last a dash. The empty label is valid (the domain itself).
bool isValidHomeLabel(std::string_view label);

}  // namespace lf::home
