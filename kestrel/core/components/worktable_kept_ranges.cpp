// What a sheet keeps by range beside its cells follows an edit of them as a
// reference does: editable ranges and ignored-error ranges move and shrink,
// an area a shift's band cuts across following its cells, and one whose
// cells are all deleted goes; a page break moves with the row or
// column it stands at and goes with it. The data references of its
// sparklines and of the charts its drawing keeps are rewritten as formulas.

#include "kestrel/core/components/worktable.h"

#include "errors.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/parts/part.h"
#include "kestrel/parts/simple_part.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "xml/sxml_parser.h"
#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/range_check.h"
#include "text_utils.h"
#include "unicode.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vex {

namespace {

// The areas of a reference list after the shift, given back in `areas`;
// false when none is left. The text stays as read when no area moved, and so
// does a list the reader would refuse.
bool follow_area_list(std::string& list, const mta::band_shift_t& shift, std::vector<range_t>& areas) {
    areas.clear();
    try {
        read_range_list(list, [&](const range_t& r) { areas.push_back(r); });
    } catch (const loading_error&) {
        return true;
    }
    bool moved = false;
    std::vector<range_t> left;
    std::vector<std::pair<range_t, int>> pieces;
    for (range_t r : areas) {
        const range_t before = range_t(r).order();
        if (shift.cut_area(r, pieces)) {
            for (const auto& piece : pieces) left.push_back(piece.first);
            moved = true;
        } else if (shift.follow_reference(r, false)) {
            left.push_back(r);
            moved = moved || r != before;
        } else {
            moved = true;
        }
    }
    areas = std::move(left);
    if (!moved) return true;
    list = range_list_text(areas);
    return !areas.empty();
}

void follow_breaks(page_break_set_t& breaks, const mta::band_shift_t& shift) {
    if (breaks.empty()) return;
    page_break_set_t moved;
    for (page_break_t b : breaks) {
        int at = int(b.id) + 1, end = at;
        if (!shift.follow(at, end)) continue;
        b.id = uint32_t(at - 1);
        moved.set(b);
    }
    breaks = std::move(moved);
}

using xml::sxml::xml_node_t;

// A sparkline group's data references (xm:f) and each sparkline's cell
// (xm:sqref); a sparkline whose cell is deleted goes, and a group left without
// one. False when the list is left empty.
bool follow_sparkline_groups(kept_element_t& kept, xml_node_t& list, const mta::band_shift_t* shift,
                             const std::function<std::optional<std::string>(std::string_view)>& rewrite) {
    const auto rewrite_text = [&](xml_node_t& n) {
        if (local_name(n) == "f" && n.text)
            if (std::optional<std::string> text = rewrite(n.text)) kept.set_text(n, *text);
    };
    std::vector<range_t> areas;
    for (xml_node_t* group = list.first_child; group;) {
        xml_node_t* next_group = group->next_sibling;
        bool holds_one = false;
        for (xml_node_t* part = group->first_child; part; part = part->next_sibling) {
            rewrite_text(*part);
            if (local_name(*part) != "sparklines") continue;
            for (xml_node_t* line = part->first_child; line;) {
                xml_node_t* next_line = line->next_sibling;
                bool kept_line = true;
                for (xml_node_t* c = line->first_child; c; c = c->next_sibling) {
                    rewrite_text(*c);
                    if (!shift || local_name(*c) != "sqref" || !c->text) continue;
                    std::string cells = c->text;
                    kept_line = follow_area_list(cells, *shift, areas);
                    if (kept_line && cells != c->text) kept.set_text(*c, cells);
                }
                if (kept_line) holds_one = true;
                else kept_element_t::unlink(*line);
                line = next_line;
            }
        }
        if (!holds_one) kept_element_t::unlink(*group);
        group = next_group;
    }
    return list.first_child != nullptr;
}

// The text of an element as the parser decodes it; none for one it refuses.
std::optional<std::string> decoded_text(std::string_view raw) {
    if (raw.find('&') == std::string_view::npos) return std::string(raw);
    const std::string xml = "<f>" + std::string(raw) + "</f>";
    xml::sxml::sxml_parser parser(xml::sxml::opt_no_data_nodes);
    std::optional<std::string> text;
    const auto take = [&](const xml_node_t* n) {
        if (n->text) text = n->text;
        return xml::sxml::status_t::done;
    };
    size_t tail = 0;
    xml_node_t* cursor = nullptr;
    try {
        parser.parse("chart", xml.data(), xml.size(), tail, cursor, take);
        parser.parse("chart", nullptr, 0, tail, cursor, take);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return text ? text : std::string();
}

void append_escaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
}

// The end of the tag that starts at `at`, past quoted values; npos when the
// bytes end first.
size_t tag_end(std::string_view xml, size_t at) noexcept {
    char quote = 0;
    for (size_t i = at + 1; i < xml.size(); ++i) {
        const char c = xml[i];
        if (quote) quote = c == quote ? 0 : quote;
        else if (c == '"' || c == '\'') quote = c;
        else if (c == '>') return i;
    }
    return std::string_view::npos;
}

// The namespaces of a chart's own elements, transitional and strict.
bool is_chart_namespace(std::string_view uri) noexcept {
    return uri == "http://schemas.openxmlformats.org/drawingml/2006/chart" ||
           uri == "http://purl.oclc.org/ooxml/drawingml/chart";
}

// The prefixes bound where the scan stands, the innermost last.
class prefix_scope_t {
public:
    // The bindings a start tag's attributes make, in scope until its end tag
    // (at once out of scope again for an empty element).
    void open(std::string_view attributes, bool empty) {
        marks_.push_back(bindings_.size());
        size_t i = 0;
        const auto skip_space = [&] {
            while (i < attributes.size() && (ascii_is_space(attributes[i]) || attributes[i] == '/')) ++i;
        };
        for (;;) {
            skip_space();
            const size_t name_at = i;
            while (i < attributes.size() && attributes[i] != '=' && !ascii_is_space(attributes[i])) ++i;
            const std::string_view name = attributes.substr(name_at, i - name_at);
            skip_space();
            if (i >= attributes.size() || attributes[i] != '=') break;
            ++i;
            skip_space();
            if (i >= attributes.size() || (attributes[i] != '"' && attributes[i] != '\'')) break;
            const size_t close = attributes.find(attributes[i], i + 1);
            if (close == std::string_view::npos) break;
            const std::string_view value = attributes.substr(i + 1, close - i - 1);
            i = close + 1;
            if (name == "xmlns") bindings_.emplace_back(std::string_view(), value);
            else if (name.starts_with("xmlns:")) bindings_.emplace_back(name.substr(6), value);
        }
        empty_ = empty;
    }
    // After the element's name is looked up: an empty element's bindings go.
    void opened() {
        if (empty_) close();
        empty_ = false;
    }
    void close() {
        if (marks_.empty()) return;
        bindings_.resize(marks_.back());
        marks_.pop_back();
    }
    std::string_view uri_of(std::string_view prefix) const {
        for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it)
            if (it->first == prefix) return it->second;
        return {};
    }

private:
    std::vector<std::pair<std::string_view, std::string_view>> bindings_;
    std::vector<size_t> marks_;
    bool empty_ = false;
};

