#include "datetime.h"

#include <cmath>
#include <limits>
#include <optional>

namespace vex {

namespace {

// Tick counts of the oldest and newest dates exceed 64 bits (year 32767 is
// about 9.7e18 ticks after 1900), so the decoders count in 128 bits.
using wide_ticks = __int128;

constexpr double ticks_per_day_d = 8.64e11;
constexpr double milliseconds_per_day_d = 8.64e7;
constexpr int min_year = -32767;
constexpr int max_year = 32767;
// Far enough past both ends of the year range in either system, near enough for
// any tick count to fit wide_ticks.
constexpr double max_decodable_serial = 16777216.0;

constexpr unsigned month_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

constexpr bool is_leap(int64_t y) noexcept { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

template <typename Int>
constexpr Int floor_div(Int a, Int b) noexcept {
    Int q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Days since 1970-01-01 of a proleptic Gregorian date: years counted from March so
// the leap day ends the year, in eras of 400 years.
constexpr int64_t days_from_civil(int64_t y, unsigned m, unsigned d) noexcept {
    y -= m <= 2;
    const int64_t era = floor_div<int64_t>(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct civil_t {
    int64_t year;
    unsigned month;
    unsigned day;
};

constexpr civil_t civil_from_days(int64_t z) noexcept {
    z += 719468;
    const int64_t era = floor_div<int64_t>(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const auto day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2), month, day};
}

constexpr int64_t days_1900_to_1970 = 25567;
constexpr int64_t days_1904_to_1970 = 24107;
static_assert(days_from_civil(1900, 1, 1) == -days_1900_to_1970);
static_assert(days_from_civil(1904, 1, 1) == -days_1904_to_1970);
static_assert(civil_from_days(-days_1900_to_1970).year == 1900);

// t rounded to the nearest integer, ties to the even one; t must be finite and
// within the range of wide_ticks. floor(t) and t - floor(t) are exact in doubles.
wide_ticks round_half_even(double t) noexcept {
    const double f = std::floor(t);
    const double frac = t - f;
    wide_ticks n = static_cast<wide_ticks>(f);
    if (frac > 0.5 || (frac == 0.5 && (n & 1) != 0)) ++n;
    return n;
}

// Milliseconds as whole days and the non-negative rest, so they carry across midnight.
struct day_and_ms_t {
    int64_t day = 0;
    int64_t ms = 0;
};

day_and_ms_t split_milliseconds(int64_t total) noexcept {
    const int64_t day = floor_div(total, milliseconds_per_day);
    return {day, total - day * milliseconds_per_day};
}

// The serial rounded to the nearest tick, then to the nearest millisecond, the unit
// the decoders give, so that a decoded time is the one encoded and its date agrees.
// Nothing for NaN, infinities and serials too far out to hold a date of the year range.
std::optional<day_and_ms_t> split_serial(double serial) noexcept {
    if (!(std::fabs(serial) <= max_decodable_serial)) return std::nullopt;
    const wide_ticks ticks = round_half_even(serial * ticks_per_day_d);
    const auto ms = floor_div<wide_ticks>(ticks + ticks_per_millisecond / 2, ticks_per_millisecond);
    return split_milliseconds(static_cast<int64_t>(ms));
}

date_parts_t date_since_1970(int64_t days) noexcept {
    const civil_t c = civil_from_days(days);
    if (c.year < min_year || c.year > max_year) return {};
    return {static_cast<int>(c.year), c.month, c.day};
}

// Milliseconds since 1970-01-01 00:00:00 in 64 bits, so every year of the range fits.
int64_t milliseconds_since_1970(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                                unsigned second, int millisecond) noexcept {
    const int64_t minutes = (days_from_civil(year, month, day) * 24 + hour) * 60 + minute;
    return (minutes * 60 + second) * 1000 + millisecond;
}

bool valid_time(unsigned hour, unsigned minute, unsigned second) noexcept {
    return hour <= 23 && minute <= 59 && second <= 59;
}

int64_t milliseconds_of_day(unsigned hour, unsigned minute, unsigned second, int millisecond) noexcept {
    return ((int64_t{hour} * 60 + minute) * 60 + second) * 1000 + millisecond;
}

} // namespace

datetime_t serial_to_ticks(double serial) {
    datetime_t out;
    if (std::isnan(serial)) return out;
    constexpr auto lowest = std::numeric_limits<int64_t>::min();
    constexpr auto highest = std::numeric_limits<int64_t>::max();
    // Beyond 2^100 ticks the clamp below takes over; no conversion overflows.
    const double t = std::fmax(std::fmin(serial * ticks_per_day_d, 0x1p100), -0x1p100);
    const wide_ticks ticks = round_half_even(t) - wide_ticks{days_1900_to_1970} * ticks_per_day;
    out.ticks = ticks < lowest ? lowest : ticks > highest ? highest : static_cast<int64_t>(ticks);
    return out;
}

bool serial_fits_ticks(double serial) {
    if (!std::isfinite(serial)) return false;
    const datetime_t v = serial_to_ticks(serial);
    return v.ticks != std::numeric_limits<int64_t>::min() && v.ticks != std::numeric_limits<int64_t>::max();
}

double ticks_to_serial(const datetime_t& value) {
    // From the remainder: days * ticks_per_day passes below the lowest tick count.
    int64_t days = value.ticks / ticks_per_day;
    int64_t rest = value.ticks % ticks_per_day;
    if (rest < 0) {
        rest += ticks_per_day;
        --days;
    }
    return static_cast<double>(days + days_1900_to_1970) + static_cast<double>(rest) / ticks_per_day_d;
}

bool is_valid_date(int year, unsigned month, unsigned day) {
    if (year < min_year || year > max_year || month < 1 || month > 12 || day < 1) return false;
    const unsigned last = month == 2 && is_leap(year) ? 29 : month_days[month - 1];
    return day <= last;
}

double encode_serial_date(int year, unsigned month, unsigned day) {
    if (year == 1900 && month == 1 && day == 0) return 0.0;
    if (year == 1900 && month == 2 && day == 29) return 60.0;
    if (!is_valid_date(year, month, day)) return 0.0;
    const int64_t d = days_from_civil(year, month, day) + days_1900_to_1970;
    // Every day after the fictitious 1900-02-29 is one further on.
    return static_cast<double>(d <= 58 ? d + 1 : d + 2);
}

double encode_serial_date1904(int year, unsigned month, unsigned day) {
    if (!is_valid_date(year, month, day)) return 0.0;
    return static_cast<double>(days_from_civil(year, month, day) + days_1904_to_1970);
}

double encode_serial_datetime(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                              unsigned second, int millisecond) {
    if (!valid_time(hour, minute, second)) return invalid_serial_time;
    day_and_ms_t t;
    int64_t d;  // days since 1900-01-01 of the real date
    if (year == 1900 && month == 2 && day == 29) {
        t = split_milliseconds(milliseconds_of_day(hour, minute, second, millisecond));
        if (t.day == 0) return 60.0 + static_cast<double>(t.ms) / milliseconds_per_day_d;
        // Carried off the fictitious day onto the real ones either side of it.
        d = t.day < 0 ? 59 + t.day : 58 + t.day;
    } else {
        if (!is_valid_date(year, month, day)) return invalid_serial_time;
        t = split_milliseconds(milliseconds_since_1970(year, month, day, hour, minute, second, millisecond));
        d = t.day + days_1900_to_1970;
    }
    const double v = static_cast<double>(d) + static_cast<double>(t.ms) / milliseconds_per_day_d;
    return d <= 58 ? v + 1 : v + 2;
}

double encode_serial_datetime1904(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                                  unsigned second, int millisecond) {
    if (!valid_time(hour, minute, second) || !is_valid_date(year, month, day)) return invalid_serial_time;
    const day_and_ms_t t =
        split_milliseconds(milliseconds_since_1970(year, month, day, hour, minute, second, millisecond));
    return static_cast<double>(t.day + days_1904_to_1970) + static_cast<double>(t.ms) / milliseconds_per_day_d;
}

double encode_serial_time(unsigned hour, unsigned minute, unsigned second, int millisecond) {
    if (!valid_time(hour, minute, second)) return invalid_serial_time;
    return static_cast<double>(milliseconds_of_day(hour, minute, second, millisecond)) / milliseconds_per_day_d;
}

date_parts_t decode_serial_date(double serial) {
    const auto split = split_serial(serial);
    if (!split) return {};
    // The special days are taken after rounding, so a serial a hair short of day 1,
    // 60 or 61 lands on the day its time of day (00:00) belongs to.
    const int64_t k = split->day;
    if (k == 0) return {1900, 1, 0};
    if (k == 60) return {1900, 2, 29};
    return date_since_1970(k - (k < 60 ? 1 : 2) - days_1900_to_1970);
}

date_parts_t decode_serial_date1904(double serial) {
    const auto split = split_serial(serial);
    if (!split) return {};
    return date_since_1970(split->day - days_1904_to_1970);
}

time_parts_t decode_serial_time(double serial) {
    const auto split = split_serial(serial);
    if (!split) return {};
    const int64_t ms = split->ms;
    return {static_cast<unsigned>(ms / 3600000), static_cast<unsigned>(ms / 60000 % 60),
            static_cast<unsigned>(ms / 1000 % 60), static_cast<unsigned>(ms % 1000)};
}

} // namespace vex
