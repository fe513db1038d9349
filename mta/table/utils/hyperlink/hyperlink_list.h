#pragma once
// The hyperlinks of a sheet, in the order they were added. A link points into
// the workbook (written as its location) or outside it (written as a relationship
// of the sheet with TargetMode "External"). Links added through the interface give
// their cells the hyperlink look; links read from a file leave the fonts alone.

#include "coord.h"
#include "mta/table/utils/lazy_deque.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex::mta {

class Table;
struct band_shift_t;

struct hyperlink_t {
    vex::range_t range;
    std::string external;  // "yes" for an external link, empty for an internal one
    std::string address;   // the location of an internal link, the target of an external one
    // As a sheet file gives them; the relationship id is resolved into the
    // address once the package is loaded.
    std::string rel_id;
    std::string display;
    std::string location;
    std::string tooltip;
};

// True when the address reads as a cell or range in A1 form, optionally
// sheet-qualified ("B3", "$A$1:C9", "'My sheet'!A:A"), or names a defined name
// (asked of is_name). Anything else is an external target.
bool is_internal_link_target(std::string_view address, const std::function<bool(std::string_view)>& is_name);

class hyperlink_list_t {
public:
    explicit hyperlink_list_t(Table* table) : table_(table) {}

    // The interface path: decides the kind from the address (internal when the
    // formula model parses it as one cell, range or defined name), stores the record and
    // gives the cells the hyperlink font. False for a range outside the table.
    bool add(const vex::range_t& range, std::string_view address);
    // Stores one record; with parse false `external` is taken as given.
    bool add_record(const vex::range_t& range, std::string_view address, bool parse, bool external);
    // The sheet reader's record: external when it carries a relationship id, whose
    // target set_address gives later; an internal link's address is its location.
    bool add_loaded(const vex::range_t& range, std::string rel_id, std::string display, std::string location,
                    std::string tooltip);
    void set_address(size_t index, std::string_view address);
    // Erases the record and gives its cells their plain font back; a bad index is ignored.
    void remove(size_t index);

    size_t size() const noexcept { return links_.size(); }
    const hyperlink_t* at(size_t index) const noexcept { return index < links_.size() ? &links_.get()[index] : nullptr; }
    // The empty range for a bad index.
    vex::range_t range_at(size_t index) const noexcept;
    bool is_external(size_t index) const noexcept;
    std::string_view address_at(size_t index) const noexcept;
    // The first link whose range holds the cell, or -1.
    int index_of(int row, int col) const noexcept;

    // Links follow their cells when rows or columns of a band move: a link inside
    // the band moves, grows or shrinks with it and goes when all its cells go; a
    // link reaching outside the band stays where it is.
    void shift(const band_shift_t& s);

private:
    bool internal_address__(std::string_view address) const;
    // The link just appended joins a current index; any other change drops it.
    void appended__();
    // Gives the cells of the range the hyperlink font, or takes it away.
    void restyle__(const vex::range_t& range, bool linked);

    Table* table_;
    // A host deleting the first link again and again moves none of the others.
    lazy_deque<hyperlink_t> links_;
    // index_of's, made when first asked: a host asking cell by cell pays for
    // the links once. One-cell links by their cell, the first of each; wider
    // ones in order.
    mutable bool indexed_ = false;
    mutable std::unordered_map<uint64_t, int> by_cell_;
    mutable std::vector<int> wide_;
};

inline size_t hyperlink_count(const hyperlink_list_t& list) noexcept {
    return list.size();
}

} // namespace vex::mta
