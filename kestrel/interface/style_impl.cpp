#include "kestrel/interface/style_impl.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/interface/entry.h"
#include "kestrel/interface/workbook_impl.h"
#include "kestrel/parts/part.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/table/table_registry.h"
#include "number_format/number_format.h"
#include "unicode.h"

#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vex {

namespace {

using mta::border_side;

// Public line styles in the order of BorderStyleEnum, as stored line styles
// (the styles part's list: none, thin, dashed, dashDot, dashDotDot, dotted,
// hair, medium, mediumDashed, mediumDashDot, mediumDashDotDot, slantDashDot,
// double, thick).
constexpr std::array<uint32_t, 14> stored_line_style = {0, 1, 7, 13, 12, 2, 8, 3, 9, 4, 10, 11, 5, 6};
// Public patterns in the order of PatternTypeEnum, as stored pattern types.
constexpr std::array<uint32_t, 19> stored_pattern = {0, 1, 7, 2, 17, 11, 10, 6, 5, 3, 4, 9, 8, 15, 14, 12, 13, 16, 18};

// The public number of a stored value; 0 for a value outside the table.
template <size_t N>
constexpr int public_of(const std::array<uint32_t, N>& table, uint32_t stored) noexcept {
    for (size_t i = 0; i < N; ++i)
        if (table[i] == stored) return static_cast<int>(i);
    return 0;
}

constexpr int border_index_count = 10;
constexpr int down_diagonal = 6;
constexpr int up_diagonal = 7;
constexpr int outer_edges = 8;
constexpr int inner_edges = 9;

constexpr int max_indent = 250;

constexpr std::string_view msg_no_worksheet = "At least one worksheet is required, please add a worksheet first.";

// The enumeration refusal: left directly, nothing thrown.
void report_bad_enum(std::string_view parameter, std::string_view enumeration) noexcept {
    try {
        std::string text(parameter);
        text += ": Invalid parameter value. Please refer to enum ";
        text += enumeration;
        text += " in enum.h";
        detail::report(text);
    } catch (...) {
        detail::report_exception();
    }
}

bool admit_enum(int value, int last, std::string_view parameter, std::string_view enumeration) noexcept {
    if (value >= 0 && value <= last) return true;
    report_bad_enum(parameter, enumeration);
    return false;
}

bool admit_border_index(int index) noexcept { return admit_enum(index, border_index_count - 1, "index", "BorderIndexEnum"); }

// The colour setters replace the value and the theme, keeping the rest.
void set_argb(mta::color_t& color, unsigned int argb) noexcept {
    color.rgb = argb;
    color.theme = 0;
    color.given &= uint8_t(~(mta::color_t::given_theme | mta::color_t::given_rgb));
}

// The edges an index names for the setters; none for the diagonals.
std::vector<border_side> plain_edges(int index) {
    switch (index) {
    case outer_edges: return {border_side::left, border_side::right, border_side::top, border_side::bottom};
    case inner_edges: return {border_side::horizontal, border_side::vertical};
    case down_diagonal:
    case up_diagonal: return {};
    default: return {static_cast<border_side>(index)};
    }
}

// The edge that border and border_color read for an index; null when they read 0.
const mta::border_edge_t* read_edge(const mta::border_t& b, int index) noexcept {
    if (index < down_diagonal) return &b.edge(static_cast<border_side>(index));
    if (index == down_diagonal) return b.diagonal_down() ? &b.edge(border_side::diagonal) : nullptr;
    if (index == up_diagonal) return b.diagonal_up() ? &b.edge(border_side::diagonal) : nullptr;
    return nullptr;
}

} // namespace

iStyle_impl::iStyle_impl(iWorkbook_impl* owner, mta::style_settings_t settings)
    : settings_(std::move(settings)), owner_(owner) {}

template <typename R, typename Work>
R iStyle_impl::locked(R failure, Work&& work) noexcept {
    try {
        const auto document = lock_document(owner_);
        std::lock_guard lock(mutex_);
        return work(settings_);
    } catch (...) {
        detail::report_exception();
        return failure;
    }
}

