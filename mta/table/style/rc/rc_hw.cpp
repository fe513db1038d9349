#include "mta/table/style/rc/rc_hw.h"

#include "sheet_limits.h"

#include <cmath>

namespace vex::mta {

namespace {

constexpr double pixels_per_inch = 96.0;
constexpr double pixels_per_char = 8.0;
constexpr double padding_pixels = 5.0;  // 2 * max(ceil(2.0), 1) + 1

int64_t round_emu(double emu) {
    return static_cast<int64_t>(emu + 0.5);
}

} // namespace

int64_t row_height_to_emu(double value, int unit) {
    double points;
    switch (unit) {
    case 0: points = value; break;
    case 1: points = value * 72.0; break;
    case 2: points = value * 72.0 / 25.4; break;
    default: return 0;
    }
    if (std::isnan(points)) return 0;
    return round_emu(std::min<double>(get_sheet_limits().max_row_height, points) * double(emu_per_point));
}

int64_t col_width_to_emu(double value, int unit) {
    if (std::isnan(value)) return 0;
    const double max_chars = get_sheet_limits().max_col_width;
    switch (unit) {
    case 0: {
        const double v = std::min(value, max_chars);
        const double w = std::floor((pixels_per_char * v + padding_pixels) / pixels_per_char * 256.0) / 256.0;
        return round_emu(std::min(max_chars, w) * pixels_per_char * double(emu_per_inch) / pixels_per_inch);
    }
    case 1:
    case 2: {
        const double pixels = unit == 1 ? value * pixels_per_inch : value * pixels_per_inch / 25.4;
        return round_emu(std::min(max_chars * pixels_per_char, pixels) * double(emu_per_inch) / pixels_per_inch);
    }
    default: return 0;
    }
}

double emu_to_row_height(int64_t emu, int unit) {
    switch (unit) {
    case 0: return double(emu) / double(emu_per_point);
    case 1: return double(emu) / double(emu_per_inch);
    case 2: return double(emu) / double(emu_per_mm);
    default: return 0.0;
    }
}

double emu_to_col_width(int64_t emu, int unit) {
    switch (unit) {
    case 0: return double(emu) * pixels_per_inch / double(emu_per_inch) / pixels_per_char;
    case 1: return double(emu) / double(emu_per_inch);
    case 2: return double(emu) / double(emu_per_mm);
    default: return 0.0;
    }
}

} // namespace vex::mta
