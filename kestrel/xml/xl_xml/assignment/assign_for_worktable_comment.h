#pragma once
// Reads a comments part into the comment store of its sheet: the authors,
// then each comment's cell, author and rich text.

#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "mta/table/cell/richtext.h"

#include <string>
#include <vector>

namespace vex {

class worktable_t;

class assign_for_worktable_comment final : public shared_xml_assignment {
public:
    explicit assign_for_worktable_comment(worktable_t& table) noexcept : table_(table) {}

    // Done for what it read, keep for anything else.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);

private:
    void start_comment(const xml::sxml::xml_node_t& node);

    worktable_t& table_;
    std::vector<std::string> authors_;
    int row_ = 0;
    int col_ = 0;
    std::string author_;
    mta::richtext_t text_;
    mta::richtext_segment_t run_;
};

} // namespace vex
