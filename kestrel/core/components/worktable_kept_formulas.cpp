// Data validations and conditional formats, and their copies in the sheet's
// extension list, follow an edit as a formula standing at their first cell
// does: each range moves as a reference, or an area a shift's band cuts
// across as its cells do; one whose cells are all deleted leaves, and a
// record left without a range goes. A record whose ranges moved by different
// amounts splits into one record a part.

#include "kestrel/core/components/worktable.h"

#include "errors.h"
#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/utils/band_shift.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vex {

using xml::sxml::xml_node_t;

namespace {

// One record through one edit: its ranges, then its texts. The ranges fall
// into parts by how far their cells moved, an area the shift's band cuts
// across falling into the pieces its cells make; the part with the record's
// first cell comes first, and each part reads as the record read at its own
// first cell, so that a record whose areas moved apart keeps each area's
// meaning.
class record_edit_t {
public:
    record_edit_t(mta::formula::model_context& context, int32_t grid, const mta::band_shift_t* shift,
                  const mta::Table::text_rewrite_t& text_of)
        : context_(context), grid_(grid), shift_(shift), text_of_(text_of) {}

    // False when no range is left. The texts are read at a part's first cell,
    // the top left of its first listed range, or when that cell is deleted
    // where the cell that is first now stood: relative references keep their
    // distance to it.
    bool follow(const std::vector<range_t>& ranges) {
        parts_.clear();
        from_ = at_ = corner(ranges.empty() ? range_t{} : ranges.front());
        if (!shift_ || ranges.empty()) {
            parts_.push_back({ranges, from_});
            return true;
        }
        std::vector<range_t> kept;
        std::vector<coord_t> was;  // where each kept range's first cell stood
        std::vector<std::pair<range_t, int>> pieces;
        for (range_t r : ranges) {
            const range_t before = r.order();
            if (shift_->cut_area(r, pieces)) {
                for (const auto& [piece, by] : pieces) {
                    kept.push_back(piece);
                    coord_t at = corner(piece);
                    shift_->along(at) -= by;
                    was.push_back(at);
                }
                continue;
            }
            if (!shift_->follow_reference(r, false)) continue;
            kept.push_back(r.order());
            was.push_back(stood_at(before, r));
        }
        if (kept.empty()) return false;
        std::vector<std::pair<int, int>> moves;
        for (size_t i = 0; i < kept.size(); ++i) {
            const coord_t c = corner(kept[i]);
            const std::pair move(c.row - was[i].row, c.col - was[i].col);
            const size_t p = size_t(std::find(moves.begin(), moves.end(), move) - moves.begin());
            if (p == moves.size()) {
                moves.push_back(move);
                parts_.push_back({{}, was[i]});
            }
            parts_[p].ranges.push_back(kept[i]);
        }
        return true;
    }

    size_t parts() const noexcept { return parts_.size(); }
    // The ranges of part i, whose first cell the texts are read at from now.
    const std::vector<range_t>& select(size_t i) {
        at_ = parts_[i].at;
        return parts_[i].ranges;
    }

    // None when the text stays.
    std::optional<std::string> text(std::string_view text) const {
        if (at_ == from_) return text_of_(context_, at_, text);
        const std::string moved = mta::formula::moved_formula_text(context_, from_, at_, text);
        if (std::optional<std::string> out = text_of_(context_, at_, moved)) return out;
        return moved == text ? std::nullopt : std::optional<std::string>(moved);
    }

private:
    struct part_t {
        std::vector<range_t> ranges;
        coord_t at;  // where its first cell stood
    };

    coord_t corner(range_t r) const noexcept {
        r.order();
        return {grid_, std::max(r.first.row, 1), std::max(r.first.col, 1), 0, 0, 0};
    }

    // Where the cell that is first in `after` stood before the shift.
    coord_t stood_at(const range_t& before, const range_t& after) const noexcept {
        coord_t at = corner(after);
        const mta::band_shift_t& s = *shift_;
        if (after == before || !s.in_band(at)) return at;
        if (!s.insert && s.along(at) >= s.first) s.along(at) += s.count;
        else if (s.insert && s.along(at) >= s.first + s.count) s.along(at) -= s.count;
        return at;
    }