template <typename Work>
void iStyle_impl::locked_void(Work&& work) noexcept {
    locked(0, [&](mta::style_settings_t& s) {
        work(s);
        return 0;
    });
}

mta::style_manager_t& iStyle_impl::manager__() const {
    // The registry keeps the workbook's manager from its first sheet on, so a
    // workbook whose sheets were all deleted still has it.
    mta::style_manager_t* manager = nullptr;
    if (owner_ && owner_->workbook() && owner_->workbook()->get_part())
        manager = mta::get_table_registry().workbook_styles(owner_->workbook()->get_part()->get_part_id());
    if (!manager) throw std::runtime_error(std::string(msg_no_worksheet));
    return *manager;
}

// ---- number format ----

int iStyle_impl::set_numfmt(const char* code) {
    if (!code) {
        detail::report("Number format code cannot be empty.");
        return -1;
    }
    return locked(-1, [&](mta::style_settings_t& s) {
        const std::string text = *code ? checked_host_text(code) : std::string();
        // Checked before it is registered: a code the engine refuses would fail
        // every later read of a cell that shows it, one it reads as invalid
        // would make the saved file unreadable elsewhere.
        numfmt::check_host_code(text.c_str());
        const int32_t id = manager__().add_numfmt_code(text);
        if (id < 0) throw std::runtime_error("Failed to set number format.");
        s.set_numfmt_id(id);
        s.set_numfmt_code(text);
        return int(id);
    });
}

const char* iStyle_impl::numfmt_code() {
    return locked(static_cast<const char*>(nullptr), [&](mta::style_settings_t& s) -> const char* {
        // Copied: a custom code's slot in the manager may be freed and reused.
        numfmt_text_ = manager__().get_numfmt_code(s.numfmt_id());
        return numfmt_text_.empty() ? nullptr : numfmt_text_.c_str();
    });
}

int iStyle_impl::numfmt_id() {
    return locked(-1, [](mta::style_settings_t& s) { return int(s.numfmt_id()); });
}

bool iStyle_impl::set_numfmt_id(int id) {
    return locked(false, [&](mta::style_settings_t& s) {
        const std::string_view code = manager__().get_numfmt_code(id);
        if (code.empty()) throw std::runtime_error("No such number format ID.");
        s.set_numfmt_id(id);
        // A custom code goes with its id: another workbook lists other codes
        // under the same ids.
        if (id >= mta::first_custom_numfmt_id) s.set_numfmt_code(code);
        return true;
    });
}

// ---- font ----

namespace {

// A copy of the font, edited, stored back: the font becomes applied.
template <typename Edit>
void edit_font(mta::style_settings_t& s, Edit&& edit) {
    mta::font_t font = s.font();
    edit(font);
    s.set_font(font);
}

} // namespace

void iStyle_impl::set_font(const char* name, int size) {
    if (!name) {
        detail::report("Font name cannot be empty.");
        return;
    }
    locked_void([&](mta::style_settings_t& s) {
        std::string text = *name ? checked_host_text(name) : std::string();
        edit_font(s, [&](mta::font_t& f) {
            f.name = std::move(text);
            if (size != 0) f.size = size;
        });
    });
}

const char* iStyle_impl::font_name() {
    return locked(static_cast<const char*>(nullptr), [](mta::style_settings_t& s) { return s.font().name.c_str(); });
}

int iStyle_impl::font_size() {
    return locked(-1, [](mta::style_settings_t& s) {
        // A size read from a file may lie outside int.
        const double size = std::trunc(s.font().size);
        if (!(size > double(std::numeric_limits<int>::min()) && size < double(std::numeric_limits<int>::max())))
            return size > 0 ? std::numeric_limits<int>::max() : size < 0 ? std::numeric_limits<int>::min() : 0;
        return int(size);
    });
}

void iStyle_impl::set_font_size(int size) {
    locked_void([&](mta::style_settings_t& s) { edit_font(s, [&](mta::font_t& f) { f.size = size; }); });
}

bool iStyle_impl::italic() {
    return locked(false, [](mta::style_settings_t& s) { return s.font().italic != 0; });
}

