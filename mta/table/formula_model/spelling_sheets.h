#pragma once
// The sheets of one workbook whose formulas spell each name, the spellings
// folded as utf8_fold_case folds them. A sheet or defined name that comes later
// looks at the formulas of those sheets, not at every sheet's: adding sheets
// one by one costs what each changes. Each sheet's name spellers keep it, and
// leave it before their sheet goes.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex::mta {
class Table;
}

namespace vex::mta::formula {

class spelling_sheets_t {
public:
    // The sheet's first formula filed under the spelling, and its last forgotten.
    void add(const std::string& folded, Table* sheet);
    void remove(const std::string& folded, Table* sheet);
    // In no set order; empty for a spelling no formula holds.
    std::vector<Table*> sheets(const std::string& folded) const;
    // The sheets that may hold texts kept beside their cells, in the order
    // they said so: a sheet going looks at them, not at every sheet.
    void keep(Table* sheet);
    const std::vector<Table*>& keepers() const noexcept { return keepers_; }
    // The sheet is going: it spells nothing and keeps nothing.
    void leave(Table* sheet);

private:
    std::unordered_map<std::string, std::vector<Table*>> sheets_;
    std::vector<Table*> keepers_;
};

} // namespace vex::mta::formula
