#include "platform/text.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>

#include <unicode/coll.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace lf::text {

namespace {

// One collator per thread: ICU collators are not safe to share between threads while comparing.
icu::Collator* fileNameCollator() {
    thread_local std::unique_ptr<icu::Collator> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The C/POSIX locale (a machine without LANG) has a byte-order tailoring that sorts capitals
        // apart from small letters; a file browser there uses the root order instead.
        icu::Locale locale = icu::Locale::getDefault();
        if (std::string(locale.getVariant()) == "POSIX" || std::string(locale.getLanguage()) == "c") {
            locale = icu::Locale::getRoot();
        }
        std::unique_ptr<icu::Collator> made(icu::Collator::createInstance(locale, status));
        if (U_FAILURE(status) || !made) {
            status = U_ZERO_ERROR;
            made.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
        }
        if (made) {
            // Secondary strength ignores case but keeps accents apart; numeric ordering compares
            // digit runs by value.
            made->setStrength(icu::Collator::SECONDARY);
            made->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        }
        return made;
    }();
    return collator.get();
}

icu::Transliterator* latinFolder() {
    thread_local std::unique_ptr<icu::Transliterator> transliterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
            "Any-Latin; Latin-ASCII; NFD; [:Nonspacing Mark:] Remove; NFC; Fullwidth-Halfwidth; Lower",
            UTRANS_FORWARD, status));
        if (U_FAILURE(status)) made.reset();
        return made;
    }();
    return transliterator.get();
}

bool isTrimmable(UChar32 c) { return u_isUWhiteSpace(c) || c == 0x85 || c == 0x2028 || c == 0x2029; }

}  // namespace

int naturalCompare(std::string_view a, std::string_view b) {
    icu::Collator* collator = fileNameCollator();
    if (!collator) return a.compare(b);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = collator->compareUTF8(
        icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
        icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    if (U_FAILURE(status)) return a.compare(b);
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

std::string latinFolded(std::string_view text) {
    icu::UnicodeString value = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    if (icu::Transliterator* folder = latinFolder()) {
        folder->transliterate(value);
    } else {
        value.foldCase();
    }
    std::string out;
    value.toUTF8String(out);
    return out;
}

std::string longDateInLocale(std::chrono::system_clock::time_point date, const std::string& locale) {
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateInstance(icu::DateFormat::kLong, icu::Locale(locale.c_str())));
    if (!format) return {};
    const double millis = static_cast<double>(
        std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count());
    icu::UnicodeString formatted;
    format->format(millis, formatted);
    std::string out;
    formatted.toUTF8String(out);
    return out;
}

bool isValidUTF8(std::string_view bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    // ICU's indexes are 32-bit; longer text is checked piece by piece at character boundaries.
    size_t offset = 0;
    while (offset < bytes.size()) {
        const int32_t length = static_cast<int32_t>(std::min<size_t>(bytes.size() - offset, INT32_MAX));
        int32_t index = 0;
        const uint8_t* piece = data + offset;
        while (index < length) {
            // A character cut at the end of a piece is read again whole at the start of the next one.
            if (length < static_cast<int32_t>(bytes.size() - offset) && length - index < 4) break;
            UChar32 c;
            U8_NEXT(piece, index, length, c);
            if (c < 0) return false;
        }
        offset += static_cast<size_t>(index);
    }
    return true;
}

std::string trimmed(std::string_view text) {
    icu::UnicodeString value = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    int32_t start = 0;
    int32_t end = value.length();
    while (start < end && isTrimmable(value.char32At(start))) start = value.moveIndex32(start, 1);
    while (end > start) {
        const int32_t previous = value.moveIndex32(end, -1);
        if (!isTrimmable(value.char32At(previous))) break;
        end = previous;
    }
    std::string out;
    value.tempSubStringBetween(start, end).toUTF8String(out);
    return out;
}

std::string trimmedSpacesAndTabs(std::string_view text) {
    size_t start = 0;
    size_t end = text.size();
    while (start < end && (text[start] == ' ' || text[start] == '\t')) ++start;
    while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return std::string(text.substr(start, end - start));
}

std::string upperASCII(std::string_view text) {
    std::string out(text);
    for (char& c : out) if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string lowerCased(std::string_view text) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

std::string lowerASCII(std::string_view text) {
    std::string out(text);
    for (char& c : out) if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    // Every character starts with a byte that is not a continuation byte (10xxxxxx).
    for (unsigned char c : text) count += (c & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

namespace {

// Reads exactly count ASCII digits at position, moving past them.
std::optional<int> digits(std::string_view text, std::size_t& position, std::size_t count) {
    if (position + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[position + i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    position += count;
    return value;
}

bool literal(std::string_view text, std::size_t& position, char wanted) {
    if (position >= text.size() || text[position] != wanted) return false;
    ++position;
    return true;
}

}  // namespace

std::optional<std::chrono::system_clock::time_point> internetDateTime(std::string_view text,
                                                                      FractionalSeconds fraction) {
    using namespace std::chrono;
    std::size_t at = 0;
    const auto year = digits(text, at, 4);
    if (!year || !literal(text, at, '-')) return std::nullopt;
    const auto month = digits(text, at, 2);
    if (!month || !literal(text, at, '-')) return std::nullopt;
    const auto day = digits(text, at, 2);
    if (!day || !literal(text, at, 'T')) return std::nullopt;
    const auto hour = digits(text, at, 2);
    if (!hour || !literal(text, at, ':')) return std::nullopt;
    const auto minute = digits(text, at, 2);
    if (!minute || !literal(text, at, ':')) return std::nullopt;
    const auto second = digits(text, at, 2);
    if (!second) return std::nullopt;

    nanoseconds fractionPart{0};
    if (fraction == FractionalSeconds::required) {
        if (!literal(text, at, '.')) return std::nullopt;
        const std::size_t first = at;
        int64_t scale = 100'000'000;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            fractionPart += nanoseconds((text[at] - '0') * scale);
            scale /= 10;
            ++at;
        }
        if (at == first) return std::nullopt;
    }

    minutes offset{0};
    if (literal(text, at, 'Z')) {
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int sign = text[at] == '-' ? -1 : 1;
        ++at;
        const auto offsetHours = digits(text, at, 2);
        if (!offsetHours || !literal(text, at, ':')) return std::nullopt;
        const auto offsetMinutes = digits(text, at, 2);
        if (!offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) return std::nullopt;
        offset = minutes(sign * (*offsetHours * 60 + *offsetMinutes));
    } else {
        return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;

    const year_month_day date{std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                              std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    const sys_time<nanoseconds> moment = sys_days(date) + hours(*hour) + minutes(*minute) + seconds(*second) +
                                         fractionPart - offset;
    return time_point_cast<system_clock::duration>(moment);
}

}  // namespace lf::text
