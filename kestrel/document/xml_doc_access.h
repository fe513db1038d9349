#pragma once
// The document as a sheet's cell store and formulas see it: the reference
// mode, sheet names and grid ids, and the references into other workbooks,
// each named by three names and given a grid id counting down from the top of
// the 32-bit range, so that it never meets the ids of the package's own
// sheets. A reference into another workbook names the table, the sheet and
// the workbook's path, in that order; a worksheet's cells are the table of
// the sheet's name.

#include "coord.h"
#include "mta/types/document_model_access.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_set>
#include <vector>

namespace vex {

class external_document_t;
class workbook_t;
class xml_document_t;

class xml_doc_access final : public mta::document_model_access {
public:
    // The package the sheet belongs to, not owned; null answers as a package
    // without sheets.
    explicit xml_doc_access(xml_document_t* document);
    // The workbook's package; a workbook made without one answers the sheet
    // lookups itself.
    explicit xml_doc_access(workbook_t* workbook);
    ~xml_doc_access() override;

    unsigned get_reference_mode() const override;
    // Empty for an id no sheet of the workbook has.
    std::string get_sheet_name(unsigned grid_id) const override;
    // Always empty: structured references are not resolved against the document.
    std::unordered_set<range_t> resolve_table_reference(const coord_t& position, std::string_view first,
                                                        uint32_t items, std::string_view second,
                                                        std::string_view third) const override;
    unsigned get_sheet_grid_id(std::string_view sheet_name) const override;
    std::vector<uint32_t> get_sheet_span(uint32_t first, uint32_t last) const override;
    uint32_t get_sheet_position(uint32_t grid) const override;
    uint32_t get_grid_at(uint32_t position) const override;
    unsigned get_grid_id(std::string_view first, std::string_view second, std::string_view third) const override;

    // Opens each workbook whose path a reference's third name holds, as given,
    // once per call, in the order the references were made; one opened before
    // is read again. False when memory runs out. A load error passes to the
    // caller: a new workbook is then not kept, one opened before stays
    // unloaded. Nothing else opens them.
    bool open_external_documents();
    // Null for a path not opened.
    const external_document_t* external_document(std::string_view path) const;
    size_t external_document_count() const noexcept { return externals_.size(); }

    // Drops the references with a third name; once none is left the ids start
    // again from the top.
    void clear_external_references();
    // Ignored for an id that was not handed out.
    void add_reference_range(unsigned id, const range_t& range);
    bool find_named_item(std::string_view third, std::string_view second) const;
    bool has_grid_id(std::string_view first, std::string_view second, std::string_view third) const;
    // Whether a recorded range of the reference overlaps range; the second form
    // whether one holds range's first cell. False for an unknown reference.
    bool search_sheet_ranges(std::string_view first, std::string_view second, std::string_view third,
                             const range_t& range) const;
    bool search_sheet_ranges_2(std::string_view first, std::string_view second, std::string_view third,
                               const range_t& range) const;

    // How many range trees the store holds; one per id handed out.
    size_t range_tree_count() const noexcept;

private:
    struct reference_store;

    const workbook_t* workbook() const;

    xml_document_t* document_;
    workbook_t* workbook_ = nullptr;
    std::vector<std::unique_ptr<external_document_t>> externals_;
    // The ids are handed out from const lookups.
    std::unique_ptr<reference_store> store_;
};

} // namespace vex
