#include "mta/table/table/table.h"

#include "errors.h"
#include "mta/formula/cell_tracker.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/formula_model/spelling_sheets.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "mta/table/table/table_registry.h"
#include "mta/table/utils/drawing/image/table_image.h"
#include "mta/types/document_model_access.h"
#include "sheet_limits.h"

#include <utility>

namespace vex::mta {

namespace {

uint32_t checked_count(unsigned n, int32_t limit) {
    if (n == 0 || n > static_cast<unsigned>(limit)) throw mta_error("table extent out of range.");
    return n;
}

} // namespace

Table::Table(const extent_t& extent, unsigned rows, unsigned cols, bool joining)
    : row_count_(checked_count(rows, get_sheet_limits().row_count())),
      col_count_(checked_count(cols, get_sheet_limits().col_count())),
      row_records_(get_sheet_limits().first_row, get_sheet_limits().first_row + int32_t(row_count_) - 1, {}),
      col_records_(get_sheet_limits().first_col, get_sheet_limits().first_col + int32_t(col_count_) - 1, {}),
      extent_(extent),
      current_cell_{0, get_sheet_limits().first_row, get_sheet_limits().first_col, 0, 1, 1},
      formula_context_(std::make_unique<formula::formula_model_context>(this)),
      formula_model_(std::make_unique<formula::table_formula_model>(*formula_context_)),
      columns_(*this),
      row_heights_(get_sheet_limits().first_row, get_sheet_limits().first_row + int32_t(row_count_) - 1),
      col_widths_(get_sheet_limits().first_col, get_sheet_limits().first_col + int32_t(col_count_) - 1) {
    if (!joining) make_own__();
}

void Table::make_own__() {
    own_style_manager_ = std::make_unique<style_manager_t>();
    own_defined_names_ = std::make_unique<defined_name_store_t>();
    own_image_manager_ = std::make_unique<image::table_image_manager>();
    own_string_pool_ = std::make_unique<string_pool_t>();
}

Table::~Table() {
    // The tracker forgets the grid at once, not cell by cell as the columns go.
    if (registered_) {
        formula_model_->report_spellings_to(nullptr);
        formula::get_cell_tracker().purge_grid(int32_t(sheet_id_));
        registry_->unregister_table(sheet_id_);
    }
}

void Table::note_kept_texts() {
    if (std::exchange(kept_texts_noted_, true)) return;
    if (shared_spellings_) shared_spellings_->keep(this);
}

bool Table::register_grid(unsigned sheet_id, unsigned workbook) {
    if (get_table_registry().register_table(*this, sheet_id, workbook)) return true;
    // Refused: a table made to join stands alone, with objects of its own.
    if (!registered_ && !own_style_manager_) make_own__();
    return false;
}

void Table::use_shared__(table_registry_t& registry, uint32_t grid_id, uint32_t workbook, workbook_shared_t& shared) {
    sheet_id_ = grid_id;
    workbook_ = workbook;
    registry_ = &registry;
    own_style_manager_.reset();
    shared_style_manager_ = shared.styles.get();
    own_defined_names_.reset();
    shared_defined_names_ = shared.names.get();
    own_image_manager_.reset();
    shared_image_manager_ = shared.images.get();
    own_string_pool_.reset();
    shared_string_pool_ = shared.strings.get();
    shared_spellings_ = shared.spellings.get();
    formula_model_->report_spellings_to(shared_spellings_);
    // Nothing stored yet: the list of formulas a row shift must look at starts empty.
    if (formulas_stored_ == 0) note_record_readers__({});
    if (kept_texts_noted_) shared_spellings_->keep(this);
    registered_ = true;
}

void Table::set_name(const std::string& name) {
    if (name.empty()) return;
    if (registered_) registry_->rename(sheet_id_, name);
    name_ = name;
}

void Table::set_document_access(document_model_access* access) {
    document_access_.reset(access);
}

unsigned Table::get_reference_mode() const {
    return document_access_ ? document_access_->get_reference_mode() : reference_mode_;
}

void Table::get_sheet_name(std::string& out) const {
    if (document_access_) out = document_access_->get_sheet_name(sheet_id_);
}

bool Table::resolve_grid_id(unsigned* out, std::string_view first, std::string_view second,
                            std::string_view third) const {
    if (!out) return false;
    if (third.empty()) {
        *out = sheet_id_;
        return true;
    }
    if (!document_access_) return false;
    *out = document_access_->get_grid_id(third, second, first);
    return true;
}

void Table::set_current_cell(int row, int col) {
    if (!is_valid_cell(row, col)) return;
    current_cell_.row = row;
    current_cell_.col = col;
}

bool Table::is_valid_range(const vex::range_t& range) const noexcept {
    return is_valid_cell(range.first.row, range.first.col) && is_valid_cell(range.last.row, range.last.col);
}

Column& Table::create_column_if_not_exists(int col) {
    // Only the writing thread changes the collection, and under the lock, so its
    // own look-up of a column that exists needs no lock: other threads only read.
    if (Column* column = columns_.at(col)) return *column;
    std::lock_guard lock(mutex_);
    return columns_.get_or_create(col);
}

Column* Table::find_column(int col) {
    std::lock_guard lock(mutex_);
    return columns_.at(col);
}

const Column* Table::find_column(int col) const {
    std::lock_guard lock(mutex_);
    return columns_.at(col);
}

void Table::trim_columns() {
    std::lock_guard lock(mutex_);
    columns_.resize(std::max(columns_.last_used_col(0, 0), 1));
}

style_manager_t* Table::get_style_manager() const noexcept {
    return own_style_manager_ ? own_style_manager_.get() : shared_style_manager_;
}

defined_name_store_t* Table::get_defined_names() const noexcept {
    return own_defined_names_ ? own_defined_names_.get() : shared_defined_names_;
}

image::table_image_manager* Table::get_image_manager() const noexcept {
    return own_image_manager_ ? own_image_manager_.get() : shared_image_manager_;
}

string_pool_t& Table::get_string_pool() const noexcept {
    return own_string_pool_ ? *own_string_pool_ : *shared_string_pool_;
}

const char* Table::shared_string_at(int, int) const {
    return nullptr;
}

void Table::on_table_removed__(std::string_view) {}

} // namespace vex::mta
