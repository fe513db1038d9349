#pragma once
// The children of a part (or of the package root) with the relationship
// records read from its relationship part. Child order is the order of the
// relationship Ids, of the save walk and of part numbering. Records are kept as
// read, External ones included; the save decides what is written back.

#include "xml/sxml_node.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

class xml_part_t;

struct relationship_t {
    bool internal = true;  // false for TargetMode="External"
    std::string type;
    std::string id;
    std::string target;  // as written: relative, package-absolute or a URI
};

class part_container {
public:
    using children_t = std::vector<std::unique_ptr<xml_part_t>>;

    part_container();
    // Drops the records, then destroys the children in order.
    ~part_container();
    part_container(const part_container&) = delete;
    part_container& operator=(const part_container&) = delete;

    // Takes ownership; null does nothing.
    void add(xml_part_t* part, bool at_front);
    children_t::const_iterator begin() const noexcept { return children_.begin(); }
    children_t::const_iterator end() const noexcept { return children_.end(); }
    const children_t& children() const noexcept { return children_; }
    size_t size() const noexcept { return children_.size(); }

    // Node handler of a relationship part.
    xml::sxml::status_t on_relationship_node(const xml::sxml::xml_node_t* node);
    const std::vector<relationship_t>& relationships() const noexcept { return relationships_; }
    void clear_relationships() noexcept { relationships_.clear(); }
    bool has_office_document() const noexcept;

    // Gives the children "rId1", "rId2", ... in child order; returns their count.
    size_t reset_relationship_ids();

    // Remove and destroy the first child with that part id, or that child;
    // nothing when there is none. The others keep their order.
    void remove(unsigned part_id);
    void remove(const xml_part_t* part);

    // The child-part factory: makes the child of kind relationship_type under
    // parent (null for the package root), or finds the one a parent may hold
    // only once.
    xml_part_t* create_child(xml_part_t* parent, std::string_view relationship_type, const char* id, bool complete);

private:
    void take_out(children_t::iterator it);

    children_t children_;
    std::vector<relationship_t> relationships_;
};

} // namespace vex
