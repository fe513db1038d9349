// Date exports: serial dates and times in the 1900 and 1904 systems.
#include "plover.h"

#include "kestrel/interface/entry.h"

#include "datetime.h"
#include "run_message.h"

#include <exception>

namespace {

using vex::detail::put;

template <typename Encode>
double guarded_encode(Encode encode) {
    try {
        return encode();
    } catch (const std::exception& e) {
        vex::detail::report(e.what());
        return vex::invalid_serial_time;
    }
}

void put_date(const vex::date_parts_t& d, int* year, int* month, int* day) {
    put(year, d.year);
    put(month, d.month);
    put(day, d.day);
}

void put_time(const vex::time_parts_t& t, int* hour, int* minute, int* second, int* millisecond) {
    put(hour, t.hour);
    put(minute, t.minute);
    put(second, t.second);
    put(millisecond, t.millisecond);
}

template <typename Decode>
auto guarded_decode(Decode decode) -> decltype(decode()) {
    try {
        return decode();
    } catch (const std::exception& e) {
        vex::detail::report(e.what());
        return {};
    }
}

// A serial whose date cannot be decoded gives zeros for its time as well.
template <typename DecodeDate>
void decode_datetime_parts(DecodeDate decode_date, double serial, int* year, int* month, int* day, int* hour,
                           int* minute, int* second, int* millisecond) {
    const vex::date_parts_t d = guarded_decode([&] { return decode_date(serial); });
    const vex::time_parts_t t =
        d.month == 0 ? vex::time_parts_t{} : guarded_decode([&] { return vex::decode_serial_time(serial); });
    put_date(d, year, month, day);
    put_time(t, hour, minute, second, millisecond);
}

} // namespace

extern "C" {

PLOVER_API double encode_date(int year, unsigned int month, unsigned int day) noexcept {
    return guarded_encode([&] { return vex::encode_serial_date(year, month, day); });
}

PLOVER_API double encode_date1904(int year, unsigned int month, unsigned int day) noexcept {
    return guarded_encode([&] { return vex::encode_serial_date1904(year, month, day); });
}

PLOVER_API double encode_datetime(int year, unsigned int month, unsigned int day, unsigned int hour,
                                  unsigned int minute, unsigned int second, int millisecond) noexcept {
    return guarded_encode(
        [&] { return vex::encode_serial_datetime(year, month, day, hour, minute, second, millisecond); });
}

PLOVER_API double encode_datetime1904(int year, unsigned int month, unsigned int day, unsigned int hour,
                                      unsigned int minute, unsigned int second, int millisecond) noexcept {
    return guarded_encode(
        [&] { return vex::encode_serial_datetime1904(year, month, day, hour, minute, second, millisecond); });
}

PLOVER_API double encode_time(unsigned int hour, unsigned int minute, unsigned int second, int millisecond) noexcept {
    return guarded_encode([&] { return vex::encode_serial_time(hour, minute, second, millisecond); });
}

PLOVER_API void decode_date(double serial, int* year, int* month, int* day) noexcept {
    put_date(guarded_decode([&] { return vex::decode_serial_date(serial); }), year, month, day);
}

PLOVER_API void decode_date1904(double serial, int* year, int* month, int* day) noexcept {
    put_date(guarded_decode([&] { return vex::decode_serial_date1904(serial); }), year, month, day);
}

PLOVER_API void decode_datetime(double serial, int* year, int* month, int* day, int* hour, int* minute,
                                int* second, int* millisecond) noexcept {
    decode_datetime_parts(vex::decode_serial_date, serial, year, month, day, hour, minute, second, millisecond);
}

PLOVER_API void decode_datetime1904(double serial, int* year, int* month, int* day, int* hour, int* minute,
                                    int* second, int* millisecond) noexcept {
    decode_datetime_parts(vex::decode_serial_date1904, serial, year, month, day, hour, minute, second,
                          millisecond);
}

PLOVER_API void decode_time(double serial, int* hour, int* minute, int* second, int* millisecond) noexcept {
    put_time(guarded_decode([&] { return vex::decode_serial_time(serial); }), hour, minute, second, millisecond);
}

}
