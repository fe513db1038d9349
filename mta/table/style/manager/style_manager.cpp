#include "mta/table/style/manager/style_manager.h"

#include "mta/table/style/manager/builtin_numfmts.h"
#include "mta/table/style/manager/builtin_styles.h"

#include "errors.h"
#include "run_message.h"
#include "text_utils.h"

#include <bit>
#include <limits>

namespace vex::mta {

namespace {

constexpr std::string_view normal_name = "normal";

void hash_mix(size_t& h, size_t v) noexcept {
    uint64_t seed = h;
    hash_combine(seed, v);
    h = static_cast<size_t>(seed);
}

void hash_mix(size_t& h, double d) noexcept {
    // 0.0 and -0.0 compare equal, so they must hash alike.
    hash_mix(h, d == 0.0 ? size_t{0} : std::bit_cast<size_t>(d));
}

void hash_mix(size_t& h, const color_t& c) noexcept {
    hash_mix(h, size_t{c.auto_} | size_t{c.indexed} << 8 | size_t{c.theme} << 24 | size_t{c.rgb} << 32);
    hash_mix(h, c.tint);
}

size_t hash_of(const font_t& f) noexcept {
    size_t h = std::hash<std::string>{}(f.name);
    hash_mix(h, f.size);
    hash_mix(h, f.color);
    for (int32_t v : {f.family, f.scheme, f.charset, f.underline, f.vert_align}) hash_mix(h, size_t(uint32_t(v)));
    for (uint8_t v : {f.bold, f.italic, f.strikeout, f.outline, f.shadow, f.condense, f.extend}) hash_mix(h, size_t{v});
    return h;
}

// The gradient geometry is compared with a tolerance, so it stays out of the hash.
size_t hash_of(const fill_t& f) noexcept {
    size_t h = f.pattern.type;
    hash_mix(h, f.pattern.fg);
    hash_mix(h, f.pattern.bg);
    hash_mix(h, size_t(uint32_t(f.gradient.type)));
    for (const auto& s : f.gradient.stops) {
        hash_mix(h, s.color);
        hash_mix(h, s.position);
    }
    return h;
}

size_t hash_of(const border_t& b) noexcept {
    size_t h = b.flags;
    for (const auto& e : b.edges) {
        hash_mix(h, size_t{e.style});
        hash_mix(h, e.color);
    }
    return h;
}

size_t hash_of(const xf_t& x) noexcept {
    size_t h = x.numFmtId;
    for (uint32_t v : {x.xfId, x.fontId, x.fillId, x.borderId, x.applied}) hash_mix(h, size_t{v});
    const auto& a = x.alignment;
    for (int32_t v : {a.relative_indent, a.indent, a.reading_order, a.text_rotation, a.horizontal, a.vertical})
        hash_mix(h, size_t(uint32_t(v)));
    hash_mix(h, size_t{a.wrap_text} | size_t{a.shrink_to_fit} << 8 | size_t{a.justify_last_line} << 16 |
                    size_t{x.protection.hidden} << 24 | size_t{x.protection.locked} << 32 |
                    size_t{x.pivotButton} << 40 | size_t{x.quotePrefix} << 48);
    return h;
}

bool same_record(const font_t& a, const font_t& b) { return a == b; }
bool same_record(const fill_t& a, const fill_t& b) { return a == b; }
bool same_record(const border_t& a, const border_t& b) { return a == b; }
bool same_record(const xf_t& a, const xf_t& b) { return a == b; }

// The indexes of a list's records by hash, each bucket in list order, so that
// a search finds the first equal record exactly as a scan from the front would.
template <class T>
class record_index {
public:
    explicit record_index(uint32_t first) : first_(first) {}

    void rebuild(const std::vector<T>& list) {
        buckets_.clear();
        for (size_t i = first_; i < list.size(); ++i) buckets_[hash_of(list[i])].push_back(static_cast<uint32_t>(i));
    }