// The chart's XML with the text of each f element of the chart namespace (a
// series' or title's reference) rewritten, every other byte as it was; none
// when no text changed.
std::optional<std::string> rewritten_chart(std::string_view xml,
                                           const std::function<std::optional<std::string>(std::string_view)>& rewrite) {
    std::string out;
    size_t copied = 0;
    prefix_scope_t scope;
    for (size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at)) {
        const std::string_view rest = xml.substr(at);
        const std::string_view skipped_to = rest.starts_with("<!--")        ? "-->"
                                            : rest.starts_with("<![CDATA[") ? "]]>"
                                                                            : "";
        if (!skipped_to.empty()) {
            at = xml.find(skipped_to, at);
            if (at == std::string_view::npos) break;
            continue;
        }
        const size_t end = tag_end(xml, at);
        if (end == std::string_view::npos) break;
        const char kind = at + 1 < end ? xml[at + 1] : '\0';
        if (kind == '?' || kind == '!' || kind == '/') {
            if (kind == '/') scope.close();
            at = end + 1;
            continue;
        }
        size_t name_end = at + 1;
        while (name_end < end && !ascii_is_space(xml[name_end]) && xml[name_end] != '/') ++name_end;
        const std::string_view name = xml.substr(at + 1, name_end - at - 1);
        const bool empty = xml[end - 1] == '/';
        scope.open(xml.substr(name_end, end - name_end), empty);
        const size_t colon = name.find(':');
        const bool prefixed = colon != std::string_view::npos;
        const std::string_view local = prefixed ? name.substr(colon + 1) : name;
        const bool chart_f = local == "f" && !empty &&
                             is_chart_namespace(scope.uri_of(prefixed ? name.substr(0, colon) : std::string_view()));
        scope.opened();
        at = end + 1;
        if (!chart_f) continue;
        const size_t text_end = xml.find('<', at);
        if (text_end == std::string_view::npos) break;
        if (!xml.substr(text_end).starts_with("</" + std::string(name) + ">")) continue;
        const std::optional<std::string> text = decoded_text(xml.substr(at, text_end - at));
        const std::optional<std::string> changed = text ? rewrite(*text) : std::nullopt;
        if (changed) {
            out.append(xml.substr(copied, at - copied));
            append_escaped(out, *changed);
            copied = text_end;
        }
        at = text_end;
    }
    if (copied == 0) return std::nullopt;
    out.append(xml.substr(copied));
    return out;
}

