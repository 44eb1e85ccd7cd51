#pragma once
// Text services over ICU and small string helpers: the file-browser order of names, transliteration
// and folding for URL names, long dates by locale, and trimming.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace lf::text {

// The order a file browser uses for names in the user's locale: case-insensitive, digit runs
// compared by value (IMG_2 before IMG_10). Returns <0, 0 or >0. Safe to call from any thread.
int naturalCompare(std::string_view a, std::string_view b);

// Transliterates to Latin script and folds case, diacritics and width ("Éte ＡＢ" → "ete ab").
// Text that cannot be transliterated is returned folded only.
std::string latinFolded(std::string_view text);

// The date in the CLDR long date style of the locale (e.g. "en_US" → "December 5, 2026",
// "de_DE" → "5. Dezember 2026"), without a time, in the local time zone.
std::string longDateInLocale(std::chrono::system_clock::time_point date, const std::string& locale);

// Whether bytes are well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or
// values above U+10FFFF. The one check the whole program uses for text from outside.
bool isValidUTF8(std::string_view bytes);

// Removes spaces, tabs, line breaks and other Unicode white space at both ends.
std::string trimmed(std::string_view text);

// Removes only spaces and tabs at both ends (line breaks stay).
std::string trimmedSpacesAndTabs(std::string_view text);

// ASCII upper case of each letter; other bytes unchanged.
std::string upperASCII(std::string_view text);

// ASCII lower case of each letter; other bytes unchanged.
std::string lowerASCII(std::string_view text);

// Lower case by Unicode's rules (root locale), so "MÜNCHEN.de" and "münchen.de" compare alike.
std::string lowerCased(std::string_view text);

// The number of Unicode characters (code points) in UTF-8 text.
std::size_t characterCount(std::string_view text);

// Whether an internet date-time carries fractional seconds ("2025-03-01T10:20:30.123Z") or not
// ("2025-03-01T10:20:30Z").
enum class FractionalSeconds { required, absent };

// Parses an ISO 8601 internet date-time (RFC 3339) of exactly the given form: date, "T", time with
// seconds, then "Z" or an offset such as "+02:00". Nothing when the text is anything else or names
// no real moment (a 30th of February, an hour 24).
std::optional<std::chrono::system_clock::time_point> internetDateTime(std::string_view text,
                                                                      FractionalSeconds fraction);

}  // namespace lf::text