    // The first equal record from `first` on, or the new one appended.
    uint32_t intern(std::vector<T>& list, const T& record) {
        auto& bucket = buckets_[hash_of(record)];
        for (uint32_t i : bucket)
            if (same_record(list[i], record)) return i;
        const auto i = static_cast<uint32_t>(list.size());
        list.push_back(record);
        bucket.push_back(i);
        return i;
    }

    std::optional<uint32_t> find(const std::vector<T>& list, const T& record) const {
        const auto it = buckets_.find(hash_of(record));
        if (it == buckets_.end()) return std::nullopt;
        for (uint32_t i : it->second)
            if (same_record(list[i], record)) return i;
        return std::nullopt;
    }

    void add(const T& record, uint32_t i) { buckets_[hash_of(record)].push_back(i); }

private:
    uint32_t first_;
    std::unordered_map<size_t, std::vector<uint32_t>> buckets_;
};

} // namespace

// Font 0 and cell xf 0 belong to "normal" and change in place, so they are
// never found by a search.
struct style_manager_t::lookup {
    record_index<font_t> fonts{1};
    record_index<fill_t> fills{0};
    record_index<border_t> borders{0};
    record_index<xf_t> cell_xfs{1};
};

// ---- tables ------------------------------------------------------------------

int32_t style_manager_t::impl::register_numfmt_code(std::string_view code) {
    if (const auto it = custom_numfmt_ids.find(code); it != custom_numfmt_ids.end()) return it->second;
    std::optional<size_t> slot;
    while (!slot && !free_numfmt_slots.empty()) {
        const size_t s = free_numfmt_slots.front();
        free_numfmt_slots.pop_front();
        // Only an empty slot is free: one that holds a code is that code's id,
        // which records may use, and its text may be viewed elsewhere.
        if (s < custom_numfmt_codes.size() && custom_numfmt_codes[s].empty()) slot = s;
    }
    if (slot) {
        custom_numfmt_codes[*slot] = code;
    } else {
        if (custom_numfmt_codes.size() >= size_t(std::numeric_limits<int32_t>::max() - first_custom_numfmt_id))
            throw mta_error("Too many number formats.");
        custom_numfmt_codes.emplace_back(code);
        slot = custom_numfmt_codes.size() - 1;
    }
    const auto id = static_cast<int32_t>(first_custom_numfmt_id + *slot);
    custom_numfmt_ids.insert_or_assign(std::string(code), id);
    return id;
}

std::string_view style_manager_t::impl::custom_numfmt_code(int32_t id) const noexcept {
    if (id < first_custom_numfmt_id) return {};
    const auto slot = static_cast<size_t>(id - first_custom_numfmt_id);
    if (slot >= custom_numfmt_codes.size()) return {};
    return custom_numfmt_codes[slot];
}

void style_manager_t::impl::complete_loaded() {
    // Every search skips record 0 of the font and xf lists, so none may be empty.
    if (fonts.empty()) fonts.push_back(builtin_font(builtin_style_record(0).fontId));
    if (fills.empty()) {
        fills.push_back(builtin_fill(0));
        fills.push_back(builtin_fill(1));
    }
    if (borders.empty()) borders.push_back(builtin_border(0));
    if (cell_style_xfs.empty()) {
        xf_t x;
        x.applied = style_settings_t::all_bits;
        cell_style_xfs.push_back(x);
    }
    if (cell_xfs.empty()) {
        xf_t x = cell_style_xfs.front();
        x.xfId = 0;
        x.applied = 0;
        cell_xfs.push_back(x);
    }
    if (!named_styles.contains(normal_name) && !named_styles.find_builtin(0))
        named_styles.insert_front({std::string(normal_name), 0, 0, 0, 0, 0});

    const auto within = [](uint32_t& id, size_t size) {
        if (id >= size) id = 0;
    };
    const auto check = [&](xf_t& x) {
        within(x.fontId, fonts.size());
        within(x.fillId, fills.size());
        within(x.borderId, borders.size());
        const auto numfmt = static_cast<int32_t>(x.numFmtId);
        if (numfmt < 0 || (numfmt >= first_custom_numfmt_id && custom_numfmt_code(numfmt).empty())) x.numFmtId = 0;
    };
    for (auto& x : cell_style_xfs) check(x);
    for (auto& x : cell_xfs) {
        check(x);
        within(x.xfId, cell_style_xfs.size());
    }
    for (const auto& n : named_styles)
        if (n.xfId >= cell_style_xfs.size()) named_styles.find(n.name)->xfId = 0;
}

// ---- construction ----------------------------------------------------------------

style_manager_t::style_manager_t() { install_normal_style__(); }

style_manager_t::~style_manager_t() = default;

void style_manager_t::clear_styles__() {
    impl_ = std::make_unique<impl>();
    lookup_ = std::make_unique<lookup>();
    normal_cache_.reset();
}

void style_manager_t::install_normal_style__() {
    clear_styles__();
    if (impl_->named_styles.contains(normal_name)) return;
    const auto* entry = find_builtin_style(normal_name);
    const xf_t& rec = builtin_style_record(entry->record);

    impl_->fonts.push_back(builtin_font(rec.fontId));
    xf_t x = rec;
    x.xfId = 0;
    x.numFmtId = 0;
    x.fontId = 0;
    x.borderId = intern_border(builtin_border(rec.borderId));
    x.fillId = intern_fill(builtin_fill(rec.fillId));
    intern_fill(builtin_fill(1));   // gray125 always sits next to the normal fill
    impl_->named_styles.insert_or_assign({std::string(normal_name), 0, 0, 0, 0, 0});
    impl_->cell_style_xfs.push_back(x);
    x.applied = 0;
    impl_->cell_xfs.push_back(x);
}

void style_manager_t::rebuild_lookup__() {
    lookup_ = std::make_unique<lookup>();
    lookup_->fonts.rebuild(impl_->fonts);
    lookup_->fills.rebuild(impl_->fills);
    lookup_->borders.rebuild(impl_->borders);
    lookup_->cell_xfs.rebuild(impl_->cell_xfs);
}

void style_manager_t::assign_loaded_styles(std::unique_ptr<impl> loaded) {
    if (!loaded) return;
    loaded->complete_loaded();
    const std::lock_guard guard(mutex_);
    impl_ = std::move(loaded);
    rebuild_lookup__();
    normal_cache_.reset();
}

// ---- interning ---------------------------------------------------------------------

uint32_t style_manager_t::intern_font(const font_t& f) { return lookup_->fonts.intern(impl_->fonts, f); }
uint32_t style_manager_t::intern_fill(const fill_t& f) { return lookup_->fills.intern(impl_->fills, f); }
uint32_t style_manager_t::intern_border(const border_t& b) { return lookup_->borders.intern(impl_->borders, b); }

// Each named style gets a style xf of its own, even one equal to another's:
// applications take a style xf for one named style, and openpyxl refuses a
// file where two share one. Loaded files keep their records as read.
uint32_t style_manager_t::add_style_xf__(const xf_t& x) {
    auto& list = impl_->cell_style_xfs;
    list.push_back(x);
    return static_cast<uint32_t>(list.size() - 1);
}

// Applications read style names without regard to ASCII case: the name as
// given first, then in any case, then the built-in style of that name under
// whatever name a file gave it ("Normal").
named_style_t* style_manager_t::find_named__(std::string_view name) const {
    if (auto* named = impl_->named_styles.find(name)) return named;
    if (auto* named = impl_->named_styles.find_in_any_case(name)) return named;
    const auto* entry = find_builtin_style_in_any_case(name);
    return entry ? impl_->named_styles.find_builtin(entry->builtinId) : nullptr;
}

// Unless `add`, a built-in style not registered yet gives none.
std::optional<uint32_t> style_manager_t::parent_style_xf__(int32_t style_id, bool add) {
    if (style_id >= 0) {
        if (static_cast<size_t>(style_id) >= impl_->cell_style_xfs.size()) throw mta_error("The style id is invalid.");
        return static_cast<uint32_t>(style_id);
    }
    const int64_t number = -int64_t{style_id};
    const auto name = number < builtin_style_name_count ? builtin_style_name(static_cast<int>(number)) : std::string_view{};
    if (!add) {
        const auto* named = name.empty() ? nullptr : find_named__(name);
        return named ? std::optional<uint32_t>(named->xfId) : std::nullopt;
    }
    const int32_t id = name.empty() ? -1 : register_builtin_style__(name);
    if (id < 0) throw mta_error("No such built-in style name.");
    return static_cast<uint32_t>(id);
}

// The number-format id a style stands for: a pending code (id 0) is registered
// first, and so is a code this manager lists under another id (the style came
// from another workbook, where custom ids mean other codes); unless `add`, such
// a code not registered yet gives none. Throws when the id has no code.
std::optional<uint32_t> style_manager_t::resolve_numfmt__(int32_t id, std::string_view code, bool add) {
    if (!code.empty() && get_numfmt_code__(id) != code) {
        if (add) {
            id = add_numfmt_code__(code);
        } else if (const auto builtin = builtin_numfmt_id(code)) {
            id = *builtin;
        } else if (const auto it = impl_->custom_numfmt_ids.find(code); it != impl_->custom_numfmt_ids.end()) {
            id = it->second;
        } else {
            return std::nullopt;
        }
    }
    if (get_numfmt_code__(id).empty()) throw mta_error("The number format id is invalid.");
    return static_cast<uint32_t>(id);
}

// The cell format a style stands for. Unless `add`, nothing is registered: a
// style needing a part the lists lack (a style, number format, font, fill or
// border) gives none.
std::optional<xf_t> style_manager_t::style_xf__(const style_settings_t& s, bool add) {
    const auto parent = parent_style_xf__(s.style_id(), add);
    if (!parent) return std::nullopt;
    xf_t x = impl_->cell_style_xfs[*parent];
    x.xfId = *parent;
    const auto part = [add](auto& index, auto& list, const auto& record) {
        return add ? std::optional<uint32_t>(index.intern(list, record)) : index.find(list, record);
    };
    std::optional<uint32_t> id;
    if (s.is_applied(style_settings_t::numfmt_bit)) {
        if (!(id = resolve_numfmt__(s.numfmt_id(), s.numfmt_code(), add))) return std::nullopt;
        x.numFmtId = *id;
    }
    if (s.is_applied(style_settings_t::font_bit)) {
        if (!(id = part(lookup_->fonts, impl_->fonts, s.font()))) return std::nullopt;
        x.fontId = *id;
    }
    if (s.is_applied(style_settings_t::fill_bit)) {
        if (!(id = part(lookup_->fills, impl_->fills, s.fill()))) return std::nullopt;
        x.fillId = *id;
    }
    if (s.is_applied(style_settings_t::border_bit)) {
        if (!(id = part(lookup_->borders, impl_->borders, s.border()))) return std::nullopt;
        x.borderId = *id;
    }
    if (s.is_applied(style_settings_t::alignment_bit)) x.alignment = s.alignment();
    if (s.is_applied(style_settings_t::protection_bit)) x.protection = s.protection();
    x.applied = s.applied();
    return x;
}

xf_t style_manager_t::add_style_settings__(const style_settings_t& s) {
    return *style_xf__(s, true);
}

style_settings_t style_manager_t::adopt_numfmt(const style_settings_t& s) {
    style_settings_t out = s;
    if (!s.is_applied(style_settings_t::numfmt_bit) || s.numfmt_code().empty()) return out;
    const std::lock_guard guard(mutex_);
    out.set_numfmt_id(static_cast<int32_t>(*resolve_numfmt__(s.numfmt_id(), s.numfmt_code(), true)));
    out.set_numfmt_code(s.numfmt_code());
    return out;
}

uint16_t style_manager_t::intern_style(const style_settings_t& s) {
    const std::lock_guard guard(mutex_);
    if (s.style_id() == 0 && s == normal_settings__()) return 0;
    auto& list = impl_->cell_xfs;
    // A full list takes no new record: a style that would need one is refused
    // before any of its parts is added.
    const auto found_xf = style_xf__(s, list.size() < max_cell_xf_count);
    if (!found_xf) throw mta_error("Too many cell formats.");
    const xf_t& x = *found_xf;
    // A style that adds nothing to "normal" (a default or fully unapplied one) is
    // cell xf 0 itself, not a look-alike record.
    if (list[0] == x) return 0;
    // A loaded list may run past the 16-bit range; records out there cannot be used.
    if (const auto found = lookup_->cell_xfs.find(list, x); found && *found < max_cell_xf_count)
        return static_cast<uint16_t>(*found);
    if (list.size() >= max_cell_xf_count) throw mta_error("Too many cell formats.");
    list.push_back(x);
    const auto i = static_cast<uint32_t>(list.size() - 1);
    lookup_->cell_xfs.add(x, i);
    return static_cast<uint16_t>(i);
}

uint16_t style_manager_t::plain_look_alike() {
    const std::lock_guard guard(mutex_);
    auto& list = impl_->cell_xfs;
    for (size_t i = 1; i < list.size() && i < max_cell_xf_count; ++i)
        if (list[i] == list[0]) return static_cast<uint16_t>(i);
    if (list.size() >= max_cell_xf_count) throw mta_error("Too many cell formats.");
    list.push_back(list[0]);
    return static_cast<uint16_t>(list.size() - 1);
}

// ---- reading records back ----------------------------------------------------------

void style_manager_t::fill_settings__(const xf_t& x, style_settings_t& out) const {
    out.numfmt_id_ = static_cast<int32_t>(x.numFmtId);
    out.numfmt_code_ = get_numfmt_code__(out.numfmt_id_);
    out.font_ = impl_->fonts[x.fontId];
    out.fill_ = impl_->fills[x.fillId];
    out.border_ = impl_->borders[x.borderId];
    out.protection_ = x.protection;
    out.quote_prefix_ = x.quotePrefix != 0;
    out.pivot_button_ = x.pivotButton != 0;
}

// The parts of a cell xf that differ from its style xf's. A record shows them
// whatever its apply mask says, and openpyxl and LibreOffice write few apply
// attributes: an edit rebuilds the record from its parent and must keep them.
uint32_t style_manager_t::shown_parts__(const xf_t& x) const {
    if (x.xfId >= impl_->cell_style_xfs.size()) return 0;
    const xf_t& p = impl_->cell_style_xfs[x.xfId];
    const auto& m = *impl_;
    uint32_t bits = 0;
    if (x.numFmtId != p.numFmtId) bits |= style_settings_t::numfmt_bit;
    if (!(m.fonts[x.fontId] == m.fonts[p.fontId])) bits |= style_settings_t::font_bit;
    if (!(m.fills[x.fillId] == m.fills[p.fillId])) bits |= style_settings_t::fill_bit;
    if (!(m.borders[x.borderId] == m.borders[p.borderId])) bits |= style_settings_t::border_bit;
    if (!(x.alignment == p.alignment)) bits |= style_settings_t::alignment_bit;
    if (!(x.protection == p.protection)) bits |= style_settings_t::protection_bit;
    return bits;
}

bool style_manager_t::xf_to_style_settings__(uint16_t id, style_settings_t& out) const {
    if (id >= impl_->cell_xfs.size()) return false;
    const xf_t& x = impl_->cell_xfs[id];
    out.reset();
    fill_settings__(x, out);
    out.style_id_ = static_cast<int32_t>(x.xfId);
    out.alignment_ = x.alignment;
    out.applied_ = x.applied | shown_parts__(x);
    return true;
}

bool style_manager_t::xf_to_style_settings(uint16_t id, style_settings_t& out) const {
    const std::lock_guard guard(mutex_);
    return xf_to_style_settings__(id, out);
}

style_settings_t style_manager_t::get_style_settings(uint16_t id) const {
    style_settings_t out;
    xf_to_style_settings(id, out);
    return out;
}

bool style_manager_t::is_valid_xf_id(uint16_t id) const {
    const std::lock_guard guard(mutex_);
    return id < impl_->cell_xfs.size();
}

// ---- named styles --------------------------------------------------------------------

const style_settings_t& style_manager_t::normal_settings__() const {
    if (!normal_cache_) normal_cache_ = *get_named_style__(normal_name);
    return *normal_cache_;
}

std::unique_ptr<style_settings_t> style_manager_t::get_named_style__(std::string_view name) const {
    if (name.empty()) return nullptr;
    if (const auto* named = find_named__(name)) {
        const xf_t& x = impl_->cell_style_xfs[named->xfId];
        auto out = std::make_unique<style_settings_t>();
        fill_settings__(x, *out);
        // The style's own record: a cell given these settings derives from it.
        out->style_id_ = static_cast<int32_t>(named->xfId);
        // A style given an alignment reads back with it (built-in records have none).
        out->alignment_ = x.alignment;
        return out;
    }
    if (const auto* entry = find_builtin_style_in_any_case(name)) {
        const xf_t& x = builtin_style_record(entry->record);
        auto out = std::make_unique<style_settings_t>();
        // Named by its number: a cell given these settings derives from the
        // style, which is then put in use.
        out->style_id_ = -entry->builtinId;
        out->numfmt_id_ = static_cast<int32_t>(x.numFmtId);
        out->numfmt_code_ = builtin_numfmt_code(out->numfmt_id_);
        out->font_ = builtin_font(x.fontId);
        out->fill_ = builtin_fill(x.fillId);
        out->border_ = builtin_border(x.borderId);
        out->protection_ = x.protection;
        out->quote_prefix_ = x.quotePrefix != 0;
        out->pivot_button_ = x.pivotButton != 0;
        out->applied_ = x.applied;
        return out;
    }
    return nullptr;
}

std::unique_ptr<style_settings_t> style_manager_t::get_named_style(std::string_view name) const {
    const std::lock_guard guard(mutex_);
    return get_named_style__(name);
}

int32_t style_manager_t::register_builtin_style__(std::string_view name) {
    if (const auto* named = find_named__(name)) return static_cast<int32_t>(named->xfId);
    const auto* entry = find_builtin_style_in_any_case(name);
    if (!entry) {
        set_run_message("No such built-in style name.");
        return -1;
    }
    // The record keeps its own number format: "comma", "currency" and
    // "percent" are nothing but their format.
    const xf_t& rec = builtin_style_record(entry->record);
    xf_t x = rec;
    x.xfId = 0;
    x.fontId = intern_font(builtin_font(rec.fontId));
    x.borderId = intern_border(builtin_border(rec.borderId));
    x.fillId = intern_fill(builtin_fill(rec.fillId));
    const uint32_t i = add_style_xf__(x);
    impl_->named_styles.insert_or_assign(
        {std::string(entry->name), i, entry->builtinId, entry->iLevel, entry->customBuiltin, entry->hidden});
    return static_cast<int32_t>(i);
}

int32_t style_manager_t::register_builtin_style(std::string_view name) {
    const std::lock_guard guard(mutex_);
    return register_builtin_style__(name);
}

// A named style takes every part of its settings, applied or not.
xf_t style_manager_t::whole_style_xf__(const style_settings_t& s) {
    xf_t x;
    x.fillId = intern_fill(s.fill());
    x.borderId = intern_border(s.border());
    x.alignment = s.alignment();
    x.protection = s.protection();
    x.quotePrefix = s.quote_prefix();
    x.pivotButton = s.pivot_button();
    return x;
}

bool style_manager_t::add_custom_style(std::string_view name, style_settings_t& s) {
    const std::lock_guard guard(mutex_);
    // Applications read style names without regard to ASCII case: a custom
    // "Normal" beside the built-in "normal" would be one style to them.
    if (impl_->named_styles.contains_in_any_case(name) || is_builtin_style_name_in_any_case(name))
        throw mta_error("Duplicate style name: " + std::string(name));
    // Checked before anything is interned, so a refusal leaves no trace.
    const uint32_t numfmt = *resolve_numfmt__(s.numfmt_id(), s.numfmt_code(), true);
    xf_t x = whole_style_xf__(s);
    x.numFmtId = numfmt;
    x.fontId = intern_font(s.font());
    x.applied = s.applied();
    const uint32_t i = add_style_xf__(x);
    impl_->named_styles.insert_or_assign({std::string(name), i, -1, 0, 0, 0});
    s.set_style_id(static_cast<int32_t>(i));
    return true;
}

bool style_manager_t::modify_named_style(std::string_view name, const style_settings_t& s) {
    const std::lock_guard guard(mutex_);
    normal_cache_.reset();
    if (ascii_iequals(name, normal_name)) {
        set_normal_style__(s);
        return true;
    }
    if (const auto* named = find_named__(name)) {
        const uint32_t at = named->xfId;
        const auto x = add_style_settings__(s);   // may add a named style: `named` is stale
        // Equal styles share a style xf; the one changed gets a record of its own.
        if (at == 0 || style_xf_shared__(at)) {
            impl_->cell_style_xfs.push_back(x);
            find_named__(name)->xfId = static_cast<uint32_t>(impl_->cell_style_xfs.size() - 1);
        } else {
            impl_->cell_style_xfs[at] = x;
        }
        return true;
    }
    const auto* entry = find_builtin_style_in_any_case(name);
    if (!entry) {
        set_run_message("No style named " + std::string(name) + ".");
        return false;
    }
    const auto x = add_style_settings__(s);
    const uint32_t i = add_style_xf__(x);
    impl_->named_styles.insert_or_assign(
        {std::string(entry->name), i, entry->builtinId, entry->iLevel, 1, entry->hidden});
    return true;
}

bool style_manager_t::style_xf_shared__(uint32_t xf) const {
    size_t users = 0;
    for (const auto& n : impl_->named_styles) users += n.xfId == xf;
    return users > 1;
}

void style_manager_t::set_normal_style(const style_settings_t& s) {
    const std::lock_guard guard(mutex_);
    set_normal_style__(s);
}

void style_manager_t::set_normal_style__(const style_settings_t& s) {
    style_settings_t current;
    xf_to_style_settings__(0, current);
    if (s == current) return;
    normal_cache_.reset();

    impl_->fonts[0] = s.font();
    xf_t x = whole_style_xf__(s);
    x.applied = style_settings_t::all_bits;
    impl_->cell_style_xfs[0] = x;

    if (auto* normal = find_named__(normal_name)) normal->customBuiltin = 1;
    else impl_->named_styles.insert_front({std::string(normal_name), 0, 0, 0, 1, 0});

    x.applied = 0;
    impl_->cell_xfs[0] = x;
}

// ---- number formats --------------------------------------------------------------------

int32_t style_manager_t::add_numfmt_code__(std::string_view code) {
    if (code.empty()) return -1;
    if (const auto id = builtin_numfmt_id(code)) return *id;
    return impl_->register_numfmt_code(code);
}

std::string_view style_manager_t::get_numfmt_code__(int32_t id) const {
    if (id < 0) return {};
    if (id < first_custom_numfmt_id) return builtin_numfmt_code(id);
    return impl_->custom_numfmt_code(id);
}

int32_t style_manager_t::add_numfmt_code(std::string_view code) {
    const std::lock_guard guard(mutex_);
    return add_numfmt_code__(code);
}

std::string_view style_manager_t::get_numfmt_code(int32_t id) const {
    const std::lock_guard guard(mutex_);
    return get_numfmt_code__(id);
}

bool style_manager_t::is_valid_numfmt_id(int32_t id) const { return !get_numfmt_code(id).empty(); }

} // namespace vex::mta