// The encoding a chart part is written in: UTF-16 as its first bytes show,
// else the one its declaration names, UTF-8 without one. None for a wide
// encoding declared over bytes that are not.
std::optional<std::string> chart_encoding(std::string_view xml) {
    if (xml.size() >= 2) {
        if (xml.starts_with("\xFF\xFE") || (xml[0] == '<' && xml[1] == '\0')) return "UTF-16LE";
        if (xml.starts_with("\xFE\xFF") || (xml[0] == '\0' && xml[1] == '<')) return "UTF-16BE";
    }
    if (!xml.starts_with("<?xml")) return "UTF-8";
    const std::string_view declaration = xml.substr(0, xml.find("?>"));
    const size_t named = declaration.find("encoding");
    const size_t open = declaration.find_first_of("\"'", named == std::string_view::npos ? declaration.size() : named);
    if (open == std::string_view::npos) return "UTF-8";
    const size_t close = declaration.find(declaration[open], open + 1);
    if (close == std::string_view::npos) return "UTF-8";
    const std::string_view name = declaration.substr(open + 1, close - open - 1);
    for (const std::string_view wide : {"UTF-16", "UTF-32", "UCS-"})
        if (ascii_iequals(name.substr(0, wide.size()), wide)) return std::nullopt;
    return std::string(name);
}

// The chart part rewritten as above, in the encoding it was read in; none
// when no text changed, or when the library cannot read or write that
// encoding: the part then stays as read.
std::optional<std::string> rewritten_chart_part(
    std::string_view bytes, const std::function<std::optional<std::string>(std::string_view)>& rewrite) {
    const std::optional<std::string> encoding = chart_encoding(bytes);
    if (!encoding) return std::nullopt;
    if (ascii_iequals(*encoding, "UTF-8") || ascii_iequals(*encoding, "UTF8")) return rewritten_chart(bytes, rewrite);
    std::string text;
    if (!encoding_to_utf8(bytes, encoding->c_str(), text)) return std::nullopt;
    const std::optional<std::string> xml = rewritten_chart(text, rewrite);
    std::string out;
    if (!xml || !utf8_to_xml_encoding(*xml, encoding->c_str(), out)) return std::nullopt;
    return out;
}

// The chart parts below the part, however deep: a sheet's, a chart sheet's,
// one kept under a parent the kinds do not give it.
void collect_charts(const xml_part_t& part, std::vector<xml_part_t*>& out) {
    for (const auto& child : part.get_child_parts()) {
        // A sheet may hold thousands of tables, which hold no charts.
        if (child->kind() == part_kind_enum::table_definition_part) continue;
        if (is_chart_part(*child)) out.push_back(child.get());
        collect_charts(*child, out);
    }
}

} // namespace

void worktable_t::follow_sparklines__(const mta::band_shift_t* shift, const text_rewrite_t& text_of) {
    mta::formula::model_context& context = get_formula_model()->context();
    // The references name their sheets: read anywhere, they read the same cells.
    const coord_t origin{int32_t(sheet_id()), 1, 1, 0, 0, 0};
    const auto rewrite = [&](std::string_view text) { return text_of(context, origin, text); };
    std::erase_if(periphery_.kept_sections, [&](kept_element_t& kept) {
        xml_node_t& root = kept.root();
        if (local_name(root) != "extLst") return false;
        for (xml_node_t* ext = root.first_child; ext;) {
            xml_node_t* next_ext = ext->next_sibling;
            for (xml_node_t* list = ext->first_child; list; list = list->next_sibling)
                if (local_name(*list) == "sparklineGroups" && !follow_sparkline_groups(kept, *list, shift, rewrite))
                    kept_element_t::unlink(*ext);
            ext = next_ext;
        }
        return root.first_child == nullptr;
    });
}

