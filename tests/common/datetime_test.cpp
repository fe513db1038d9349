#include "datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

using namespace vex;

namespace {

constexpr int64_t epoch_ticks = 25567 * ticks_per_day;  // 1900-01-01 on the internal scale

std::tuple<int, unsigned, unsigned> ymd(const date_parts_t& d) { return {d.year, d.month, d.day}; }
std::tuple<unsigned, unsigned, unsigned, unsigned> hms(const time_parts_t& t) {
    return {t.hour, t.minute, t.second, t.millisecond};
}

} // namespace

TEST(datetime, ticks_count_from_1970_on_a_plain_day_scale) {
    EXPECT_EQ(serial_to_ticks(25567.0).ticks, 0);
    EXPECT_EQ(serial_to_ticks(25567.5).ticks, ticks_per_day / 2);
    EXPECT_EQ(serial_to_ticks(0.0).ticks, -epoch_ticks);
    EXPECT_EQ(serial_to_ticks(-0.25).ticks, -epoch_ticks - ticks_per_day / 4);

    const datetime_t v = serial_to_ticks(1.25);
    EXPECT_EQ(std::tuple(v.word, v.flag), std::tuple(-1, 1));

    // The whole days go in as an integer, the fraction from the non-negative rest.
    EXPECT_EQ(ticks_to_serial(datetime_t{0}), 25567.0);
    EXPECT_EQ(ticks_to_serial(datetime_t{-1}), 25566.0 + 863999999999 / 8.64e11);
    EXPECT_EQ(ticks_to_serial(serial_to_ticks(45292.75)), 45292.75);
    EXPECT_EQ(ticks_to_serial(serial_to_ticks(-3.5)), -3.5);

    // Only the ticks count in comparisons.
    EXPECT_EQ((datetime_t{5, 7, 0}), (datetime_t{5, -1, 1}));
    EXPECT_LT((datetime_t{4, 9, 9}), (datetime_t{5, 0, 0}));
}

TEST(datetime, ticks_round_half_to_even) {
    // These serials are exactly 2.5, 3.5 and -2.5 ticks after 1900-01-01.
    ASSERT_EQ(2.5 / 8.64e11 * 8.64e11, 2.5);
    ASSERT_EQ(3.5 / 8.64e11 * 8.64e11, 3.5);
    for (const auto& [ticks, rounded] : {std::pair{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.6, 3}, {-2.6, -3}})
        EXPECT_EQ(serial_to_ticks(ticks / 8.64e11).ticks + epoch_ticks, rounded) << ticks;

    // A stored date-time keeps whole ticks only.
    EXPECT_EQ(ticks_to_serial(serial_to_ticks(1.0 + 0.4 / 8.64e11)), 1.0);
    EXPECT_EQ(ticks_to_serial(serial_to_ticks(1.0 + 0.6 / 8.64e11)), 1.0 + 1 / 8.64e11);
}

TEST(datetime, serials_beyond_ticks_saturate) {
    constexpr auto lowest = std::numeric_limits<int64_t>::min();
    constexpr auto highest = std::numeric_limits<int64_t>::max();
    const double inf = std::numeric_limits<double>::infinity();

    EXPECT_EQ(serial_to_ticks(std::nan("")).ticks, 0);
    for (double up : {inf, 1e300}) EXPECT_EQ(serial_to_ticks(up).ticks, highest) << up;
    for (double down : {-inf, -1e300}) EXPECT_EQ(serial_to_ticks(down).ticks, lowest) << down;

    for (double fits : {2958465.5, -2958465.5, 1e7}) EXPECT_TRUE(serial_fits_ticks(fits)) << fits;
    for (double beyond : {1.1e7, -1.1e7, std::nan(""), inf}) EXPECT_FALSE(serial_fits_ticks(beyond)) << beyond;

    // The ends of the tick range convert without overflow, to the day they fall on.
    EXPECT_EQ(std::floor(ticks_to_serial(datetime_t{lowest})), -10675200.0 + 25567);
    EXPECT_EQ(std::floor(ticks_to_serial(datetime_t{highest})), 10675199.0 + 25567);
}

TEST(datetime, valid_dates) {
    // Leap years are covered by the walk over every date in the export tests; year 0 exists.
    for (auto [y, m, d] : {std::tuple(0, 2u, 29u), {32767, 12u, 31u}, {-32767, 1u, 1u}})
        EXPECT_TRUE(is_valid_date(y, m, d)) << y << '-' << m << '-' << d;
    for (auto [y, m, d] : {std::tuple(2024, 4u, 31u), {2024, 1u, 0u}, {2024, 1u, 32u}, {2024, 0u, 1u}, {2024, 13u, 1u},
                           {32768, 1u, 1u}, {-32768, 12u, 31u}})
        EXPECT_FALSE(is_valid_date(y, m, d)) << y << '-' << m << '-' << d;
}

// Centuries are leap years only every 400 years.
TEST(datetime, the_leap_day_of_centuries) {
    for (int year : {1600, 2000, 2400, -400}) EXPECT_TRUE(is_valid_date(year, 2, 29)) << year;
    for (int year : {1700, 1800, 1900, 2100, 2200, 2300, -200}) EXPECT_FALSE(is_valid_date(year, 2, 29)) << year;
}

TEST(datetime, decoders_take_the_day_after_rounding) {
    // A hair short of midnight belongs to the next day, also next to the special days.
    const double hair = 1e-12;
    EXPECT_EQ(ymd(decode_serial_date(1.0 - hair)), std::tuple(1900, 1u, 1u));
    EXPECT_EQ(ymd(decode_serial_date(60.0 - hair)), std::tuple(1900, 2u, 29u));
    EXPECT_EQ(ymd(decode_serial_date(61.0 - hair)), std::tuple(1900, 3u, 1u));
    EXPECT_EQ(ymd(decode_serial_date(-hair)), std::tuple(1900, 1u, 0u));
    EXPECT_EQ(hms(decode_serial_time(61.0 - hair)), std::tuple(0u, 0u, 0u, 0u));

    // Rounding goes on to the millisecond, in the date as in the time.
    const double ms = 1 / 86400000.0;
    EXPECT_EQ(ymd(decode_serial_date(45292.0 - 0.3 * ms)), std::tuple(2024, 1u, 1u));
    EXPECT_EQ(hms(decode_serial_time(45292.0 - 0.3 * ms)), std::tuple(0u, 0u, 0u, 0u));
    EXPECT_EQ(ymd(decode_serial_date1904(43830.0 - 0.7 * ms)), std::tuple(2023, 12u, 31u));
    EXPECT_EQ(hms(decode_serial_time(43830.0 - 0.7 * ms)), std::tuple(23u, 59u, 59u, 999u));
    EXPECT_EQ(hms(decode_serial_time(0.5 + 1.6 * ms)), std::tuple(12u, 0u, 0u, 2u));
}
