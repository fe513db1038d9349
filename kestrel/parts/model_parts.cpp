#include "kestrel/core/components/table_definition.h"
#include "kestrel/core/components/workbook_style.h"
#include "kestrel/parts/pivot_table_part.h"
#include "kestrel/parts/printer_settings_part.h"
#include "kestrel/parts/shared_string_table_part.h"
#include "kestrel/parts/vml_drawing_part.h"
#include "kestrel/parts/worktable_part.h"
#include "kestrel/xml/xl_xml/writers/pivot_table_part_xml.h"
#include "kestrel/xml/xl_xml/writers/shared_strings_part_xml.h"
#include "kestrel/xml/xl_xml/writers/styles_part_xml.h"

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
    : unread_model_part_t(parent, part_kind_enum::table_definition_part) {
    set_component(std::make_unique<table_definition_t>(this));
}

table_definition_part_t::~table_definition_part_t() = default;

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

bool vml_drawing_part::is_empty() const { return !get_kept_tree() && get_drawing()->shape_count() == 0; }

spreadsheet_printer_settings_part_t::spreadsheet_printer_settings_part_t(xml_part_t* parent)
    : described_part_t(parent, part_kind_enum::spreadsheet_printer_settings_part) {}

spreadsheet_printer_settings_part_t::~spreadsheet_printer_settings_part_t() = default;

void spreadsheet_printer_settings_part_t::create_output_handler(int mode) {
    if (mode == 2) set_output_handler(std::make_unique<spreadsheet_printer_settings_part_xml>(*this));
}

} // namespace vex
