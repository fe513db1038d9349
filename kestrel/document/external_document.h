#pragma once
// A workbook that another workbook's references name, read only as far as
// they reach: its sheet list, its strings and the sheets a reference names.

#include "kestrel/document/xml_document.h"

#include <string>
#include <string_view>

namespace vex {

class xml_doc_access;

class external_document_t final : public xml_document_t {
public:
    // The path is used as given; nothing is read until load.
    external_document_t(xml_doc_access* owner, const std::string& path);
    ~external_document_t() override;

    // Only the workbook part is made from the package root, and it is read
    // selectively; null for any other type.
    xml_part_t* create_part(const char* relationship_type) override;

    // Reads the file at the path; a second load starts from an empty package.
    // The load's errors pass to the caller.
    void load();
    bool loaded() const noexcept { return loaded_; }
    xml_doc_access* owner() const noexcept { return owner_; }

    // Whether a reference of the owner names this workbook and that sheet.
    bool is_referenced_sheet(std::string_view sheet_name) const;
    // Whether a reference of the owner names cells of that table of the sheet.
    bool is_referenced_cell_range(std::string_view sheet_name, std::string_view table_name) const;

private:
    xml_doc_access* owner_;
    bool load_flag_ = false;
    bool loaded_ = false;
};

} // namespace vex
