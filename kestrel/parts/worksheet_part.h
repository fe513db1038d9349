#pragma once
// The worksheet part. A sheet is a worksheet part holding a worktable part;
// while a package is loaded or saved, whatever is anchored on the sheet
// (drawings, tables, comments, printer settings...) lives under the
// worktable part, yet is listed in the sheet's own relationship part.

#include "kestrel/core/components/worksheet.h"
#include "kestrel/parts/simple_part.h"

namespace vex {

class workbook_t;

class worksheet_part_t final : public described_part_t {
public:
    explicit worksheet_part_t(xml_part_t* parent);
    ~worksheet_part_t() override;

    worksheet_t* get_worksheet() const noexcept { return static_cast<worksheet_t*>(get_component()); }

    size_t child_count(int mode) const override;
    void create_output_handler(int mode) override;
    xml_part_t* create_part(const char* relationship_type, const char* id) override;
    void add_part(xml_part_t* part, bool at_front) override;
    // A background picture read under the worktable becomes the sheet's
    // background, listed with its pictures.
    void on_child_loaded(xml_part_t* child) override;
    size_t reset_relationship_ids() override;
    std::optional<unsigned> get_part_number(const xml_part_t* child) const override;

    // The first worktable child; null when there is none.
    xml_part_t* get_worktable_part() const noexcept;
    // The parent's model; null without a workbook part above.
    workbook_t* get_workbook() const noexcept;

private:
    bool in_package_io() const noexcept;
    // Whether a reference of the workbook that opened this one names cells
    // of one of the sheet's tables.
    bool is_referenced_cell_range__() const;
};

} // namespace vex
