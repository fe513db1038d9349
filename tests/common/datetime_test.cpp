#include "datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vex;

namespace {

constexpr int64_t epoch_ticks = 25567 * ticks_per_day;  // 1900-01-01 on the internal scale

void expect_date(const date_parts_t& d, int year, unsigned month, unsigned day) {
    EXPECT_EQ(d.year, year);
    EXPECT_EQ(d.month, month);
    EXPECT_EQ(d.day, day);
}

void expect_time(const time_parts_t& t, unsigned hour, unsigned minute, unsigned second, unsigned ms) {
    EXPECT_EQ(t.hour, hour);
    EXPECT_EQ(t.minute, minute);
    EXPECT_EQ(t.second, second);
    EXPECT_EQ(t.millisecond, ms);
}

} // namespace

TEST(datetime, ticks_count_from_1970_on_a_plain_day_scale) {
    EXPECT_EQ(serial_to_ticks(25567.0).ticks, 0);
    EXPECT_EQ(serial_to_ticks(25567.5).ticks, ticks_per_day / 2);
    EXPECT_EQ(serial_to_ticks(0.0).ticks, -epoch_ticks);
    EXPECT_EQ(serial_to_ticks(-0.25).ticks, -epoch_ticks - ticks_per_day / 4);

    const datetime_t v = serial_to_ticks(1.25);
    EXPECT_EQ(v.word, -1);
    EXPECT_EQ(v.flag, 1);

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
    EXPECT_EQ(serial_to_ticks(2.5 / 8.64e11).ticks + epoch_ticks, 2);
    EXPECT_EQ(serial_to_ticks(3.5 / 8.64e11).ticks + epoch_ticks, 4);
    EXPECT_EQ(serial_to_ticks(-2.5 / 8.64e11).ticks + epoch_ticks, -2);
    EXPECT_EQ(serial_to_ticks(2.6 / 8.64e11).ticks + epoch_ticks, 3);
    EXPECT_EQ(serial_to_ticks(-2.6 / 8.64e11).ticks + epoch_ticks, -3);

    // A stored date-time keeps whole ticks only.
    EXPECT_EQ(ticks_to_serial(serial_to_ticks(1.0 + 0.4 / 8.64e11)), 1.0);
    EXPECT_EQ(ticks_to_serial(serial_to_ticks(1.0 + 0.6 / 8.64e11)), 1.0 + 1 / 8.64e11);
}

TEST(datetime, serials_beyond_ticks_saturate) {
    constexpr auto lowest = std::numeric_limits<int64_t>::min();
    constexpr auto highest = std::numeric_limits<int64_t>::max();
    const double inf = std::numeric_limits<double>::infinity();

    EXPECT_EQ(serial_to_ticks(std::nan("")).ticks, 0);
    EXPECT_EQ(serial_to_ticks(inf).ticks, highest);
    EXPECT_EQ(serial_to_ticks(-inf).ticks, lowest);
    EXPECT_EQ(serial_to_ticks(1e300).ticks, highest);
    EXPECT_EQ(serial_to_ticks(-1e300).ticks, lowest);

    EXPECT_TRUE(serial_fits_ticks(2958465.5));
    EXPECT_TRUE(serial_fits_ticks(-2958465.5));
    EXPECT_TRUE(serial_fits_ticks(1e7));
    EXPECT_FALSE(serial_fits_ticks(1.1e7));
    EXPECT_FALSE(serial_fits_ticks(-1.1e7));
    EXPECT_FALSE(serial_fits_ticks(std::nan("")));
    EXPECT_FALSE(serial_fits_ticks(inf));
}

TEST(datetime, valid_dates) {
    // Leap years are covered by the walk over every date in the export tests.
    EXPECT_TRUE(is_valid_date(0, 2, 29));  // year 0 exists
    EXPECT_FALSE(is_valid_date(2024, 4, 31));
    EXPECT_FALSE(is_valid_date(2024, 1, 0));
    EXPECT_FALSE(is_valid_date(2024, 1, 32));
    EXPECT_FALSE(is_valid_date(2024, 0, 1));
    EXPECT_FALSE(is_valid_date(2024, 13, 1));
    EXPECT_TRUE(is_valid_date(32767, 12, 31));
    EXPECT_FALSE(is_valid_date(32768, 1, 1));
    EXPECT_TRUE(is_valid_date(-32767, 1, 1));
    EXPECT_FALSE(is_valid_date(-32768, 12, 31));
}

TEST(datetime, decoders_take_the_day_after_rounding) {
    // A hair short of midnight belongs to the next day, also next to the special days.
    const double hair = 1e-12;
    expect_date(decode_serial_date(1.0 - hair), 1900, 1, 1);
    expect_date(decode_serial_date(60.0 - hair), 1900, 2, 29);
    expect_date(decode_serial_date(61.0 - hair), 1900, 3, 1);
    expect_date(decode_serial_date(-hair), 1900, 1, 0);
    expect_time(decode_serial_time(61.0 - hair), 0, 0, 0, 0);

    // Rounding goes on to the millisecond, in the date as in the time.
    const double ms = 1 / 86400000.0;
    expect_date(decode_serial_date(45292.0 - 0.3 * ms), 2024, 1, 1);
    expect_time(decode_serial_time(45292.0 - 0.3 * ms), 0, 0, 0, 0);
    expect_date(decode_serial_date1904(43830.0 - 0.7 * ms), 2023, 12, 31);
    expect_time(decode_serial_time(43830.0 - 0.7 * ms), 23, 59, 59, 999);
    expect_time(decode_serial_time(0.5 + 1.6 * ms), 12, 0, 0, 2);
}
