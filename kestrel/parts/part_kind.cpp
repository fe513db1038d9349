#include "kestrel/parts/part_kind.h"

#include <array>
#include <iterator>

namespace vex {

namespace {

#define OD "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
#define PK "http://schemas.openxmlformats.org/package/"
#define MS "http://schemas.microsoft.com/office/"

// Indexed by kind - 1. Compile-time data, so that no other file's static
// initialisation can meet it half built.
constexpr part_kind_info kinds[] = {
    // 1 workbook_part_t
    {"WorkbookPart", OD "officeDocument",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
     "xl", "workbook", nullptr},
    // 2 custom_xml_part_t
    {"CustomXmlPart", OD "customXml", nullptr, "../customXML", "item", nullptr},
    // 3 custom_xml_properties_part_t
    {"CustomXmlPropertiesPart", OD "customXmlProps",
     "application/vnd.openxmlformats-officedocument.customXmlProperties+xml",
     ".", "itemProps", nullptr},
    // 4 calculation_chain_part_t
    {"CalculationChainPart", OD "calcChain",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml",
     ".", "calcChain", nullptr},
    // 5 cell_metadata_part_t
    {"CellMetadataPart", OD "sheetMetadata",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.sheetMetadata+xml",
     ".", "metadata", nullptr},
    // 6 connections_part_t
    {"ConnectionsPart", OD "connections",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.connections+xml",
     ".", "connections", nullptr},
    // 7 custom_xml_mappings_part_t
    {"CustomXmlMappingsPart", OD "xmlMaps",
     "application/xml",
     ".", "xmlMaps", nullptr},
    // 8 shared_string_table_part_t
    {"SharedStringTablePart", OD "sharedStrings",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml",
     ".", "sharedStrings", nullptr},
    // 9 workbook_revision_header_part_t
    {"WorkbookRevisionHeaderPart", OD "revisionHeaders",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.revisionHeaders+xml",
     "revisions", "revisionHeaders", nullptr},
    // 10 workbook_revision_log_part_t
    {"WorkbookRevisionLogPart", OD "revisionLog",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.revisionLog+xml",
     ".", "revisionLog", nullptr},
    // 11 workbook_user_data_part_t
    {"WorkbookUserDataPart", OD "usernames",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.userNames+xml",
     "revisions", "userNames", nullptr},
    // 12 workbook_styles_part_t
    {"WorkbookStylesPart", OD "styles",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml",
     ".", "styles", nullptr},
    // 13 theme_part_t
    {"ThemePart", OD "theme",
     "application/vnd.openxmlformats-officedocument.theme+xml",
     "theme", "theme", nullptr},
    // 14 image_part_t
    {"ImagePart", OD "image", nullptr, "../media", "image", ".bin"},
    // 15 thumbnail_part_t
    {"ThumbnailPart", PK "2006/relationships/metadata/thumbnail",
     nullptr,
     "docProps", "thumbnail", ".bin"},
    // 16 volatile_dependencies_part_t
    {"VolatileDependenciesPart", OD "volatileDependencies",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.volatileDependencies+xml",
     ".", "volatileDependencies", nullptr},
    // 17 chartsheet_part_t
    {"ChartsheetPart", OD "chartsheet",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.chartsheet+xml",
     "chartsheets", "sheet", nullptr},
    // 18 spreadsheet_printer_settings_part_t
    {"SpreadsheetPrinterSettingsPart", OD "printerSettings",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings",
     "../printerSettings", "printerSettings", ".bin"},
    // 19 drawings_part_t
    {"DrawingsPart", OD "drawing",
     "application/vnd.openxmlformats-officedocument.drawing+xml",
     "../drawings", "drawing", nullptr},
    // 20 chart_part_t
    {"ChartPart", OD "chart",
     "application/vnd.openxmlformats-officedocument.drawingml.chart+xml",
     "charts", "chart", nullptr},
    // 21 chart_drawing_part_t
    {"ChartDrawingPart", OD "chartUserShapes",
     "application/vnd.openxmlformats-officedocument.drawingml.chartshapes+xml",
     "../drawings", "drawing", nullptr},
    // 22 embedded_package_part_t
    {"EmbeddedPackagePart", OD "package", nullptr, "embeddings", "package", ".bin"},
    // 23 theme_override_part_t
    {"ThemeOverridePart", OD "themeOverride",
     "application/vnd.openxmlformats-officedocument.themeOverride+xml",
     "theme", "themeoverride", nullptr},
    // 24 chart_style_part_t
    {"ChartStylePart", MS "2011/relationships/chartStyle",
     "application/vnd.ms-office.chartstyle+xml",
     ".", "style", nullptr},
    // 25 chart_color_style_part_t
    {"ChartColorStylePart", MS "2011/relationships/chartColorStyle",
     "application/vnd.ms-office.chartcolorstyle+xml",
     ".", "colors", nullptr},
    // 26 diagram_colors_part_t
    {"DiagramColorsPart", OD "diagramColors",
     "application/vnd.openxmlformats-officedocument.drawingml.diagramColors+xml",
     "../graphics", "colors", nullptr},
    // 27 diagram_data_part_t
    {"DiagramDataPart", OD "diagramData",
     "application/vnd.openxmlformats-officedocument.drawingml.diagramData+xml",
     "../graphics", "data", nullptr},
    // 28 slide_part_t
    {"SlidePart", OD "slide",
     "application/vnd.openxmlformats-officedocument.presentationml.slide+xml",
     "slides", "slide", nullptr},
    // 29 diagram_persist_layout_part_t
    {"DiagramPersistLayoutPart", MS "2007/relationships/diagramDrawing",
     "application/vnd.ms-office.drawingml.diagramDrawing+xml",
     "../diagrams", "drawing", nullptr},
    // 30 diagram_layout_definition_part_t
    {"DiagramLayoutDefinitionPart", OD "diagramLayout",
     "application/vnd.openxmlformats-officedocument.drawingml.diagramLayout+xml",
     "../graphics", "layout", nullptr},
    // 31 diagram_style_part_t
    {"DiagramStylePart", OD "diagramQuickStyle",
     "application/vnd.openxmlformats-officedocument.drawingml.diagramStyle+xml",
     "../graphics", "quickStyle", nullptr},
    // 32 embedded_object_part_t
    {"EmbeddedObjectPart", OD "oleObject",
     nullptr,
     "embeddings", "embeddedObject", ".bin"},
    // 33 vml_drawing_part
    {"VmlDrawingPart", OD "vmlDrawing",
     "application/vnd.openxmlformats-officedocument.vmlDrawing",
     "../drawings", "vmldrawing", ".vml"},
    // 34 legacy_diagram_text_part_t
    {"LegacyDiagramTextPart", MS "2006/relationships/legacyDiagramText",
     "application/vnd.ms-office.legacyDiagramText",
     ".", "legacyDiagramText", ".bin"},
    // 35 embedded_control_persistence_binary_data_part_t
    {"EmbeddedControlPersistenceBinaryDataPart", MS "2006/relationships/activeXControlBinary",
     nullptr,
     ".", "ActiveXControl", ".bin"},
    // 36 notes_slide_part_t
    {"NotesSlidePart", OD "notesSlide",
     "application/vnd.openxmlformats-officedocument.presentationml.notesSlide+xml",
     "../notesSlides", "notesSlide", nullptr},
    // 37 notes_master_part_t
    {"NotesMasterPart", OD "notesMaster",
     "application/vnd.openxmlformats-officedocument.presentationml.notesMaster+xml",
     "notesMasters", "notesMaster", nullptr},
    // 38 user_defined_tags_part_t
    {"UserDefinedTagsPart", OD "tags",
     "application/vnd.openxmlformats-officedocument.presentationml.tags+xml",
     "tags", "tag", nullptr},
    // 39 slide_layout_part_t
    {"SlideLayoutPart", OD "slideLayout",
     "application/vnd.openxmlformats-officedocument.presentationml.slideLayout+xml",
     "../slideLayouts", "slideLayout", nullptr},
    // 40 slide_master_part_t
    {"SlideMasterPart", OD "slideMaster",
     "application/vnd.openxmlformats-officedocument.presentationml.slideMaster+xml",
     "slideMasters", "slideMaster", nullptr},
    // 41 embedded_control_persistence_part_t
    {"EmbeddedControlPersistencePart", OD "control",
     nullptr,
     "embeddings", "control", ".bin"},
    // 42 slide_sync_data_part_t
    {"SlideSyncDataPart", OD "slideUpdateInfo",
     "application/vnd.openxmlformats-officedocument.presentationml.slideUpdateInfo+xml",
     "slideUpdateInfo", "slideUpdateInfo", nullptr},
    // 43 web_extension_part_t
    {"WebExtensionPart", MS "2011/relationships/webextension",
     "application/vnd.ms-office.webextension+xml",
     "../webextensions", "webextension", nullptr},
    // 44 worksheet_part_t
    {"WorksheetPart", OD "worksheet",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml",
     "worksheets", "sheet", nullptr},
    // 45 worktable_part_t
    {"WorktablePart", OD "worktable",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.worktable+xml",
     "../table", "table", nullptr},
    // 46 worktable_comments_part
    {"WorksheetCommentsPart", OD "comments",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml",
     "..", "comments", nullptr},
    // 47 pivot_table_part_t
    {"PivotTablePart", OD "pivotTable",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.pivotTable+xml",
     "../pivotTables", "pivotTable", nullptr},
    // 48 pivot_table_cache_definition_part_t
    {"PivotTableCacheDefinitionPart", OD "pivotCacheDefinition",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.pivotCacheDefinition+xml",
     "../pivotCache", "pivotCacheDefinition", nullptr},
    // 49 pivot_table_cache_records_part_t
    {"PivotTableCacheRecordsPart", OD "pivotCacheRecords",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.pivotCacheRecords+xml",
     ".", "pivotCacheRecords", nullptr},
    // 50 single_cell_table_part_t
    {"SingleCellTablePart", OD "tableSingleCells",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.tableSingleCells+xml",
     "../tables", "tableSingleCells", nullptr},
    // 51 table_definition_part_t
    {"TableDefinitionPart", OD "table",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml",
     "../tables", "table", nullptr},
    // 52 query_table_part_t
    {"QueryTablePart", OD "queryTable",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.queryTable+xml",
     "../queryTables", "queryTable", nullptr},
    // 53 control_properties_part_t
    {"ControlPropertiesPart", OD "ctrlProp",
     "application/vnd.ms-excel.controlproperties+xml",
     "../ctrlProps", "ctrlProp", nullptr},
    // 54 custom_property_part_t
    {"CustomPropertyPart", OD "customProperty", nullptr, ".", "customProperty", ".bin"},
    // 55 worksheet_sort_map_part_t
    {"WorksheetSortMapPart", MS "2006/relationships/wsSortMap",
     "application/vnd.ms-excel.wsSortMap+xml",
     ".", "wsSortMap", nullptr},
    // 56 slicers_part_t
    {"SlicersPart", MS "2007/relationships/slicer",
     "application/vnd.ms-excel.slicer+xml",
     "../slicers", "slicer", nullptr},
    // 57 time_line_part_t
    {"TimeLinePart", MS "2011/relationships/timeline",
     "application/vnd.ms-excel.timeline+xml",
     "../timelines", "timeline", nullptr},
    // 58 dialogsheet_part_t
    {"DialogsheetPart", OD "dialogsheet",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.dialogsheet+xml",
     "dialogsheets", "sheet", nullptr},
    // 59 external_workbook_part_t
    {"ExternalWorkbookPart", OD "externalLink",
     "application/vnd.openxmlformats-officedocument.spreadsheetml.externalLink+xml",
     "externalReferences", "externalReference", nullptr},
    // 60 excel_attached_toolbars_part_t
    {"ExcelAttachedToolbarsPart", MS "2006/relationships/attachedToolbars",
     "application/vnd.ms-excel.attachedToolbars",
     ".", "attachedToolbars", nullptr},
    // 61 vba_project_part_t
    {"VbaProjectPart", MS "2006/relationships/vbaProject",
     "application/vnd.ms-office.vbaProject",
     ".", "vbaProject", nullptr},
    // 62 vba_data_part_t
    {"VbaDataPart", MS "2006/relationships/wordVbaData",
     "application/vnd.ms-word.vbaData+xml",
     ".", "vbaData", nullptr},
    // 63 macro_sheet_part_t
    {"MacroSheetPart", MS "2006/relationships/xlMacrosheet",
     "application/vnd.ms-excel.macrosheet+xml",
     "macrosheets", "sheet", nullptr},
    // 64 international_macro_sheet_part_t
    {"InternationalMacroSheetPart", MS "2006/relationships/xlIntlMacrosheet",
     "application/vnd.ms-excel.intlmacrosheet+xml",
     "macrosheets", "intlsheet", nullptr},
    // 65 custom_data_properties_part_t
    {"CustomDataPropertiesPart", MS "2007/relationships/customDataProps",
     "application/vnd.ms-excel.customDataProperties+xml",
     "customData", "customDataProps", nullptr},
    // 66 custom_data_part_t
    {"CustomDataPart", MS "2007/relationships/customData",
     "application/binary",
     "customData", "customData", nullptr},
    // 67 slicer_cache_part_t
    {"SlicerCachePart", MS "2007/relationships/slicerCache",
     "application/vnd.ms-excel.slicerCache+xml",
     "slicerCaches", "slicerCache", nullptr},
    // 68 time_line_cache_part_t
    {"TimeLineCachePart", MS "2011/relationships/timelineCache",
     "application/vnd.ms-excel.timelineCache+xml",
     "timelineCaches", "timelineCache", nullptr},
    // 69 core_file_properties_part_t
    {"CoreFilePropertiesPart", PK "2006/relationships/metadata/core-properties",
     "application/vnd.openxmlformats-package.core-properties+xml",
     "docProps", "core", nullptr},
    // 70 extended_file_properties_part_t
    {"ExtendedFilePropertiesPart", OD "extended-properties",
     "application/vnd.openxmlformats-officedocument.extended-properties+xml",
     "docProps", "app", nullptr},
    // 71 custom_file_properties_part_t
    {"CustomFilePropertiesPart", OD "custom-properties",
     "application/vnd.openxmlformats-officedocument.custom-properties+xml",
     "docProps", "custom", nullptr},
    // 72 digital_signature_origin_part_t
    {"DigitalSignatureOriginPart", PK "2006/relationships/digital-signature/origin",
     "application/vnd.openxmlformats-package.digital-signature-origin",
     "_xmlsignatures", "origin", ".sigs"},
    // 73 xml_signature_part_t
    {"XmlSignaturePart", PK "2006/relationships/digital-signature/signature",
     "application/vnd.openxmlformats-package.digital-signature-xmlsignature+xml",
     "_xmlsignatures", "sig", nullptr},
    // 74 quick_access_toolbar_customizations_part_t
    {"QuickAccessToolbarCustomizationsPart", MS "2006/relationships/ui/userCustomization",
     "application/xml",
     "userCustomization", "customUI", nullptr},
    // 75 ribbon_extensibility_part_t
    {"RibbonExtensibilityPart", MS "2006/relationships/ui/extensibility",
     "application/xml",
     "customUI", "customUI", nullptr},
    // 76 ribbon_and_backstage_customizations_part_t
    {"RibbonAndBackstageCustomizationsPart", MS "2007/relationships/ui/extensibility",
     "application/xml",
     "customUI", "customUI", nullptr},
    // 77 web_ex_taskpanes_part_t
    {"WebExTaskpanesPart", MS "2011/relationships/webextensiontaskpanes",
     "application/vnd.ms-office.webextensiontaskpanes+xml",
     "../webextensions", "taskpanes", nullptr},
};

#undef OD
#undef PK
#undef MS

static_assert(std::size(kinds) == part_kind_count);

struct placement_row {
    part_kind_enum child;
    part_kind_enum parent;
    bool several;
};

using k = part_kind_enum;

// Grouped by parent; none is the package root.
constexpr placement_row placements[] = {
    {k::workbook_part, k::none, false},
    {k::extended_file_properties_part, k::none, false},
    {k::custom_file_properties_part, k::none, false},
    {k::digital_signature_origin_part, k::none, false},
    {k::quick_access_toolbar_customizations_part, k::none, false},
    {k::ribbon_extensibility_part, k::none, false},
    {k::ribbon_and_backstage_customizations_part, k::none, false},
    {k::web_ex_taskpanes_part, k::none, false},
    {k::custom_xml_part, k::workbook_part, true},
    {k::calculation_chain_part, k::workbook_part, false},
    {k::cell_metadata_part, k::workbook_part, false},
    {k::connections_part, k::workbook_part, false},
    {k::custom_xml_mappings_part, k::workbook_part, false},
    {k::shared_string_table_part, k::workbook_part, false},
    {k::workbook_revision_header_part, k::workbook_part, false},
    {k::workbook_user_data_part, k::workbook_part, false},
    {k::workbook_styles_part, k::workbook_part, false},
    {k::theme_part, k::workbook_part, true},
    {k::thumbnail_part, k::workbook_part, false},
    {k::volatile_dependencies_part, k::workbook_part, false},
    {k::chartsheet_part, k::workbook_part, true},
    {k::worksheet_part, k::workbook_part, true},
    {k::dialogsheet_part, k::workbook_part, true},
    {k::external_workbook_part, k::workbook_part, true},
    {k::excel_attached_toolbars_part, k::workbook_part, false},
    {k::vba_project_part, k::workbook_part, false},
    {k::macro_sheet_part, k::workbook_part, true},
    {k::international_macro_sheet_part, k::workbook_part, true},
    {k::custom_data_properties_part, k::workbook_part, true},
    {k::slicer_cache_part, k::workbook_part, true},
    {k::time_line_cache_part, k::workbook_part, true},
    {k::core_file_properties_part, k::workbook_part, false},
    {k::custom_xml_properties_part, k::custom_xml_part, false},
    {k::workbook_revision_log_part, k::workbook_revision_header_part, true},
    {k::image_part, k::drawings_part, true},
    {k::chart_part, k::drawings_part, true},
    {k::diagram_colors_part, k::drawings_part, true},
    {k::diagram_data_part, k::drawings_part, true},
    {k::diagram_persist_layout_part, k::drawings_part, true},
    {k::diagram_layout_definition_part, k::drawings_part, true},
    {k::diagram_style_part, k::drawings_part, true},
    {k::web_extension_part, k::drawings_part, true},
    {k::chart_drawing_part, k::chart_part, false},
    {k::theme_override_part, k::chart_part, false},
    {k::chart_style_part, k::chart_part, true},
    {k::chart_color_style_part, k::chart_part, true},
    {k::slide_part, k::diagram_data_part, false},
    {k::notes_slide_part, k::slide_part, false},
    {k::user_defined_tags_part, k::slide_part, true},
    {k::slide_layout_part, k::slide_part, false},
    {k::slide_sync_data_part, k::slide_part, false},
    {k::legacy_diagram_text_part, k::vml_drawing_part, true},
    {k::notes_master_part, k::notes_slide_part, false},
    {k::slide_master_part, k::slide_layout_part, false},
    {k::embedded_control_persistence_binary_data_part, k::embedded_control_persistence_part, true},
    {k::spreadsheet_printer_settings_part, k::worksheet_part, true},
    {k::drawings_part, k::worksheet_part, true},
    {k::embedded_package_part, k::worksheet_part, true},
    {k::embedded_object_part, k::worksheet_part, true},
    {k::vml_drawing_part, k::worksheet_part, true},
    {k::embedded_control_persistence_part, k::worksheet_part, true},
    {k::worktable_part, k::worksheet_part, true},
    {k::worksheet_comments_part, k::worksheet_part, true},
    {k::pivot_table_part, k::worksheet_part, true},
    {k::single_cell_table_part, k::worksheet_part, false},
    {k::table_definition_part, k::worksheet_part, true},
    {k::control_properties_part, k::worksheet_part, true},
    {k::custom_property_part, k::worksheet_part, true},
    {k::worksheet_sort_map_part, k::worksheet_part, false},
    {k::slicers_part, k::worksheet_part, true},
    {k::time_line_part, k::worksheet_part, true},
    {k::image_part, k::worktable_part, true},
    {k::spreadsheet_printer_settings_part, k::worktable_part, true},
    {k::drawings_part, k::worktable_part, true},
    {k::embedded_package_part, k::worktable_part, true},
    {k::embedded_object_part, k::worktable_part, true},
    {k::vml_drawing_part, k::worktable_part, true},
    {k::embedded_control_persistence_part, k::worktable_part, true},
    {k::worksheet_comments_part, k::worktable_part, true},
    {k::pivot_table_part, k::worktable_part, true},
    {k::single_cell_table_part, k::worktable_part, false},
    {k::table_definition_part, k::worktable_part, true},
    {k::control_properties_part, k::worktable_part, true},
    {k::custom_property_part, k::worktable_part, true},
    {k::worksheet_sort_map_part, k::worktable_part, false},
    {k::slicers_part, k::worktable_part, true},
    {k::time_line_part, k::worktable_part, true},
    {k::pivot_table_cache_definition_part, k::pivot_table_part, true},
    {k::pivot_table_cache_records_part, k::pivot_table_cache_definition_part, false},
    {k::query_table_part, k::table_definition_part, true},
    {k::vba_data_part, k::vba_project_part, false},
    {k::custom_data_part, k::custom_data_properties_part, false},
    {k::xml_signature_part, k::digital_signature_origin_part, true},
    // The workbook's pivotCache elements name these by their Id.
    {k::pivot_table_cache_definition_part, k::workbook_part, true},
};

} // namespace

const part_kind_info* part_kind_info_of(part_kind_enum kind) noexcept {
    const auto i = static_cast<uint32_t>(kind);
    return i >= 1 && i <= part_kind_count ? &kinds[i - 1] : nullptr;
}

part_kind_enum part_kind_of_relationship_type(std::string_view type) noexcept {
    for (uint32_t i = 0; i < part_kind_count; ++i)
        if (type == kinds[i].relationship_type) return part_kind_enum(i + 1);
    return part_kind_enum::none;
}

std::string_view part_kind_name(part_kind_enum kind) noexcept {
    const part_kind_info* info = part_kind_info_of(kind);
    return info ? std::string_view(info->name) : std::string_view();
}

part_placement part_kind_placement(part_kind_enum child, part_kind_enum parent) noexcept {
    for (const placement_row& r : placements)
        if (r.child == child && r.parent == parent) return {true, r.several};
    return {false, false};
}

} // namespace vex
