#include "plover.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

namespace {

using ymd = std::array<int, 3>;
using stamp = std::array<int, 7>;  // year, month, day, hour, minute, second, millisecond

// 99 marks a part the decoder left alone.
template <auto decode>
ymd date_of(double serial) {
    ymd d{99, 99, 99};
    decode(serial, &d[0], &d[1], &d[2]);
    return d;
}

template <auto decode>
stamp stamp_of(double serial) {
    stamp t{99, 99, 99, 99, 99, 99, 99};
    decode(serial, &t[0], &t[1], &t[2], &t[3], &t[4], &t[5], &t[6]);
    return t;
}

stamp time_of(double serial) {
    stamp t{0, 0, 0, 99, 99, 99, 99};
    decode_time(serial, &t[3], &t[4], &t[5], &t[6]);
    return t;
}

stamp hms(int hour, int minute, int second, int ms) { return {0, 0, 0, hour, minute, second, ms}; }

int days_in_month(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
    return m == 2 && leap ? 29 : days[m - 1];
}

} // namespace

TEST(date_exports, encode_dates_around_the_epochs) {
    struct row { int y, m, d; double s1900, s1904; };
    const row rows[] = {
        {1900, 1, 1, 1, -1460},     {1900, 2, 28, 59, -1402},  {1900, 3, 1, 61, -1401},
        {1899, 12, 30, -1, -1462},  {1904, 1, 1, 1462, 0},     {1903, 12, 31, 1461, -1},
        {9999, 12, 31, 2958465, 2957003},
        // The fictitious leap day of the 1900 system, and what no calendar holds.
        {1900, 2, 29, 60, 0},       {1900, 1, 0, 0, 0},        {2023, 2, 29, 0, 0},
        {1899, 12, 31, 0, -1461},
        // Checked as given, before any narrowing: not read as another date.
        {2024, 257, 1, 0, 0},       {2024, 1, 257, 0, 0},      {67840, 1, 1, 0, 0},
        {1900 + 65536, 2, 29, 0, 0}, {-32768, 1, 1, 0, 0},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(encode_date(r.y, r.m, r.d), r.s1900) << r.y << '-' << r.m << '-' << r.d;
        EXPECT_EQ(encode_date1904(r.y, r.m, r.d), r.s1904) << r.y << '-' << r.m << '-' << r.d;
    }
}

TEST(date_exports, decode_the_special_days_and_times) {
    EXPECT_EQ(date_of<decode_date>(0.0), (ymd{1900, 1, 0}));
    EXPECT_EQ(date_of<decode_date>(0.5), (ymd{1900, 1, 0}));
    EXPECT_EQ(date_of<decode_date>(59.5), (ymd{1900, 2, 28}));
    EXPECT_EQ(date_of<decode_date>(60.75), (ymd{1900, 2, 29}));
    EXPECT_EQ(date_of<decode_date>(61.0), (ymd{1900, 3, 1}));
    EXPECT_EQ(date_of<decode_date>(-0.5), (ymd{1899, 12, 30}));
    EXPECT_EQ(date_of<decode_date1904>(-0.25), (ymd{1903, 12, 31}));

    EXPECT_EQ(time_of(0.5), hms(12, 0, 0, 0));
    EXPECT_EQ(time_of(-0.25), hms(18, 0, 0, 0));  // measured from the day below
    EXPECT_EQ(time_of(1.0 / 86400000), hms(0, 0, 0, 1));
    EXPECT_EQ(time_of(45292.0 + 0.999 / 86400000), hms(0, 0, 0, 1));
    EXPECT_EQ(time_of(encode_time(23, 59, 59, 999)), hms(23, 59, 59, 999));
    EXPECT_EQ(time_of(2958465.0 + encode_time(7, 8, 9, 10)), hms(7, 8, 9, 10));
}

