#pragma once
// The style manager of a workbook: turns style values into the interned records
// that cells refer to by a 16-bit index, and back. Fonts, fills and borders are
// interned into lists; each named style owns a style xf ("cellStyleXfs"); each
// distinct cell format is a cell xf ("cellXfs"). It also keeps the named styles
// and the custom number formats (ids 164 and up).
//
// Records are only ever appended, so an index once handed out stays valid until
// a loaded set of tables replaces the whole set. Records change in place only
// when a named style is changed.
//
// All sheets of a workbook share one manager while each sheet is locked on its
// own, so every public operation takes the manager's own (recursive) lock.

#include "hash_utils.h"
#include "mta/table/style/manager/border.h"
#include "mta/table/style/manager/color.h"
#include "mta/table/style/manager/dxf.h"
#include "mta/table/style/manager/fill.h"
#include "mta/table/style/manager/font.h"
#include "mta/table/style/manager/named_style.h"
#include "mta/table/style/manager/style_settings.h"
#include "mta/table/style/manager/table_style.h"
#include "mta/table/style/manager/xf.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex::mta {

inline constexpr int32_t first_custom_numfmt_id = 164;
inline constexpr size_t max_cell_xf_count = 65536;   // cells hold 16-bit indexes

class style_manager_t {
public:
    struct impl;

    style_manager_t();
    virtual ~style_manager_t();
    style_manager_t(const style_manager_t&) = delete;
    style_manager_t& operator=(const style_manager_t&) = delete;

    // ---- Cell formats -------------------------------------------------------
    // The cell-xf index of a style: 0 for the settings of "normal", else an
    // equal existing record or a new one. Throws mta_error for a number format
    // without a code, an unknown parent style, or a full cell-xf list.
    uint16_t intern_style(const style_settings_t& s);
    // A value handed in, perhaps from another workbook, whose custom ids name
    // other codes: its number format, named by its code where it has one, gets
    // this manager's id.
    style_settings_t adopt_numfmt(const style_settings_t& s);

    // A cell xf with the format of cell xf 0 under an index of its own, added
    // when the list has none: a sheet entry gives it to a cell that shows no
    // style in a column or row written with a style, where 0 would read as
    // theirs. Interning never hands it out. Throws mta_error for a full list.
    uint16_t plain_look_alike();

    // The settings of cell xf `id`; a default value for an unknown id. Parts
    // that differ from the record's style xf count as applied, as they show.
    style_settings_t get_style_settings(uint16_t id) const;
    // False, with `out` untouched, for an unknown id.
    bool xf_to_style_settings(uint16_t id, style_settings_t& out) const;
    bool is_valid_xf_id(uint16_t id) const;

    // Takes the tables read from a styles part (completed as
    // impl::complete_loaded says); the previous ones go.
    void assign_loaded_styles(std::unique_ptr<impl> loaded);

    // ---- Named styles -------------------------------------------------------
    // The style-xf index of a built-in style, put in use on first call; -1 (and
    // the last message "No such built-in style name.") for any other name.
    int32_t register_builtin_style(std::string_view name);
    // Adds a custom style made from `s` and stores its style-xf index in
    // s.style_id. Throws mta_error "Duplicate style name: <name>" for a name in
    // use or built in.
    bool add_custom_style(std::string_view name, style_settings_t& s);
    // Names below are found in any ASCII case, as applications read them.
    // The settings of a named style in use or built in; null for any other name.
    std::unique_ptr<style_settings_t> get_named_style(std::string_view name) const;
    // Replaces the format of a named style ("normal", one in use, or a built-in
    // one, which is then put in use). False and the last message
    // "No style named <name>." for any other name.
    bool modify_named_style(std::string_view name, const style_settings_t& s);
    // Replaces the format of "normal": font 0, style xf 0 and cell xf 0 change in
    // place, so every unstyled cell follows.
    void set_normal_style(const style_settings_t& s);

