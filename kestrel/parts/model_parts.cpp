#include "kestrel/core/components/table_definition.h"
#include "kestrel/core/components/workbook_style.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/parts/pivot_table_part.h"
#include "kestrel/parts/printer_settings_part.h"
#include "kestrel/parts/shared_string_table_part.h"
#include "kestrel/parts/vml_drawing_part.h"
#include "kestrel/parts/worktable_comments_part.h"
#include "kestrel/parts/worktable_part.h"
#include "kestrel/xml/xl_xml/writers/pivot_table_part_xml.h"
#include "kestrel/xml/xl_xml/writers/shared_strings_part_xml.h"
#include "kestrel/xml/xl_xml/writers/styles_part_xml.h"
#include "kestrel/xml/xl_xml/writers/table_definition_part_xml.h"
#include "kestrel/xml/xl_xml/writers/vml_drawing_part_xml.h"
#include "kestrel/xml/xl_xml/writers/worktable_comments_part_xml.h"

namespace vex {

shared_string_table_part_t::shared_string_table_part_t(xml_part_t* parent)
    : described_part_t(parent, part_kind_enum::shared_string_table_part) {
    set_component(std::make_unique<shared_string_table_t>(this));
}

workbook_styles_part_t::workbook_styles_part_t(xml_part_t* parent)
    : described_part_t(parent, part_kind_enum::workbook_styles_part) {
    set_component(std::make_unique<workbook_style_t>(this));
}

void shared_string_table_part_t::create_output_handler(int mode) {
    if (writer_left_to_base__(mode)) return;
    set_output_handler(std::make_unique<shared_strings_part_xml>(*this));
}

void workbook_styles_part_t::create_output_handler(int mode) {
    if (writer_left_to_base__(mode)) return;
    set_output_handler(std::make_unique<styles_part_xml>(*this));
}

workbook_styles_part_t::~workbook_styles_part_t() = default;

table_definition_part_t::table_definition_part_t(xml_part_t* parent)
    : described_part_t(parent, part_kind_enum::table_definition_part) {
    set_component(std::make_unique<table_definition_t>(this));
}

table_definition_part_t::~table_definition_part_t() = default;

void table_definition_part_t::create_output_handler(int mode) {
    if (writer_left_to_base__(mode)) return;
    set_output_handler(std::make_unique<table_definition_part_xml>(*this));
}

pivot_table_part_t::pivot_table_part_t(xml_part_t* parent)
    : described_part_t(parent, part_kind_enum::pivot_table_part) {
    set_component(std::make_unique<pivot_table_t>(this));
}

pivot_table_part_t::~pivot_table_part_t() = default;

void pivot_table_part_t::create_output_handler(int mode) {
    if (mode == 2) set_output_handler(std::make_unique<pivot_table_part_xml>(*this));
}

vml_drawing_part::vml_drawing_part(xml_part_t* parent) : described_part_t(parent, part_kind_enum::vml_drawing_part) {
    set_component(std::make_unique<vml_drawing_t>(this));
}

vml_drawing_part::~vml_drawing_part() = default;

namespace {

const worksheet_t* sheet_above(const xml_part_t& part) {
    for (const xml_part_t* p = part.get_parent(); p; p = p->get_parent())
        if (p->kind() == part_kind_enum::worksheet_part) return dynamic_cast<const worksheet_t*>(p->get_component());
    return nullptr;
}

vml_drawing_part* drawing_child(const xml_part_t& parent, bool header_footer) {
    for (const auto& c : parent.get_child_parts()) {
        if (c->kind() != part_kind_enum::vml_drawing_part) continue;
        auto* vml = dynamic_cast<vml_drawing_part*>(c.get());
        if (vml && vml->is_header_footer() == header_footer) return vml;
    }
    return nullptr;
}

} // namespace

bool vml_drawing_part::is_header_footer() const {
    const worksheet_t* sheet = sheet_above(*this);
    return sheet && !sheet->header_footer_drawing_id().empty() && sheet->header_footer_drawing_id() == get_source_id();
}

bool vml_drawing_part::holds_notes() const {
    return get_parent() && notes_drawing_of(*get_parent()) == this;
}

bool vml_drawing_part::is_empty() const {
    return !is_header_footer() && get_drawing()->shape_count() == 0 && get_drawing()->kept_shape_count() == 0;
}

void vml_drawing_part::create_output_handler(int mode) {
    if (writer_left_to_base__(mode)) return;
    // The header and footer part is written as its bytes.
    if (!is_header_footer()) set_output_handler(std::make_unique<vml_drawing_part_xml>(*this));
}

vml_drawing_part* notes_drawing_of(const xml_part_t& worktable_part) { return drawing_child(worktable_part, false); }

vml_drawing_part* header_footer_drawing_of(const xml_part_t& worktable_part) {
    return drawing_child(worktable_part, true);
}

worktable_comments_part::worktable_comments_part(xml_part_t* parent)
    : described_part_t(parent, part_kind_enum::worksheet_comments_part) {
    set_component(std::make_unique<worktable_comment_t>(this));
}

worktable_comments_part::~worktable_comments_part() = default;

void worktable_comments_part::create_output_handler(int mode) {
    if (writer_left_to_base__(mode)) return;
    set_output_handler(std::make_unique<worktable_comments_part_xml>(*this));
}

spreadsheet_printer_settings_part_t::spreadsheet_printer_settings_part_t(xml_part_t* parent)
    : described_part_t(parent, part_kind_enum::spreadsheet_printer_settings_part) {}

spreadsheet_printer_settings_part_t::~spreadsheet_printer_settings_part_t() = default;

void spreadsheet_printer_settings_part_t::create_output_handler(int mode) {
    if (mode == 2) set_output_handler(std::make_unique<spreadsheet_printer_settings_part_xml>(*this));
}

} // namespace vex
