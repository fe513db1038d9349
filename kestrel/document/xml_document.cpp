#include "kestrel/document/xml_document.h"

#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/document/concrete_resolver/excel_resolver.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/part.h"
#include "ziputil.h"

#include <string_view>

namespace vex {

namespace {

constexpr const char* styles_relationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
constexpr const char* shared_strings_relationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";

bool any_entry_ends_with(const zip_archive& zip, std::string_view name) {
    for (const zip_entry_t& e : zip.entries())
        if (e.name.ends_with(name)) return true;
    return false;
}

} // namespace

xml_document_t::xml_document_t() = default;

xml_document_t::~xml_document_t() = default;

bool xml_document_t::create_package() {
    const std::string main(uri::office_document_relationship);
    xml_part_t* book = create_part(main.c_str());
    workbook_t* model = workbook();
    if (xml_part_t* styles = book->create_part(styles_relationship, nullptr))
        model->set_styles(styles->get_component());
    if (xml_part_t* strings = book->create_part(shared_strings_relationship, nullptr))
        model->set_shared_strings(dynamic_cast<shared_string_table_t*>(strings->get_component()));
    return true;
}

xml_part_t* xml_document_t::create_part(const char* relationship_type) {
    xml_part_t* part = root_.create_or_keep_child(nullptr, relationship_type ? relationship_type : "", nullptr, true);
    if (part && part->kind() == part_kind_enum::workbook_part) {
        workbook_part_ = part;
        if (workbook_t* book = workbook()) {
            book->set_document(this);
            book->set_document_format(format_);
        }
    }
    return part;
}

uint32_t xml_document_t::probe_file_format(const char* path) {
    if (!path) return format_;
    path_ = path;
    zip_archive zip;
    // A zip archive that is broken is refused with what is broken: only a
    // file that is no zip at all is of no format.
    if (!zip.open_if_zip(path_)) return file_format_none;
    uint32_t code = file_format_none;
    if (any_entry_ends_with(zip, xml::content_types_entry))
        code = file_format_package;
    else if (any_entry_ends_with(zip, "content.xml"))
        code = file_format_open_text;
    try {
        zip.close();
    } catch (const archive_error&) {
        // Nothing was written: a failing close of a read handle changes nothing.
    }
    return code;
}

std::unique_ptr<archive_resolver> xml_document_t::get_archive_resolver__(file_format_enum format) {
    if (format == file_format_package) return std::make_unique<excel_resolver>(this, xml::sxml::load_options);
    throw archive_error("Unrecognized file type: " + path_);
}

void xml_document_t::load(const char* path, bool flag) {
    const uint32_t code = probe_file_format(path);
    std::unique_ptr<archive_resolver> resolver = get_archive_resolver__(static_cast<file_format_enum>(code));
    resolver->load(path, flag);
    // Still under the load's format code: the sheets finish their relations.
    if (workbook_t* book = workbook()) {
        book->after_loading__();
        book->set_document_path(path);
    }
    set_format_code(file_format_none);
}

void xml_document_t::save(const char* path, uint32_t format) {
    set_format_code(format);
    // A failed save must not leave the document in the middle of a save.
    struct restore_t {
        xml_document_t* doc;
        ~restore_t() { doc->set_format_code(file_format_none); }
    } restore{this};
    if (format != file_format_package) return;
    excel_resolver resolver(this, 0);
    resolver.save(path);
    if (workbook_t* book = workbook()) book->set_document_path(path);
}

void xml_document_t::set_format_code(uint32_t code) noexcept {
    format_ = code;
    if (workbook_part_)
        if (auto* book = dynamic_cast<workbook_t*>(workbook_part_->get_component())) book->set_document_format(code);
}

workbook_t* xml_document_t::workbook() const {
    return workbook_part_ ? dynamic_cast<workbook_t*>(workbook_part_->get_component()) : nullptr;
}

void xml_document_t::sheet_name(std::string& name, uint32_t table_id) const {
    name.clear();
    const workbook_t* book = workbook();
    // Grids count from 1: a table without one has id 0 and names no sheet.
    if (!book || table_id == 0) return;
    name = book->sheet_name(book->sheet_index_by_table_id(table_id));
}

xml::sxml::status_t xml_document_t::on_relationship_node(const xml::sxml::xml_node_t* node) {
    return root_.on_relationship_node(node);
}

} // namespace vex
