#pragma once
// The component of the styles part. A load reads the part into style tables
// kept here until the first worktable of the load moves them into the
// workbook's style manager.

#include "kestrel/core/components/component_base.h"
#include "kestrel/core/components/sheet_periphery.h"
#include "mta/table/style/manager/style_manager.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vex {

class assign_for_workbook_style_t;
class workbook_t;

// What a loaded styles part held beyond the style tables, written back as
// read: its extension list (slicer and timeline styles, and the formats they
// draw with) and the root's namespace declarations that the list uses.
struct styles_kept_t {
    std::vector<std::pair<std::string, std::string>> namespaces;
    std::optional<kept_element_t> extensions;
};

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
    const styles_kept_t& kept() const noexcept { return kept_; }

private:
    workbook_t* workbook_;
    std::unique_ptr<mta::style_manager_t::impl> tables_;
    styles_kept_t kept_;
    std::unique_ptr<assign_for_workbook_style_t> reader_;
};

} // namespace vex
