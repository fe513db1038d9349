#include "mta/table/table/table.h"

#include "run_message.h"

namespace vex::mta {

bool Table::set_row_outline_level(int r1, int r2, int level) {
    if (static_cast<unsigned>(level) > outline_store_t::max_group_level) return refuse("Illegal outline level.");
    row_outline_.set_level(r1, r2, level);
    return true;
}

const defined_name_entry_t* Table::find_defined_name(const defined_name_key_t& key) const {
    const defined_name_store_t* store = get_defined_names();
    return store ? store->find(key) : nullptr;
}

bool Table::has_defined_name(const defined_name_key_t& key) const {
    const defined_name_store_t* store = get_defined_names();
    return store && store->contains(key);
}

bool Table::add_defined_name(std::string_view name, std::string_view expression, const defined_name_props_t& props,
                             uint32_t scope) {
    defined_name_store_t* store = get_defined_names();
    if (!store) return false;
    if (!store->add_with_props({name, scope}, props, expression, {})) return refuse("Duplicate defined name.");
    return true;
}

bool Table::set_defined_name(const defined_name_key_t& key, std::string_view expression) {
    if (expression.empty()) return refuse("Defined name parsing error.");
    return add_defined_name(key.name, expression, {}, key.local_sheet_id);
}

} // namespace vex::mta
