#include "kestrel/core/components/sheet_protection.h"

#include "mta/table/table/table.h"
#include "run_message.h"
#include "text_utils.h"

#include <algorithm>
#include <limits>

namespace vex {

namespace {

constexpr std::string_view illegal_password_text =
    "The password contains illegal characters.\n"
    "Use strong passwords that combine uppercase and lowercase letters, numbers, and symbols.";
constexpr std::string_view invalid_range_text = "The range is invalid.";
constexpr std::string_view bad_index_text = "Index out of range.";
constexpr std::string_view range_stem = "Range ";

// Printable ASCII but space, "`" and "~"; every byte above 127 is refused.
constexpr bool password_char(unsigned char c) noexcept { return c >= '!' && c <= '}' && c != '`'; }

// A rest that is no number, or one outside 32 bits, carries none.
bool range_name_number(std::string_view name, int64_t& out) noexcept {
    if (name.size() <= range_stem.size() || name.substr(0, range_stem.size()) != range_stem) return false;
    return leading_int64(name.substr(range_stem.size()), out) && out >= std::numeric_limits<int32_t>::min() &&
           out <= std::numeric_limits<int32_t>::max();
}

mta::style_settings_t locking(bool locked) {
    mta::style_settings_t s;
    s.set_locked(locked);
    return s;
}

bool valid_index(int32_t index, size_t count) noexcept { return index >= 0 && size_t(index) < count; }

} // namespace

std::string hash_algorithm_name(std::string_view read) {
    for (const std::string_view name : hash_algorithm_names) {
        if (read == name) return std::string(name);
        std::string plain;
        for (const char c : name)
            if (c != '-') plain += c;
        if (read == plain) return std::string(name);
    }
    return std::string(read);
}

bool sheet_protection_t::protect(uint32_t options, std::string_view password) {
    if (!std::all_of(password.begin(), password.end(), [](char c) { return password_char(static_cast<unsigned char>(c)); }))
        return refuse(illegal_password_text);
    sheet_protection_record_t r;
    r.protected_ = 1;
    r.options = options & protection_option_mask;
    if (!password.empty()) r.password = hash_password__(password);
    record_ = std::move(r);
    return true;
}

void sheet_protection_t::unprotect(mta::Table* table) {
    if (!is_protected()) return;
    if (table) table->set_all_cols_style(locking(true));
    record_ = {};
}

bool sheet_protection_t::protect_range(mta::Table* table, const range_t& range) {
    if (!table || !table->is_valid_range(range)) return refuse(invalid_range_text);
    table->set_all_cols_style(locking(false));
    table->set_range_style(range, locking(true));
    return protect(range_protection_options, {});
}

bool sheet_protection_t::set_editable_range(const mta::Table* table, const range_t& range) {
    if (!table || !table->is_valid_range(range)) return refuse(invalid_range_text);
    editable_range_t r;
    r.range = range;
    std::string name = next_range_name__();
    count_name__(name, 1);
    ranges_.made().emplace_back(std::move(name), std::move(r));
    // A protected sheet keeps its password and options: were they reset,
    // anyone could unprotect it.
    return is_protected() || protect(range_protection_options, {});
}

const char* sheet_protection_t::get_editable_range(int32_t index, int32_t* first_row, int32_t* first_col,
                                                   int32_t* last_row, int32_t* last_col) const {
    if (!valid_index(index, ranges_.size())) {
        set_run_message(bad_index_text);
        return nullptr;
    }
    const auto& [name, r] = ranges_.get()[size_t(index)];
    if (first_row) *first_row = r.range.first.row;
    if (first_col) *first_col = r.range.first.col;
    if (last_row) *last_row = r.range.last.row;
    if (last_col) *last_col = r.range.last.col;
    return name.c_str();
}

bool sheet_protection_t::delete_editable_range(int32_t index) {
    if (!valid_index(index, ranges_.size())) return refuse(bad_index_text);
    std::deque<named_range>& ranges = ranges_.made();
    count_name__(ranges[size_t(index)].first, -1);
    ranges.erase(ranges.begin() + index);
    return true;
}

void sheet_protection_t::follow_editable_ranges(const std::function<bool(editable_range_t&)>& follow) {
    ranges_.erase_if([&](named_range& r) {
        if (follow(r.second)) return false;
        count_name__(r.first, -1);
        return true;
    });
}

bool sheet_protection_t::add_editable_range(std::string name, editable_range_t range) {
    if (names_.contains(name)) return false;
    count_name__(name, 1);
    ranges_.made().emplace_back(std::move(name), std::move(range));
    return true;
}

// Names are unique, so a name comes and goes once.
void sheet_protection_t::count_name__(const std::string& name, int delta) {
    int64_t n = 0;
    const bool numbered = range_name_number(name, n);
    if (delta > 0) {
        names_.insert(name);
        if (numbered) ++range_numbers_[n];
        return;
    }
    names_.erase(name);
    if (!numbered) return;
    const auto it = range_numbers_.find(n);
    if (it != range_numbers_.end() && --it->second == 0) range_numbers_.erase(it);
}

// Each byte from the last to the first is folded into a 15-bit value rotated
// left by one, then the length and a fixed key. The length is taken modulo
// 2^16 so that the result keeps four digits.
std::string sheet_protection_t::hash_password__(std::string_view password) {
    const auto rotate = [](uint16_t h) { return uint16_t(((h >> 14) & 0x01) | ((h << 1) & 0x7FFF)); };
    uint16_t h = 0;
    for (auto it = password.rbegin(); it != password.rend(); ++it) h = uint16_t(rotate(h) ^ uint8_t(*it));
    h = uint16_t(rotate(h) ^ uint16_t(password.size()) ^ 0xCE4B);
    char digits[8];
    uint32_to_hex(digits, h);
    return std::string(digits + 4, 4);
}

std::string sheet_protection_t::next_range_name__() const {
    int64_t highest = range_numbers_.empty() ? 0 : std::max<int64_t>(0, range_numbers_.rbegin()->first);
    // Names past 32 bits count for nothing above, yet may be held.
    std::string name;
    do name = std::string(range_stem) + std::to_string(++highest);
    while (names_.contains(name));
    return name;
}

} // namespace vex
