#pragma once
// Registered sheets of one workbook that know each other by name, as a loaded
// document's do, and the few looks into formula cells the tests need.

#include "mta/formula/cell_tracker.h"
#include "mta/formula/formula_cell.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/table/table/table_registry.h"
#include "mta/types/document_model_access.h"
#include "text_utils.h"

#include <algorithm>
#include <atomic>
#include <tuple>
#include <memory>
#include <string>
#include <vector>

namespace formula_model_test {

struct book_access : vex::mta::document_model_access {
    explicit book_access(uint32_t book) : workbook(book) {}
    uint32_t workbook;

    unsigned get_reference_mode() const override { return 3; }
    std::string get_sheet_name(unsigned grid) const override {
        const auto* t = vex::mta::find_table_by_grid_id(int32_t(grid));
        return t ? t->name() : std::string();
    }
    std::unordered_set<vex::range_t> resolve_table_reference(const vex::coord_t&, std::string_view, uint32_t,
                                                             std::string_view, std::string_view) const override {
        return {};
    }
    unsigned get_sheet_grid_id(std::string_view name) const override {
        for (const auto* t : vex::mta::get_table_registry().tables_of(workbook))
            if (vex::ascii_iequals(t->name(), name)) return t->sheet_id();
        return 0;
    }
    unsigned get_grid_id(std::string_view, std::string_view, std::string_view) const override { return 0xFFFFFFFF; }
};

class book_t {
public:
    book_t() : number_(next_number()) {}
    ~book_t() {
        sheets_.clear();
        vex::mta::get_table_registry().release_workbook(number_);
    }

    vex::mta::Table& add(const std::string& name) {
        auto t = std::make_unique<vex::mta::Table>(vex::mta::extent_t{}, 1048576, 16384);
        t->register_grid(0, number_);
        t->set_name(name);
        t->set_document_access(new book_access(number_));
        sheets_.push_back(std::move(t));
        return *sheets_.back();
    }
    vex::mta::Table& operator[](size_t i) { return *sheets_[i]; }
    void drop(size_t i) { sheets_[i].reset(); }

private:
    static uint32_t next_number() {
        static std::atomic<uint32_t> n{0x70000000};
        return n++;
    }
    uint32_t number_;
    std::vector<std::unique_ptr<vex::mta::Table>> sheets_;
};

// The formula text of a cell, or "-" when it holds none.
inline std::string text_at(const vex::mta::Table& t, int row, int col) {
    const auto* cell = t.get_formula_cell(row, col);
    return cell ? std::string(cell->expression()) : "-";
}

inline bool tracked(const vex::mta::Table& t, int row, int col) {
    const auto* cell = t.get_formula_cell(row, col);
    return cell && cell->state() == vex::mta::formula::formula_cell_state::registered;
}

inline vex::range_t cell_range(const vex::mta::Table& t, int row, int col) {
    const vex::coord_t c{int32_t(t.sheet_id()), row, col, 1, 0, 0};
    return {c, c};
}

// The formula ranges that depend on the cell, as the tracker says, by grid, row and column.
inline std::vector<vex::range_t> dependents(const vex::mta::Table& t, int row, int col) {
    auto out = vex::mta::formula::get_cell_tracker().dependents_of(cell_range(t, row, col));
    std::sort(out.begin(), out.end(), [](const vex::range_t& a, const vex::range_t& b) {
        return std::tie(a.first.grid_id, a.first.row, a.first.col) < std::tie(b.first.grid_id, b.first.row, b.first.col);
    });
    return out;
}

} // namespace formula_model_test