void iStyle_impl::set_italic(bool on) {
    locked_void([&](mta::style_settings_t& s) { edit_font(s, [&](mta::font_t& f) { f.italic = on; }); });
}

bool iStyle_impl::strikeout() {
    return locked(false, [](mta::style_settings_t& s) { return s.font().strikeout != 0; });
}

void iStyle_impl::set_strikeout(bool on) {
    locked_void([&](mta::style_settings_t& s) { edit_font(s, [&](mta::font_t& f) { f.strikeout = on; }); });
}

unsigned int iStyle_impl::font_color() {
    return locked(0u, [](mta::style_settings_t& s) { return unsigned(s.font().color.rgb); });
}

void iStyle_impl::set_font_color(unsigned int argb) {
    locked_void([&](mta::style_settings_t& s) { edit_font(s, [&](mta::font_t& f) { set_argb(f.color, argb); }); });
}

bool iStyle_impl::bold() {
    return locked(false, [](mta::style_settings_t& s) { return s.font().bold != 0; });
}

void iStyle_impl::set_bold(bool on) {
    locked_void([&](mta::style_settings_t& s) { edit_font(s, [&](mta::font_t& f) { f.bold = on; }); });
}

int iStyle_impl::font_vert_align() {
    return locked(0, [](mta::style_settings_t& s) {
        const int v = s.font().vert_align;
        return v == 1 || v == 2 ? v : 0;
    });
}

void iStyle_impl::set_font_vert_align(int align) {
    if (!admit_enum(align, 2, "v_alignRun", "VertAlignRunEnum")) return;
    locked_void([&](mta::style_settings_t& s) { edit_font(s, [&](mta::font_t& f) { f.vert_align = align; }); });
}

int iStyle_impl::underlined() {
    return locked(0, [](mta::style_settings_t& s) {
        const int v = s.font().underline;
        return v >= 1 && v <= 4 ? v : 0;
    });
}

void iStyle_impl::set_underline(int underline) {
    if (!admit_enum(underline, 4, "underline", "UnderlineEnum")) return;
    locked_void([&](mta::style_settings_t& s) { edit_font(s, [&](mta::font_t& f) { f.underline = underline; }); });
}

// ---- border ----

int iStyle_impl::border(int index) {
    if (!admit_border_index(index)) return 0;
    return locked(0, [&](mta::style_settings_t& s) {
        const mta::border_edge_t* edge = read_edge(s.border(), index);
        return edge ? public_of(stored_line_style, edge->style) : 0;
    });
}

bool iStyle_impl::set_border(int index, int line_style) {
    if (!admit_border_index(index)) return false;
    if (!admit_enum(line_style, int(stored_line_style.size()) - 1, "style", "BorderStyleEnum")) return false;
    return locked(false, [&](mta::style_settings_t& s) {
        mta::border_t b = s.border();
        const uint32_t stored = stored_line_style[size_t(line_style)];
        for (border_side side : plain_edges(index)) b.set_edge(side, stored, b.edge(side).color);
        if (index == down_diagonal || index == up_diagonal) {
            const bool down = index == down_diagonal;
            const bool other_set = down ? b.diagonal_up() : b.diagonal_down();
            mta::border_edge_t& diagonal = b.edge(border_side::diagonal);
            if (stored != 0) {
                diagonal.style = stored;
            } else if (!other_set) {
                diagonal.style = 0;  // the other diagonal keeps the line when it is drawn
            }
            if (down)
                b.set_diagonal_down(stored != 0);
            else
                b.set_diagonal_up(stored != 0);
            b.set_present(border_side::diagonal, true);
        }
        s.set_border(b);
        return true;
    });
}

unsigned int iStyle_impl::border_color(int index) {
    if (!admit_border_index(index)) return 0u;
    return locked(0u, [&](mta::style_settings_t& s) {
        const mta::border_edge_t* edge = read_edge(s.border(), index);
        return edge ? unsigned(edge->color.rgb) : 0u;
    });
}

