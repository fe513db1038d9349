#pragma once
// The model of the shared-strings part: the strings the sheets share, and on
// save the list of those the sheets actually wrote.
//
// Only what the workbook part needs on save is here so far; the string store
// and the reader come with the cell store's binding.

#include "kestrel/core/components/component_base.h"

#include <string>
#include <string_view>
#include <vector>

namespace vex {

class shared_string_table_t : public component_base_t {
public:
    using component_base_t::component_base_t;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) override { return xml::sxml::status_t::keep; }
    bool keeps_every_node() const noexcept override { return true; }

    // The strings collected for the save, in the order the sheets wrote them.
    void add_string_to_save(std::string_view s) { save_list_.emplace_back(s); }
    bool has_strings_to_save() const noexcept { return !save_list_.empty(); }

private:
    std::vector<std::string> save_list_;
};

} // namespace vex
