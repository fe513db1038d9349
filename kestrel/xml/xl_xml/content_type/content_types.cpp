#include "kestrel/xml/xl_xml/content_type/content_types.h"

#include "errors.h"
#include "kestrel/parts/entry_path.h"
#include "kestrel/parts/package_uris.h"
#include "text_utils.h"
#include "xml/sxml_parser.h"

#include <cstring>
#include <unordered_map>
#include <vector>

namespace vex::xml {

namespace {

struct content_type_row {
    std::string_view content_type;
    xml_part_mode_enum mode;
    const char* extension;  // null: none of its own
};

// Every type a package part may carry here, in the library's order.
constexpr content_type_row content_type_table[] = {
        {"application/xml", xml_part_mode_enum::xml, "xml"},
        {"application/vnd.openxmlformats-package.relationships+xml", xml_part_mode_enum::xml, "rels"},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.theme+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.drawing+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-package.core-properties+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.extended-properties+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.customXmlProperties+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheetMetadata+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.connections+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.revisionHeaders+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.revisionLog+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.userNames+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.volatileDependencies+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.chartsheet+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.drawingml.chart+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.drawingml.chartshapes+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.themeOverride+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-office.chartstyle+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-office.chartcolorstyle+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.drawingml.diagramColors+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.drawingml.diagramData+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.presentationml.slide+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-office.drawingml.diagramDrawing+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.drawingml.diagramLayout+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.drawingml.diagramStyle+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-office.legacyDiagramText", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.presentationml.notesSlide+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.presentationml.notesMaster+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.presentationml.tags+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.presentationml.slideLayout+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.presentationml.slideMaster+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.presentationml.slideUpdateInfo+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-office.webextension+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.pivotTable+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.pivotCacheDefinition+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.pivotCacheRecords+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.tableSingleCells+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.queryTable+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.controlproperties+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.customProperty", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.wsSortMap+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.slicer+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.timeline+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.dialogsheet+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.externalLink+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.attachedToolbars", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-office.vbaProject", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-word.vbaData+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.macrosheet+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.intlmacrosheet+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.customDataProperties+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.slicerCache+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-excel.timelineCache+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-officedocument.custom-properties+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-package.digital-signature-origin", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.openxmlformats-package.digital-signature-xmlsignature+xml", xml_part_mode_enum::xml, nullptr},
        {"application/vnd.ms-office.webextensiontaskpanes+xml", xml_part_mode_enum::xml, nullptr},
        {"image/bmp", xml_part_mode_enum::raw, "bmp"},
        {"image/gif", xml_part_mode_enum::raw, "gif"},
        {"image/png", xml_part_mode_enum::raw, "png"},
        {"image/tiff", xml_part_mode_enum::raw, "tiff"},
        {"image/x-icon", xml_part_mode_enum::raw, "ico"},
        {"image/x-pcx", xml_part_mode_enum::raw, "pcx"},
        {"image/jpeg", xml_part_mode_enum::raw, "jpg"},
        {"image/x-emf", xml_part_mode_enum::raw, "emf"},
        {"image/x-wmf", xml_part_mode_enum::raw, "wmf"},
        {"application/octet-stream", xml_part_mode_enum::raw, "bin"},
        {"application/binary", xml_part_mode_enum::raw, nullptr},
        {"application/vnd.openxmlformats-officedocument.vmlDrawing", xml_part_mode_enum::xml, "vml"},
        {"application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings", xml_part_mode_enum::raw, "bin"},
};

const content_type_row* row_of(std::string_view ct) {
    static const auto index = [] {
        std::unordered_map<std::string_view, const content_type_row*> m;
        for (const auto& row : content_type_table) m.emplace(row.content_type, &row);
        return m;
    }();
    const auto it = index.find(ct);
    return it == index.end() ? nullptr : it->second;
}

// An image of a type the table lacks (SVG, WebP) is kept as read, under the
// extension its entry has.
constexpr content_type_row other_image{"image/", xml_part_mode_enum::raw, nullptr};

const content_type_row& find_row(std::string_view ct) {
    if (const content_type_row* row = row_of(ct)) return *row;
    if (ct.starts_with("image/")) return other_image;
    throw general_error("Content type: " + std::string(ct) + " error.");
}

// The elements are searched in order: the first whose key attribute (PartName
// without its first character, or Extension) equals the key and that has a
// ContentType answers; an attribute without a value ends the search.
void add_answers(const sxml::xml_node_t& n, const char* key_attribute, bool skip_slash,
                 std::unordered_map<std::string, const char*>& answers, bool& ended) {
    std::vector<std::string_view> keys;
    const char* type = nullptr;
    for (const sxml::xml_attribute_t* a = n.attributes; a; a = a->next) {
        if (!a->value) {
            ended = true;
            break;
        }
        if (std::strcmp(a->name, key_attribute) == 0) {
            std::string_view v = a->value;
            if (skip_slash) v = v.empty() ? v : v.substr(1);
            keys.push_back(v);
        } else if (!type && std::strcmp(a->name, "ContentType") == 0) {
            type = a->value;
        }
    }
    if (!type) return;
    for (std::string_view k : keys) answers.emplace(entry_path::part_name_key(k), type);
}

void empty_element(xml_stream_writer& w, std::string_view name, std::string_view key_attribute, std::string_view key,
                   std::string_view type) {
    w.start_element(name);
    w.write_attribute(key_attribute, key);
    w.write_attribute("ContentType", type);
    w.end_empty_element();
}

} // namespace

