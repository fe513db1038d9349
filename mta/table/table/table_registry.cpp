#include "mta/table/table/table_registry.h"

#include "mta/table/cell/string_pool.h"
#include "mta/table/formula_model/spelling_sheets.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "mta/table/utils/drawing/image/table_image.h"

#include "run_message.h"

#include <algorithm>
#include <mutex>

namespace vex::mta {

namespace {

// The sizes of every list a fresh manager starts with.
std::vector<size_t> list_sizes(const style_manager_t& m) {
    const auto lock = m.lock();
    const auto& i = m.get_impl();
    return {i.indexed_colors.size(), i.mru_colors.size(),    i.custom_numfmt_codes.size(), i.fonts.size(),
            i.borders.size(),        i.fills.size(),         i.cell_style_xfs.size(),      i.cell_xfs.size(),
            i.named_styles.size(),   i.dxfs.size(),          i.table_styles.size()};
}

bool holds_styles(const style_manager_t& m) {
    static const std::vector<size_t> fresh = list_sizes(style_manager_t{});
    return list_sizes(m) != fresh;
}

} // namespace

bool table_registry_t::holds_own_content__(const Table& table) {
    if (!table.own_image_manager_) return table.first_used_row() != 0;  // made to join: nothing of its own
    const auto& images = *table.own_image_manager_;
    return table.first_used_row() != 0 || table.own_string_pool_->size() != 0 || table.own_defined_names_->size() != 0 ||
           images.begin() != images.end() || holds_styles(*table.own_style_manager_);
}

workbook_shared_t::workbook_shared_t()
    : styles(std::make_unique<style_manager_t>()),
      names(std::make_unique<defined_name_store_t>()),
      images(std::make_unique<image::table_image_manager>()),
      strings(std::make_unique<string_pool_t>()),
      spellings(std::make_unique<formula::spelling_sheets_t>()) {}

workbook_shared_t::~workbook_shared_t() = default;

table_registry_t::~table_registry_t() = default;

bool table_registry_t::register_table(Table& table, uint32_t sheet_id, uint32_t workbook) {
    std::unique_lock lock(mutex_);
    if (table.registered()) return true;
    if (holds_own_content__(table))
        return refuse("A sheet that holds cells, names, styles or pictures cannot join a workbook.");
    auto& shared = workbooks_[workbook];
    if (!shared) shared = std::make_unique<workbook_shared_t>();
    const uint32_t grid_id = next_grid_id_.fetch_add(1);
    tables_.emplace(grid_id, table_record_t{grid_id, &table, sheet_id, workbook, table.name()});
    shared->sheets.emplace(grid_id, &table);
    if (table.tabledefs().size() != 0 || !table.tabledefs().unloaded_names().empty())
        shared->table_holders.emplace(grid_id, &table);
    table.use_shared__(*this, grid_id, workbook, *shared);
    return true;
}

void table_registry_t::unregister_table(uint32_t grid_id) {
    std::unique_ptr<workbook_shared_t> freed;  // destroyed after the lock is let go
    std::unique_lock lock(mutex_);
    const auto record = tables_.find(grid_id);
    if (record == tables_.end()) return;
    if (const auto it = workbooks_.find(record->second.workbook); it != workbooks_.end()) {
        workbook_shared_t& shared = *it->second;
        shared.names->remove_local_names(grid_id);
        shared.images->remove_grid_images(grid_id);
        shared.sheets.erase(grid_id);
        shared.table_holders.erase(grid_id);
        if (shared.sheets.empty() && shared.released) {
            freed = std::move(it->second);
            workbooks_.erase(it);
        }
    }
    tables_.erase(record);
}

void table_registry_t::release_workbook(uint32_t workbook) {
    std::unique_ptr<workbook_shared_t> freed;
    std::unique_lock lock(mutex_);
    const auto it = workbooks_.find(workbook);
    if (it == workbooks_.end()) return;
    if (!it->second->sheets.empty()) {
        it->second->released = true;
        return;
    }
    freed = std::move(it->second);
    workbooks_.erase(it);
}

Table* table_registry_t::find_by_grid_id(uint32_t grid_id) const {
    std::shared_lock lock(mutex_);
    const auto it = tables_.find(grid_id);
    return it == tables_.end() ? nullptr : it->second.table;
}

Table* table_registry_t::find_in_workbook(uint32_t grid_id, uint32_t workbook) const {
    std::shared_lock lock(mutex_);
    const auto it = tables_.find(grid_id);
    return it == tables_.end() || it->second.workbook != workbook ? nullptr : it->second.table;
}

style_manager_t* table_registry_t::workbook_styles(uint32_t workbook) const {
    std::shared_lock lock(mutex_);
    const auto it = workbooks_.find(workbook);
    return it == workbooks_.end() ? nullptr : it->second->styles.get();
}

Table* table_registry_t::find_by_name(uint32_t workbook, std::string_view name) const {
    std::shared_lock lock(mutex_);
    const auto it = workbooks_.find(workbook);
    if (it == workbooks_.end()) return nullptr;
    for (const auto& [id, table] : it->second->sheets)
        if (const auto record = tables_.find(id); record != tables_.end() && record->second.name == name) return table;
    return nullptr;
}

std::vector<Table*> table_registry_t::listed__(uint32_t workbook, sheet_list_t workbook_shared_t::*list) const {
    std::shared_lock lock(mutex_);
    std::vector<Table*> out;
    const auto it = workbooks_.find(workbook);
    if (it == workbooks_.end()) return out;
    const sheet_list_t& tables = (*it->second).*list;
    out.reserve(tables.size());
    for (const auto& [id, table] : tables) out.push_back(table);
    return out;
}

std::vector<Table*> table_registry_t::tables_of(uint32_t workbook) const {
    return listed__(workbook, &workbook_shared_t::sheets);
}

std::vector<Table*> table_registry_t::table_holders_of(uint32_t workbook) const {
    return listed__(workbook, &workbook_shared_t::table_holders);
}

void table_registry_t::hold_tables(uint32_t workbook, uint32_t grid_id, bool held) {
    std::unique_lock lock(mutex_);
    const auto it = workbooks_.find(workbook);
    const auto record = tables_.find(grid_id);
    if (it == workbooks_.end() || record == tables_.end()) return;
    if (held) it->second->table_holders.emplace(grid_id, record->second.table);
    else it->second->table_holders.erase(grid_id);
}

void table_registry_t::rename(uint32_t grid_id, std::string_view name) {
    std::unique_lock lock(mutex_);
    if (const auto it = tables_.find(grid_id); it != tables_.end()) it->second.name = name;
}

size_t table_registry_t::table_count() const {
    std::shared_lock lock(mutex_);
    return tables_.size();
}

size_t table_registry_t::workbook_count() const {
    std::shared_lock lock(mutex_);
    return workbooks_.size();
}

table_registry_t& get_table_registry() {
    static auto* registry = new table_registry_t;
    return *registry;
}

Table* find_table_by_grid_id(int32_t grid_id) noexcept {
    if (grid_id < 1) return nullptr;
    return get_table_registry().find_by_grid_id(static_cast<uint32_t>(grid_id));
}

Table* find_table_by_name(uint32_t workbook, std::string_view name) {
    return get_table_registry().find_by_name(workbook, name);
}

} // namespace vex::mta
