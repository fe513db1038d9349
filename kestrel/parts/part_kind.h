#pragma once
// The kinds of package part. A kind decides a part's class, the relationship
// type its parent names it by and where in the tree it may sit. WorktablePart
// is the library's own: a sheet's cell data, written into its worksheet's entry.

#include <cstdint>
#include <string_view>

namespace vex {

enum class part_kind_enum : uint32_t {
    none = 0,  // no kind; also the package root as a parent
    workbook_part = 1,
    custom_xml_part = 2,
    custom_xml_properties_part = 3,
    calculation_chain_part = 4,
    cell_metadata_part = 5,
    connections_part = 6,
    custom_xml_mappings_part = 7,
    shared_string_table_part = 8,
    workbook_revision_header_part = 9,
    workbook_revision_log_part = 10,
    workbook_user_data_part = 11,
    workbook_styles_part = 12,
    theme_part = 13,
    image_part = 14,
    thumbnail_part = 15,
    volatile_dependencies_part = 16,
    chartsheet_part = 17,
    spreadsheet_printer_settings_part = 18,
    drawings_part = 19,
    chart_part = 20,
    chart_drawing_part = 21,
    embedded_package_part = 22,
    theme_override_part = 23,
    chart_style_part = 24,
    chart_color_style_part = 25,
    diagram_colors_part = 26,
    diagram_data_part = 27,
    slide_part = 28,
    diagram_persist_layout_part = 29,
    diagram_layout_definition_part = 30,
    diagram_style_part = 31,
    embedded_object_part = 32,
    vml_drawing_part = 33,
    legacy_diagram_text_part = 34,
    embedded_control_persistence_binary_data_part = 35,
    notes_slide_part = 36,
    notes_master_part = 37,
    user_defined_tags_part = 38,
    slide_layout_part = 39,
    slide_master_part = 40,
    embedded_control_persistence_part = 41,
    slide_sync_data_part = 42,
    web_extension_part = 43,
    worksheet_part = 44,
    worktable_part = 45,
    worksheet_comments_part = 46,
    pivot_table_part = 47,
    pivot_table_cache_definition_part = 48,
    pivot_table_cache_records_part = 49,
    single_cell_table_part = 50,
    table_definition_part = 51,
    query_table_part = 52,
    control_properties_part = 53,
    custom_property_part = 54,
    worksheet_sort_map_part = 55,
    slicers_part = 56,
    time_line_part = 57,
    dialogsheet_part = 58,
    external_workbook_part = 59,
    excel_attached_toolbars_part = 60,
    vba_project_part = 61,
    vba_data_part = 62,
    macro_sheet_part = 63,
    international_macro_sheet_part = 64,
    custom_data_properties_part = 65,
    custom_data_part = 66,
    slicer_cache_part = 67,
    time_line_cache_part = 68,
    core_file_properties_part = 69,
    extended_file_properties_part = 70,
    custom_file_properties_part = 71,
    digital_signature_origin_part = 72,
    xml_signature_part = 73,
    quick_access_toolbar_customizations_part = 74,
    ribbon_extensibility_part = 75,
    ribbon_and_backstage_customizations_part = 76,
    web_ex_taskpanes_part = 77,
};

inline constexpr uint32_t part_kind_count = 77;
// What a part holds between its construction and the factory naming its kind.
inline constexpr part_kind_enum part_kind_unset = part_kind_enum(0xFFFFFFFFu);
// A part the package carries without knowing it: a relationship type the kinds
// predate, or a known kind under a parent that may not hold it. It is kept
// whole (type, bytes, its own relationships) and saved back as it came.
inline constexpr part_kind_enum part_kind_kept = part_kind_enum(0xFFFFFFFEu);

// The static description of one kind: its name, the relationship type its
// parent names it by, its content type (null for kinds of several), the folder
// and stem of its entry name and its default extension (may be null).
struct part_kind_info {
    const char* name;
    const char* relationship_type;
    const char* content_type;
    const char* folder;
    const char* stem;
    const char* extension;
};

// Null outside 1..77.
const part_kind_info* part_kind_info_of(part_kind_enum kind) noexcept;
// The kind named by a relationship type, compared whole and case-sensitively;
// none for any other text.
part_kind_enum part_kind_of_relationship_type(std::string_view type) noexcept;
// "WorkbookPart" and so on; an empty view outside 1..77.
std::string_view part_kind_name(part_kind_enum kind) noexcept;

// Whether a parent of kind `parent` (none: the package root) may hold a child
// of kind `child`, and whether it may hold several of them.
struct part_placement {
    bool allowed;
    bool several;
};
part_placement part_kind_placement(part_kind_enum child, part_kind_enum parent) noexcept;

} // namespace vex