TEST(date_exports, encode_datetime_carries_milliseconds) {
    EXPECT_EQ(encode_datetime(1900, 2, 29, 12, 0, 0, 0), 60.5);
    EXPECT_EQ(encode_datetime(2024, 1, 1, 23, 59, 59, 1000), 45293.0);
    EXPECT_EQ(encode_datetime(2024, 1, 1, 0, 0, 0, -1), 45291.999999988424);
    EXPECT_EQ(encode_datetime(2024, 1, 1, 0, 0, 0, 86400000 * 2), 45294.0);
    EXPECT_EQ(encode_datetime(1900, 2, 28, 23, 59, 59, 1000), 61.0);  // the real next day
    EXPECT_EQ(encode_datetime(1900, 3, 1, 0, 0, 0, -1), encode_datetime(1900, 2, 28, 23, 59, 59, 999));
    // The fictitious day runs on across the serial line rather than wrapping into itself.
    EXPECT_EQ(encode_datetime(1900, 2, 29, 23, 59, 59, 1000), 61.0);
    EXPECT_EQ(encode_datetime(1900, 2, 29, 0, 0, 0, -1), encode_datetime(1900, 2, 28, 23, 59, 59, 999));
    EXPECT_EQ(encode_datetime(1900, 2, 29, 0, 0, 0, 86400000 * 2), 62.0);
    EXPECT_EQ(encode_datetime(1899, 12, 31, 6, 0, 0, 0), 0.25);
    EXPECT_EQ(encode_datetime1904(1904, 1, 1, 12, 0, 0, 0), 0.5);
    EXPECT_EQ(encode_datetime1904(1904, 1, 1, 0, 0, 0, -1), -1.0 + 86399999 / 8.64e7);

    EXPECT_EQ(encode_time(6, 0, 0, 0), 0.25);
    EXPECT_EQ(encode_time(23, 59, 59, 1000), 1.0);  // does not wrap
    EXPECT_EQ(encode_time(0, 0, 0, -1), -1 / 8.64e7);

    // Counted in 64 bits: no overflow after the year 6053.
    EXPECT_EQ(encode_datetime(9999, 12, 31, 12, 0, 0, 0), 2958465.5);
    EXPECT_EQ(encode_datetime(6054, 1, 1, 0, 0, 0, 0), encode_date(6054, 1, 1));
    EXPECT_EQ(encode_datetime(-2115, 1, 1, 0, 0, 0, 0), encode_date(-2115, 1, 1));
    EXPECT_EQ(encode_datetime(32767, 12, 31, 18, 0, 0, 0), encode_date(32767, 12, 31) + 0.75);
    EXPECT_EQ(encode_datetime1904(32767, 12, 31, 0, 0, 0, 0), encode_date1904(32767, 12, 31));
}

TEST(date_exports, invalid_times_and_dates_give_dbl_min) {
    ASSERT_EQ(DBL_MIN, 2.2250738585072014e-308);
    const unsigned huge = static_cast<unsigned>(-1);
    const double invalid[] = {
        encode_datetime(1900, 1, 0, 0, 0, 0, 0),     encode_datetime(2023, 2, 29, 0, 0, 0, 0),
        encode_datetime(2024, 1, 1, 24, 0, 0, 0),    encode_datetime(2024, 1, 1, 0, 60, 0, 0),
        encode_datetime(1900, 2, 29, 0, 0, 60, 0),   encode_datetime(2024, 1, 1, huge, 0, 0, 0),
        encode_datetime(2024, 1, 1, 0, 0, 61, 0),    encode_datetime1904(1900, 2, 29, 0, 0, 0, 0),
        encode_datetime1904(2024, 13, 1, 0, 0, 0, 0), encode_datetime1904(2024, 1, 1, 0, 0, 60, 0),
        // Checked as given, before any narrowing.
        encode_datetime(2024, 257, 1, 0, 0, 0, 0),   encode_datetime(67840, 1, 1, 0, 0, 0, 0),
        encode_datetime1904(2024, 1, 257, 0, 0, 0, 0), encode_datetime1904(-32768, 1, 1, 0, 0, 0, 0),
        encode_time(24, 0, 0, 0), encode_time(0, 60, 0, 0), encode_time(0, 0, 60, 0), encode_time(huge, 0, 0, 0),
    };
    for (size_t i = 0; i < std::size(invalid); ++i) EXPECT_EQ(invalid[i], DBL_MIN) << "case " << i;
}

