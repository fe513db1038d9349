#pragma once
// The model side of a sheet's comments part. The comments themselves live in
// the sheet's comment store; this component only routes a load to its reader.

#include "kestrel/core/components/component_base.h"

#include <memory>

namespace vex {

class assign_for_worktable_comment;

class worktable_comment_t : public component_base_t {
public:
    explicit worktable_comment_t(xml_part_t* part) noexcept;
    ~worktable_comment_t() override;

    // Read into the comment store of the worktable above; a part under any
    // other parent answers keep and reads nothing.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;

private:
    std::unique_ptr<assign_for_worktable_comment> reader_;
};

} // namespace vex
