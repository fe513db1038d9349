#pragma once
// A style value: six optional parts (number format, font, fill, border,
// alignment, protection) with an applied bit each, two cell flags and the named
// style it derives from. A part whose bit is clear comes from that named style
// when the value is interned. Hosts edit it through a style handle, the cell
// store merges it over a cell's current style, the style manager interns it.

#include "mta/table/style/manager/alignment.h"
#include "mta/table/style/manager/border.h"
#include "mta/table/style/manager/fill.h"
#include "mta/table/style/manager/font.h"
#include "mta/table/style/manager/protection.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vex::mta {

class style_manager_t;

class style_settings_t {
public:
    // The applied bits, shared with xf_t::applied.
    static constexpr uint32_t numfmt_bit = 1;
    static constexpr uint32_t font_bit = 2;
    static constexpr uint32_t fill_bit = 4;
    static constexpr uint32_t border_bit = 8;
    static constexpr uint32_t alignment_bit = 16;
    static constexpr uint32_t protection_bit = 32;
    static constexpr uint32_t all_bits = 63;

    style_settings_t() = default;
    style_settings_t(const style_settings_t&) = default;
    style_settings_t(style_settings_t&&) noexcept = default;
    style_settings_t& operator=(const style_settings_t&) = default;
    style_settings_t& operator=(style_settings_t&&) noexcept = default;
    virtual ~style_settings_t() = default;

    // Every field but style_id.
    bool operator==(const style_settings_t& o) const;

    void reset() { *this = style_settings_t{}; }

    // 0 or more: a style xf of the manager; -k: built-in style k, not yet in use.
    int32_t style_id() const noexcept { return style_id_; }
    void set_style_id(int32_t id) noexcept { style_id_ = id; }

    int32_t numfmt_id() const noexcept { return numfmt_id_; }
    const std::string& numfmt_code() const noexcept { return numfmt_code_; }
    const font_t& font() const noexcept { return font_; }
    const border_t& border() const noexcept { return border_; }
    const fill_t& fill() const noexcept { return fill_; }
    const alignment_t& alignment() const noexcept { return alignment_; }
    const protection_t& protection() const noexcept { return protection_; }
    bool quote_prefix() const noexcept { return quote_prefix_; }
    bool pivot_button() const noexcept { return pivot_button_; }
    uint32_t applied() const noexcept { return applied_; }
    bool is_applied(uint32_t bit) const noexcept { return (applied_ & bit) != 0; }

    // Each setter stores the part and marks it applied.
    void set_numfmt_id(int32_t id);            // the code is emptied
    void set_numfmt_code(std::string_view code);   // an empty code changes nothing
    void set_font(const font_t& f);
    void set_fill(const fill_t& f);
    void set_border(const border_t& b);
    void set_alignment(const alignment_t& a);
    void set_protection(const protection_t& p);
    void set_locked(bool locked);
    // Every part counts as set: the value stands for a whole look, as a cell shows it.
    void apply_all() noexcept { applied_ = all_bits; }
    void set_quote_prefix(bool on) noexcept { quote_prefix_ = on; }
    void set_pivot_button(bool on) noexcept { pivot_button_ = on; }

    // Each clears one applied bit and resets the part; the number format goes
    // back to id 0 with the code "General", the protection to {hidden 0, locked 1}.
    void unapply_numfmt();
    void unapply_font();
    void unapply_fill();
    void unapply_border();
    void unapply_alignment();
    void unapply_protection();

    // Whether the number format shows `v` as a date or time. Throws what the
    // number-format engine throws for a malformed code.
    bool is_datetime_value(double v) const;

    // Lays the applied parts of `src` over this one. Borders go edge by edge
    // (only present edges of src); the flags always come from src.
    void merge(const style_settings_t& src);
    // merge, and the inner horizontal and vertical edges as well.
    void merge_with_inner_borders(const style_settings_t& src);
    // What a cell, row or column shows once `src` is set on it: a named style
    // other than "normal", or every part (the whole look of a cell), takes
    // this one's place; anything less goes over it, so that a cell of a bold
    // column stays bold.
    void take(const style_settings_t& src);
    void take_with_inner_borders(const style_settings_t& src);

    // Copies for the cells of a styled block: the inner edges of the style stand
    // in for the outer edges that face other cells of the block. A whole look's
    // copies are whole looks too.
    style_settings_t for_first_row() const;
    style_settings_t for_middle_row() const;
    style_settings_t for_last_row() const;
    style_settings_t for_first_col_single_row() const;
    style_settings_t for_middle_col_single_row() const;
    style_settings_t for_last_col_single_row() const;
    style_settings_t for_first_col() const;
    style_settings_t for_middle_col() const;
    style_settings_t for_last_col() const;

private:
    friend class style_manager_t;

    void merge_parts__(const style_settings_t& src);
    void merge_diagonal__(const style_settings_t& src);
    void take_edge__(border_side to, const style_settings_t& src, border_side from);
    // Edge sources for left, right, top, bottom and (when set) inner horizontal.
    style_settings_t project__(border_side l, border_side r, border_side t, border_side b,
                               bool with_inner_horizontal) const;

    int32_t style_id_ = 0;
    int32_t numfmt_id_ = 0;
    std::string numfmt_code_;
    font_t font_;
    border_t border_;
    fill_t fill_;
    alignment_t alignment_;
    protection_t protection_;
    bool quote_prefix_ = false;
    bool pivot_button_ = false;
    uint32_t applied_ = 0;
};

} // namespace vex::mta