TEST(date_exports, decoders_skip_null_pointers) {
    decode_date(45292.5, nullptr, nullptr, nullptr);
    decode_date1904(45292.5, nullptr, nullptr, nullptr);
    decode_datetime(45292.5, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    decode_datetime1904(45292.5, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    decode_time(45292.5, nullptr, nullptr, nullptr, nullptr);
    decode_datetime(std::nan(""), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);

    int month = 0, hour = 0, ms = 0;
    decode_datetime(45292.5, nullptr, &month, nullptr, &hour, nullptr, nullptr, nullptr);
    decode_time(0.5 + 5 / 8.64e7, nullptr, nullptr, nullptr, &ms);
    EXPECT_EQ(std::tuple(month, hour, ms), std::tuple(1, 12, 5));
}

TEST(date_exports, decoders_write_zeros_for_what_no_date_holds) {
    const double inf = std::numeric_limits<double>::infinity();
    const double last_day = encode_date(32767, 12, 31);
    for (double bad : {std::nan(""), inf, -inf, 1e300, -1e300, 1e10, last_day + 1, encode_date(-32767, 1, 1) - 1}) {
        EXPECT_EQ(date_of<decode_date>(bad), ymd{}) << bad;
        EXPECT_EQ(stamp_of<decode_datetime>(bad), stamp{}) << bad;
    }
    for (double bad : {std::nan(""), inf, -inf, 1e300, encode_date1904(32767, 12, 31) + 1}) {
        EXPECT_EQ(date_of<decode_date1904>(bad), ymd{}) << bad;
        EXPECT_EQ(stamp_of<decode_datetime1904>(bad), stamp{}) << bad;
    }
    for (double bad : {std::nan(""), inf, -inf, 1e300, 16777217.0}) EXPECT_EQ(time_of(bad), stamp{}) << bad;
    EXPECT_EQ(time_of(last_day + 1.5), hms(12, 0, 0, 0));  // a time of day needs no calendar

    EXPECT_EQ(stamp_of<decode_datetime>(last_day + encode_time(23, 59, 59, 999)), (stamp{32767, 12, 31, 23, 59, 59, 999}));
    EXPECT_EQ(stamp_of<decode_datetime1904>(encode_date1904(-32767, 1, 1)), (stamp{-32767, 1, 1, 0, 0, 0, 0}));
}

// Walks every day of the year range and checks a spread of them: each encodes to
// the serial of the first day plus the days walked, and decodes back to itself.
TEST(date_exports, every_date_round_trips_in_both_systems) {
    const double first1900 = encode_date(-32767, 1, 1);
    const double first1904 = encode_date1904(-32767, 1, 1);
    long walked = 0, checked = 0;
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
                ASSERT_EQ(date_of<decode_date1904>(s1904), (ymd{y, m, d}));
                // 1899-12-31 shares serial 0 with 1900-01-00.
                if (y == 1899 && m == 12 && d == 31) continue;
                ASSERT_EQ(date_of<decode_date>(s1900), (ymd{y, m, d}));
            }
        }
    }
    EXPECT_GT(checked, 1000000);
}

TEST(date_exports, datetimes_round_trip_to_the_millisecond) {
    std::mt19937_64 rng(20240101);
    std::uniform_int_distribution<int> year(-32767, 32767), month(1, 12), day(1, 31), ms_of_day(0, 86399999);
    for (int i = 0; i < 100000; ++i) {
        const int y = year(rng), m = month(rng);
        const int d = std::min(day(rng), days_in_month(y, m));
        const int t = ms_of_day(rng);
        const stamp want{y, m, d, t / 3600000, t / 60000 % 60, t / 1000 % 60, t % 1000};
        ASSERT_EQ(stamp_of<decode_datetime1904>(encode_datetime1904(y, m, d, want[3], want[4], want[5], want[6])), want);
        if (y == 1899 && m == 12 && d == 31) continue;
        ASSERT_EQ(stamp_of<decode_datetime>(encode_datetime(y, m, d, want[3], want[4], want[5], want[6])), want);
    }
}
