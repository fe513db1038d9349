#pragma once
// Small styles and probes shared by the sheet-model tests.

#include "mta/table/style/manager/style_settings.h"
#include "mta/table/table/table.h"
#include "run_message.h"

#include <string>

namespace sample {

inline vex::mta::style_settings_t font_style(uint8_t bold, uint8_t italic = 0) {
    vex::mta::font_t f;
    f.name = "Arial";
    f.size = 10;
    f.bold = bold;
    f.italic = italic;
    vex::mta::style_settings_t s;
    s.set_font(f);
    return s;
}

inline vex::mta::style_settings_t fill_style(uint32_t argb) {
    vex::mta::fill_t f;
    f.pattern.type = 1;
    f.pattern.fg = vex::mta::color_t::from_rgb(argb);
    vex::mta::style_settings_t s;
    s.set_fill(f);
    return s;
}

// The cell's own style index, 0 in a column not made yet.
inline uint16_t own_xf(const vex::mta::Table& t, int row, int col) {
    const auto* column = t.find_column(col);
    return column ? column->get_xf(row) : 0;
}

inline std::string last_message() { return vex::get_run_message().str(); }

inline vex::range_t range(int r1, int c1, int r2, int c2) {
    return {{0, r1, c1, 1, 0, 0}, {0, r2, c2, 1, 0, 0}};
}

} // namespace sample
