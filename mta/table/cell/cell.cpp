#include "mta/table/cell/cell.h"

#include "errors.h"
#include "hash_utils.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/table/table.h"
#include "mta/types/imported_row_cells.h"
#include "number_format/number_format.h"
#include "sheet_limits.h"

#include <array>
#include <functional>
#include <stdexcept>
#include <unordered_map>

namespace vex::mta {

namespace {

constexpr std::array<std::string_view, error_value_count> error_literals = {
    "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A", "#GETTING_DATA", "#SPILL!",
};

template <class Block>
const typename Block::value_type& element_at(const mdds::mtv::base_element_block& data, size_t offset) {
    return Block::at(data, offset);
}

// vector<bool> hands out values, not references.
bool boolean_at(const mdds::mtv::base_element_block& data, size_t offset) {
    using block = mdds::mtv::boolean_element_block;
    if (offset >= block::size(data)) throw std::out_of_range("boolean block offset out of range");
    return *(block::cbegin(data) + static_cast<std::ptrdiff_t>(offset));
}

// Whether a number under this format code reads as a date: the section that 0.0
// selects decides. The answer depends on the code alone, so each thread keeps
// the answers for the codes it meets instead of parsing a code on every read.
bool zero_shows_date(std::string_view code) {
    thread_local std::unordered_map<std::string, bool, vex::string_hash, std::equal_to<>> known;
    if (const auto it = known.find(code); it != known.end()) return it->second;
    const std::string text(code);
    const bool date = numfmt::number_format_t(text.c_str()).get_format_type(0.0) == numfmt::rule_type_enum::datetime;
    if (known.size() >= 4096) known.clear();
    known.emplace(text, date);
    return date;
}

} // namespace

std::string_view error_literal(int32_t code) noexcept {
    return code >= 0 && code < error_value_count ? error_literals[size_t(code)] : std::string_view();
}

cell_t::cell_t(const Table* table, int row, int col)
    : table_(table), row_(row), col_(col), style_index_(get_sheet_limits().default_style) {
    get_cell__();
}

cell_t::cell_t(const Table* table, const trival_cell_t& cell)
    : table_(table),
      row_(int32_t(cell.row)),
      col_(int32_t(cell.col)),
      style_index_(cell.style > 0xFFFF ? get_sheet_limits().default_style : uint16_t(cell.style)),
      value_(cell.value),
      kind_(cell_value_kind(cell.kind)) {
    if (kind_ != cell_value_kind::text || !value_) return;
    string_index_ = std::get<int32_t>(*value_);
    const auto& pool = table_->get_string_pool();
    value_ = pool.string_at(string_index_);
    if (pool.is_rich_text(string_index_)) kind_ = cell_value_kind::rich_text;
    type_ = cell_type_values::text;
}

void cell_t::get_cell__() {
    if (!table_ || !table_->is_valid_cell(row_, col_)) throw mta_error("Fatal error: Illegal cell coordinates.");
    const Column* column = table_->find_column(col_);
    if (!column) return;

    const auto at = column->cell_at(row_);
    switch (at.type) {
    case mdds::mtv::element_type_boolean:
        value_ = boolean_at(*at.data, at.offset);
        kind_ = cell_value_kind::boolean;
        type_ = cell_type_values::boolean;
        break;
    case mdds::mtv::element_type_int32:
        value_ = element_at<mdds::mtv::int32_element_block>(*at.data, at.offset);
        kind_ = cell_value_kind::int32;
        type_ = cell_type_values::number;
        break;
    case mdds::mtv::element_type_int64:
        value_ = element_at<mdds::mtv::int64_element_block>(*at.data, at.offset);
        kind_ = cell_value_kind::int64;
        type_ = cell_type_values::number;
        break;
    case mdds::mtv::element_type_double:
        value_ = element_at<mdds::mtv::double_element_block>(*at.data, at.offset);
        kind_ = cell_value_kind::number;
        type_ = cell_type_values::number;
        break;
    case element_type_string_index: {
        string_index_ = element_at<string_index_block>(*at.data, at.offset).index;
        const auto& pool = table_->get_string_pool();
        value_ = pool.string_at(string_index_);
        kind_ = pool.is_rich_text(string_index_) ? cell_value_kind::rich_text : cell_value_kind::text;
        type_ = cell_type_values::text;
        break;
    }
    case element_type_formula: {
        formula::formula_cell* cell = element_at<formula_block>(*at.data, at.offset);
        value_ = cell;
        kind_ = cell_value_kind::formula;
        type_ = static_cast<cell_type_values>(cell->result_type());
        break;
    }
    case element_type_error: {
        const int32_t code = element_at<error_block>(*at.data, at.offset).code;
        if (code < 0 || code >= error_value_count)
            throw std::runtime_error("Enumeration subscript out of bounds: " + std::to_string(code));
        value_ = static_cast<error_value_enum>(code);
        kind_ = cell_value_kind::error;
        type_ = cell_type_values::error;
        break;
    }
    default:
        break;
    }
    style_index_ = column->get_xf(row_);
}

cell_type_values cell_t::get_cell_type() {
    if (type_ != cell_type_values::number) return type_;
    const style_manager_t* styles = table_->get_style_manager();
    if (!styles) return type_;
    const auto lock = styles->lock();
    const auto& xfs = styles->get_impl().cell_xfs;
    if (style_index_ < xfs.size() &&
        zero_shows_date(styles->get_numfmt_code(static_cast<int32_t>(xfs[style_index_].numFmtId))))
        type_ = cell_type_values::datetime;
    return type_;
}

std::optional<double> cell_t::get_num() const {
    switch (kind_) {
    case cell_value_kind::int32:
        return static_cast<double>(std::get<int32_t>(*value_));
    case cell_value_kind::int64:
        return static_cast<double>(std::get<int64_t>(*value_));
    case cell_value_kind::number:
        return std::get<double>(*value_);
    case cell_value_kind::datetime:
        // A parsed date comes as its serial already.
        if (const auto* serial = std::get_if<double>(&*value_)) return *serial;
        return ticks_to_serial(std::get<vex::datetime_t>(*value_));
    default:
        return std::nullopt;
    }
}

std::optional<std::string_view> cell_t::get_text() const {
    if (kind_ != cell_value_kind::text && kind_ != cell_value_kind::rich_text) return std::nullopt;
    return std::get<std::string_view>(*value_);
}

std::optional<bool> cell_t::get_boolean() const {
    if (kind_ != cell_value_kind::boolean) return std::nullopt;
    return std::get<bool>(*value_);
}

std::optional<vex::datetime_t> cell_t::get_datetime() {
    if (kind_ == cell_value_kind::datetime) {
        if (const auto* ticks = std::get_if<vex::datetime_t>(&*value_)) return *ticks;
        return serial_to_ticks(*get_num());
    }
    if (get_cell_type() != cell_type_values::datetime) return std::nullopt;
    return serial_to_ticks(*get_num());
}

std::optional<error_value_enum> cell_t::get_error() const {
    if (kind_ != cell_value_kind::error) return std::nullopt;
    return std::get<error_value_enum>(*value_);
}

std::string_view cell_t::get_formula_expr() const {
    if (kind_ != cell_value_kind::formula) return {};
    return std::get<formula::formula_cell*>(*value_)->expression();
}

const richtext_t* cell_t::get_richtext() const {
    return string_index_ < 0 ? nullptr : table_->get_string_pool().rich_text_at(string_index_);
}

std::string cell_t::get_error_string(error_value_enum e) {
    const auto i = static_cast<int32_t>(e);
    if (i < 0 || i >= error_value_count) throw mta_error("haha, An error occurred within the program.");
    return std::string(error_literal(i));
}

} // namespace vex::mta
