// Free exports: A1 references, text conversions and colours.
#include "plover.h"

#include "kestrel/interface/entry.h"

#include "run_message.h"
#include "sheet_limits.h"
#include "text_utils.h"
#include "unicode.h"

#include <cstring>
#include <exception>
#include <string>

namespace {

using vex::detail::put;

constexpr unsigned int conversion_failed = 0xFFFFFFFFu;

// The exports share these instead of calling each other: an exported name may be
// interposed by the host.
int parse_a1(const char* ref, int* row, int* col) {
    if (!ref) {
        put(row, 0);
        put(col, 0);
        return 1;
    }
    vex::coord_t c;
    try {
        vex::string_to_coord(ref, c);
    } catch (const std::exception& e) {
        // A row past every integer keeps the conversion's "stoi argument out
        // of range": hosts match that text.
        vex::detail::report(e.what());
        return 0;
    }
    // Past the sheet ("A0", "XFE1", "CRXQ1") is refused without a message.
    const auto& lim = vex::get_sheet_limits();
    if (!lim.valid_row(c.row) || !lim.valid_col(c.col)) return 0;
    put(row, static_cast<int>(c.row));
    put(col, static_cast<int>(c.col));
    return 1;
}

unsigned int pack_rgb(int red, int green, int blue) {
    return static_cast<unsigned>(red) << 16 | static_cast<unsigned>(green) << 8 | static_cast<unsigned>(blue);
}

void unpack_rgb(unsigned int color, int* red, int* green, int* blue) {
    put(red, static_cast<int>((color >> 16) & 255));
    put(green, static_cast<int>((color >> 8) & 255));
    put(blue, static_cast<int>(color & 255));
}

} // namespace

extern "C" {

PLOVER_API int a1_to_row_col(const char* ref, int* row, int* col) noexcept {
    try {
        return parse_a1(ref, row, col);
    } catch (...) {
        vex::detail::report(vex::detail::unknown_error_message);
        return 0;
    }
}

PLOVER_API int wide_a1_to_row_col(const plover_char16* ref, int* row, int* col) noexcept {
    try {
        if (!ref) return parse_a1(nullptr, row, col);
        std::string text;
        if (!vex::wide_to_utf8(text, ref, std::char_traits<char16_t>::length(ref))) {
            vex::set_run_message("Failed to convert from wide string");
            return 0;
        }
        return parse_a1(text.c_str(), row, col);
    } catch (...) {
        vex::detail::report(vex::detail::unknown_error_message);
        return 0;
    }
}

PLOVER_API int row_col_to_a1(int row, int col, char* buffer) noexcept {
    try {
        const std::string text = vex::row_col_to_string(row, col);
        if (buffer) std::memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<int>(text.size());
    } catch (const std::exception& e) {
        vex::detail::report(e.what());
        return 0;
    }
}

PLOVER_API unsigned int to_ansi_string(const char* text, char* buffer) noexcept {
    if (!text) return conversion_failed;
    try {
        const std::string bytes = vex::utf8_to_codepage(vex::checked_host_text(text), vex::system_code_page);
        if (buffer) std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
        return static_cast<unsigned int>(bytes.size());
    } catch (const std::exception& e) {
        vex::detail::report(e.what());
        return conversion_failed;
    }
}

PLOVER_API unsigned int to_wide_string(const char* text, plover_char16* buffer) noexcept {
    if (!text) return conversion_failed;
    try {
        const std::u16string wide = vex::utf8_to_wide(vex::checked_host_text(text));
        if (buffer) std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
        return static_cast<unsigned int>(wide.size());
    } catch (const std::exception& e) {
        vex::detail::report(e.what());
        return conversion_failed;
    }
}

// Components are not masked: a value above 255 runs into the next field.
PLOVER_API unsigned int encode_rgb(int red, int green, int blue) noexcept { return pack_rgb(red, green, blue); }

PLOVER_API unsigned int encode_argb(int red, int green, int blue, int alpha) noexcept {
    return static_cast<unsigned>(alpha) << 24 | pack_rgb(red, green, blue);
}

PLOVER_API void decode_rgb(unsigned int color, int* red, int* green, int* blue) noexcept {
    unpack_rgb(color, red, green, blue);
}

PLOVER_API void decode_argb(unsigned int color, int* red, int* green, int* blue, int* alpha) noexcept {
    unpack_rgb(color, red, green, blue);
    put(alpha, static_cast<int>(color >> 24));
}

}
