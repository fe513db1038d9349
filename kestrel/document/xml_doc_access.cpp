#include "kestrel/document/xml_doc_access.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/external_document.h"
#include "kestrel/document/xml_document.h"
#include "mta/table/table/table_registry.h"
#include "mta/table/utils/rtree_key.h"
#include "text_utils.h"
#include "unicode.h"

#include <mdds/rtree.hpp>

#include <algorithm>
#include <climits>
#include <new>

namespace vex {

namespace {

constexpr unsigned a1_reference_mode = 3;

using name_key = std::tuple<std::string, std::string, std::string>;

name_key key_of(std::string_view first, std::string_view second, std::string_view third) {
    return {std::string(first), std::string(second), std::string(third)};
}

const worktable_t* worktable_of(const sheet_entry_t& s) noexcept {
    return s.component ? s.component->worktable() : nullptr;
}

} // namespace

struct xml_doc_access::reference_store {
    using tree_t = mdds::rtree<mta::rtree_key_t, int>;

    struct named_reference {
        name_key key;
        uint32_t id;
    };

    uint32_t counter = 0;  // the last id handed out, counting down from 0
    // In insertion order, so that walks answer the same on every run.
    std::vector<named_reference> named;
    std::map<name_key, size_t> index;  // into named
    std::map<uint32_t, tree_t> trees;

    const named_reference* find(const name_key& key) const {
        const auto it = index.find(key);
        return it == index.end() ? nullptr : &named[it->second];
    }

    const tree_t* tree_of(const name_key& key) const {
        const named_reference* r = find(key);
        if (!r) return nullptr;
        const auto it = trees.find(r->id);
        return it == trees.end() ? nullptr : &it->second;
    }

