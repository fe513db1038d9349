#include "kestrel/xml/xl_xml/assignment/assign_for_worktable_comment.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_shared_string_table.h"

#include <utility>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

status_t assign_for_worktable_comment::assign(const xml_node_t* node) {
    if (!node || !node->name) return status_t::keep;
    const xml_node_t* parent = node->parent;
    if (node_named(parent, "rPr") && node_named(parent->parent, "r")) return read_rich_run_properties(node, run_.font);
    if (node_named(node, "author")) {
        if (is_end(*node)) authors_.emplace_back(package_text(node->text));
        return status_t::done;
    }
    if (node_named(node, "comment")) {
        if (is_start(*node)) start_comment(*node);
        if (is_end(*node)) {
            table_.comments().add(row_, col_, std::move(text_), author_);
            text_ = mta::richtext_t{};
            author_.clear();
        }
        return status_t::done;
    }
    if (node_named(node, "t")) {
        if (!is_end(*node)) return status_t::done;
        if (node_named(parent, "r")) {
            run_.text = package_text(node->text);
        } else if (node_named(parent, "text")) {
            // Text without a run around it is the whole comment, unformatted.
            mta::richtext_segment_t plain;
            plain.text = package_text(node->text);
            text_.append(std::move(plain));
        }
        return status_t::done;
    }
    if (node_named(node, "r")) {
        if (is_end(*node)) {
            text_.append(std::move(run_));
            run_ = mta::richtext_segment_t{};
        }
        return status_t::done;
    }
    return status_t::keep;
}

void assign_for_worktable_comment::start_comment(const xml_node_t& node) {
    const coord_t cell = read_cell(get_attribute_value("ref", node.attributes));
    row_ = cell.row;
    col_ = cell.col;
    const char* author = get_attribute_value("authorId", node.attributes);
    const int32_t id = author ? read_int(author) : -1;
    if (const char* shape = get_attribute_value("shapeId", node.attributes)) (void)read_int(shape);
    // A missing id or one outside the list names no author; the comment stays.
    author_ = id >= 0 && size_t(id) < authors_.size() ? authors_[size_t(id)] : std::string();
    text_ = mta::richtext_t{};
    run_ = mta::richtext_segment_t{};
}

} // namespace vex