bool iStyle_impl::set_border_color(int index, unsigned int argb) {
    if (!admit_border_index(index)) return false;
    return locked(false, [&](mta::style_settings_t& s) {
        mta::border_t b = s.border();
        for (border_side side : plain_edges(index)) {
            set_argb(b.edge(side).color, argb);
            b.set_present(side, true);
        }
        if (index == down_diagonal || index == up_diagonal) {
            set_argb(b.edge(border_side::diagonal).color, argb);
            b.set_present(border_side::diagonal, true);
            if (index == down_diagonal)
                b.set_diagonal_down(true);
            else
                b.set_diagonal_up(true);
        }
        s.set_border(b);
        return true;
    });
}

// ---- fill ----

namespace {

template <typename Edit>
void edit_fill(mta::style_settings_t& s, Edit&& edit) {
    mta::fill_t fill = s.fill();
    edit(fill.pattern);
    s.set_fill(fill);
}

} // namespace

int iStyle_impl::fill_pattern() {
    return locked(0, [](mta::style_settings_t& s) { return public_of(stored_pattern, s.fill().pattern.type); });
}

void iStyle_impl::set_fill_pattern(int pattern) {
    if (!admit_enum(pattern, int(stored_pattern.size()) - 1, "pattern", "PatternTypeEnum")) return;
    locked_void([&](mta::style_settings_t& s) {
        edit_fill(s, [&](mta::pattern_fill_t& p) { p.type = stored_pattern[size_t(pattern)]; });
    });
}

unsigned int iStyle_impl::pattern_fg_color() {
    return locked(0u, [](mta::style_settings_t& s) { return unsigned(s.fill().pattern.fg.rgb); });
}

void iStyle_impl::set_pattern_fg_color(unsigned int argb) {
    locked_void([&](mta::style_settings_t& s) { edit_fill(s, [&](mta::pattern_fill_t& p) { set_argb(p.fg, argb); }); });
}

unsigned int iStyle_impl::pattern_bg_color() {
    return locked(0u, [](mta::style_settings_t& s) { return unsigned(s.fill().pattern.bg.rgb); });
}

void iStyle_impl::set_pattern_bg_color(unsigned int argb) {
    locked_void([&](mta::style_settings_t& s) { edit_fill(s, [&](mta::pattern_fill_t& p) { set_argb(p.bg, argb); }); });
}

// ---- alignment ----

namespace {

template <typename Edit>
void edit_alignment(mta::style_settings_t& s, Edit&& edit) {
    mta::alignment_t a = s.alignment();
    edit(a);
    s.set_alignment(a);
}

} // namespace

int iStyle_impl::align_h() {
    return locked(0, [](mta::style_settings_t& s) {
        const int v = s.alignment().horizontal;
        return v >= 1 && v <= 7 ? v : 0;
    });
}

void iStyle_impl::set_align_h(int align) {
    if (!admit_enum(align, 7, "h_alignment", "HAlignEnum")) return;
    locked_void([&](mta::style_settings_t& s) { edit_alignment(s, [&](mta::alignment_t& a) { a.horizontal = align; }); });
}

int iStyle_impl::align_v() {
    return locked(0, [](mta::style_settings_t& s) {
        const int v = s.alignment().vertical;
        return v >= 1 && v <= 4 ? v : 0;
    });
}

void iStyle_impl::set_align_v(int align) {
    if (!admit_enum(align, 4, "v_alignment", "VAlignEnum")) return;
    locked_void([&](mta::style_settings_t& s) { edit_alignment(s, [&](mta::alignment_t& a) { a.vertical = align; }); });
}

bool iStyle_impl::wrap() {
    return locked(false, [](mta::style_settings_t& s) { return s.alignment().wrap_text != 0; });
}

void iStyle_impl::set_wrap(bool on) {
    locked_void([&](mta::style_settings_t& s) { edit_alignment(s, [&](mta::alignment_t& a) { a.wrap_text = on; }); });
}

int iStyle_impl::rotation() {
    return locked(-1, [](mta::style_settings_t& s) {
        const int stored = s.alignment().text_rotation;
        return stored > 90 ? 90 - stored : stored;
    });
}