    void reindex() {
        index.clear();
        for (size_t i = 0; i < named.size(); ++i) index.emplace(named[i].key, i);
    }
};

xml_doc_access::xml_doc_access(xml_document_t* document)
    : document_(document), store_(std::make_unique<reference_store>()) {}

xml_doc_access::xml_doc_access(workbook_t* workbook)
    : xml_doc_access(workbook ? workbook->document() : nullptr) {
    workbook_ = workbook;
}

xml_doc_access::~xml_doc_access() = default;

const workbook_t* xml_doc_access::workbook() const {
    if (document_)
        if (const workbook_t* book = document_->workbook()) return book;
    return workbook_;
}

unsigned xml_doc_access::get_reference_mode() const {
    return document_ ? document_->reference_mode() : a1_reference_mode;
}

std::string xml_doc_access::get_sheet_name(unsigned grid_id) const {
    const workbook_t* book = workbook();
    if (!book) return {};
    for (const sheet_entry_t& s : book->sheets()) {
        const worktable_t* table = worktable_of(s);
        if (table && table->sheet_id() == grid_id) return s.name;
    }
    return {};
}

// The cells a structured reference names: the table's rows that the items
// pick (a plain column reference, or "#This Row", reads the data rows) across
// the named columns, or all of them. None for an unknown table or column. A
// formula names a table by its display name, as other applications read it.
// "#This Row" alone, made in a cell of the table's data rows, reads that row.
std::unordered_set<range_t> xml_doc_access::resolve_table_reference(const coord_t& position, std::string_view table_name,
                                                                    uint32_t items, std::string_view first_column,
                                                                    std::string_view second_column) const {
    const workbook_t* book = workbook();
    if (!book) return {};
    for (const sheet_entry_t& s : book->sheets()) {
        const worktable_t* sheet = worktable_of(s);
        const mta::tabledef_t* table = sheet ? sheet->tabledefs().find_display(table_name) : nullptr;
        if (!table) continue;
        const range_t whole = table->range();
        const int32_t headers = table->has_header() ? 1 : 0;
        const int32_t data_first = whole.first.row + headers;
        const int32_t data_last = whole.last.row - table->totals_row_shown();
        int32_t first_row = INT32_MAX, last_row = INT32_MIN;
        const auto take = [&](bool wanted, int32_t from, int32_t to) {
            if (!wanted || from > to) return;
            first_row = std::min(first_row, from);
            last_row = std::max(last_row, to);
        };
        take(items & 16, whole.first.row, whole.last.row);
        take(items & 1, whole.first.row, data_first - 1);
        take(items & 6, data_first, data_last);
        take(items & 8, data_last + 1, whole.last.row);
        const auto column_of = [&](std::string_view name) {
            const std::string folded = utf8_fold_case(name);
            for (int i = 0; i < table->column_count(); ++i)
                if (utf8_fold_case(table->column_name(i)) == folded) return whole.first.col + i;
            return -1;
        };
        int32_t first_col = whole.first.col, last_col = whole.last.col;
        if (!first_column.empty()) {
            first_col = column_of(first_column);
            last_col = second_column.empty() ? first_col : column_of(second_column);
            if (first_col < 0 || last_col < 0) return {};
            if (first_col > last_col) std::swap(first_col, last_col);
        }
        if (first_row > last_row) return {};
        const int32_t grid = int32_t(sheet->sheet_id());
        if (items == 2 && position.grid_id == grid && position.row >= data_first && position.row <= data_last &&
            position.col >= whole.first.col && position.col <= whole.last.col)
            first_row = last_row = position.row;
        return {range_t{{grid, first_row, first_col, 1, 1, 1}, {grid, last_row, last_col, 1, 1, 1}}};
    }
    return {};
}

unsigned xml_doc_access::get_sheet_grid_id(std::string_view sheet_name) const {
    const workbook_t* book = workbook();
    if (!book) return 0;
    // In any case, folded as the workbook folds the names it refuses as alike.
    const uint32_t index = book->sheet_index_by_name(sheet_name);
    return index < book->sheets().size() ? book->sheet_grid(index) : 0;
}

std::vector<uint32_t> xml_doc_access::get_sheet_span(uint32_t first, uint32_t last) const {
    // Read between the span's ends only: a span costs its own width, not the book's.
    const uint32_t a = get_sheet_position(first), b = get_sheet_position(last);
    if (a == UINT32_MAX || b == UINT32_MAX) return {first, last};
    const workbook_t* book = workbook();
    std::vector<uint32_t> grids;
    for (uint32_t i = std::min(a, b); i <= std::max(a, b); ++i)
        if (const uint32_t id = book->sheet_grid(i)) grids.push_back(id);
    return grids;
}

uint32_t xml_doc_access::get_sheet_position(uint32_t grid) const {
    const workbook_t* book = workbook();
    if (!book || !grid) return UINT32_MAX;
    const uint32_t index = book->sheet_index_by_grid(grid);
    return index < book->sheets().size() ? index : UINT32_MAX;
}

uint32_t xml_doc_access::get_grid_at(uint32_t position) const {
    const workbook_t* book = workbook();
    if (!book || position >= book->sheets().size()) return 0;
    return book->sheet_grid(position);
}

unsigned xml_doc_access::get_grid_id(std::string_view first, std::string_view second, std::string_view third) const {
    name_key key = key_of(first, second, third);
    if (const auto* r = store_->find(key)) return r->id;
    const uint32_t id = --store_->counter;
    store_->named.push_back({key, id});
    store_->index.emplace(std::move(key), store_->named.size() - 1);
    store_->trees.try_emplace(id);
    return id;
}

void xml_doc_access::clear_external_references() {
    auto& named = store_->named;
    named.erase(std::remove_if(named.begin(), named.end(),
                               [](const reference_store::named_reference& r) { return !std::get<2>(r.key).empty(); }),
                named.end());
    store_->reindex();
    if (named.empty()) {
        store_->trees.clear();
        store_->counter = 0;
    }
}

bool xml_doc_access::open_external_documents() {
    try {
        // Copied first: a load may add references. Several sheets of one
        // workbook read it once.
        std::vector<std::string> paths;
        for (const reference_store::named_reference& r : store_->named) {
            const std::string& path = std::get<2>(r.key);
            if (!path.empty() && std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
        }
        for (const std::string& path : paths) {
            const auto open = std::find_if(externals_.begin(), externals_.end(),
                                           [&](const auto& d) { return d->path() == path; });
            if (open != externals_.end()) {
                (*open)->load();
                continue;
            }
            auto document = std::make_unique<external_document_t>(this, path);
            document->load();
            externals_.push_back(std::move(document));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

const external_document_t* xml_doc_access::external_document(std::string_view path) const {
    for (const auto& d : externals_)
        if (d->path() == path) return d.get();
    return nullptr;
}

void xml_doc_access::add_reference_range(unsigned id, const range_t& range) {
    const auto it = store_->trees.find(id);
    if (it == store_->trees.end()) return;
    it->second.insert({{range.first.col, range.first.row}, {range.last.col, range.last.row}}, 0);
}

bool xml_doc_access::find_named_item(std::string_view third, std::string_view second) const {
    return std::any_of(store_->named.begin(), store_->named.end(), [&](const reference_store::named_reference& r) {
        return std::get<2>(r.key) == third && std::get<1>(r.key) == second;
    });
}

bool xml_doc_access::has_grid_id(std::string_view first, std::string_view second, std::string_view third) const {
    const auto* r = store_->find(key_of(first, second, third));
    return r && r->id != 0;
}

bool xml_doc_access::search_sheet_ranges(std::string_view first, std::string_view second, std::string_view third,
                                         const range_t& range) const {
    const auto* tree = store_->tree_of(key_of(first, second, third));
    if (!tree) return false;
    const auto found = tree->search({{range.first.col, range.first.row}, {range.last.col, range.last.row}},
                                    reference_store::tree_t::search_type::overlap);
    return found.begin() != found.end();
}

bool xml_doc_access::search_sheet_ranges_2(std::string_view first, std::string_view second, std::string_view third,
                                           const range_t& range) const {
    const auto* tree = store_->tree_of(key_of(first, second, third));
    if (!tree) return false;
    const auto found = tree->search({range.first.col, range.first.row}, reference_store::tree_t::search_type::overlap);
    return found.begin() != found.end();
}

size_t xml_doc_access::range_tree_count() const noexcept {
    return store_->trees.size();
}

} // namespace vex