    mta::formula::model_context& context_;
    int32_t grid_;
    const mta::band_shift_t* shift_;
    const mta::Table::text_rewrite_t& text_of_;
    std::vector<part_t> parts_;
    coord_t from_{};
    coord_t at_{};
};

// A list the reader would refuse is left as it is.
std::optional<std::vector<range_t>> ranges_of(const char* list) {
    std::vector<range_t> out;
    try {
        read_range_list(list ? list : "", [&](const range_t& r) { out.push_back(r); });
    } catch (const loading_error&) {
        return std::nullopt;
    }
    return out;
}

xml_node_t* child_named(xml_node_t& parent, std::string_view name) noexcept {
    for (xml_node_t* c = parent.first_child; c; c = c->next_sibling)
        if (local_name(*c) == name) return c;
    return nullptr;
}

xml::sxml::xml_attribute_t* attribute_named(xml_node_t& node, std::string_view name) noexcept {
    for (auto* a = node.attributes; a; a = a->next)
        if (std::string_view(a->name) == name) return a;
    return nullptr;
}

// The node and every element below it.
template <class F>
void visit(xml_node_t& node, F&& f) {
    std::vector<xml_node_t*> work{&node};
    while (!work.empty()) {
        xml_node_t* n = work.back();
        work.pop_back();
        f(*n);
        for (xml_node_t* c = n->first_child; c; c = c->next_sibling) work.push_back(c);
    }
}

// Every formula below the node: a rule's formula, an extension copy's xm:f
// and a scale point's value.
void rewrite_texts(kept_element_t& kept, xml_node_t& node, const record_edit_t& edit) {
    visit(node, [&](xml_node_t& n) {
        const std::string_view name = local_name(n);
        if ((name == "formula" || name == "f") && n.text) {
            if (std::optional<std::string> text = edit.text(n.text)) kept.set_text(n, *text);
        } else if (name == "cfvo") {
            if (auto* value = attribute_named(n, "val"); value && value->value)
                if (std::optional<std::string> text = edit.text(value->value)) kept.set_value(*value, *text);
        }
    });
}

// A GUID no record holds yet: the old one's hash mixed with a count of those
// made.
std::string fresh_id(std::string_view old) {
    static std::atomic<uint64_t> made{0};
    const uint64_t a = std::hash<std::string_view>{}(old) + ++made * 0x9E3779B97F4A7C15ull;
    uint64_t b = (a ^ (a >> 30)) * 0xBF58476D1CE4E5B9ull;
    b ^= b >> 27;
    char out[40];
    std::snprintf(out, sizeof out, "{%08X-%04X-%04X-%04X-%012llX}", unsigned(a >> 32), unsigned(a >> 16) & 0xFFFFu,
                  unsigned(a) & 0xFFFFu, unsigned(b >> 48), static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    return out;
}

// The copies a split record's parts make stand apart from it: a rule's copy
// and its extension's copy, split alike, take one fresh id that links them,
// and once every record followed each copied rule takes the priority right
// after its rule's, so that no two rules share one and rules keep their order.
class copies_t {
public:
    // The node is a copy for part `part` of its record.
    void mark(kept_element_t& kept, xml_node_t& node, size_t part) {
        visit(node, [&](xml_node_t& n) {
            const std::string_view name = local_name(n);
            if (name == "cfRule") {
                if (auto* priority = attribute_named(n, "priority")) copied_.insert(priority);
                if (auto* id = attribute_named(n, "id"); id && id->value) kept.set_value(*id, id_for(id->value, part));
            } else if (name == "id" && n.text) {
                kept.set_text(n, id_for(n.text, part));
            }
        });
    }

    void settle(std::vector<kept_element_t>& sections) const {
        if (copied_.empty()) return;
        struct rule_t {
            kept_element_t* kept;
            xml::sxml::xml_attribute_t* priority;
            int64_t value;
        };
        std::vector<rule_t> rules;
        for (kept_element_t& kept : sections) {
            const std::string_view section = local_name(kept.root());
            if (section != "conditionalFormatting" && section != "extLst") continue;
            visit(kept.root(), [&](xml_node_t& n) {
                auto* priority = local_name(n) == "cfRule" ? attribute_named(n, "priority") : nullptr;
                const std::string_view text = priority && priority->value ? priority->value : "";
                int64_t value = 0;
                if (!text.empty() && std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc())
                    rules.push_back({&kept, priority, value});
            });
        }
        for (rule_t& copy : rules) {
            if (!copied_.contains(copy.priority)) continue;
            for (rule_t& r : rules)
                if (&r != &copy && r.value > copy.value) ++r.value;
            ++copy.value;
        }
        for (const rule_t& r : rules)
            if (number_text(r.value).view() != r.priority->value) r.kept->set_value(*r.priority, number_text(r.value));
    }

private:
    std::string id_for(std::string_view id, size_t part) {
        std::string& made = ids_[std::string(id) + ' ' + std::to_string(part)];
        if (made.empty()) made = fresh_id(id);
        return made;
    }

    std::unordered_map<std::string, std::string> ids_;
    std::unordered_set<const xml::sxml::xml_attribute_t*> copied_;
};

// A conditionalFormatting element, its ranges in its sqref attribute, into
// `out` with the copies its parts take; nothing when it goes.
void follow_conditional_format(kept_element_t kept, record_edit_t edit, std::vector<kept_element_t>& out,
                               copies_t& copies) {
    auto* sqref = attribute_named(kept.root(), "sqref");
    std::optional<std::vector<range_t>> ranges = ranges_of(sqref ? sqref->value : nullptr);
    if (!sqref || !ranges) return out.push_back(std::move(kept));
    if (!edit.follow(*ranges)) return;
    // Copied before the rule's texts change.
    std::vector<kept_element_t> parts;
    parts.reserve(edit.parts());
    parts.push_back(std::move(kept));
    for (size_t i = 1; i < edit.parts(); ++i) parts.emplace_back(parts.front().root());
    for (size_t i = 0; i < parts.size(); ++i) {
        kept_element_t& part = parts[i];
        auto* list = attribute_named(part.root(), "sqref");
        if (const std::string text = range_list_text(edit.select(i)); text != list->value) part.set_value(*list, text);
        rewrite_texts(part, part.root(), edit);
        if (i) copies.mark(part, part.root(), i);
        out.push_back(std::move(part));
    }
}

// The x14 records of an extension list, their ranges in an xm:sqref child,
// each part's copy after its record; a record that goes leaves its list, a
// list left empty its ext. False when no ext is left.
bool follow_extensions(kept_element_t& kept, const std::function<record_edit_t()>& make_edit, copies_t& copies) {
    xml_node_t& root = kept.root();
    for (xml_node_t* ext = root.first_child; ext;) {
        xml_node_t* next_ext = ext->next_sibling;
        bool emptied = false;
        for (xml_node_t* list = ext->first_child; list; list = list->next_sibling) {
            const std::string_view name = local_name(*list);
            if (name != "conditionalFormattings" && name != "dataValidations") continue;
            for (xml_node_t* record = list->first_child; record;) {
                xml_node_t* next = record->next_sibling;
                xml_node_t* sqref = child_named(*record, "sqref");
                std::optional<std::vector<range_t>> ranges = ranges_of(sqref ? sqref->text : nullptr);
                record_edit_t edit = make_edit();
                if (sqref && ranges && !edit.follow(*ranges)) {
                    kept_element_t::unlink(*record);
                } else if (sqref && ranges) {
                    std::vector<xml_node_t*> parts{record};
                    for (size_t i = 1; i < edit.parts(); ++i) parts.push_back(&kept.copy_after(*parts.back()));
                    for (size_t i = 0; i < parts.size(); ++i) {
                        xml_node_t* part_sqref = child_named(*parts[i], "sqref");
                        if (const std::string text = range_list_text(edit.select(i)); text != part_sqref->text)
                            kept.set_text(*part_sqref, text);
                        rewrite_texts(kept, *parts[i], edit);
                        if (i) copies.mark(kept, *parts[i], i);
                    }
                }
                record = next;
            }
            size_t count = 0;
            for (const xml_node_t* r = list->first_child; r; r = r->next_sibling) ++count;
            if (auto* written = attribute_named(*list, "count"); written && number_text(count).view() != written->value)
                kept.set_value(*written, number_text(count));
            emptied = emptied || count == 0;
        }
        if (emptied) kept_element_t::unlink(*ext);
        ext = next_ext;
    }
    return root.first_child != nullptr;
}

} // namespace

bool worktable_t::keeps_formulas__() const {
    const data_validations_t* list = periphery_.data_validations.get();
    return (list && !list->items.empty()) || !periphery_.kept_sections.empty();
}

bool worktable_t::keeps_texts__() const {
    return mta::Table::keeps_texts__() || keeps_formulas__();
}

void worktable_t::follow_kept_formulas__(const mta::band_shift_t* shift, const text_rewrite_t& text_of) {
    // A workbook-wide rewrite passes every sheet: most keep nothing.
    if (!keeps_formulas__()) return;
    mta::formula::model_context& context = get_formula_model()->context();
    const int32_t grid = int32_t(sheet_id());
    const auto make_edit = [&] { return record_edit_t(context, grid, shift, text_of); };
    if (data_validations_t* list = periphery_.data_validations.get()) {
        std::vector<data_validation_t> items;
        items.reserve(list->items.size());
        for (data_validation_t& v : list->items) {
            record_edit_t edit = make_edit();
            if (!edit.follow(v.sqref.ranges())) continue;
            for (size_t i = 0; i < edit.parts(); ++i) {
                // The record itself is the last part taken: the copies before it read it as it was.
                data_validation_t& part = items.emplace_back(i + 1 < edit.parts() ? v : std::move(v));
                const std::vector<range_t>& ranges = edit.select(i);
                if (shift) {
                    part.sqref = {};
                    for (const range_t& r : ranges) part.sqref.add(r);
                }
                for (std::string* formula : {&part.formula1, &part.formula2})
                    if (!formula->empty())
                        if (std::optional<std::string> text = edit.text(*formula)) *formula = std::move(*text);
            }
        }
        list->items = std::move(items);
    }
    copies_t copies;
    std::vector<kept_element_t> sections;
    sections.reserve(periphery_.kept_sections.size());
    for (kept_element_t& kept : periphery_.kept_sections) {
        const std::string_view name = local_name(kept.root());
        if (name == "conditionalFormatting") follow_conditional_format(std::move(kept), make_edit(), sections, copies);
        else if (name != "extLst" || follow_extensions(kept, make_edit, copies)) sections.push_back(std::move(kept));
    }
    periphery_.kept_sections = std::move(sections);
    copies.settle(periphery_.kept_sections);
    follow_sparklines__(shift, text_of);
}

} // namespace vex
