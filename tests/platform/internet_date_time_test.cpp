// Internet date-times as the Cloudflare API writes them, with and without fractional seconds.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/text.hpp"

using lf::text::FractionalSeconds;
using lf::text::internetDateTime;
using namespace std::chrono;

namespace {

system_clock::time_point at(int y, unsigned m, unsigned d, int h, int min, int s, microseconds extra = {}) {
    return time_point_cast<system_clock::duration>(sys_days{year{y} / m / d} + hours(h) + minutes(min) + seconds(s) + extra);
}

}  // namespace

TEST(InternetDateTime, ReadsExactlyTheFormAskedFor) {
    struct Case {
        const char* text;
        FractionalSeconds form;
        std::optional<system_clock::time_point> expected;
    };
    const Case cases[] = {
        {"2025-03-01T10:20:30.123Z", FractionalSeconds::required, at(2025, 3, 1, 10, 20, 30, milliseconds(123))},
        {"2025-03-01T10:20:30.123456Z", FractionalSeconds::required, at(2025, 3, 1, 10, 20, 30, microseconds(123456))},
        {"2025-03-01T10:20:30Z", FractionalSeconds::required, std::nullopt},
        {"2024-01-02T03:04:05Z", FractionalSeconds::absent, at(2024, 1, 2, 3, 4, 5)},
        {"2024-01-02T03:04:05.5Z", FractionalSeconds::absent, std::nullopt},
        {"2024-01-02T05:34:05+02:30", FractionalSeconds::absent, at(2024, 1, 2, 3, 4, 5)},
        {"2024-01-01T23:04:05-04:00", FractionalSeconds::absent, at(2024, 1, 2, 3, 4, 5)},
        {"2024-02-29T00:00:00Z", FractionalSeconds::absent, at(2024, 2, 29, 0, 0, 0)},
        {"2023-02-29T00:00:00Z", FractionalSeconds::absent, std::nullopt},
        {"2024-01-02T24:00:00Z", FractionalSeconds::absent, std::nullopt},
        {"2024-01-02 03:04:05Z", FractionalSeconds::absent, std::nullopt},
        {"2024-01-02T03:04:05", FractionalSeconds::absent, std::nullopt},
        {"2024-01-02T03:04:05Zjunk", FractionalSeconds::absent, std::nullopt},
        {"2024-01-02T03:04:05.Z", FractionalSeconds::required, std::nullopt},
        {"", FractionalSeconds::absent, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(internetDateTime(c.text, c.form), c.expected);
    }
}
