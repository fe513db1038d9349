#pragma once
// The children of a part (or of the package root) with the relationship
// records read from its relationship part. Child order is the order of the
// relationship Ids, of the save walk and of part numbering. Records are kept as
// read, External ones included; the save decides what is written back.

#include "kestrel/parts/part_kind.h"
#include "mta/table/utils/lazy_deque.h"
#include "xml/sxml_node.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

class xml_part_t;

// The first element, from either end, that satisfies pred: a host taking out
// the first or the last of thousands of entries compares none of the others.
template <class It, class Pred>
It find_from_ends(It first, It last, Pred pred) {
    for (It lo = first, hi = last; lo != hi;) {
        if (pred(*lo)) return lo;
        if (++lo == hi) break;
        if (pred(*--hi)) return hi;
    }
    return last;
}

struct relationship_t {
    bool internal = true;  // false for TargetMode="External"
    std::string type;
    std::string id;
    std::string target;  // as written: relative, package-absolute or a URI
    std::string target_mode{};  // as written; empty when absent
};

class part_container {
public:
    // A deque: a sheet may hold thousands of table parts, and a host deleting
    // them from the first or the last moves no other.
    using children_t = std::deque<std::unique_ptr<xml_part_t>>;

    part_container();
    // Drops the records, then destroys the children in order.
    ~part_container();
    part_container(const part_container&) = delete;
    part_container& operator=(const part_container&) = delete;

    // Takes ownership; null does nothing.
    void add(xml_part_t* part, bool at_front);
    children_t::const_iterator begin() const noexcept { return children().begin(); }
    children_t::const_iterator end() const noexcept { return children().end(); }
    const children_t& children() const noexcept { return children_.get(); }
    size_t size() const noexcept { return children_.size(); }

    // Node handler of a relationship part.
    xml::sxml::status_t on_relationship_node(const xml::sxml::xml_node_t* node);
    const std::vector<relationship_t>& relationships() const noexcept { return relationships_; }
    void clear_relationships() noexcept { relationships_.clear(); }
    void add_relationship(relationship_t r, bool at_front);
    // Puts the records before all others, in the order given.
    void add_relationships_at_front(std::vector<relationship_t> records);
    bool has_office_document() const noexcept;

    // Gives the children "rId1", "rId2", ... in child order; returns their count.
    size_t reset_relationship_ids();

    // Remove and destroy the first child with that part id, or that child;
    // nothing when there is none. The others keep their order.
    void remove(unsigned part_id);
    void remove(const xml_part_t* part);

    // Moves the children of that kind behind all others, keeping both orders.
    void move_to_back(part_kind_enum kind);
    // Moves the records of that type before all others, keeping both orders.
    void move_relationships_to_front(std::string_view type);

    // Changes with every child added, removed or moved in any container, and
    // with every kind set: what is derived from a part tree holds while it stays.
    static uint64_t tree_version() noexcept;
    static void tree_changed() noexcept;
    // Changes whenever a chart may have come into a tree: a part added that is
    // one or holds children, or a part made one. What a tree lacked of charts
    // while it stays, it still lacks; sheets come and go without changing it.
    static uint64_t chart_growth_version() noexcept;
    static void chart_may_have_come() noexcept;
    // As tree_version, but kept when a table definition part comes or goes:
    // searches that never look below such a part hold through a run of deletes.
    static uint64_t tree_version_outside_tables() noexcept;
    // A table definition part came, went or took another name.
    static void table_part_changed() noexcept;

    // The child-part factory: makes the child of kind relationship_type under
    // parent (null for the package root), or finds the one a parent may hold
    // only once.
    // Throws part_container_error for a type no kind has and for a kind the
    // parent may not hold.
    xml_part_t* create_child(xml_part_t* parent, std::string_view relationship_type, const char* id, bool complete);
    // What the loader makes of a relationship: the child create_child makes, or
    // a kept part where create_child would refuse the type or the parent. Under a
    // kept parent, known kinds are made as themselves, each a part of its own.
    xml_part_t* create_or_keep_child(xml_part_t* parent, std::string_view relationship_type, const char* id,
                                     bool complete);

private:
    xml_part_t* make_child(xml_part_t* parent, part_kind_enum kind, bool several, const char* id, bool complete);
    void take_out(children_t::iterator it);
    static void child_changed(const xml_part_t& child) noexcept;

    mta::lazy_deque<std::unique_ptr<xml_part_t>> children_;  // made with the first child: most parts hold none
    std::vector<relationship_t> relationships_;
};

} // namespace vex
