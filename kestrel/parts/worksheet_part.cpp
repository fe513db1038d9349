#include "kestrel/parts/worksheet_part.h"

#include "errors.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/external_document.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/include/opendoc_exceptions.h"
#include "kestrel/xml/xl_xml/writers/worksheet_part_xml.h"
#include "kestrel/xml/xl_xml/writers/worktable_part_xml.h"

#include <string>
#include <string_view>

namespace vex {

namespace {

constexpr uint32_t package_format = 2;

bool is_worktable(const xml_part_t& p) noexcept { return p.kind() == part_kind_enum::worktable_part; }

// The sheet's page setup names its printer settings wherever the part lives.
void note_printer_settings(worksheet_t& sheet, xml_part_t* part) noexcept {
    if (part && part->kind() == part_kind_enum::spreadsheet_printer_settings_part) sheet.set_printer_settings(part);
}

} // namespace

worksheet_part_t::worksheet_part_t(xml_part_t* parent) : described_part_t(parent, part_kind_enum::worksheet_part) {
    set_component(std::make_unique<worksheet_t>(this));
}

worksheet_part_t::~worksheet_part_t() = default;

workbook_t* worksheet_part_t::get_workbook() const noexcept {
    const xml_part_t* parent = get_parent();
    return parent ? dynamic_cast<workbook_t*>(parent->get_component()) : nullptr;
}

bool worksheet_part_t::in_package_io() const noexcept {
    const workbook_t* book = get_workbook();
    return book && book->document_format() == package_format;
}

void worksheet_part_t::create_output_handler(int mode) {
    if (writer_left_to_base__(mode)) return;
    if (const worksheet_t* sheet = get_worksheet(); sheet && !sheet->unread_sections().empty())
        throw general_error("Cannot save sheet \"" + std::string(sheet->name()) + "\": its " +
                            sheet->unread_sections().front() + " would be lost.");
    // Only external links take a relationship: the save counts them with the children.
    for (const auto& c : get_child_parts())
        if (auto* table = is_worktable(*c) ? dynamic_cast<worktable_t*>(c->get_component()) : nullptr)
            table->set_hyperlink_count(worktable_part_xml::external_link_count(*table));
    set_output_handler(std::make_unique<worksheet_part_xml>(*this));
}

xml_part_t* worksheet_part_t::get_worktable_part() const noexcept {
    for (const auto& c : get_child_parts())
        if (is_worktable(*c)) return c.get();
    return nullptr;
}

// Every worktable child stands in the sheet's relationship part for its own
// children, and each hyperlink adds one.
size_t worksheet_part_t::child_count(int mode) const {
    size_t n = xml_part_t::child_count(mode);
    if (mode != 2) return n;
    for (const auto& c : get_child_parts()) {
        if (!is_worktable(*c)) continue;
        if (const auto* table = dynamic_cast<const worktable_t*>(c->get_component())) n += table->hyperlink_count();
        n += c->child_count(mode);
        --n;  // the worktable part itself, counted by the base
    }
    return n;
}

xml_part_t* worksheet_part_t::create_part(const char* relationship_type, const char* id) {
    const std::string_view type = relationship_type ? relationship_type : "";
    const bool worktable_type = part_kind_of_relationship_type(type) == part_kind_enum::worktable_part;
    if (!is_complete() && id) {
        // A sheet read for another workbook's references: only cells that a
        // reference names.
        return worktable_type && is_referenced_cell_range__() ? xml_part_t::create_part(relationship_type, id)
                                                              : nullptr;
    }
    if (in_package_io() && !worktable_type) {
        // Only the picture the sheet names is its background; another image
        // (an embedded object's or a control's icon) is kept as read.
        if (id && type == uri::image_relationship && get_worksheet()->background_picture_id() != id)
            throw part_container_error("The image " + std::string(id) + " is no background of its sheet.");
        if (xml_part_t* table = get_worksheet()->worktable_part()) {
            xml_part_t* made = table->create_part(relationship_type, id);
            note_printer_settings(*get_worksheet(), made);
            return made;
        }
    }
    return xml_part_t::create_part(relationship_type, id);
}

bool worksheet_part_t::is_referenced_cell_range__() const {
    const workbook_t* book = get_workbook();
    const external_document_t* document = book ? book->external_document() : nullptr;
    if (!document) return false;
    const worksheet_t* sheet = get_worksheet();
    const std::string_view name = book->sheet_name_of(sheet);
    for (const worksheet_t::child_worktable& w : sheet->worktables())
        if (w.worktable && document->is_referenced_cell_range(name, w.worktable->name())) return true;
    return false;
}

void worksheet_part_t::add_part(xml_part_t* part, bool at_front) {
    note_printer_settings(*get_worksheet(), part);
    xml_part_t::add_part(part, at_front);
}

void worksheet_part_t::on_child_loaded(xml_part_t* child) {
    const xml_part_t* holder = child ? child->get_parent() : nullptr;
    if (holder && is_worktable(*holder) && child->kind() == part_kind_enum::image_part) child->on_loaded();
}

size_t worksheet_part_t::reset_relationship_ids() {
    if (!in_package_io()) return xml_part_t::reset_relationship_ids();
    size_t n = 0;
    auto next_id = [&n] { return "rId" + std::to_string(++n); };
    for (const auto& c : get_child_parts()) {
        if (!is_worktable(*c)) {
            c->set_relationship_id(next_id());
            continue;
        }
        c->set_relationship_id("");
        for (const auto& g : c->get_child_parts()) g->set_relationship_id(next_id());
    }
    return n;
}

std::optional<unsigned> worksheet_part_t::get_part_number(const xml_part_t* child) const {
    if (!child || !is_worktable(*child)) return xml_part_t::get_part_number(child);
    if (get_worksheet()->has_worktable(child->get_component())) return 0u;
    return std::nullopt;
}

} // namespace vex
