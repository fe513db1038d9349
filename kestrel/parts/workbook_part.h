#pragma once
// The workbook part. It routes its children into the workbook model as they
// are added, and orders them so that styles and shared strings are read
// before any sheet and written after all of them (writing the sheets fills
// them).

#include "kestrel/core/components/workbook.h"
#include "kestrel/parts/simple_part.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex {

class worksheet_t;
class worktable_t;

class workbook_part_t final : public described_part_t {
public:
    explicit workbook_part_t(xml_part_t* parent);
    ~workbook_part_t() override;

    workbook_t* get_workbook_component() const noexcept { return static_cast<workbook_t*>(get_component()); }

    void prepare_saving(bool saving) override;
    void create_output_handler(int mode) override;
    xml_part_t* create_part(const char* relationship_type, const char* id) override;
    void add_part(xml_part_t* part, bool at_front) override;
    void after_child_saved() override;
    std::optional<unsigned> get_part_number(const xml_part_t* child) const override;

    // The worktables of the worksheet children, in child order.
    std::vector<worktable_t*> get_worktables() const;
    worktable_t* first_worktable() const;
    // The tab position (from 0) of a sheet, or nothing for one without a record.
    std::optional<unsigned> sheet_number(const worksheet_t* sheet) const;

private:
    // In a workbook read for another workbook's references: whether one of
    // them names the sheet of that relationship Id.
    bool is_referenced_sheet__(const char* id) const;

    // Tab positions by sheet, checked against the records at each look-up and
    // rebuilt when they moved: a save numbers every sheet and its parts.
    mutable std::unordered_map<const worksheet_t*, uint32_t> sheet_numbers_;
};

// Whether a workbook part may carry this content type: the plain workbook's,
// or that of a macro-enabled workbook, a template or a macro-enabled template
// (kept as it came, with its VBA project).
bool is_workbook_content_type(std::string_view content_type) noexcept;

// The workbook part above a part, typed (null when that part is of another
// class); throws as get_workbook_part does.
workbook_part_t* workbook_part_of(const xml_part_t& part);

} // namespace vex