std::string_view get_extension(std::string_view content_type) {
    const content_type_row& row = find_row(content_type);
    if (row.extension) return row.extension;
    return row.mode == xml_part_mode_enum::xml ? "xml" : "";
}

xml_part_mode_enum get_open_mode(std::string_view content_type) { return find_row(content_type).mode; }

bool is_known_content_type(std::string_view content_type) noexcept {
    return row_of(content_type) || content_type.starts_with("image/");
}

void content_types_t::chain_deleter::operator()(sxml::sxml_arena::chunk* chain) const noexcept {
    sxml::sxml_parser::free_nodes(chain);
}

sxml::status_t content_types_t::on_node(const sxml::xml_node_t* node, uint32_t& format_code) {
    if (node && is_element(*node) && std::strcmp(node->name, "Override") == 0) {
        const char* type = get_attribute_value("ContentType", node->attributes);
        format_code = type && type == grid_entity_content_type ? 1 : 2;
    }
    return sxml::status_t::keep;
}

void content_types_t::set_tree(sxml::sxml_arena::chunk* chain, const sxml::xml_node_t* root) {
    release_tree();
    nodes_.reset(chain);
    root_ = root;
    index_tree__();
}

void content_types_t::index_tree__() {
    if (!root_) return;
    bool part_names_ended = false;
    bool extensions_ended = false;
    for (const sxml::xml_node_t* n = root_->first_child; n; n = n->next_sibling) {
        if (!is_element(*n)) continue;
        if (!part_names_ended) add_answers(*n, "PartName", true, by_part_name_, part_names_ended);
        if (!extensions_ended) add_answers(*n, "Extension", false, by_extension_, extensions_ended);
        if (part_names_ended && extensions_ended) break;
    }
}

void content_types_t::release_tree() noexcept {
    by_part_name_.clear();
    by_extension_.clear();
    root_ = nullptr;
    nodes_.reset();
}

const char* content_types_t::get_content_type(const char* part_name) const {
    if (!root_ || !part_name) return nullptr;
    const std::string key = entry_path::part_name_key(part_name);
    if (const auto it = by_part_name_.find(key); it != by_part_name_.end()) return it->second;
    const std::string name = entry_path::to_slashes(key);
    const std::string_view ext = entry_path::extension(name);
    if (ext.empty()) return nullptr;
    const auto it = by_extension_.find(std::string(ext));
    return it == by_extension_.end() ? nullptr : it->second;
}

bool content_types_t::add(std::string_view key, std::string_view content_type) {
    return content_type.ends_with("+xml") ? add_override(key, content_type) : add_default(key, content_type);
}

// Defaults are kept in ASCII lower case: readers take extensions alike but for
// case for one, so two parts so named share one Default or one takes an Override.
bool content_types_t::add_default(std::string_view extension, std::string_view content_type) {
    std::string key = ascii_lower(extension);
    if (key == "rels" || key == "xml") return false;
    return defaults_.try_emplace(std::move(key), content_type).second;
}

bool content_types_t::add_override(std::string_view part_name, std::string_view content_type) {
    return overrides_.try_emplace(std::string(part_name), content_type).second;
}

std::optional<std::string_view> content_types_t::default_type(std::string_view extension) const {
    const std::string key = ascii_lower(extension);
    if (key == "rels") return relationships_content_type;
    if (key == "xml") return xml_content_type;
    const auto it = defaults_.find(key);
    if (it == defaults_.end()) return std::nullopt;
    return it->second;
}

void content_types_t::clear() noexcept {
    defaults_.clear();
    overrides_.clear();
}

void content_types_t::write(xml_stream_writer& w) const {
    w.write_raw(standalone_declaration);
    w.start_element("Types");
    w.write_attribute("xmlns", uri::content_types);
    w.close_start_tag();
    empty_element(w, "Default", "Extension", "rels", relationships_content_type);
    empty_element(w, "Default", "Extension", "xml", xml_content_type);
    for (const auto& [ext, type] : defaults_) empty_element(w, "Default", "Extension", ext, type);
    for (const auto& [name, type] : overrides_) empty_element(w, "Override", "PartName", "/" + name, type);
    w.end_element("Types");
    w.flush();
}

} // namespace vex::xml
