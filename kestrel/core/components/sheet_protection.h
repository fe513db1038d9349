#pragma once
// A sheet's protection and its editable ranges (the format's protected
// ranges). Protecting stores the option bits and a legacy password hash;
// locking and unlocking cells goes through the sheet's cell store styles.

#include "coord.h"
#include "mta/table/utils/lazy_deque.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vex {

namespace mta {
class Table;
}

// The option bits of sheetProtection, named after their attributes. The
// first four are off unless written "1"; the others are on unless written "0".
enum protection_option : uint32_t {
    option_select_locked_cells = 1u << 0,
    option_select_unlocked_cells = 1u << 1,
    option_objects = 1u << 2,
    option_scenarios = 1u << 3,
    option_auto_filter = 1u << 4,
    option_insert_columns = 1u << 5,
    option_insert_rows = 1u << 6,
    option_insert_hyperlinks = 1u << 7,
    option_delete_columns = 1u << 8,
    option_delete_rows = 1u << 9,
    option_format_cells = 1u << 10,
    option_format_columns = 1u << 11,
    option_format_rows = 1u << 12,
    option_sort = 1u << 13,
    option_pivot_tables = 1u << 14,
};
inline constexpr uint32_t protection_option_mask = 0x7FFF;
// The bits written "1" when set; the others are written "0" when clear.
inline constexpr uint32_t protection_options_off_by_default = 0xF;
// The attribute of bit 1 << i.
inline constexpr std::array<std::string_view, 15> protection_option_attributes = {
    "selectLockedCells", "selectUnlockedCells", "objects",       "scenarios",  "autoFilter",
    "insertColumns",     "insertRows",          "insertHyperlinks", "deleteColumns", "deleteRows",
    "formatCells",       "formatColumns",       "formatRows",    "sort",       "pivotTables",
};
// Every option but selecting cells: what a range protection leaves on.
inline constexpr uint32_t range_protection_options = 65532;

// Password hash algorithms, named as applications write them.
inline constexpr std::array<std::string_view, 10> hash_algorithm_names = {
    "MD2", "MD4", "MD5", "RIPEMD-128", "RIPEMD-160", "SHA-1", "SHA-256", "SHA-384", "SHA-512", "WHIRLPOOL",
};
// The table's name for a name read with or without its dashes ("SHA512");
// any other name as read, so that the hash stays checkable.
std::string hash_algorithm_name(std::string_view read);

struct sheet_protection_record_t {
    std::string algorithm;  // hash_algorithm_name of the hash's algorithm; empty for none
    uint32_t spin_count = 0;
    std::string password;  // legacy hash, four upper-case hex digits, or empty
    std::string hash_value;
    std::string salt_value;
    uint32_t protected_ = 0;
    uint32_t options = 0;

    friend bool operator==(const sheet_protection_record_t&, const sheet_protection_record_t&) = default;
};

struct editable_range_t {
    std::string algorithm;  // as in sheet_protection_record_t
    range_t range;          // the first area
    std::string sqref;      // every area as read, when there are several
    uint32_t spin_count = 0;
    std::string password;  // legacy hash, as read
    std::string hash_value;
    std::string salt_value;
    std::string security_descriptor;  // the attribute
    std::vector<std::string> security_descriptors;  // the child elements
};

class sheet_protection_t {
public:
    using named_range = std::pair<std::string, editable_range_t>;

    bool is_protected() const noexcept { return record_.protected_ != 0; }
    const sheet_protection_record_t& record() const noexcept { return record_; }
    // For the reader.
    sheet_protection_record_t& record() noexcept { return record_; }

    // Protects with the options' low fifteen bits and the password's hash, read
    // values cleared. A password with a character other than printable ASCII
    // (space, "`" and "~" excepted) is refused with its message: false, nothing
    // changed. An empty password stores none.
    bool protect(uint32_t options, std::string_view password);
    // Locks every column of the table again and clears the record; nothing when
    // the sheet is not protected.
    void unprotect(mta::Table* table);
    // Unlocks the whole sheet, locks the range, protects without a password;
    // "The range is invalid." and false for a range outside the table (or
    // without one).
    bool protect_range(mta::Table* table, const range_t& range);

    // Editable ranges, in the order they were added. set_editable_range names
    // the range and protects a sheet not protected yet, leaving cell locking
    // alone.
    bool set_editable_range(const mta::Table* table, const range_t& range);
    uint32_t editable_range_count() const noexcept { return uint32_t(ranges_.size()); }
    // The name, writing the corners to the outputs given; null with "Index out
    // of range." for a bad index.
    const char* get_editable_range(int32_t index, int32_t* first_row, int32_t* first_col, int32_t* last_row,
                                   int32_t* last_col) const;
    bool delete_editable_range(int32_t index);
    // Each range through an edit of the sheet's cells: `follow` moves it, and
    // one it answers false for goes, name and all.
    void follow_editable_ranges(const std::function<bool(editable_range_t&)>& follow);
    const std::deque<named_range>& editable_ranges() const noexcept { return ranges_.get(); }
    // For the reader: false, adding nothing, for a name held already.
    bool add_editable_range(std::string name, editable_range_t range);
    // For the reader: the range added last, null when none is.
    editable_range_t* last_editable_range() noexcept { return ranges_.empty() ? nullptr : &ranges_.made().back().second; }

    // The format's legacy 16-bit verifier as four upper-case hex digits.
    static std::string hash_password__(std::string_view password);
    // "Range N" with N one past the largest number among the names "Range n";
    // never a name held already.
    std::string next_range_name__() const;

private:
    void count_name__(const std::string& name, int delta);

    sheet_protection_record_t record_;
    // A host deleting the first range again and again moves none of the others.
    mta::lazy_deque<named_range> ranges_;
    // The names of ranges_, and of those "Range n" how many carry each n: a
    // name is found and the next one made without a walk over the ranges.
    std::unordered_set<std::string> names_;
    std::map<int64_t, uint32_t> range_numbers_;
};

} // namespace vex
