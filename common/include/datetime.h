#pragma once
// Serial dates and times. A serial is a double whose integer part counts days and
// whose fraction is the time of day; the calendar is proleptic Gregorian, without
// time zones or leap seconds. Two numberings are spoken at the boundary: the 1900
// system (day 1 = 1900-01-01, with the fictitious 1900-02-29 as day 60) and the
// 1904 system (day 0 = 1904-01-01). Inside the library date-times are tick counts
// (datetime_t), reached through serial_to_ticks and ticks_to_serial on a plain day
// scale that starts at 1900-01-01 = day 0.

#include <compare>
#include <cstdint>

namespace vex {

constexpr int64_t ticks_per_day = 864000000000;  // 100-ns ticks
constexpr int64_t ticks_per_hour = 36000000000;
constexpr int64_t ticks_per_minute = 600000000;
constexpr int64_t ticks_per_second = 10000000;
constexpr int64_t ticks_per_millisecond = 10000;
constexpr int64_t milliseconds_per_day = 86400000;

// What the date-time and time encoders return for an invalid date or time: the
// smallest normal double, a value no real encoding produces.
constexpr double invalid_serial_time = 2.2250738585072014e-308;

// A point in time as 100-ns ticks since 1970-01-01 00:00:00. The word and the flag
// travel with the value (the formula engine copies them into its results); only
// the ticks take part in comparisons.
struct datetime_t {
    int64_t ticks = 0;
    int32_t word = -1;
    uint8_t flag = 1;

    friend bool operator==(const datetime_t& a, const datetime_t& b) noexcept { return a.ticks == b.ticks; }
    friend std::strong_ordering operator<=>(const datetime_t& a, const datetime_t& b) noexcept {
        return a.ticks <=> b.ticks;
    }
};

struct date_parts_t {
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
};

struct time_parts_t {
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    unsigned millisecond = 0;
};

// ---- Internal scale (day 0 = 1900-01-01, no fictitious day) ---------------------
// The serial rounded to the nearest tick, ties to the even tick.
datetime_t serial_to_ticks(double serial);
double ticks_to_serial(const datetime_t& value);
// Whether serial_to_ticks can represent the serial. Outside, the ticks saturate
// (NaN gives 0), so callers holding host input check this first.
bool serial_fits_ticks(double serial);

// ---- Calendar --------------------------------------------------------------------
// Years -32767..32767, months 1..12, days 1..the month's last, checked as given.
bool is_valid_date(int year, unsigned month, unsigned day);

// ---- Encoders ------------------------------------------------------------------------
// An invalid date gives 0.0, which is also 1900-01-00 (1900) and 1904-01-01 (1904).
double encode_serial_date(int year, unsigned month, unsigned day);
double encode_serial_date1904(int year, unsigned month, unsigned day);
// The millisecond is not range-checked: it may be negative or 1000 and more and
// carries into the seconds and across midnight into the date. An hour above 23,
// a minute or second above 59 or an invalid date gives invalid_serial_time.
double encode_serial_datetime(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                              unsigned second, int millisecond);
double encode_serial_datetime1904(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                                  unsigned second, int millisecond);
// A day fraction that never wraps at midnight: -1 ms gives a small negative number.
double encode_serial_time(unsigned hour, unsigned minute, unsigned second, int millisecond);

// ---- Decoders ------------------------------------------------------------------------
// A serial is rounded to the nearest tick, then to the nearest millisecond, so one
// within half a millisecond of midnight decodes as the next day. NaN, infinities
// and serials whose date falls outside years -32767..32767 give all-zero parts
// (month 0 never names a real date).
date_parts_t decode_serial_date(double serial);
date_parts_t decode_serial_date1904(double serial);
// The same in both systems. NaN, infinities and serials beyond 2^24 days (past the
// year range of either system) give all-zero parts.
time_parts_t decode_serial_time(double serial);

} // namespace vex
