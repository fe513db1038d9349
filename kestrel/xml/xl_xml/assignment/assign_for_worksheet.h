#pragma once
// The reader of a worksheet's sheet-level elements (views, custom views, page
// setup, sheet format).
//
// Only the entry the worksheet component calls is here so far: the elements
// are read by the sheet reader itself, which comes with the part readers.
// Until then each node is let go once handled, or handed to a stand-in reader
// that a driver (the benchmarks) installed.

#include "xml/sxml_node.h"

#include <atomic>

namespace vex {

class worksheet_t;

using sheet_node_reader_t = xml::sxml::status_t (*)(const xml::sxml::xml_node_t* node);

// The installed stand-in; null when none is.
inline std::atomic<sheet_node_reader_t>& stand_in_sheet_reader() noexcept {
    static std::atomic<sheet_node_reader_t> reader{nullptr};
    return reader;
}

class assign_for_worksheet_t {
public:
    explicit assign_for_worksheet_t(worksheet_t& sheet) noexcept : sheet_(sheet) {}

    xml::sxml::status_t root_handler(const xml::sxml::xml_node_t* node) {
        const sheet_node_reader_t read = stand_in_sheet_reader().load(std::memory_order_relaxed);
        return read ? read(node) : xml::sxml::status_t::done;
    }
    worksheet_t& sheet() const noexcept { return sheet_; }

private:
    worksheet_t& sheet_;
};

} // namespace vex