void worktable_t::follow_book_parts__(const text_rewrite_t& text_of) {
    const xml_part_t* book = get_part();
    const workbook_t* model = nullptr;
    for (const xml_part_t* part = book; part; part = part->get_parent()) {
        if (!model) model = dynamic_cast<const workbook_t*>(part->get_component());
        book = part;
    }
    // Deleting sheets one by one walks the parts once, not once for each.
    const uint64_t growth = part_container::chart_growth_version();
    if (model && model->chartless_at() == growth) return;
    // Kept while the package's part tree stays as it was, tables aside (the
    // search skips them): a host's renames or table deletes one by one walk
    // every part of the package once, not each time.
    thread_local struct {
        const xml_part_t* book = nullptr;
        uint64_t version = 0;
        std::vector<xml_part_t*> charts;
    } found;
    const uint64_t version = part_container::tree_version_outside_tables();
    if (found.book != book || found.version != version) {
        found.book = book;
        found.version = version;
        found.charts.clear();
        if (book) collect_charts(*book, found.charts);
    }
    const std::vector<xml_part_t*> charts = found.charts;
    if (charts.empty() && model) model->set_chartless_at(growth);
    if (charts.empty()) return;
    mta::formula::model_context& context = get_formula_model()->context();
    // The references name their sheets: read anywhere, they read the same cells.
    const coord_t origin{int32_t(sheet_id()), 1, 1, 0, 0, 0};
    const auto rewrite = [&](std::string_view text) { return text_of(context, origin, text); };
    // A chart named twice shares its bytes: both take the new ones.
    std::unordered_map<const char*, std::pair<std::shared_ptr<const char[]>, size_t>> replaced;
    for (xml_part_t* chart : charts) {
        const char* bytes = chart->get_raw_data();
        if (!bytes || chart->get_stored_form()) continue;
        if (const auto done = replaced.find(bytes); done != replaced.end()) {
            chart->set_raw_data(done->second.first, done->second.second);
            continue;
        }
        std::optional<std::string> xml =
            rewritten_chart_part(std::string_view(bytes, chart->get_raw_size()), rewrite);
        if (!xml) continue;
        std::shared_ptr<char[]> block = std::make_shared_for_overwrite<char[]>(xml->size());
        std::memcpy(block.get(), xml->data(), xml->size());
        replaced.emplace(bytes, std::pair(std::shared_ptr<const char[]>(block), xml->size()));
        chart->set_raw_data(std::move(block), xml->size());
    }
}

void worktable_t::follow_kept_ranges__(const mta::band_shift_t& shift) {
    std::vector<range_t> areas;
    std::vector<std::pair<range_t, int>> pieces;
    std::erase_if(periphery_.ignored_errors,
                  [&](ignored_error_t& e) { return !e.sqref.empty() && !follow_area_list(e.sqref, shift, areas); });
    worksheet_t* sheet = get_worksheet();
    if (!sheet) return;
    sheet->protection().follow_editable_ranges([&](editable_range_t& e) {
        if (e.sqref.empty()) {
            // A range read without cells is written as read.
            if (e.range.first.row == 0) return true;
            if (!shift.cut_area(e.range, pieces)) return shift.follow_reference(e.range, false);
            e.sqref = range_text(e.range);  // its cells make several areas
        }
        if (!follow_area_list(e.sqref, shift, areas)) return false;
        if (!areas.empty()) e.range = areas.front();
        if (areas.size() == 1) e.sqref.clear();
        return true;
    });
    // A band across part of the sheet moves no whole row or column.
    if (shift.band_lo != 1 || shift.band_hi != (shift.rows ? mta::last_col_of(*this) : mta::last_row_of(*this)))
        return;
    worksheet_settings_t& settings = sheet->settings();
    follow_breaks(shift.rows ? settings.print.row_breaks : settings.print.col_breaks, shift);
    for (custom_sheet_view_t& view : settings.custom_views)
        follow_breaks(shift.rows ? view.print.row_breaks : view.print.col_breaks, shift);
}

} // namespace vex
