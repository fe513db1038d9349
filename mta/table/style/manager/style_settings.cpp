#include "mta/table/style/manager/style_settings.h"

#include "number_format/number_format.h"

namespace vex::mta {

bool style_settings_t::operator==(const style_settings_t& o) const {
    return numfmt_id_ == o.numfmt_id_ && numfmt_code_ == o.numfmt_code_ && font_ == o.font_ &&
           fill_.pattern == o.fill_.pattern && fill_.gradient == o.fill_.gradient && border_ == o.border_ &&
           alignment_ == o.alignment_ && protection_ == o.protection_ && applied_ == o.applied_ &&
           quote_prefix_ == o.quote_prefix_ && pivot_button_ == o.pivot_button_;
}

void style_settings_t::set_numfmt_id(int32_t id) {
    numfmt_id_ = id;
    numfmt_code_.clear();
    applied_ |= numfmt_bit;
}

void style_settings_t::set_numfmt_code(std::string_view code) {
    if (code.empty()) return;
    numfmt_code_ = code;
    applied_ |= numfmt_bit;
}

void style_settings_t::set_font(const font_t& f) {
    font_ = f;
    applied_ |= font_bit;
}

void style_settings_t::set_fill(const fill_t& f) {
    fill_ = f;
    applied_ |= fill_bit;
}

void style_settings_t::set_border(const border_t& b) {
    border_ = b;
    applied_ |= border_bit;
}

void style_settings_t::set_alignment(const alignment_t& a) {
    alignment_ = a;
    applied_ |= alignment_bit;
}

void style_settings_t::set_protection(const protection_t& p) {
    protection_ = p;
    applied_ |= protection_bit;
}

void style_settings_t::set_locked(bool locked) {
    protection_.locked = locked ? 1 : 0;
    applied_ |= protection_bit;
}

void style_settings_t::unapply_numfmt() {
    numfmt_id_ = 0;
    numfmt_code_ = "General";
    applied_ &= ~numfmt_bit;
}

void style_settings_t::unapply_font() {
    font_ = font_t{};
    applied_ &= ~font_bit;
}

void style_settings_t::unapply_fill() {
    fill_ = fill_t{};
    applied_ &= ~fill_bit;
}

void style_settings_t::unapply_border() {
    border_.clear();
    applied_ &= ~border_bit;
}

void style_settings_t::unapply_alignment() {
    alignment_ = alignment_t{};
    applied_ &= ~alignment_bit;
}

void style_settings_t::unapply_protection() {
    // Back to the value of a new style, so that a style with every part
    // unapplied reads like a fresh one (cells stay locked).
    protection_ = protection_t{};
    applied_ &= ~protection_bit;
}

bool style_settings_t::is_datetime_value(double v) const {
    const numfmt::number_format_t format(numfmt_code_.c_str());
    return format.get_format_type(v) == numfmt::rule_type_enum::datetime;
}

// The parts other than the border, as merge and the projections share them.
void style_settings_t::merge_parts__(const style_settings_t& src) {
    if (src.is_applied(numfmt_bit)) {
        numfmt_id_ = src.numfmt_id_;
        numfmt_code_.clear();
        applied_ |= numfmt_bit;
    }
    if (src.is_applied(font_bit)) set_font(src.font_);
    if (src.is_applied(fill_bit)) set_fill(src.fill_);
    if (src.is_applied(alignment_bit)) set_alignment(src.alignment_);
    if (src.is_applied(protection_bit)) set_protection(src.protection_);
    quote_prefix_ = src.quote_prefix_;
    pivot_button_ = src.pivot_button_;
}

void style_settings_t::take_edge__(border_side to, const style_settings_t& src, border_side from) {
    if (!src.border_.present(from)) return;
    border_.edge(to) = src.border_.edge(from);
    border_.set_present(to, true);
    applied_ |= border_bit;
}

void style_settings_t::merge_diagonal__(const style_settings_t& src) {
    if (!src.border_.present(border_side::diagonal)) return;
    take_edge__(border_side::diagonal, src, border_side::diagonal);
    if (src.border_.diagonal_up()) border_.set_diagonal_up(true);
    if (src.border_.diagonal_down()) border_.set_diagonal_down(true);
}

void style_settings_t::merge(const style_settings_t& src) {
    merge_parts__(src);
    if (!src.is_applied(border_bit)) return;
    for (auto side : {border_side::left, border_side::right, border_side::top, border_side::bottom})
        take_edge__(side, src, side);
    merge_diagonal__(src);
}

void style_settings_t::merge_with_inner_borders(const style_settings_t& src) {
    merge(src);
    if (!src.is_applied(border_bit)) return;
    take_edge__(border_side::horizontal, src, border_side::horizontal);
    take_edge__(border_side::vertical, src, border_side::vertical);
}

namespace {

bool takes_place(const style_settings_t& s) noexcept {
    return s.style_id() != 0 || s.applied() == style_settings_t::all_bits;
}

} // namespace

void style_settings_t::take(const style_settings_t& src) {
    if (takes_place(src)) *this = src;
    else merge(src);
}

void style_settings_t::take_with_inner_borders(const style_settings_t& src) {
    if (takes_place(src)) *this = src;
    else merge_with_inner_borders(src);
}

style_settings_t style_settings_t::project__(border_side l, border_side r, border_side t, border_side b,
                                             bool with_inner_horizontal) const {
    style_settings_t out;
    out.style_id_ = style_id_;
    out.merge_parts__(*this);
    if (!is_applied(border_bit)) return out;
    // A whole look stays whole where none of its edges lands, so that every
    // cell of a span takes its place as on the cell route.
    if (applied_ == all_bits) out.applied_ |= border_bit;
    out.take_edge__(border_side::left, *this, l);
    out.take_edge__(border_side::right, *this, r);
    out.take_edge__(border_side::top, *this, t);
    out.take_edge__(border_side::bottom, *this, b);
    if (with_inner_horizontal) out.take_edge__(border_side::horizontal, *this, border_side::horizontal);
    out.merge_diagonal__(*this);
    return out;
}

using bs = border_side;

style_settings_t style_settings_t::for_first_row() const {
    return project__(bs::left, bs::right, bs::top, bs::horizontal, false);
}
style_settings_t style_settings_t::for_middle_row() const {
    return project__(bs::left, bs::right, bs::horizontal, bs::horizontal, false);
}
style_settings_t style_settings_t::for_last_row() const {
    return project__(bs::left, bs::right, bs::horizontal, bs::bottom, false);
}
style_settings_t style_settings_t::for_first_col_single_row() const {
    return project__(bs::left, bs::vertical, bs::top, bs::bottom, false);
}
style_settings_t style_settings_t::for_middle_col_single_row() const {
    return project__(bs::vertical, bs::vertical, bs::top, bs::bottom, false);
}
style_settings_t style_settings_t::for_last_col_single_row() const {
    return project__(bs::vertical, bs::right, bs::top, bs::bottom, false);
}
style_settings_t style_settings_t::for_first_col() const {
    return project__(bs::left, bs::vertical, bs::top, bs::bottom, true);
}
style_settings_t style_settings_t::for_middle_col() const {
    return project__(bs::vertical, bs::vertical, bs::top, bs::bottom, true);
}
style_settings_t style_settings_t::for_last_col() const {
    return project__(bs::vertical, bs::right, bs::top, bs::bottom, true);
}

} // namespace vex::mta
