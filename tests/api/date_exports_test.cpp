#include "plover.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

namespace {

struct date_t {
    int year = 99, month = 99, day = 99;
    bool operator==(const date_t&) const = default;
};

struct datetime_t {
    int year = 99, month = 99, day = 99, hour = 99, minute = 99, second = 99, ms = 99;
    bool operator==(const datetime_t&) const = default;
};

std::ostream& operator<<(std::ostream& os, const date_t& d) {
    return os << d.year << '-' << d.month << '-' << d.day;
}

std::ostream& operator<<(std::ostream& os, const datetime_t& t) {
    return os << t.year << '-' << t.month << '-' << t.day << ' ' << t.hour << ':' << t.minute << ':' << t.second
              << '.' << t.ms;
}

date_t date1900(double serial) {
    date_t d;
    decode_date(serial, &d.year, &d.month, &d.day);
    return d;
}

date_t date1904(double serial) {
    date_t d;
    decode_date1904(serial, &d.year, &d.month, &d.day);
    return d;
}

datetime_t datetime1900(double serial) {
    datetime_t t;
    decode_datetime(serial, &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second, &t.ms);
    return t;
}

datetime_t datetime1904(double serial) {
    datetime_t t;
    decode_datetime1904(serial, &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second, &t.ms);
    return t;
}

datetime_t time_of(double serial) {
    datetime_t t{0, 0, 0};
    decode_time(serial, &t.hour, &t.minute, &t.second, &t.ms);
    return t;
}

datetime_t hms(int hour, int minute, int second, int ms) { return {0, 0, 0, hour, minute, second, ms}; }

bool is_leap(int y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

int days_in_month(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : days[m - 1];
}

} // namespace

TEST(date_exports, encode_date_1900_system) {
    EXPECT_EQ(encode_date(1900, 1, 1), 1.0);
    EXPECT_EQ(encode_date(1900, 2, 28), 59.0);
    EXPECT_EQ(encode_date(1900, 2, 29), 60.0);  // the fictitious leap day
    EXPECT_EQ(encode_date(1900, 3, 1), 61.0);
    EXPECT_EQ(encode_date(1970, 1, 1), 25569.0);
    EXPECT_EQ(encode_date(2024, 1, 1), 45292.0);
    EXPECT_EQ(encode_date(2024, 2, 29), 45351.0);
    EXPECT_EQ(encode_date(9999, 12, 31), 2958465.0);
    EXPECT_EQ(encode_date(1900, 1, 0), 0.0);
    EXPECT_EQ(encode_date(1899, 12, 31), 0.0);
    EXPECT_EQ(encode_date(1899, 12, 30), -1.0);
    EXPECT_EQ(encode_date(2023, 2, 29), 0.0);
}

TEST(date_exports, encode_date_1904_system) {
    EXPECT_EQ(encode_date1904(1904, 1, 1), 0.0);
    EXPECT_EQ(encode_date1904(1903, 12, 31), -1.0);
    EXPECT_EQ(encode_date1904(2024, 1, 1), 43830.0);
    EXPECT_EQ(encode_date1904(1900, 2, 29), 0.0);  // no fictitious day here
    EXPECT_EQ(encode_date(2024, 1, 1) - encode_date1904(2024, 1, 1), 1462.0);
}

TEST(date_exports, arguments_are_checked_before_narrowing) {
    EXPECT_EQ(encode_date(2024, 257, 1), 0.0);
    EXPECT_EQ(encode_date(2024, 1, 257), 0.0);
    EXPECT_EQ(encode_date(67840, 1, 1), 0.0);
    EXPECT_EQ(encode_date(1900 + 65536, 2, 29), 0.0);
    EXPECT_EQ(encode_date(-32768, 1, 1), 0.0);
    EXPECT_EQ(encode_date1904(2024, 257, 1), 0.0);
    EXPECT_EQ(encode_date1904(67840, 1, 1), 0.0);
    EXPECT_EQ(encode_datetime(2024, 257, 1, 0, 0, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime(67840, 1, 1, 0, 0, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime1904(2024, 1, 257, 0, 0, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime1904(-32768, 1, 1, 0, 0, 0, 0), DBL_MIN);
}

TEST(date_exports, decode_date_special_days) {
    EXPECT_EQ(date1900(0.0), (date_t{1900, 1, 0}));
    EXPECT_EQ(date1900(0.5), (date_t{1900, 1, 0}));
    EXPECT_EQ(date1900(60.0), (date_t{1900, 2, 29}));
    EXPECT_EQ(date1900(60.75), (date_t{1900, 2, 29}));
    EXPECT_EQ(date1900(59.5), (date_t{1900, 2, 28}));
    EXPECT_EQ(date1900(61.0), (date_t{1900, 3, 1}));
    EXPECT_EQ(date1900(1.0), (date_t{1900, 1, 1}));
    EXPECT_EQ(date1900(-1.0), (date_t{1899, 12, 30}));
    EXPECT_EQ(date1900(-0.5), (date_t{1899, 12, 30}));
    EXPECT_EQ(date1900(45351.9), (date_t{2024, 2, 29}));
    EXPECT_EQ(date1904(0.0), (date_t{1904, 1, 1}));
    EXPECT_EQ(date1904(-0.25), (date_t{1903, 12, 31}));
    EXPECT_EQ(date1904(43830.0), (date_t{2024, 1, 1}));
}

TEST(date_exports, decode_time_of_day) {
    EXPECT_EQ(time_of(0.5), hms(12, 0, 0, 0));
    EXPECT_EQ(time_of(-0.25), hms(18, 0, 0, 0));  // measured from the day below
    EXPECT_EQ(time_of(1.0 / 86400000), hms(0, 0, 0, 1));
    EXPECT_EQ(time_of(45292.0 + 0.999 / 86400000), hms(0, 0, 0, 1));
    EXPECT_EQ(time_of(45292.0 - 0.2 / 86400000), hms(0, 0, 0, 0));
    EXPECT_EQ(time_of(encode_time(23, 59, 59, 999)), hms(23, 59, 59, 999));
    EXPECT_EQ(time_of(2958465.0 + encode_time(7, 8, 9, 10)), hms(7, 8, 9, 10));
}

TEST(date_exports, encode_datetime_carries_milliseconds) {
    EXPECT_EQ(encode_datetime(1900, 2, 29, 12, 0, 0, 0), 60.5);
    EXPECT_EQ(encode_datetime(2024, 1, 1, 23, 59, 59, 1000), 45293.0);
    EXPECT_EQ(encode_datetime(2024, 1, 1, 0, 0, 0, -1), 45291.999999988424);
    EXPECT_EQ(encode_datetime(2024, 1, 1, 0, 0, 61, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime(2024, 1, 1, 0, 0, 0, 86400000 * 2), 45294.0);
    EXPECT_EQ(encode_datetime(1900, 2, 28, 23, 59, 59, 1000), 61.0);  // the real next day
    EXPECT_EQ(encode_datetime(1900, 3, 1, 0, 0, 0, -1), encode_datetime(1900, 2, 28, 23, 59, 59, 999));
    // The fictitious day runs on across the serial line rather than wrapping into itself.
    EXPECT_EQ(encode_datetime(1900, 2, 29, 23, 59, 59, 1000), 61.0);
    EXPECT_EQ(encode_datetime(1900, 2, 29, 0, 0, 0, -1), encode_datetime(1900, 2, 28, 23, 59, 59, 999));
    EXPECT_EQ(encode_datetime(1900, 2, 29, 0, 0, 0, 86400000 * 2), 62.0);
    EXPECT_EQ(encode_datetime(1900, 1, 1, 0, 0, 0, 0), 1.0);
    EXPECT_EQ(encode_datetime(1899, 12, 31, 6, 0, 0, 0), 0.25);

    EXPECT_EQ(encode_datetime1904(1904, 1, 1, 12, 0, 0, 0), 0.5);
    EXPECT_EQ(encode_datetime1904(1904, 1, 1, 0, 0, 0, -1), -1.0 + 86399999 / 8.64e7);
    EXPECT_EQ(encode_datetime1904(2024, 1, 1, 18, 0, 0, 0), 43830.75);
    EXPECT_EQ(encode_datetime1904(1900, 2, 29, 0, 0, 0, 0), DBL_MIN);
}

TEST(date_exports, encode_datetime_counts_in_64_bits) {
    EXPECT_EQ(encode_datetime(9999, 12, 31, 12, 0, 0, 0), 2958465.5);
    EXPECT_EQ(encode_datetime(6054, 1, 1, 0, 0, 0, 0), encode_date(6054, 1, 1));
    EXPECT_EQ(encode_datetime(-2115, 1, 1, 0, 0, 0, 0), encode_date(-2115, 1, 1));
    EXPECT_EQ(encode_datetime(32767, 12, 31, 18, 0, 0, 0), encode_date(32767, 12, 31) + 0.75);
    EXPECT_EQ(encode_datetime1904(32767, 12, 31, 0, 0, 0, 0), encode_date1904(32767, 12, 31));
}

TEST(date_exports, invalid_times_and_dates_give_dbl_min) {
    EXPECT_EQ(DBL_MIN, 2.2250738585072014e-308);
    EXPECT_EQ(encode_datetime(1900, 1, 0, 0, 0, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime(2024, 1, 1, 24, 0, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime(2024, 1, 1, 0, 60, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime(1900, 2, 29, 0, 0, 60, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime(2024, 1, 1, static_cast<unsigned>(-1), 0, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime(2023, 2, 29, 0, 0, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime1904(2024, 13, 1, 0, 0, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_datetime1904(2024, 1, 1, 0, 0, 60, 0), DBL_MIN);
}

TEST(date_exports, encode_time_does_not_wrap) {
    EXPECT_EQ(encode_time(12, 0, 0, 0), 0.5);
    EXPECT_EQ(encode_time(6, 0, 0, 0), 0.25);
    EXPECT_EQ(encode_time(23, 59, 59, 1000), 1.0);
    EXPECT_EQ(encode_time(0, 0, 0, -1), -1 / 8.64e7);
    EXPECT_EQ(encode_time(0, 0, 0, 1), 1 / 8.64e7);
    EXPECT_EQ(encode_time(24, 0, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_time(0, 60, 0, 0), DBL_MIN);
    EXPECT_EQ(encode_time(0, 0, 60, 0), DBL_MIN);
    EXPECT_EQ(encode_time(static_cast<unsigned>(-1), 0, 0, 0), DBL_MIN);
}

TEST(date_exports, decoders_skip_null_pointers) {
    decode_date(45292.5, nullptr, nullptr, nullptr);
    decode_date1904(45292.5, nullptr, nullptr, nullptr);
    decode_datetime(45292.5, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    decode_datetime1904(45292.5, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    decode_time(45292.5, nullptr, nullptr, nullptr, nullptr);
    decode_datetime(std::nan(""), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);

    int month = 0, hour = 0;
    decode_datetime(45292.5, nullptr, &month, nullptr, &hour, nullptr, nullptr, nullptr);
    EXPECT_EQ(month, 1);
    EXPECT_EQ(hour, 12);
    int ms = 0;
    decode_time(0.5 + 5 / 8.64e7, nullptr, nullptr, nullptr, &ms);
    EXPECT_EQ(ms, 5);
}

TEST(date_exports, decoders_write_zeros_for_what_no_date_holds) {
    const double inf = std::numeric_limits<double>::infinity();
    const datetime_t zero{0, 0, 0, 0, 0, 0, 0};
    const double last_day = encode_date(32767, 12, 31);
    for (double bad : {std::nan(""), inf, -inf, 1e300, -1e300, 1e10, last_day + 1, encode_date(-32767, 1, 1) - 1}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(date1900(bad), (date_t{0, 0, 0}));
        EXPECT_EQ(datetime1900(bad), zero);
    }
    for (double bad : {std::nan(""), inf, -inf, 1e300, encode_date1904(32767, 12, 31) + 1}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(date1904(bad), (date_t{0, 0, 0}));
        EXPECT_EQ(datetime1904(bad), zero);
    }
    for (double bad : {std::nan(""), inf, -inf, 1e300, 16777217.0})
        EXPECT_EQ(time_of(bad), hms(0, 0, 0, 0));
    EXPECT_EQ(time_of(last_day + 1.5), hms(12, 0, 0, 0));  // a time of day needs no calendar

    EXPECT_EQ(datetime1900(last_day + encode_time(23, 59, 59, 999)), (datetime_t{32767, 12, 31, 23, 59, 59, 999}));
    EXPECT_EQ(datetime1904(encode_date1904(-32767, 1, 1)), (datetime_t{-32767, 1, 1, 0, 0, 0, 0}));
}

// Walks every day of the year range and checks a spread of them: each encodes to
// the serial of the first day plus the days walked, and decodes back to itself.
TEST(date_exports, every_date_round_trips_in_both_systems) {
    const double first1900 = encode_date(-32767, 1, 1);
    const double first1904 = encode_date1904(-32767, 1, 1);
    long walked = 0;
    long checked = 0;
    for (int y = -32767; y <= 32767; ++y) {
        for (int m = 1; m <= 12; ++m) {
            const int last = days_in_month(y, m);
            for (int d = 1; d <= last; ++d, ++walked) {
                // Every day near the epochs and month ends, a stride elsewhere.
                const bool near_epochs = y >= 1899 && y <= 1905;
                if (!near_epochs && d != 1 && d != last && walked % 61 != 0) continue;
                ++checked;
                const double s1900 = encode_date(y, m, d);
                const double s1904 = encode_date1904(y, m, d);
                // The 1900 system counts the fictitious 1900-02-29 from March 1900 on.
                const bool after_leap_day = y > 1900 || (y == 1900 && m > 2);
                ASSERT_EQ(s1900, first1900 + walked + (after_leap_day ? 1 : 0)) << y << '-' << m << '-' << d;
                ASSERT_EQ(s1904, first1904 + walked) << y << '-' << m << '-' << d;
                ASSERT_EQ(date1904(s1904), (date_t{y, m, d}));
                // 1899-12-31 shares serial 0 with 1900-01-00.
                if (y == 1899 && m == 12 && d == 31) continue;
                ASSERT_EQ(date1900(s1900), (date_t{y, m, d}));
            }
        }
    }
    EXPECT_GT(checked, 1000000);
}

TEST(date_exports, datetimes_round_trip_to_the_millisecond) {
    std::mt19937_64 rng(20240101);
    std::uniform_int_distribution<int> year(-32767, 32767), month(1, 12), day(1, 31);
    std::uniform_int_distribution<int> ms_of_day(0, 86399999);
    for (int i = 0; i < 100000; ++i) {
        const int y = year(rng), m = month(rng);
        const int d = std::min(day(rng), days_in_month(y, m));
        const int t = ms_of_day(rng);
        const datetime_t want{y, m, d, t / 3600000, t / 60000 % 60, t / 1000 % 60, t % 1000};
        const double s1900 = encode_datetime(y, m, d, want.hour, want.minute, want.second, want.ms);
        const double s1904 = encode_datetime1904(y, m, d, want.hour, want.minute, want.second, want.ms);
        ASSERT_EQ(datetime1904(s1904), want);
        if (y == 1899 && m == 12 && d == 31) continue;
        ASSERT_EQ(datetime1900(s1900), want);
    }
}
