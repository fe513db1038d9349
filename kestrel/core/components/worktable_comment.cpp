#include "kestrel/core/components/worktable_comment.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_worktable_comment.h"

namespace vex {

using xml::sxml::status_t;

worktable_comment_t::worktable_comment_t(xml_part_t* part) noexcept : component_base_t(part) {}

worktable_comment_t::~worktable_comment_t() = default;

status_t worktable_comment_t::assign(const xml::sxml::xml_node_t* node) {
    if (is_end_of_document(node)) {
        reader_.reset();
        return status_t::done;
    }
    if (!reader_) {
        const xml_part_t* parent = get_part() ? get_part()->get_parent() : nullptr;
        auto* table = parent && parent->kind() == part_kind_enum::worktable_part
                          ? dynamic_cast<worktable_t*>(parent->get_component())
                          : nullptr;
        if (!table) return status_t::keep;
        reader_ = std::make_unique<assign_for_worktable_comment>(*table);
    }
    // Nothing else reads this part: a node kept would stay in memory to the end.
    const status_t s = reader_->assign(node);
    return s == status_t::keep ? status_t::done : s;
}

} // namespace vex
