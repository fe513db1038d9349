#include "kestrel/core/components/worksheet.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part.h"

#include <algorithm>

namespace vex {

void worksheet_t::record_worktable(std::string relationship_id, worktable_t* worktable) {
    worktables_.push_back({std::move(relationship_id), worktable});
}

bool worksheet_t::has_worktable(const component_base_t* c) const noexcept {
    return c && std::any_of(worktables_.begin(), worktables_.end(),
                            [&](const child_worktable& w) { return w.worktable == c; });
}

xml_part_t* worksheet_t::worktable_part() const noexcept {
    return worktables_.empty() || !worktables_.front().worktable ? nullptr : worktables_.front().worktable->get_part();
}

namespace {

template <typename F>
worktable_t* find_worktable_child(const xml_part_t& part, F pred) {
    for (const auto& c : part.get_child_parts()) {
        if (c->kind() != part_kind_enum::worktable_part) continue;
        auto* table = dynamic_cast<worktable_t*>(c->get_component());
        if (table && pred(*table)) return table;
    }
    return nullptr;
}

} // namespace

void worksheet_t::set_sheet_name(std::string_view name) {
    if (worktable_t* table = find_worktable_child(*get_part(), [](const worktable_t&) { return true; }))
        table->set_name(std::string(name));
}

worktable_t* worksheet_t::worktable_by_name(std::string_view name) const noexcept {
    if (name.empty()) return nullptr;
    return find_worktable_child(*get_part(), [&](const worktable_t& t) { return t.name() == name; });
}

// Hyperlink targets are resolved with the worktable component's own step.
bool worksheet_t::finish_relations() { return true; }

uint64_t worksheet_t::hyperlink_count() const noexcept {
    uint64_t n = 0;
    for (const child_worktable& w : worktables_)
        if (w.worktable) n += w.worktable->hyperlink_count();
    return n;
}

} // namespace vex
