#pragma once
// The component of the styles part. A load reads the part into style tables
// kept here until the first worktable of the load moves them into the
// workbook's style manager.

#include "kestrel/core/components/component_base.h"
#include "mta/table/style/manager/style_manager.h"

#include <memory>

namespace vex {

class assign_for_workbook_style_t;
class workbook_t;

class workbook_style_t final : public component_base_t {
public:
    explicit workbook_style_t(xml_part_t* part);
    ~workbook_style_t() override;

    // Each load starts from empty tables.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;

    // Ownership passes to the caller; null once taken or before a load.
    std::unique_ptr<mta::style_manager_t::impl> take_style_tables() noexcept { return std::move(tables_); }
    // The tables being read; null before a load or once taken.
    mta::style_manager_t::impl* style_tables() const noexcept { return tables_.get(); }
    workbook_t* workbook() const noexcept { return workbook_; }

private:
    workbook_t* workbook_;
    std::unique_ptr<mta::style_manager_t::impl> tables_;
    std::unique_ptr<assign_for_workbook_style_t> reader_;
};

} // namespace vex