    // ---- Number formats -----------------------------------------------------
    // The id of a code: the built-in id of a built-in code, else a custom id
    // (registered on first use, 164 and up); -1 for an empty code.
    int32_t add_numfmt_code(std::string_view code);
    // The code of an id; a null view for a negative id or one past the custom
    // codes. A registered text never changes; it lives until loaded tables
    // replace these.
    std::string_view get_numfmt_code(int32_t id) const;
    bool is_valid_numfmt_id(int32_t id) const;

    // ---- The tables, for the styles-part writer ------------------------------
    // Hold lock() while reading them if other threads may use the manager.
    const impl& get_impl() const noexcept { return *impl_; }
    std::unique_lock<std::recursive_mutex> lock() const { return std::unique_lock(mutex_); }

private:
    struct lookup;   // hash indexes over the interned lists

    std::optional<xf_t> style_xf__(const style_settings_t& s, bool add);
    xf_t add_style_settings__(const style_settings_t& s);
    bool xf_to_style_settings__(uint16_t id, style_settings_t& out) const;
    uint32_t shown_parts__(const xf_t& x) const;
    std::unique_ptr<style_settings_t> get_named_style__(std::string_view name) const;
    const style_settings_t& normal_settings__() const;
    int32_t register_builtin_style__(std::string_view name);
    // A named style by name, in any ASCII case; a built-in name also finds the
    // loaded style of its builtinId under whatever name the file gave it.
    named_style_t* find_named__(std::string_view name) const;
    std::optional<uint32_t> parent_style_xf__(int32_t style_id, bool add);
    std::optional<uint32_t> resolve_numfmt__(int32_t id, std::string_view code, bool add);
    int32_t add_numfmt_code__(std::string_view code);
    std::string_view get_numfmt_code__(int32_t id) const;
    void set_normal_style__(const style_settings_t& s);
    bool style_xf_shared__(uint32_t xf) const;
    xf_t whole_style_xf__(const style_settings_t& s);
    void install_normal_style__();
    void clear_styles__();
    void fill_settings__(const xf_t& x, style_settings_t& out) const;
    void rebuild_lookup__();

    uint32_t intern_font(const font_t& f);
    uint32_t intern_fill(const fill_t& f);
    uint32_t intern_border(const border_t& b);
    uint32_t add_style_xf__(const xf_t& x);

    mutable std::recursive_mutex mutex_;
    std::unique_ptr<impl> impl_;
    std::unique_ptr<lookup> lookup_;
    mutable std::optional<style_settings_t> normal_cache_;   // settings of "normal"
};

// The tables behind a manager, as the styles part reads and writes them.
struct style_manager_t::impl {
    std::vector<uint32_t> indexed_colors;     // custom palette, ARGB
    std::vector<color_t> mru_colors;
    std::deque<std::string> custom_numfmt_codes;   // slot i: the code of id 164 + i
    std::unordered_map<std::string, int32_t, vex::string_hash, std::equal_to<>> custom_numfmt_ids;
    std::deque<uint32_t> free_numfmt_slots;   // reused first, from the front
    std::vector<font_t> fonts;
    std::vector<border_t> borders;
    std::vector<fill_t> fills;
    std::vector<xf_t> cell_style_xfs;
    std::vector<xf_t> cell_xfs;
    named_style_list_t named_styles;
    std::vector<dxf_t> dxfs;
    std::string default_table_style;
    std::string default_pivot_style;
    std::vector<table_style_t> table_styles;

    // Registers a custom code (a free slot first, else a new one) and returns
    // its id; a code registered already keeps its id. No built-in check: the
    // styles-part reader registers whatever the file lists.
    int32_t register_numfmt_code(std::string_view code);
    // The code of a custom id; a null view when there is none.
    std::string_view custom_numfmt_code(int32_t id) const noexcept;

    // Makes loaded tables safe to use: an empty list gets its record 0 (font,
    // the none and gray125 fills, border, style xf, cell xf), "normal" is added
    // when no style is built-in style 0, and every id past its list (a font,
    // fill, border, style xf or custom number format that is not there)
    // becomes 0.
    void complete_loaded();
};

} // namespace vex::mta
