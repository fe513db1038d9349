// What a sheet keeps by range beside its cells follows an edit of them as a
// reference does: editable ranges and ignored-error ranges move and shrink,
// one whose cells are all deleted goes; a page break moves with the row or
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

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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
    std::erase_if(areas, [&](range_t& r) {
        const range_t before = range_t(r).order();
        const bool kept = shift.follow_reference(r, false);
        moved = moved || !kept || r != before;
        return !kept;
    });
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

// The chart's XML with the text of each f element (a series' or title's
// reference) rewritten, every other byte as it was; none when no text
// changed.
std::optional<std::string> rewritten_chart(std::string_view xml,
                                           const std::function<std::optional<std::string>(std::string_view)>& rewrite) {
    std::string out;
    size_t copied = 0;
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
        size_t name_end = at + 1;
        while (name_end < end && !ascii_is_space(xml[name_end]) && xml[name_end] != '/') ++name_end;
        const std::string_view name = xml.substr(at + 1, name_end - at - 1);
        const size_t colon = name.find(':');
        const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
        at = end + 1;
        if (local != "f" || xml[end - 1] == '/') continue;
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

// The chart parts below the part, however deep: a sheet's, a chart sheet's,
// one kept under a parent the kinds do not give it.
void collect_charts(const xml_part_t& part, std::vector<xml_part_t*>& out) {
    for (const auto& child : part.get_child_parts()) {
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
    const uint64_t growth = part_container::growth_version();
    if (model && model->chartless_at() == growth) return;
    std::vector<xml_part_t*> charts;
    if (book) collect_charts(*book, charts);
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
        std::optional<std::string> xml = rewritten_chart(std::string_view(bytes, chart->get_raw_size()), rewrite);
        if (!xml) continue;
        std::shared_ptr<char[]> block = std::make_shared_for_overwrite<char[]>(xml->size());
        std::memcpy(block.get(), xml->data(), xml->size());
        replaced.emplace(bytes, std::pair(std::shared_ptr<const char[]>(block), xml->size()));
        chart->set_raw_data(std::move(block), xml->size());
    }
}

void worktable_t::follow_kept_ranges__(const mta::band_shift_t& shift) {
    std::vector<range_t> areas;
    std::erase_if(periphery_.ignored_errors,
                  [&](ignored_error_t& e) { return !e.sqref.empty() && !follow_area_list(e.sqref, shift, areas); });
    worksheet_t* sheet = get_worksheet();
    if (!sheet) return;
    sheet->protection().follow_editable_ranges([&](editable_range_t& e) {
        // A range read without cells is written as read.
        if (e.sqref.empty()) return e.range.first.row == 0 || shift.follow_reference(e.range, false);
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
