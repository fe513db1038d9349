#include "kestrel/parts/drawings_part.h"
#include "kestrel/parts/image_part.h"
#include "kestrel/parts/kept_part.h"
#include "kestrel/parts/part_container.h"
#include "kestrel/parts/pivot_table_part.h"
#include "kestrel/parts/printer_settings_part.h"
#include "kestrel/parts/shared_string_table_part.h"
#include "kestrel/parts/vml_drawing_part.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/parts/worksheet_part.h"
#include "kestrel/parts/worktable_comments_part.h"
#include "kestrel/parts/worktable_part.h"
#include "opendoc_exceptions.h"

#include <iterator>
#include <memory>
#include <string>

namespace vex {

namespace {

using maker_t = std::unique_ptr<xml_part_t> (*)(xml_part_t*);

template <typename T>
std::unique_ptr<xml_part_t> make(xml_part_t* parent) {
    return std::make_unique<T>(parent);
}

// The class of each kind, indexed by kind - 1.
constexpr maker_t makers[] = {
    make<workbook_part_t>,
    make<custom_xml_part_t>,
    make<custom_xml_properties_part_t>,
    make<calculation_chain_part_t>,
    make<cell_metadata_part_t>,
    make<connections_part_t>,
    make<custom_xml_mappings_part_t>,
    make<shared_string_table_part_t>,
    make<workbook_revision_header_part_t>,
    make<workbook_revision_log_part_t>,
    make<workbook_user_data_part_t>,
    make<workbook_styles_part_t>,
    make<theme_part_t>,
    make<image_part_t>,
    make<thumbnail_part_t>,
    make<volatile_dependencies_part_t>,
    make<chartsheet_part_t>,
    make<spreadsheet_printer_settings_part_t>,
    make<drawings_part_t>,
    make<chart_part_t>,
    make<chart_drawing_part_t>,
    make<embedded_package_part_t>,
    make<theme_override_part_t>,
    make<chart_style_part_t>,
    make<chart_color_style_part_t>,
    make<diagram_colors_part_t>,
    make<diagram_data_part_t>,
    make<slide_part_t>,
    make<diagram_persist_layout_part_t>,
    make<diagram_layout_definition_part_t>,
    make<diagram_style_part_t>,
    make<embedded_object_part_t>,
    make<vml_drawing_part>,
    make<legacy_diagram_text_part_t>,
    make<embedded_control_persistence_binary_data_part_t>,
    make<notes_slide_part_t>,
    make<notes_master_part_t>,
    make<user_defined_tags_part_t>,
    make<slide_layout_part_t>,
    make<slide_master_part_t>,
    make<embedded_control_persistence_part_t>,
    make<slide_sync_data_part_t>,
    make<web_extension_part_t>,
    make<worksheet_part_t>,
    make<worktable_part_t>,
    make<worktable_comments_part>,
    make<pivot_table_part_t>,
    make<pivot_table_cache_definition_part_t>,
    make<pivot_table_cache_records_part_t>,
    make<single_cell_table_part_t>,
    make<table_definition_part_t>,
    make<query_table_part_t>,
    make<control_properties_part_t>,
    make<custom_property_part_t>,
    make<worksheet_sort_map_part_t>,
    make<slicers_part_t>,
    make<time_line_part_t>,
    make<dialogsheet_part_t>,
    make<external_workbook_part_t>,
    make<excel_attached_toolbars_part_t>,
    make<vba_project_part_t>,
    make<vba_data_part_t>,
    make<macro_sheet_part_t>,
    make<international_macro_sheet_part_t>,
    make<custom_data_properties_part_t>,
    make<custom_data_part_t>,
    make<slicer_cache_part_t>,
    make<time_line_cache_part_t>,
    make<core_file_properties_part_t>,
    make<extended_file_properties_part_t>,
    make<custom_file_properties_part_t>,
    make<digital_signature_origin_part_t>,
    make<xml_signature_part_t>,
    make<quick_access_toolbar_customizations_part_t>,
    make<ribbon_extensibility_part_t>,
    make<ribbon_and_backstage_customizations_part_t>,
    make<web_ex_taskpanes_part_t>,
};
static_assert(std::size(makers) == part_kind_count);

void hand_over(part_container& container, xml_part_t* parent, std::unique_ptr<xml_part_t> part) {
    if (parent)
        parent->add_part(part.release(), false);
    else
        container.add(part.release(), false);
}

} // namespace

xml_part_t* part_container::create_child(xml_part_t* parent, std::string_view relationship_type, const char* id,
                                         bool complete) {
    const part_kind_enum kind = part_kind_of_relationship_type(relationship_type);
    if (kind == part_kind_enum::none)
        throw part_container_error("Relationship type " + std::string(relationship_type) + " does not exist.");
    bool several = false;
    if (!parent) {
        several = part_kind_placement(kind, part_kind_enum::none).several;
    } else if (parent->kind() == part_kind_kept) {
        // What a kept part names is made as what it is, each a part of its own.
        several = true;
    } else {
        const part_placement placement = part_kind_placement(kind, parent->kind());
        if (!placement.allowed)
            throw part_container_error(std::string(part_kind_name(kind)) + " cannot be a subpart of " +
                                       std::string(part_kind_name(parent->kind())) + ".");
        several = placement.several;
    }
    if (!several) {
        for (const auto& c : children())
            if (c->kind() == kind) return c.get();
    }
    return make_child(parent, kind, several, id, complete);
}

xml_part_t* part_container::make_child(xml_part_t* parent, part_kind_enum kind, bool several, const char* id,
                                       bool complete) {
    std::unique_ptr<xml_part_t> part = makers[static_cast<uint32_t>(kind) - 1](parent);
    if (!complete) part->set_complete(false);
    if (const char* ct = part->get_content_type()) part->set_content_type(ct);
    part->set_kind(kind);
    part->set_numbered(several);
    part->set_source_id(id);
    part->make_default_entry_name();
    xml_part_t* made = part.get();
    hand_over(*this, parent, std::move(part));
    return made;
}

xml_part_t* part_container::create_or_keep_child(xml_part_t* parent, std::string_view relationship_type,
                                                 const char* id, bool complete) {
    const std::string type(relationship_type);
    try {
        return parent ? parent->create_part(type.c_str(), id) : create_child(nullptr, type, id, complete);
    } catch (const part_container_error&) {
        // Newer producers write kinds the table predates and put known kinds
        // under parents it refuses: neither is a reason to refuse the file.
    }
    auto part = std::make_unique<kept_part_t>(parent, type);
    if (!complete) part->set_complete(false);
    part->set_kind(part_kind_kept);
    part->set_source_id(id);
    xml_part_t* made = part.get();
    hand_over(*this, parent, std::move(part));
    return made;
}

kept_part_t::kept_part_t(xml_part_t* parent, std::string_view relationship_type)
    : kept_relationship_type{std::string(relationship_type)},
      xml_part_t(parent, "", text.c_str(), nullptr, "", "", nullptr) {}

kept_part_t::~kept_part_t() = default;

} // namespace vex
