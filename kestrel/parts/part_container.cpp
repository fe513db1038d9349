#include "kestrel/parts/part_container.h"

#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/part.h"
#include "kestrel/parts/simple_part.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>

namespace vex {

using xml::sxml::status_t;

namespace {

std::atomic<uint64_t> tree_versions{0};
std::atomic<uint64_t> chart_growths{0};
std::atomic<uint64_t> versions_outside_tables{0};

} // namespace

uint64_t part_container::tree_version() noexcept { return tree_versions.load(std::memory_order_acquire); }

uint64_t part_container::chart_growth_version() noexcept { return chart_growths.load(std::memory_order_acquire); }

void part_container::chart_may_have_come() noexcept { chart_growths.fetch_add(1, std::memory_order_acq_rel); }

void part_container::tree_changed() noexcept {
    tree_versions.fetch_add(1, std::memory_order_acq_rel);
    versions_outside_tables.fetch_add(1, std::memory_order_acq_rel);
}

uint64_t part_container::tree_version_outside_tables() noexcept {
    return versions_outside_tables.load(std::memory_order_acquire);
}

// A table part holds no chart: what a chart search found still holds.
void part_container::table_part_changed() noexcept { tree_versions.fetch_add(1, std::memory_order_acq_rel); }

void part_container::child_changed(const xml_part_t& child) noexcept {
    if (child.kind() == part_kind_enum::table_definition_part)
        table_part_changed();
    else
        tree_changed();
}

part_container::part_container() = default;

part_container::~part_container() {
    relationships_.clear();
    // Front to back, each child with its whole subtree.
    if (!children_.empty())
        for (auto& child : children_.made()) child.reset();
}

void part_container::add(xml_part_t* part, bool at_front) {
    if (!part) return;
    std::unique_ptr<xml_part_t> owned(part);
    child_changed(*part);
    if (!part->get_child_parts().empty() || is_chart_part(*part)) chart_may_have_come();
    children_t& children = children_.made();
    if (at_front)
        children.insert(children.begin(), std::move(owned));
    else
        children.push_back(std::move(owned));
}

void part_container::add_relationship(relationship_t r, bool at_front) {
    relationships_.insert(at_front ? relationships_.begin() : relationships_.end(), std::move(r));
}

void part_container::add_relationships_at_front(std::vector<relationship_t> records) {
    relationships_.insert(relationships_.begin(), std::make_move_iterator(records.begin()),
                          std::make_move_iterator(records.end()));
}

status_t part_container::on_relationship_node(const xml::sxml::xml_node_t* node) {
    if (!node || !is_element(*node)) return status_t::done;
    const std::string_view name = node->name;
    if (name == "Relationships") return status_t::done;
    if (name != "Relationship") return status_t::error;
    relationship_t r;
    for (const auto* a = node->attributes; a; a = a->next) {
        const std::string_view an = a->name;
        const char* value = a->value ? a->value : "";
        if (an == "Id")
            r.id = value;
        else if (an == "Type")
            r.type = value;
        else if (an == "Target")
            r.target = value;
        else if (an == "TargetMode") {
            r.target_mode = value;
            r.internal = std::strcmp(value, "External") != 0;
        }
    }
    if (r.id.empty() || r.type.empty() || r.target.empty()) return status_t::error;
    relationships_.push_back(std::move(r));
    return status_t::done;
}

bool part_container::has_office_document() const noexcept {
    return std::any_of(relationships_.begin(), relationships_.end(),
                       [](const relationship_t& r) { return r.type == uri::office_document_relationship; });
}

size_t part_container::reset_relationship_ids() {
    size_t n = 0;
    if (!children_.empty())
        for (auto& child : children_.made()) child->set_relationship_id("rId" + std::to_string(++n));
    return n;
}

void part_container::remove(unsigned part_id) {
    if (children_.empty()) return;
    children_t& children = children_.made();
    const auto it = std::find_if(children.begin(), children.end(),
                                 [&](const auto& c) { return c->get_part_id() == part_id; });
    take_out(it);
}

void part_container::remove(const xml_part_t* part) {
    if (children_.empty()) return;
    children_t& children = children_.made();
    take_out(find_from_ends(children.begin(), children.end(), [&](const auto& c) { return c.get() == part; }));
}

void part_container::move_to_back(part_kind_enum kind) {
    if (!children_.empty())
        std::stable_partition(children_.made().begin(), children_.made().end(),
                              [&](const auto& c) { return c->kind() != kind; });
    tree_changed();
}

void part_container::move_relationships_to_front(std::string_view type) {
    std::stable_partition(relationships_.begin(), relationships_.end(),
                          [&](const relationship_t& r) { return r.type == type; });
}

// The child leaves the vector before it is destroyed, so that its destructor
// never meets a container in the middle of a change.
void part_container::take_out(children_t::iterator it) {
    if (children_.empty() || it == children_.made().end()) return;
    std::unique_ptr<xml_part_t> gone = std::move(*it);
    children_.made().erase(it);
    // A part taken out adds nothing to the tree.
    tree_versions.fetch_add(1, std::memory_order_acq_rel);
    if (gone->kind() != part_kind_enum::table_definition_part)
        versions_outside_tables.fetch_add(1, std::memory_order_acq_rel);
}

} // namespace vex
