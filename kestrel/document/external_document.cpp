#include "kestrel/document/external_document.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/document/xml_doc_access.h"
#include "kestrel/parts/part.h"

namespace vex {

external_document_t::external_document_t(xml_doc_access* owner, const std::string& path) : owner_(owner) {
    set_path(path);
}

external_document_t::~external_document_t() = default;

xml_part_t* external_document_t::create_part(const char* relationship_type) {
    const std::string_view type = relationship_type ? relationship_type : "";
    // Not the workbook for every type: the load would point it at the entry of
    // whatever the package root names after it.
    if (part_kind_of_relationship_type(type) != part_kind_enum::workbook_part) return nullptr;
    if (xml_part_t* book = workbook_part()) return book;
    xml_part_t* part = package_root().create_child(nullptr, type, nullptr, false);
    set_workbook_part(part);
    if (workbook_t* book = workbook()) {
        book->set_document(this);
        book->set_external_document(this);
        book->set_document_format(format_code());
    }
    part->set_follow_relationships(!load_flag_);
    return part;
}

void external_document_t::load() {
    load_flag_ = false;
    if (xml_part_t* book = workbook_part()) {
        // Read again into the parts of the first load, every sheet and
        // relationship would be there twice.
        set_workbook_part(nullptr);
        package_root().remove(book);
        package_root().clear_relationships();
    }
    loaded_ = false;
    const std::string file = path();
    xml_document_t::load(file.c_str(), true);
    loaded_ = true;
}

bool external_document_t::is_referenced_sheet(std::string_view sheet_name) const {
    return owner_ && owner_->find_named_item(path(), sheet_name);
}

bool external_document_t::is_referenced_cell_range(std::string_view sheet_name, std::string_view table_name) const {
    return owner_ && owner_->has_grid_id(table_name, sheet_name, path());
}

} // namespace vex
