#pragma once
// The part classes that only describe their kind. Their parts have no model:
// they are read as bytes and written back unchanged. One class template serves
// them all; the aliases keep each kind's class name.

#include "kestrel/parts/part.h"


namespace vex {

// A part whose description comes from its kind's row in the kind table.
class described_part_t : public xml_part_t {
public:
    described_part_t(xml_part_t* parent, part_kind_enum kind);
    ~described_part_t() override;
};

template <part_kind_enum K>
class simple_part_t final : public described_part_t {
public:
    explicit simple_part_t(xml_part_t* parent) : described_part_t(parent, K) {}
};

// Kinds that may carry one of several content types, chosen by index.
class custom_xml_part_t final : public described_part_t {
public:
    explicit custom_xml_part_t(xml_part_t* parent) : described_part_t(parent, part_kind_enum::custom_xml_part) {}
    const char* get_content_type_by_index(int index) const override;
    const char* get_extension_by_index(int index) const override;
};

class custom_property_part_t final : public described_part_t {
public:
    explicit custom_property_part_t(xml_part_t* parent)
        : described_part_t(parent, part_kind_enum::custom_property_part) {}
    const char* get_content_type_by_index(int index) const override;
    const char* get_extension_by_index(int index) const override;
};

class thumbnail_part_t final : public described_part_t {
public:
    explicit thumbnail_part_t(xml_part_t* parent) : described_part_t(parent, part_kind_enum::thumbnail_part) {}
    const char* get_content_type_by_index(int index) const override;
    const char* get_extension_by_index(int index) const override;
};

using custom_xml_properties_part_t = simple_part_t<part_kind_enum::custom_xml_properties_part>;
using calculation_chain_part_t = simple_part_t<part_kind_enum::calculation_chain_part>;
using cell_metadata_part_t = simple_part_t<part_kind_enum::cell_metadata_part>;
using connections_part_t = simple_part_t<part_kind_enum::connections_part>;
using custom_xml_mappings_part_t = simple_part_t<part_kind_enum::custom_xml_mappings_part>;
using workbook_revision_header_part_t = simple_part_t<part_kind_enum::workbook_revision_header_part>;
using workbook_revision_log_part_t = simple_part_t<part_kind_enum::workbook_revision_log_part>;
using workbook_user_data_part_t = simple_part_t<part_kind_enum::workbook_user_data_part>;
using theme_part_t = simple_part_t<part_kind_enum::theme_part>;
using volatile_dependencies_part_t = simple_part_t<part_kind_enum::volatile_dependencies_part>;
using chartsheet_part_t = simple_part_t<part_kind_enum::chartsheet_part>;
using chart_part_t = simple_part_t<part_kind_enum::chart_part>;
using chart_drawing_part_t = simple_part_t<part_kind_enum::chart_drawing_part>;
using embedded_package_part_t = simple_part_t<part_kind_enum::embedded_package_part>;
using theme_override_part_t = simple_part_t<part_kind_enum::theme_override_part>;
using chart_style_part_t = simple_part_t<part_kind_enum::chart_style_part>;
using chart_color_style_part_t = simple_part_t<part_kind_enum::chart_color_style_part>;
using diagram_colors_part_t = simple_part_t<part_kind_enum::diagram_colors_part>;
using diagram_data_part_t = simple_part_t<part_kind_enum::diagram_data_part>;
using slide_part_t = simple_part_t<part_kind_enum::slide_part>;
using diagram_persist_layout_part_t = simple_part_t<part_kind_enum::diagram_persist_layout_part>;
using diagram_layout_definition_part_t = simple_part_t<part_kind_enum::diagram_layout_definition_part>;
using diagram_style_part_t = simple_part_t<part_kind_enum::diagram_style_part>;
using embedded_object_part_t = simple_part_t<part_kind_enum::embedded_object_part>;
using legacy_diagram_text_part_t = simple_part_t<part_kind_enum::legacy_diagram_text_part>;
using embedded_control_persistence_binary_data_part_t =
    simple_part_t<part_kind_enum::embedded_control_persistence_binary_data_part>;
using notes_slide_part_t = simple_part_t<part_kind_enum::notes_slide_part>;
using notes_master_part_t = simple_part_t<part_kind_enum::notes_master_part>;
using user_defined_tags_part_t = simple_part_t<part_kind_enum::user_defined_tags_part>;
using slide_layout_part_t = simple_part_t<part_kind_enum::slide_layout_part>;
using slide_master_part_t = simple_part_t<part_kind_enum::slide_master_part>;
using embedded_control_persistence_part_t = simple_part_t<part_kind_enum::embedded_control_persistence_part>;
using slide_sync_data_part_t = simple_part_t<part_kind_enum::slide_sync_data_part>;
using web_extension_part_t = simple_part_t<part_kind_enum::web_extension_part>;
using pivot_table_cache_definition_part_t = simple_part_t<part_kind_enum::pivot_table_cache_definition_part>;
using pivot_table_cache_records_part_t = simple_part_t<part_kind_enum::pivot_table_cache_records_part>;
using single_cell_table_part_t = simple_part_t<part_kind_enum::single_cell_table_part>;
using query_table_part_t = simple_part_t<part_kind_enum::query_table_part>;
using control_properties_part_t = simple_part_t<part_kind_enum::control_properties_part>;
using worksheet_sort_map_part_t = simple_part_t<part_kind_enum::worksheet_sort_map_part>;
using slicers_part_t = simple_part_t<part_kind_enum::slicers_part>;
using time_line_part_t = simple_part_t<part_kind_enum::time_line_part>;
using dialogsheet_part_t = simple_part_t<part_kind_enum::dialogsheet_part>;
using external_workbook_part_t = simple_part_t<part_kind_enum::external_workbook_part>;
using excel_attached_toolbars_part_t = simple_part_t<part_kind_enum::excel_attached_toolbars_part>;
using vba_project_part_t = simple_part_t<part_kind_enum::vba_project_part>;
using vba_data_part_t = simple_part_t<part_kind_enum::vba_data_part>;
using macro_sheet_part_t = simple_part_t<part_kind_enum::macro_sheet_part>;
using international_macro_sheet_part_t = simple_part_t<part_kind_enum::international_macro_sheet_part>;
using custom_data_properties_part_t = simple_part_t<part_kind_enum::custom_data_properties_part>;
using custom_data_part_t = simple_part_t<part_kind_enum::custom_data_part>;
using slicer_cache_part_t = simple_part_t<part_kind_enum::slicer_cache_part>;
using time_line_cache_part_t = simple_part_t<part_kind_enum::time_line_cache_part>;
using core_file_properties_part_t = simple_part_t<part_kind_enum::core_file_properties_part>;
using extended_file_properties_part_t = simple_part_t<part_kind_enum::extended_file_properties_part>;
using custom_file_properties_part_t = simple_part_t<part_kind_enum::custom_file_properties_part>;
using digital_signature_origin_part_t = simple_part_t<part_kind_enum::digital_signature_origin_part>;
using xml_signature_part_t = simple_part_t<part_kind_enum::xml_signature_part>;
using quick_access_toolbar_customizations_part_t =
    simple_part_t<part_kind_enum::quick_access_toolbar_customizations_part>;
using ribbon_extensibility_part_t = simple_part_t<part_kind_enum::ribbon_extensibility_part>;
using ribbon_and_backstage_customizations_part_t =
    simple_part_t<part_kind_enum::ribbon_and_backstage_customizations_part>;
using web_ex_taskpanes_part_t = simple_part_t<part_kind_enum::web_ex_taskpanes_part>;

// A chart, read as its kind or kept under a parent the kinds do not give it.
bool is_chart_part(const xml_part_t& part) noexcept;

// A part with a model whose reader is still to come: a load keeps its bytes,
// written back as they were, instead of parsing it into a model that could not
// write it again.
class unread_model_part_t : public described_part_t {
public:
    using described_part_t::described_part_t;
    bool parses_on_load() const override { return false; }
};

// The styles part: its model is the workbook's style manager.
class workbook_styles_part_t final : public described_part_t {
public:
    explicit workbook_styles_part_t(xml_part_t* parent);
    ~workbook_styles_part_t() override;
    void create_output_handler(int mode) override;
};

class table_definition_part_t final : public described_part_t {
public:
    explicit table_definition_part_t(xml_part_t* parent);
    ~table_definition_part_t() override;
    void create_output_handler(int mode) override;
};

} // namespace vex
