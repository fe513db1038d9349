#pragma once
// The model of the shared-strings part: the strings the sheets share, and on
// save the list of those the sheets actually wrote.
//
// Only what the workbook part needs on save is here so far; the string store
// and the reader come with the cell store's binding.

#include "kestrel/core/components/component_base.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex {

class shared_string_table_t : public component_base_t {
public:
    using component_base_t::component_base_t;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) override { return xml::sxml::status_t::keep; }
    bool keeps_every_node() const noexcept override { return true; }

    // The strings collected for the save, in the order the sheets wrote them.
    void add_string_to_save(std::string_view s) { save_list_.emplace_back(s); }
    bool has_strings_to_save() const noexcept { return !save_list_.empty() || !save_order_.empty(); }

    // The save numbering: a pool index gets the next part position the first
    // time a written cell asks for it. Starts afresh with each save.
    uint32_t save_index_of(uint32_t pool_index);
    void reset_save_indices() noexcept;
    // The pool indexes in part order, and how many cells asked.
    const std::vector<uint32_t>& save_order() const noexcept { return save_order_; }
    uint64_t save_reference_count() const noexcept { return save_references_; }

private:
    std::vector<std::string> save_list_;
    std::unordered_map<uint32_t, uint32_t> save_positions_;
    std::vector<uint32_t> save_order_;
    uint64_t save_references_ = 0;
};

} // namespace vex