void iStyle_impl::set_rotation(int degrees) {
    const int clamped = degrees < -90 ? -90 : degrees > 90 ? 90 : degrees;
    const int stored = clamped < 0 ? 90 - clamped : clamped;
    locked_void([&](mta::style_settings_t& s) { edit_alignment(s, [&](mta::alignment_t& a) { a.text_rotation = stored; }); });
}

int iStyle_impl::indent() {
    return locked(-1, [](mta::style_settings_t& s) { return int(s.alignment().indent); });
}

void iStyle_impl::set_indent(int indent) {
    if (indent < 0) return;
    // Applications read no indent beyond 250.
    if (indent > max_indent) {
        detail::report("Indent cannot be more than 250.");
        return;
    }
    locked_void([&](mta::style_settings_t& s) { edit_alignment(s, [&](mta::alignment_t& a) { a.indent = indent; }); });
}

bool iStyle_impl::shrink_to_fit() {
    return locked(false, [](mta::style_settings_t& s) { return s.alignment().shrink_to_fit != 0; });
}

void iStyle_impl::set_shrink_to_fit(bool on) {
    locked_void([&](mta::style_settings_t& s) { edit_alignment(s, [&](mta::alignment_t& a) { a.shrink_to_fit = on; }); });
}

// ---- protection ----

bool iStyle_impl::cell_locked() {
    return locked(false, [](mta::style_settings_t& s) { return s.protection().locked != 0; });
}

void iStyle_impl::set_cell_locked(bool on) {
    locked_void([&](mta::style_settings_t& s) {
        mta::protection_t p = s.protection();
        p.locked = on;
        s.set_protection(p);
    });
}

bool iStyle_impl::cell_hidden() {
    return locked(false, [](mta::style_settings_t& s) { return s.protection().hidden != 0; });
}

void iStyle_impl::set_cell_hidden(bool on) {
    locked_void([&](mta::style_settings_t& s) {
        mta::protection_t p = s.protection();
        p.hidden = on;
        s.set_protection(p);
    });
}

// ---- unapplying parts ----

void iStyle_impl::unapply_numfmt() {
    locked_void([](mta::style_settings_t& s) { s.unapply_numfmt(); });
}

void iStyle_impl::unapply_font() {
    locked_void([](mta::style_settings_t& s) { s.unapply_font(); });
}

void iStyle_impl::unapply_fill() {
    locked_void([](mta::style_settings_t& s) { s.unapply_fill(); });
}

void iStyle_impl::unapply_border() {
    locked_void([](mta::style_settings_t& s) { s.unapply_border(); });
}

void iStyle_impl::unapply_alignment() {
    locked_void([](mta::style_settings_t& s) { s.unapply_alignment(); });
}

void iStyle_impl::unapply_protection() {
    locked_void([](mta::style_settings_t& s) { s.unapply_protection(); });
}

void iStyle_impl::unapply_all() {
    unapply_numfmt();
    unapply_font();
    unapply_fill();
    unapply_border();
    unapply_alignment();
    unapply_protection();
}

// ---- lifetime and value ----

void iStyle_impl::release() {
    try {
        // Not under the handle's mutex: the owner may destroy the handle.
        const auto document = lock_document(owner_);
        if (owner_ && owner_->release_style(this)) return;
        std::lock_guard lock(mutex_);
        settings_.reset();
    } catch (...) {
        detail::report_exception();
    }
}

mta::style_settings_t iStyle_impl::settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

void iStyle_impl::assign(const mta::style_settings_t& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
}

mta::style_settings_t iStyle_impl::settings_for(const iWorkbook_impl* book) const {
    mta::style_settings_t out = settings();
    // A negative id names a built-in style, the same in every book. Another
    // book's style xf means nothing here: its look comes whole instead.
    if (book != owner_ && out.style_id() > 0) {
        out.set_style_id(0);
        out.apply_all();
    }
    return out;
}

void iStyle_impl::set_style_id(int32_t id) {
    std::lock_guard lock(mutex_);
    settings_.set_style_id(id);
}

} // namespace vex
