#pragma once
// The few fixed words of the generated pages in the five page languages, and dates in the long
// style of each language.
#include <chrono>
#include <initializer_list>
#include <string>
#include <string_view>

namespace lf::builder {

// The words of one page language. counter and itemsMany are formats whose "%d" are filled in order
// with fillNumbers.
struct PageTexts {
    std::string previous;      // label and title of the previous arrow
    std::string next;          // label and title of the next arrow
    std::string counter;       // "%d of %d": position from 1, then the item count
    std::string pagesLabel;    // aria-label of the pager
    std::string download;      // text of the download link
    std::string itemsMany;     // "%d items": count text when the count is not 1
    std::string itemsOne;      // "1 item": count text for exactly one item
    std::string madeWith;      // footer text before the build date
    std::string allGalleries;  // text of the link back to the home page
    std::string locale;        // ICU locale of dates, e.g. "en_US"

    bool operator==(const PageTexts&) const = default;
};

// The texts of "en", "fr", "de", "it" or "nl"; any other code (also "FR" or "") gets English.
const PageTexts& pageTexts(std::string_view language);

// The date in the long date style of the texts' locale, without a time, in the local time zone:
// "December 5, 2026", "5 décembre 2026", "5. Dezember 2026", "5 dicembre 2026", "5 december 2026".
std::string longDate(std::chrono::system_clock::time_point date, const PageTexts& texts);

// Replaces each "%d" of format, in order, by the next number in plain decimal without grouping.
// A "%d" without a number left stays as it is.
std::string fillNumbers(std::string_view format, std::initializer_list<long long> numbers);

}  // namespace lf::builder
