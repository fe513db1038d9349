#pragma once
// The library's own part of a sheet's cell data: it holds everything anchored
// on the sheet (drawing, tables, background picture) and is written into its
// worksheet's entry.

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/simple_part.h"

namespace vex {

class worktable_part_t final : public described_part_t {
public:
    // The store takes the shape the parent worksheet asks for, else the whole
    // sheet.
    explicit worktable_part_t(xml_part_t* parent);
    ~worktable_part_t() override;

    worktable_t* get_worktable() const noexcept { return static_cast<worktable_t*>(get_component()); }

    // Binds embedded objects and controls to the child by its source Id, also
    // while hyperlinks are pending; always 0.
    int bind_child_part(xml_part_t* child) override;
    void create_output_handler(int mode) override;
    // A sheet has at most one drawing: asked again, the one it has.
    xml_part_t* create_part(const char* relationship_type, const char* id) override;
    // Table parts are listed in the worktable in the order they come.
    void add_part(xml_part_t* part, bool at_front) override;
    // Forgets the child's place in the worktable's lists first.
    void remove_part(unsigned part_id) override;
    void remove_part(xml_part_t* part) override;
    // The sheet's position for every child but table parts, which are ranked.
    std::optional<unsigned> get_part_number(const xml_part_t* child) const override;

    // Before a save: one comments part and one notes drawing while the sheet
    // has comments; without comments, no comments part, and the notes drawing
    // only when it keeps other shapes.
    void match_comment_parts();

    // The first child of that kind; null when there is none.
    xml_part_t* child_of_kind(part_kind_enum kind) const noexcept;
};

} // namespace vex
