#include "kestrel/parts/workbook_part.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/external_document.h"
#include "kestrel/parts/shared_string_table_part.h"
#include "kestrel/parts/worksheet_part.h"
#include "kestrel/parts/worktable_part.h"
#include "kestrel/xml/xl_xml/writers/workbook_part_xml.h"

#include <string_view>
#include <utility>

namespace vex {

namespace {

std::string_view relationship_type_of(part_kind_enum kind) { return part_kind_info_of(kind)->relationship_type; }

} // namespace

workbook_part_t::workbook_part_t(xml_part_t* parent) : described_part_t(parent, part_kind_enum::workbook_part) {
    set_part_id(next_workbook_part_id());
    set_component(std::make_unique<workbook_t>(this));
}

workbook_part_t::~workbook_part_t() = default;

void workbook_part_t::prepare_saving(bool saving) {
    if (saving) {
        for (worktable_t* table : get_worktables())
            if (auto* part = table ? dynamic_cast<worktable_part_t*>(table->get_part()) : nullptr)
                part->match_comment_parts();
        children().move_to_back(part_kind_enum::workbook_styles_part);
        children().move_to_back(part_kind_enum::shared_string_table_part);
    } else {
        children().move_relationships_to_front(relationship_type_of(part_kind_enum::shared_string_table_part));
        children().move_relationships_to_front(relationship_type_of(part_kind_enum::workbook_styles_part));
    }
}

void workbook_part_t::create_output_handler(int mode) {
    if (writer_left_to_base__(mode)) return;
    set_output_handler(std::make_unique<workbook_part_xml>(*this));
}

xml_part_t* workbook_part_t::create_part(const char* relationship_type, const char* id) {
    if (is_complete()) return xml_part_t::create_part(relationship_type, id);
    // A workbook read only for the values other workbooks reference: its
    // strings, and the sheets those references name.
    const std::string_view type = relationship_type ? relationship_type : "";
    const part_kind_enum kind = part_kind_of_relationship_type(type);
    if (kind == part_kind_enum::shared_string_table_part) return xml_part_t::create_part(relationship_type, id);
    if (kind == part_kind_enum::worksheet_part && is_referenced_sheet__(id))
        return xml_part_t::create_part(relationship_type, id);
    return nullptr;
}

bool workbook_part_t::is_referenced_sheet__(const char* id) const {
    const workbook_t* book = get_workbook_component();
    const external_document_t* document = book->external_document();
    if (!document || !id || !*id) return false;
    for (const sheet_entry_t& s : book->sheets())
        if (s.relationship_id == id) return document->is_referenced_sheet(s.name);
    return false;
}

void workbook_part_t::add_part(xml_part_t* part, bool) {
    if (!part) return;
    workbook_t* book = get_workbook_component();
    switch (part->kind()) {
    case part_kind_enum::shared_string_table_part:
        book->set_shared_strings(dynamic_cast<shared_string_table_t*>(part->get_component()));
        children().add(part, true);
        break;
    case part_kind_enum::workbook_styles_part:
        book->set_styles(part->get_component());
        children().add(part, true);
        break;
    case part_kind_enum::worksheet_part: {
        auto* sheet = dynamic_cast<worksheet_t*>(part->get_component());
        part->set_part_id(book->sheet_id_by_rid(part->get_source_id()));
        book->attach_worksheet(sheet, part->get_source_id());
        children().add(part, false);
        break;
    }
    default:
        children().add(part, false);
    }
}

void workbook_part_t::after_child_saved() {
    // The save put the strings last (prepare_saving): found from the back,
    // and numbered again only when they gain an Id, each sheet costs the same
    // however many there are.
    const auto& children = get_child_parts();
    size_t first = children.size();
    while (first > 0 && children[first - 1]->kind() == part_kind_enum::shared_string_table_part) --first;
    if (first == children.size()) return;
    xml_part_t* child = children[first].get();
    const auto* strings = dynamic_cast<const shared_string_table_t*>(child->get_component());
    if (!strings || !strings->has_strings_to_save())
        child->set_relationship_id("");
    else if (!child->get_relationship_id())
        reset_relationship_ids();
}

// Sheets are numbered by their tab position, whatever order their parts were
// made in.
std::optional<unsigned> workbook_part_t::get_part_number(const xml_part_t* child) const {
    if (!child || child->kind() != part_kind_enum::worksheet_part) return xml_part_t::get_part_number(child);
    return sheet_number(dynamic_cast<const worksheet_t*>(child->get_component()));
}

std::optional<unsigned> workbook_part_t::sheet_number(const worksheet_t* sheet) const {
    if (!sheet) return std::nullopt;
    const auto& sheets = std::as_const(*get_workbook_component()).sheets();
    const auto known = [&] {
        const auto it = sheet_numbers_.find(sheet);
        return it != sheet_numbers_.end() && it->second < sheets.size() && sheets[it->second].component == sheet
                   ? std::optional<unsigned>(it->second)
                   : std::nullopt;
    };
    if (const auto i = known()) return i;
    sheet_numbers_.clear();
    for (uint32_t i = 0; i < sheets.size(); ++i) sheet_numbers_.emplace(sheets[i].component, i);
    // A sheet without a record gets no number, not the sentinel's.
    return known();
}

std::vector<worktable_t*> workbook_part_t::get_worktables() const {
    std::vector<worktable_t*> out;
    for (const auto& child : get_child_parts()) {
        if (child->kind() != part_kind_enum::worksheet_part) continue;
        for (const auto& c : child->get_child_parts())
            if (c->kind() == part_kind_enum::worktable_part)
                out.push_back(dynamic_cast<worktable_t*>(c->get_component()));
    }
    return out;
}

worktable_t* workbook_part_t::first_worktable() const {
    const std::vector<worktable_t*> all = get_worktables();
    return all.empty() ? nullptr : all.front();
}

bool is_workbook_content_type(std::string_view content_type) noexcept {
    static constexpr std::string_view types[] = {
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
        "application/vnd.ms-excel.sheet.macroEnabled.main+xml",
        "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml",
        "application/vnd.ms-excel.template.macroEnabled.main+xml",
    };
    for (std::string_view t : types)
        if (content_type == t) return true;
    return false;
}

workbook_part_t* workbook_part_of(const xml_part_t& part) {
    return dynamic_cast<workbook_part_t*>(part.get_workbook_part());
}

} // namespace vex
