#include "mta/table/formula_model/spelling_sheets.h"

#include <algorithm>
#include <iterator>

namespace vex::mta::formula {

void spelling_sheets_t::add(const std::string& folded, Table* sheet) {
    std::vector<Table*>& sheets = sheets_[folded];
    if (std::find(sheets.begin(), sheets.end(), sheet) == sheets.end()) sheets.push_back(sheet);
}

void spelling_sheets_t::remove(const std::string& folded, Table* sheet) {
    const auto it = sheets_.find(folded);
    if (it == sheets_.end()) return;
    std::erase(it->second, sheet);
    if (it->second.empty()) sheets_.erase(it);
}

std::vector<Table*> spelling_sheets_t::sheets(const std::string& folded) const {
    const auto it = sheets_.find(folded);
    return it == sheets_.end() ? std::vector<Table*>() : it->second;
}

void spelling_sheets_t::leave(Table* sheet) {
    // Sheets are deleted from the last as often as not.
    const auto it = std::find(keepers_.rbegin(), keepers_.rend(), sheet);
    if (it != keepers_.rend()) keepers_.erase(std::next(it).base());
}

void spelling_sheets_t::keep(Table* sheet) {
    if (std::find(keepers_.rbegin(), keepers_.rend(), sheet) == keepers_.rend()) keepers_.push_back(sheet);
}

} // namespace vex::mta::formula
