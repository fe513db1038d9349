#pragma once
// The model of the workbook part: the sheets in tab order and the styles and
// shared-strings components the sheets' cells refer to.
//
// Only what the part tree asks of it is here so far; views, modes, defined
// names, the reader and the sheet operations come with the workbook component
// itself.

#include "kestrel/core/components/component_base.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

class shared_string_table_t;
class worksheet_t;
class worktable_t;

// One sheet of the workbook.
struct sheet_entry_t {
    uint32_t sheet_id = 0;
    uint32_t type = 1;   // 1 worksheet
    uint32_t state = 0;  // 0 visible, 1 hidden, 2 veryHidden
    std::string relationship_id;  // empty for a sheet added at run time
    std::string name;
    worksheet_t* component = nullptr;  // null until its part is attached
};

class workbook_t : public component_base_t {
public:
    using component_base_t::component_base_t;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) override { return xml::sxml::status_t::keep; }

    component_base_t* styles() const noexcept { return styles_; }
    void set_styles(component_base_t* styles) noexcept { styles_ = styles; }
    shared_string_table_t* shared_strings() const noexcept { return shared_strings_; }
    void set_shared_strings(shared_string_table_t* strings) noexcept { shared_strings_ = strings; }

    std::vector<sheet_entry_t>& sheets() noexcept { return sheets_; }
    const std::vector<sheet_entry_t>& sheets() const noexcept { return sheets_; }
    // The sheet id of the record with that relationship Id; all ones for a
    // null or empty Id or none.
    uint32_t sheet_id_by_rid(const char* rid) const noexcept;
    // Binds the sheet to the record with that relationship Id and returns the
    // record's position; all ones, binding nothing, when there is none.
    uint32_t attach_worksheet(worksheet_t* sheet, const char* rid) noexcept;
    // The position of the sheet's record; all ones when absent.
    uint32_t sheet_index(const worksheet_t* sheet) const noexcept;
    std::string_view sheet_name_of(const worksheet_t* sheet) const noexcept;

    // Through the workbook part's worksheet children, in child order.
    std::vector<worktable_t*> worktables() const;
    worktable_t* first_worktable() const;

    // The format code of the document being loaded or saved (2 while a package
    // is); 0 without a document.
    uint32_t document_format() const noexcept { return document_format_; }
    void set_document_format(uint32_t code) noexcept { document_format_ = code; }

private:
    component_base_t* styles_ = nullptr;
    shared_string_table_t* shared_strings_ = nullptr;
    std::vector<sheet_entry_t> sheets_;
    uint32_t document_format_ = 0;
};

} // namespace vex
