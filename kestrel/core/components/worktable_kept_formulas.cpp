// Data validations and conditional formats, and their copies in the sheet's
// extension list, follow an edit as a formula standing at their first cell
// does: each range moves as a reference, one whose cells are all deleted
// leaves, and a record left without a range goes.

#include "kestrel/core/components/worktable.h"

#include "errors.h"
#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/utils/band_shift.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace vex {

using xml::sxml::xml_node_t;

namespace {

// One record through one edit: its ranges, then its texts.
class record_edit_t {
public:
    record_edit_t(mta::formula::model_context& context, int32_t grid, const mta::band_shift_t* shift,
                  const mta::Table::text_rewrite_t& text_of)
        : context_(context), grid_(grid), shift_(shift), text_of_(text_of) {}

    // The ranges after the shift; false when none is left. The texts are read
    // at the first cell, the top left of the topmost range, or when that cell
    // is deleted where the cell that is first now stood: relative references
    // keep their distance to it.
    bool follow(std::vector<range_t>& ranges) {
        const auto first_of = [](const std::vector<range_t>& list) {
            const auto it = std::min_element(list.begin(), list.end(), [](range_t a, range_t b) {
                a.order();
                b.order();
                return std::pair(a.first.row, a.first.col) < std::pair(b.first.row, b.first.col);
            });
            return it == list.end() ? size_t(0) : size_t(it - list.begin());
        };
        from_ = at_ = ranges.empty() ? corner({}) : corner(ranges[first_of(ranges)]);
        if (!shift_) return true;
        std::vector<range_t> kept, before;
        for (range_t r : ranges) {
            before.push_back(r.order());
            if (shift_->follow_reference(r, false)) kept.push_back(r);
            else before.pop_back();
        }
        if (kept.empty()) return ranges.empty();
        const size_t first = first_of(kept);
        at_ = corner(kept[first]);
        const mta::band_shift_t& s = *shift_;
        if (kept[first] != before[first] && s.in_band(at_)) {
            if (!s.insert && s.along(at_) >= s.first) s.along(at_) += s.count;
            else if (s.insert && s.along(at_) >= s.first + s.count) s.along(at_) -= s.count;
        }
        ranges = std::move(kept);
        return true;
    }

    // None when the text stays.
    std::optional<std::string> text(std::string_view text) const {
        if (at_ == from_) return text_of_(context_, at_, text);
        const std::string moved = mta::formula::moved_formula_text(context_, from_, at_, text);
        if (std::optional<std::string> out = text_of_(context_, at_, moved)) return out;
        return moved == text ? std::nullopt : std::optional<std::string>(moved);
    }

private:
    coord_t corner(range_t r) const noexcept {
        r.order();
        return {grid_, std::max(r.first.row, 1), std::max(r.first.col, 1), 0, 0, 0};
    }

    mta::formula::model_context& context_;
    int32_t grid_;
    const mta::band_shift_t* shift_;
    const mta::Table::text_rewrite_t& text_of_;
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

// Every formula below the node: a rule's formula, an extension copy's xm:f
// and a scale point's value.
void rewrite_texts(kept_element_t& kept, xml_node_t& node, const record_edit_t& edit) {
    std::vector<xml_node_t*> work{&node};
    while (!work.empty()) {
        xml_node_t* n = work.back();
        work.pop_back();
        const std::string_view name = local_name(*n);
        if ((name == "formula" || name == "f") && n->text) {
            if (std::optional<std::string> text = edit.text(n->text)) kept.set_text(*n, *text);
        } else if (name == "cfvo") {
            if (auto* value = attribute_named(*n, "val"); value && value->value)
                if (std::optional<std::string> text = edit.text(value->value)) kept.set_value(*value, *text);
        }
        for (xml_node_t* c = n->first_child; c; c = c->next_sibling) work.push_back(c);
    }
}

// A conditionalFormatting element, its ranges in its sqref attribute; false
// when it goes.
bool follow_conditional_format(kept_element_t& kept, record_edit_t& edit) {
    xml_node_t& root = kept.root();
    auto* sqref = attribute_named(root, "sqref");
    std::optional<std::vector<range_t>> ranges = ranges_of(sqref ? sqref->value : nullptr);
    if (!sqref || !ranges) return true;
    if (!edit.follow(*ranges)) return false;
    if (const std::string text = range_list_text(*ranges); text != sqref->value) kept.set_value(*sqref, text);
    rewrite_texts(kept, root, edit);
    return true;
}

// The x14 records of an extension list, their ranges in an xm:sqref child;
// a record that goes leaves its list, a list left empty its ext. False when
// no ext is left.
bool follow_extensions(kept_element_t& kept, const std::function<record_edit_t()>& make_edit) {
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
                if (sqref && ranges) {
                    record_edit_t edit = make_edit();
                    if (!edit.follow(*ranges)) {
                        kept_element_t::unlink(*record);
                    } else {
                        if (const std::string text = range_list_text(*ranges); text != sqref->text)
                            kept.set_text(*sqref, text);
                        rewrite_texts(kept, *record, edit);
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

void worktable_t::follow_kept_formulas__(const mta::band_shift_t* shift, const text_rewrite_t& text_of) {
    mta::formula::model_context& context = get_formula_model()->context();
    const int32_t grid = int32_t(sheet_id());
    const auto make_edit = [&] { return record_edit_t(context, grid, shift, text_of); };
    if (data_validations_t* list = periphery_.data_validations.get()) {
        std::erase_if(list->items, [&](data_validation_t& v) {
            std::vector<range_t> ranges = v.sqref.ranges();
            record_edit_t edit = make_edit();
            if (!edit.follow(ranges)) return true;
            if (shift) {
                v.sqref = {};
                for (const range_t& r : ranges) v.sqref.add(r);
            }
            for (std::string* formula : {&v.formula1, &v.formula2})
                if (!formula->empty())
                    if (std::optional<std::string> text = edit.text(*formula)) *formula = std::move(*text);
            return false;
        });
    }
    std::erase_if(periphery_.kept_sections, [&](kept_element_t& kept) {
        const std::string_view name = local_name(kept.root());
        if (name == "conditionalFormatting") {
            record_edit_t edit = make_edit();
            return !follow_conditional_format(kept, edit);
        }
        return name == "extLst" && !follow_extensions(kept, make_edit);
    });
    follow_sparklines__(shift, text_of);
}

} // namespace vex
